#include "fuzz_checks.h"

#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The import writes preview.lnr.jpg into its folder, so every fuzzing process gets
    // a folder of its own.
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/lentar-picture-fuzz-XXXXXX"));
    if (!folder.isValid()) {
        std::fprintf(stderr, "no temporary folder for the picture fuzzer\n");
        std::abort();
    }
    const std::string problem = FuzzPictureImport(
        std::string_view(reinterpret_cast<const char *>(data), size), folder.path());
    if (!problem.empty()) {
        std::fprintf(stderr, "FuzzPictureImport: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
