#include "output/preview_xslt.h"

#include "codec/base64.h"
#include "codec/error.h"
#include "platform/files.h"

#include <QDir>

#include <cstring>

QByteArray PreviewStylesheetBytes()
{
    const int length = int(std::strlen(PreviewStylesheetBase64));
    QByteArray bytes(3 * (length / 4), Qt::Uninitialized);
    const int n = Base64Decode(
        PreviewStylesheetBase64, length, reinterpret_cast<unsigned char *>(bytes.data()));
    if (n < 0)
        throw LentarError("Встроенный шаблон предпросмотра повреждён");
    bytes.truncate(n);
    return bytes;
}

namespace {

// The folder as the user knows it: without the trailing separator, the current
// directory spelled out.
QString ShownFolder(const QString &folder)
{
    const QString path = folder.isEmpty() ? QDir::currentPath() : QDir::cleanPath(folder);
    return QDir::toNativeSeparators(path);
}

} // namespace

QString StylesheetWriteError(const QString &folder, const QString &reason)
{
    return QStringLiteral("Ошибка записи файла шаблона в папку «%1»: %2")
        .arg(ShownFolder(folder), reason);
}

void WritePreviewStylesheet(const QString &folder)
{
    // Through the one write path: a failed write never leaves a truncated stylesheet,
    // and the failure is reported even when an older stylesheet is already there.
    try {
        WriteFileAtomically(
            folder + QString::fromUtf8(kStylesheetFileName), PreviewStylesheetBytes());
    } catch (const FileError &error) {
        throw LentarError(StylesheetWriteError(folder, error.reason()).toStdString());
    }
}

void WriteWorkingStylesheet(const QString &tempFolder)
{
    try {
        WriteFileAtomically(tempFolder + QString::fromUtf8(kStylesheetFileName),
            PreviewStylesheetBytes(), Durability::Working);
    } catch (const FileError &error) {
        const QString message
            = QStringLiteral("Ошибка записи файла шаблона во временную папку «%1»: %2")
                  .arg(ShownFolder(tempFolder), error.reason());
        throw LentarError(message.toStdString());
    }
}
