#include "picture/picture_import.h"

#include "picture/jpeg_codec.h"

#include "codec/base64.h"
#include "codec/error.h"
#include "platform/files.h"
#include "platform/platform.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kFrame = 300.0f;
// The base64 text of the picture has 19 groups of four symbols, 76 characters, a line.
constexpr int kBase64GroupsPerLine = 19;

[[noreturn]] void ThrowWriteError(const QString &reason)
{
    throw LentarError(
        (QStringLiteral("Ошибка записи файла изображения работы во временную папку: ") + reason)
            .toStdString());
}

QString PictureFilePath(const QString &tempFolder)
{
    const QString name = QString::fromLatin1(kPictureFileName);
    if (tempFolder.isEmpty() || tempFolder.endsWith(QLatin1Char('/')))
        return tempFolder + name;
    return tempFolder + QLatin1Char('/') + name;
}

void WritePictureFile(const QString &path, const QByteArray &jpeg)
{
    // A working copy: replaced whole, but not waited for on the disk.
    try {
        WriteFileAtomically(path, jpeg, Durability::Working);
    } catch (const FileError &error) {
        ThrowWriteError(error.reason());
    }
}

// The lentar carries what is on disk, so the file is read back whole and must be
// exactly what was written.
QByteArray ReadPictureFile(const QString &path, const QByteArray &expected)
{
    QByteArray bytes;
    try {
        bytes = ReadWholeFile(path);
    } catch (const FileError &error) {
        ThrowWriteError(error.reason());
    }
    if (bytes != expected)
        ThrowWriteError(QStringLiteral("прочитанный файл отличается от записанного"));
    return bytes;
}

QByteArray EncodeBase64Lines(const QByteArray &bytes)
{
    const int count = int(bytes.size());
    QByteArray text(Base64EncodedSize(count, kBase64GroupsPerLine), Qt::Uninitialized);
    const int written = Base64Encode(reinterpret_cast<const unsigned char *>(bytes.constData()),
        text.data(), count, kBase64GroupsPerLine);
    text.truncate(written);
    return text;
}

} // namespace

ScaledSize ComputeScaledSize(int width, int height)
{
    if (width <= 0 || height <= 0)
        return { 0, 0 };
    // Every step is rounded to single precision on purpose: that is what makes some
    // pictures come out one pixel over the frame (557 wide gives 301), and the sizes
    // must stay the ones users have always got.
    const float a = kFrame / static_cast<float>(width);
    const float b = kFrame / static_cast<float>(height);
    const float r = (a >= 1.0f && b >= 1.0f) ? 1.0f : std::min(a, b);
    const float scaledWidth = static_cast<float>(width) * r;
    const float scaledHeight = static_cast<float>(height) * r;
    return { static_cast<int>(std::ceil(scaledWidth)), static_cast<int>(std::ceil(scaledHeight)) };
}

ImportedPicture ImportPicture(const QString &sourcePath, const QString &tempFolder)
{
    ScaledJpeg decoded = DecodeScaledJpegFile(sourcePath);
    ImportedPicture picture;
    picture.jpeg = EncodePictureJpeg(decoded.image, decoded.multipleScans);

    const QString path = PictureFilePath(tempFolder);
    WritePictureFile(path, picture.jpeg);
    picture.base64 = EncodeBase64Lines(ReadPictureFile(path, picture.jpeg));
    picture.image = std::move(decoded.image);
    picture.progressive = decoded.multipleScans;
    return picture;
}

std::optional<QString> ChoosePicture(Platform &platform)
{
    return platform.askOpenPicture(
        QStringLiteral("Открыть изображение"), QString::fromUtf8(kPictureDialogFilter));
}
