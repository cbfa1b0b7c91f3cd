#include "writer_input.h"

#include <algorithm>
#include <cstdint>

namespace {

class Reader
{
public:
    explicit Reader(std::string_view bytes)
        : bytes_(bytes)
    { }

    unsigned byte() { return at_ < bytes_.size() ? static_cast<unsigned char>(bytes_[at_++]) : 0u; }
    int signedByte() { return static_cast<signed char>(static_cast<unsigned char>(byte())); }
    int int16()
    {
        const unsigned low = byte();
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(low | (byte() << 8)));
    }
    qint64 int64()
    {
        std::uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value |= std::uint64_t(byte()) << (8 * i);
        return static_cast<qint64>(value);
    }
    QString text()
    {
        const std::size_t wanted = int16() & 0xFFFF;
        const std::size_t count = std::min(wanted, (bytes_.size() - at_) / 2);
        QString result(qsizetype(count), Qt::Uninitialized);
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned low = byte();
            result[qsizetype(i)] = QChar(char16_t(low | (byte() << 8)));
        }
        return result;
    }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

void PutInt(QByteArray &out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

void PutText(QByteArray &out, const QString &text)
{
    const qsizetype count = std::min<qsizetype>(text.size(), 0xFFFF);
    PutInt(out, std::uint64_t(count), 2);
    for (qsizetype i = 0; i < count; ++i)
        PutInt(out, text.at(i).unicode(), 2);
}

Participant ReadParticipant(Reader &in)
{
    Participant person;
    person.id = in.text();
    person.surname = in.text();
    person.name = in.text();
    person.patronymic = in.text();
    return person;
}

} // namespace

WriterInput DecodeWriterInput(std::string_view bytes)
{
    Reader in(bytes);
    WriterInput result;
    LentarDocument &doc = result.doc;
    const int authors = int(in.byte() % (kMaxAuthors + 1));
    const int leaders = int(in.byte() % (kMaxLeaders + 1));
    doc.invoiceLeader = in.signedByte();
    for (int &slot : doc.subjectSlots)
        slot = in.signedByte();
    doc.picture.present = (in.byte() & 1) != 0;
    doc.picture.width = in.int16();
    doc.picture.height = in.int16();
    result.stored = in.int64();

    doc.title = in.text();
    doc.description = in.text();
    doc.techRequest = in.text();
    doc.manual = in.text();
    doc.publicPostIndex = in.text();
    doc.publicPostAddress = in.text();
    doc.publicPhone = in.text();
    doc.publicEmail = in.text();
    doc.notes = in.text();
    doc.picture.caption = in.text();
    doc.picture.base64 = in.text().toLatin1();
    for (int i = 0; i < authors; ++i)
        doc.authors.append(ReadParticipant(in));
    for (int i = 0; i < leaders; ++i)
        doc.leaders.append(ReadParticipant(in));
    return result;
}

QByteArray EncodeWriterInput(const WriterInput &input)
{
    const LentarDocument &doc = input.doc;
    QByteArray out;
    PutInt(out, std::uint64_t(std::min<qsizetype>(doc.authors.size(), kMaxAuthors)), 1);
    PutInt(out, std::uint64_t(std::min<qsizetype>(doc.leaders.size(), kMaxLeaders)), 1);
    PutInt(out, std::uint64_t(doc.invoiceLeader), 1);
    for (int slot : doc.subjectSlots)
        PutInt(out, std::uint64_t(slot), 1);
    PutInt(out, doc.picture.present ? 1 : 0, 1);
    PutInt(out, std::uint64_t(doc.picture.width), 2);
    PutInt(out, std::uint64_t(doc.picture.height), 2);
    PutInt(out, std::uint64_t(input.stored), 8);

    for (const QString *text : { &doc.title, &doc.description, &doc.techRequest, &doc.manual,
             &doc.publicPostIndex, &doc.publicPostAddress, &doc.publicPhone, &doc.publicEmail,
             &doc.notes, &doc.picture.caption })
        PutText(out, *text);
    PutText(out, QString::fromLatin1(doc.picture.base64));
    const auto putPeople = [&out](const QList<Participant> &people, int limit) {
        for (const Participant &person : people.first(std::min<qsizetype>(people.size(), limit)))
            for (const QString *text :
                { &person.id, &person.surname, &person.name, &person.patronymic })
                PutText(out, *text);
    };
    putPeople(doc.authors, kMaxAuthors);
    putPeople(doc.leaders, kMaxLeaders);
    return out;
}
