// Writes the fuzzers' seed corpora: make_fuzz_seeds <folder> fills <folder>/base64,
// <folder>/participant_id, <folder>/lentar_writer, <folder>/lentar_reader and
// <folder>/picture.

#include "fuzz_seeds.h"

#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QList<std::pair<const char *, QList<FuzzSeed>>> corpora {
        { "base64", Base64Seeds() },
        { "participant_id", ParticipantIdSeeds() },
        { "lentar_writer", LentarWriterSeeds() },
        { "lentar_reader", LentarReaderSeeds() },
        { "picture", PictureSeeds() },
    };
    for (const auto &[name, seeds] : corpora) {
        const QString folder = root + u'/' + QLatin1StringView(name);
        if (!QDir().mkpath(folder)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
            return 1;
        }
        for (const FuzzSeed &seed : seeds) {
            QFile file(folder + u'/' + seed.name);
            if (seed.bytes.isEmpty() && seed.name != u"empty") {
                std::fprintf(stderr, "seed %s/%s came out empty\n", name, qPrintable(seed.name));
                return 1;
            }
            if (!file.open(QIODevice::WriteOnly) || file.write(seed.bytes) != seed.bytes.size()) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
                return 1;
            }
        }
    }
    return 0;
}
