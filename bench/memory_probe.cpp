// Runs one picture import or one reference decode in a fresh process and prints how
// far its resident memory rose above what it held just before: what a user's
// machine must find free on top of the idle program. The full decode keeps the whole
// picture, as a naive import would; the eighth-size decode shows what libjpeg itself
// must hold.
//
//   lentar_memory_probe import|full|eighth <jpeg file> <temporary folder>

#include "bench_photo.h"
#include "bench_process.h"

#include "picture/picture_import.h"

#include <QString>

#include <cstdio>
#include <cstring>
#include <exception>

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s import|full|eighth <jpeg> <temp folder>\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[2]);
    const QString temp = QString::fromLocal8Bit(argv[3]);
    try {
        const long long idle = ResidentBytes();
        if (!ResetPeakResident()) {
            std::fprintf(stderr, "cannot reset the peak resident set\n");
            return 1;
        }
        std::size_t checksum = 0;
        if (std::strcmp(argv[1], "import") == 0)
            checksum = std::size_t(ImportPicture(path, temp).base64.size());
        else if (std::strcmp(argv[1], "full") == 0)
            checksum = DecodeReference(path, 1, true).checksum;
        else if (std::strcmp(argv[1], "eighth") == 0)
            checksum = DecodeReference(path, 8).checksum;
        else
            return 2;
        std::printf("%lld %zu\n", PeakResidentBytes() - idle, checksum);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
