#include "fuzz_checks.h"

#include "codec/base64.h"
#include "codec/error.h"
#include "picture/jpeg_as_stored.h"
#include "picture/jpeg_codec.h"
#include "picture/jpeg_inspect.h"
#include "picture/jpeg_quick_check.h"
#include "picture/picture_import.h"

#include <QBuffer>
#include <QFile>
#include <QStringDecoder>

#include <new>

namespace {

// What the working copy holds before every import; a failed import must leave it.
const QByteArray kEarlierCopy = QByteArrayLiteral("earlier preview.lnr.jpg");

bool WriteBytes(const QString &path, QByteArrayView bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly)
        && file.write(bytes.data(), bytes.size()) == bytes.size();
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string CheckMessage(const char *what)
{
    const QByteArray message(what);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(message);
    if (decoder.hasError())
        return "the error message is not valid UTF-8";
    for (const QChar c : text)
        if (c.unicode() >= 0x0410 && c.unicode() <= 0x044F)
            return {};
    return "the error message has no Russian in it: " + message.toStdString();
}

std::string CheckImported(const ImportedPicture &picture, const QString &copyPath)
{
    const RgbImage &image = picture.image;
    if (image.width < 1 || image.height < 1 || image.width > 301 || image.height > 301)
        return "the picture does not fit the frame: " + std::to_string(image.width) + " x "
            + std::to_string(image.height);
    if (image.rgb.size() != std::size_t(image.width) * std::size_t(image.height) * 3)
        return "the picture's pixels do not match its size";
    if (!picture.jpeg.startsWith("\xFF\xD8") || !picture.jpeg.endsWith("\xFF\xD9"))
        return "the re-encoded picture is not a whole JPEG";
    if (ReadBytes(copyPath) != picture.jpeg)
        return "preview.lnr.jpg differs from the re-encoded picture";
    bool ok = false;
    const std::string decoded = Base64DecodeString(
        std::string_view(picture.base64.constData(), std::size_t(picture.base64.size())), &ok);
    if (!ok || QByteArray::fromStdString(decoded) != picture.jpeg)
        return "the base64 text is not the re-encoded picture";
    for (const QByteArray &line : picture.base64.split('\n'))
        if (line.size() > 76)
            return "a base64 line is longer than 76 characters";

    // What the import wrote must itself be a picture the import takes, at the same size.
    QByteArray again = picture.jpeg;
    QBuffer buffer(&again);
    buffer.open(QIODevice::ReadOnly);
    try {
        const ScaledJpeg reread = DecodeScaledJpeg(buffer);
        const ScaledSize size = ComputeScaledSize(image.width, image.height);
        if (reread.image.width != size.width || reread.image.height != size.height)
            return "the re-encoded picture reads back at another size";
        if (reread.multipleScans != picture.progressive)
            return "the re-encoded picture is not progressive exactly when its source was";
    } catch (const LentarError &error) {
        return std::string("the re-encoded picture cannot be read again: ") + error.what();
    }
    return {};
}

} // namespace

std::string FuzzPictureImport(std::string_view input, const QString &workFolder)
{
    const QString source = workFolder + QStringLiteral("/chosen.jpg");
    const QString copy = workFolder + u'/' + QString::fromLatin1(kPictureFileName);
    if (!WriteBytes(source, QByteArrayView(input.data(), qsizetype(input.size())))
        || !WriteBytes(copy, kEarlierCopy))
        return "cannot prepare the work folder " + workFolder.toStdString();

    // The quick walk may only call whole what libjpeg decodes whole.
    const QByteArray bytes(input.data(), qsizetype(input.size()));
    const QuickJpegCheck quick = CheckJpegQuickly(bytes, 1024, kMaxScans);
    if (quick.whole) {
        const JpegInspection full = InspectJpegFully(bytes, 1024);
        if (!full.ok || full.width != quick.width || full.height != quick.height)
            return "the quick check calls whole a picture libjpeg does not: "
                + full.reason.toStdString();
        // A whole picture embedded as it is must be shown at the size libjpeg gives it.
        const std::optional<StoredJpegFrame> frame = JpegShownAsStored(bytes);
        if (frame && (frame->width != quick.width || frame->height != quick.height))
            return "a picture embedded as it is has another size than libjpeg's";
    }

    try {
        return CheckImported(ImportPicture(source, workFolder + u'/'), copy);
    } catch (const LentarError &error) {
        std::string problem = CheckMessage(error.what());
        if (problem.empty() && ReadBytes(copy) != kEarlierCopy)
            problem = "a failed import touched the earlier preview.lnr.jpg";
        return problem;
    } catch (const std::bad_alloc &) {
        return "the import ran out of memory";
    } catch (const std::exception &error) {
        return std::string("the import threw an unexpected error: ") + error.what();
    }
}
