#include "check/pdf_output.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kPassBytes = 256 * 1024;

// The number at the start of text, with its digits; -1 for none.
qint64 LeadingNumber(QByteArrayView text, qsizetype &digits)
{
    digits = 0;
    qint64 number = 0;
    while (digits < text.size() && digits < 12 && text[digits] >= '0' && text[digits] <= '9')
        number = number * 10 + (text[digits++] - '0');
    return digits == 0 ? -1 : number;
}

} // namespace

PdfOutput::PdfOutput(Sink sink)
    : sink_(std::move(sink))
{ }

qint64 PdfOutput::writeData(const char *data, qint64 size)
{
    pending_.append(data, size);
    written_ += size;
    if (held_ < 0 && pending_.size() >= kPassBytes)
        pass(pending_.size());
    return error_ ? -1 : size;
}

void PdfOutput::pass(qsizetype upTo)
{
    if (upTo == 0)
        return;
    if (!error_) {
        try {
            sink_(pending_.first(upTo));
        } catch (const FileError &error) {
            error_ = error;
        }
    }
    passed_ += upTo;
    pending_.remove(0, upTo);
}

void PdfOutput::beginPicture()
{
    held_ = pending_.size();
}

// The writer writes an image as
//   N 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n ... /Length L 0 R\n ... >>\nstream\n
//   (the data)\nendstream\nendobj\nL 0 obj\n(the data's size)\nendobj\n
bool PdfOutput::endPicture(const QByteArray &jpeg, const StoredJpegFrame &frame)
{
    const qsizetype start = std::exchange(held_, -1);
    const QByteArrayView written = QByteArrayView(pending_).sliced(start);
    if (written.isEmpty())
        return true;
    qsizetype objectDigits = 0;
    const qint64 object = LeadingNumber(written, objectDigits);
    const QByteArrayView rest = written.sliced(objectDigits);
    const qsizetype dictionaryEnd = rest.indexOf(">>\nstream\n");
    const qsizetype lengthAt = rest.indexOf("/Length ");
    if (jpeg.isNull() || object < 0 || !rest.startsWith(" 0 obj\n<<\n") || dictionaryEnd < 0
        || lengthAt < 0 || lengthAt > dictionaryEnd)
        return false;
    const QByteArrayView dictionary = rest.first(dictionaryEnd);
    if (!dictionary.contains("/Subtype /Image\n") || dictionary.contains("Mask"))
        return false;
    qsizetype digits = 0;
    const qint64 lengthObject = LeadingNumber(rest.sliced(lengthAt + 8), digits);
    if (lengthObject < 0 || !rest.sliced(lengthAt + 8 + digits).startsWith(" 0 R\n"))
        return false;
    const QByteArray streamEnd = "\nendstream\nendobj\n"_ba;
    const qsizetype dataEnd = written.lastIndexOf(streamEnd);
    const QByteArrayView length = written.sliced(dataEnd < 0 ? 0 : dataEnd + streamEnd.size());
    const QByteArray lengthHead = QByteArray::number(lengthObject) + " 0 obj\n";
    if (dataEnd < objectDigits + dictionaryEnd || !length.startsWith(lengthHead)
        || LeadingNumber(length.sliced(lengthHead.size()), digits) < 0
        || length.sliced(lengthHead.size() + digits) != "\nendobj\n")
        return false;

    const qint64 lengthWrittenAt = written_ - length.size();
    QByteArray image = QByteArray::number(object) + " 0 obj\n<<\n/Type /XObject\n/Subtype /Image\n"
        + "/Width " + QByteArray::number(frame.width) + "\n/Height "
        + QByteArray::number(frame.height) + "\n/BitsPerComponent 8\n/ColorSpace "
        + (frame.grey ? "/DeviceGray" : "/DeviceRGB") + "\n/Length "
        + QByteArray::number(lengthObject) + " 0 R\n/Filter /DCTDecode\n>>\nstream\n";
    image += jpeg;
    image += streamEnd;
    const qint64 lengthNowAt = passed_ + start + image.size();
    image += lengthHead + QByteArray::number(jpeg.size()) + "\nendobj\n";
    pending_.resize(start);
    pending_ += image;
    lengthObjects_[lengthWrittenAt] = lengthNowAt;
    shifts_.emplace_back(written_, passed_ + pending_.size() - written_);
    if (pending_.size() >= kPassBytes)
        pass(pending_.size());
    return true;
}

qint64 PdfOutput::moved(qint64 offset) const
{
    if (const auto length = lengthObjects_.find(offset); length != lengthObjects_.end())
        return length->second;
    const auto after = std::upper_bound(shifts_.begin(), shifts_.end(), offset,
        [](qint64 at, const std::pair<qint64, qint64> &shift) { return at < shift.first; });
    return after == shifts_.begin() ? offset : offset + std::prev(after)->second;
}

void PdfOutput::beginTail()
{
    held_ = pending_.size();
}

// The writer ends the file with
//   xref\n0 N\n(N entries of 20 bytes: 10 digits of offset, " 00000 n \n")trailer ...
//   startxref\n(the table's offset)\n%%EOF\n
bool PdfOutput::finish()
{
    const qsizetype tail = std::exchange(held_, -1);
    const qint64 tailWrittenAt = written_ - (pending_.size() - tail);
    const QByteArray startKey = "startxref\n"_ba;
    const qsizetype start = pending_.lastIndexOf(startKey);
    qsizetype digits = 0;
    const qint64 table = start < tail
        ? -1
        : LeadingNumber(QByteArrayView(pending_).sliced(start + startKey.size()), digits);
    if (table < tailWrittenAt || table >= written_) {
        pass(pending_.size());
        return false;
    }
    qsizetype at = tail + (table - tailWrittenAt);
    qsizetype countDigits = 0;
    const QByteArrayView head = QByteArrayView(pending_).sliced(at);
    const qint64 count
        = head.startsWith("xref\n0 ") ? LeadingNumber(head.sliced(7), countDigits) : -1;
    at += 7 + countDigits + 1;
    if (count < 0 || at + count * 20 > start) {
        pass(pending_.size());
        return false;
    }
    char *entries = pending_.data() + at;
    for (qint64 i = 0; i < count; ++i) {
        char *entry = entries + i * 20;
        qsizetype entryDigits = 0;
        const qint64 offset = LeadingNumber(QByteArrayView(entry, 20), entryDigits);
        if (entryDigits != 10 || entry[17] != 'n')
            continue;
        const QByteArray now = QByteArray::number(moved(offset)).rightJustified(10, '0');
        if (now.size() != 10)
            return false;
        std::copy(now.begin(), now.end(), entry);
    }
    pending_.replace(start + startKey.size(), digits, QByteArray::number(moved(table)));
    pass(pending_.size());
    return true;
}

bool PdfOutputEmbedsJpeg()
{
    static const bool embeds = [] {
        QByteArray file;
        PdfOutput output([&file](const QByteArray &piece) { file += piece; });
        output.open(QIODevice::WriteOnly);
        const QByteArray jpeg = "\xFF\xD8\xFF\xD9"_ba;
        bool replaced = false;
        {
            QPdfWriter writer(&output);
            QPainter painter(&writer);
            QImage standIn(1, 1, QImage::Format_RGB32);
            standIn.fill(Qt::red);
            painter.setRenderHint(QPainter::LosslessImageRendering);
            output.beginPicture();
            painter.drawImage(QRectF(10, 10, 20, 20), standIn);
            replaced = output.endPicture(jpeg, { 2, 1, true });
            output.beginTail();
        }
        return output.finish() && replaced && file.contains("\nstream\n" + jpeg + "\nendstream");
    }();
    return embeds;
}
