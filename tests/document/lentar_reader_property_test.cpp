// Random records written and read back. A record the editor can hold comes back field
// for field, and saving what was read gives the same bytes; any record at all comes
// back as one that then stays the same from save to save.

#include "codec/base64.h"
#include "codec/participant_id.h"
#include "document/lentar_reader.h"
#include "document/lentar_xml.h"
#include "lentar_compare.h"
#include "random_record.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 kSeed = 20110315;
constexpr int kDocuments = 400;

enum class Kind { MultiLine, TextLine, Attribute };

// A value as an edit field of its kind holds it and the format carries it unchanged:
// no control characters XML forbids, CR LF line breaks in a multi-line field only, no
// tab in a value written as an attribute (XML reads it as a blank), only characters of
// Windows-1251, and no more characters than the field takes.
QString Edited(const QString &raw, Kind kind, int limit = -1)
{
    QString text;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char16_t c = raw.at(i).unicode();
        if (c == u'\r' || c == u'\n') {
            if (kind == Kind::MultiLine) {
                if (c == u'\r' && i + 1 < raw.size() && raw.at(i + 1) == u'\n')
                    ++i;
                text.append(u"\r\n");
            }
        } else if ((c >= 32 || (c == u'\t' && kind != Kind::Attribute)) && c != 0xFFFE
            && c != 0xFFFF) {
            text.append(QChar(c));
        }
    }
    text = ReduceToCp1251(text);
    if (limit >= 0 && text.size() > limit)
        text.truncate(limit - (text.at(limit - 1) == u'\r' ? 1 : 0));
    return text;
}

// Identifiers are dashed as typing them would dash them; a text that is no identifier
// stays as it is.
QString EditedId(const QString &raw)
{
    const QString text = Edited(raw, Kind::Attribute);
    const ParsedParticipantId parsed = ParseParticipantId(text.toStdString());
    return parsed.shape == IdShape::NotNineDigits ? text : QString::fromStdString(parsed.formatted);
}

// What the editor would hold after the user typed the random record in, trimmed
// where the format trims (the file cannot say what was trimmed away).
LentarDocument AsEdited(const LentarDocument &raw)
{
    LentarDocument doc;
    doc.title = TrimControls(Edited(raw.title, Kind::Attribute, Limits::title));
    doc.description = Edited(raw.description, Kind::MultiLine, Limits::description);
    doc.techRequest = Edited(raw.techRequest, Kind::TextLine, Limits::techRequest);
    doc.manual = Edited(raw.manual, Kind::MultiLine, Limits::manual);
    int filled = 0;
    for (int slot : raw.subjectSlots) {
        const auto used = doc.subjectSlots.begin() + filled;
        if (slot != 0 && std::find(doc.subjectSlots.begin(), used, slot) == used)
            doc.subjectSlots[filled++] = slot;
    }
    const auto people = [](const QList<Participant> &list) {
        QList<Participant> edited;
        for (const Participant &p : list)
            edited.append({ EditedId(p.id),
                TrimControls(Edited(p.surname, Kind::Attribute, Limits::personName)),
                TrimControls(Edited(p.name, Kind::Attribute, Limits::personName)),
                TrimControls(Edited(p.patronymic, Kind::Attribute, Limits::personName)) });
        return edited;
    };
    doc.authors = people(raw.authors);
    doc.leaders = people(raw.leaders);
    doc.invoiceLeader = raw.invoiceLeader < raw.leaders.size() ? raw.invoiceLeader : -1;
    doc.publicPostIndex
        = TrimControls(Edited(raw.publicPostIndex, Kind::TextLine, Limits::publicPostIndex));
    doc.publicPostAddress
        = TrimControls(Edited(raw.publicPostAddress, Kind::TextLine, Limits::publicPostAddress));
    doc.publicPhone = TrimControls(Edited(raw.publicPhone, Kind::TextLine, Limits::publicPhone));
    doc.publicEmail = TrimControls(Edited(raw.publicEmail, Kind::TextLine, Limits::publicEmail));
    if (raw.picture.present) {
        // The import's form of some picture, of a size the import makes.
        const std::string bytes = Base64DecodeString(std::string_view(
            raw.picture.base64.constData(), std::size_t(raw.picture.base64.size())));
        doc.picture = { true, QByteArray::fromStdString(Base64EncodeString(bytes, 19)),
            std::max(raw.picture.width, 1), std::max(raw.picture.height, 1),
            Edited(raw.picture.caption, Kind::Attribute) };
    }
    doc.notes = TrimControls(Edited(raw.notes, Kind::MultiLine, Limits::notes));
    return doc;
}

// The identifier findings a record must give: every identifier is checked as typing
// checks it, and one that occurs twice is pointed out.
QStringList IdentifierFindings(const LentarDocument &doc)
{
    QStringList expected;
    QStringList seen;
    const auto check = [&](const QList<Participant> &list, const QString &name) {
        for (qsizetype i = 0; i < list.size(); ++i) {
            const QString field = name + u'[' + QString::number(i) + u"].id"_s;
            const IdShape shape = ParseParticipantId(list[i].id.toStdString()).shape;
            if (shape == IdShape::NotNineDigits)
                expected.append(u"bad-identifier@"_s + field);
            else if (shape == IdShape::WrongCheckDigits)
                expected.append(u"wrong-check-digits@"_s + field);
            if (!list[i].id.isEmpty() && seen.contains(list[i].id))
                expected.append(u"repeated-identifier@"_s + field);
            seen.append(list[i].id);
        }
    };
    check(doc.authors, u"author_list"_s);
    check(doc.leaders, u"leader_list"_s);
    return expected;
}

QByteArray Written(const LentarDocument &doc, qint64 stored, bool preview)
{
    const QString text = SerializeLentar(
        BuildLentarXml(doc, stored, preview ? LentarVariant::Preview : LentarVariant::Saved));
    return preview ? PreviewFileBytes(text) : LentarFileBytes(text);
}

QStringList Codes(const LentarReadResult &result)
{
    QStringList codes;
    for (const ReadFinding &f : result.findings)
        codes.append(f.code + u'@' + f.field);
    return codes;
}

} // namespace

class LentarReaderPropertyTest : public QObject
{
    Q_OBJECT

private slots:
    void editedRecordsComeBack();
    void anyRecordSettles();
};

void LentarReaderPropertyTest::editedRecordsComeBack()
{
    RandomRecord random(kSeed);
    for (int n = 0; n < kDocuments; ++n) {
        LentarDocument doc = AsEdited(random.next());
        const qint64 stored = random.stored();
        const bool preview = random.preview();
        const QByteArray context = "document " + QByteArray::number(n);
        const QByteArray bytes = Written(doc, stored, preview);

        const LentarReadResult read = ReadLentarBytes(bytes);
        QVERIFY2(!read.refused(), context);
        if (preview && doc.title.isEmpty())
            doc.title = u"Без названия"_s;
        const QString difference = FirstDifference(read.doc, doc);
        QVERIFY2(difference.isEmpty(), context + ": " + difference.toUtf8());
        QCOMPARE(read.stored, stored);
        QCOMPARE(read.pictureJpeg, QByteArray::fromBase64(doc.picture.base64));
        QCOMPARE(Codes(read), IdentifierFindings(doc));

        // Open and save: the same bytes.
        QVERIFY2(Written(read.doc, read.stored, preview) == bytes, context);
    }
}

void LentarReaderPropertyTest::anyRecordSettles()
{
    RandomRecord random(kSeed + 1);
    for (int n = 0; n < kDocuments; ++n) {
        const LentarDocument doc = random.next();
        const qint64 stored = random.stored();
        const bool preview = random.preview();
        const QByteArray context = "document " + QByteArray::number(n);

        const LentarReadResult first = ReadLentarBytes(Written(doc, stored, preview));
        QVERIFY2(!first.refused(), context);
        const QByteArray saved = Written(first.doc, first.stored, false);
        const LentarReadResult second = ReadLentarBytes(saved);
        QVERIFY2(!second.refused(), context);
        QVERIFY2(Written(second.doc, second.stored, false) == saved,
            context + ": " + FirstDifference(second.doc, first.doc).toUtf8());
    }
}

QTEST_GUILESS_MAIN(LentarReaderPropertyTest)
#include "lentar_reader_property_test.moc"
