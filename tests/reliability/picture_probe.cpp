// Imports one picture the way the editor does and reports how it went:
//
//   lentar_picture_probe <picture> <work folder>
//
// One "key: value" line each for the outcome, the picture's size and bytes, the
// message, the import's time and the process's peak memory before and after it. The
// hostile-picture test runs it once per picture, so each peak is that picture's own.

#include "codec/base64.h"
#include "codec/error.h"
#include "picture/picture_import.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

namespace {

// The peak resident memory of this process image. Not getrusage: its maximum carries
// over from the process that forked us, which is the big test itself.
long PeakKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

void Print(const char *key, const QString &value)
{
    std::printf("%s: %s\n", key, value.toUtf8().constData());
}

// The lentar must carry exactly the file the import wrote.
bool Consistent(const ImportedPicture &picture, const QString &folder)
{
    QFile copy(folder + QString::fromLatin1(kPictureFileName));
    if (!copy.open(QIODevice::ReadOnly) || copy.readAll() != picture.jpeg)
        return false;
    bool ok = false;
    const std::string bytes = Base64DecodeString(
        std::string_view(picture.base64.constData(), std::size_t(picture.base64.size())), &ok);
    return ok && QByteArray::fromStdString(bytes) == picture.jpeg;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <picture> <work folder>\n", argv[0]);
        return 2;
    }
    const QString source = QFile::decodeName(argv[1]);
    QString folder = QFile::decodeName(argv[2]);
    if (!folder.endsWith(u'/'))
        folder += u'/';

    const long before = PeakKb();
    QElapsedTimer timer;
    timer.start();
    try {
        const ImportedPicture picture = ImportPicture(source, folder);
        const qint64 ms = timer.elapsed();
        Print("outcome", QStringLiteral("imported"));
        Print("size", QStringLiteral("%1 x %2").arg(picture.image.width).arg(picture.image.height));
        Print("jpeg_bytes", QString::number(picture.jpeg.size()));
        Print("progressive", picture.progressive ? QStringLiteral("yes") : QStringLiteral("no"));
        Print("consistent",
            Consistent(picture, folder) ? QStringLiteral("yes") : QStringLiteral("no"));
        Print("ms", QString::number(ms));
    } catch (const LentarError &error) {
        Print("ms", QString::number(timer.elapsed()));
        Print("outcome", QStringLiteral("refused"));
        Print("message", QString::fromUtf8(error.what()));
    }
    Print("baseline_kb", QString::number(before));
    Print("peak_kb", QString::number(PeakKb()));
    return 0;
}
