#include "output/preview_xslt.h"

#include "codec/base64.h"
#include "codec/error.h"
#include "platform/working_file.h"

#include <QDir>
#include <QSaveFile>

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
    const QByteArray bytes = PreviewStylesheetBytes();

    // Written through a temporary file and renamed into place, so a failed write never
    // leaves a truncated stylesheet, and the failure is reported even when an older
    // stylesheet is already there. The buffer is flushed before commit(), which in Qt 6.4
    // ignores a failed final flush and on a full disk left an empty file behind.
    QSaveFile file(folder + QString::fromUtf8(kStylesheetFileName));
    QString reason;
    if (!file.open(QIODevice::WriteOnly)) {
        reason = file.errorString();
    } else if (file.write(bytes) != bytes.size() || !file.flush()) {
        reason = file.errorString();
        file.cancelWriting();
    } else if (!file.commit()) {
        reason = file.errorString();
    }
    if (!reason.isNull())
        throw LentarError(StylesheetWriteError(folder, reason).toStdString());
}

void WriteWorkingStylesheet(const QString &tempFolder)
{
    const QString reason = WriteWorkingFile(
        tempFolder + QString::fromUtf8(kStylesheetFileName), PreviewStylesheetBytes());
    if (!reason.isEmpty()) {
        const QString message
            = QStringLiteral("Ошибка записи файла шаблона во временную папку «%1»: %2")
                  .arg(ShownFolder(tempFolder), reason);
        throw LentarError(message.toStdString());
    }
}
