#include "fuzz_checks.h"

#include "codec/base64.h"
#include "codec/participant_id.h"
#include "document/lentar_reader.h"
#include "document/lentar_xml.h"
#include "document/subject_catalogue.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

const QLatin1StringView kRefusals[] = { ReadCode::NotAFile, ReadCode::ReadError, ReadCode::TooLarge,
    ReadCode::NotXml, ReadCode::Doctype, ReadCode::WrongRoot, ReadCode::NoWork,
    ReadCode::WrongSeason, ReadCode::WrongVersion };

const QLatin1StringView kFindings[] = { ReadCode::BadIdentifier, ReadCode::WrongCheckDigits,
    ReadCode::RepeatedIdentifier, ReadCode::UnknownSubject, ReadCode::RepeatedSubject,
    ReadCode::TooManySubjects, ReadCode::TooManyAuthors, ReadCode::TooManyLeaders,
    ReadCode::BadPersonType, ReadCode::BadInvoiceLeader, ReadCode::BadPictureSource,
    ReadCode::BadBase64, ReadCode::BadPictureSize, ReadCode::TextCut, ReadCode::Cp1251,
    ReadCode::BadStored, ReadCode::MissingElement, ReadCode::UnexpectedContent };

// Identifiers are the one thing a saved lentar can hold that the reader still points
// out: the editor keeps a wrong one it was given rather than lose the participant.
const QLatin1StringView kKeptFindings[]
    = { ReadCode::BadIdentifier, ReadCode::WrongCheckDigits, ReadCode::RepeatedIdentifier };

template<std::size_t N> bool OneOf(const QString &code, const QLatin1StringView (&codes)[N])
{
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

// A text the record may hold: only Windows-1251 characters, within its limit.
bool Fits(const QString &text, int limit)
{
    return (limit < 0 || text.size() <= limit) && ReduceToCp1251(text) == text;
}

std::string CheckRecord(const LentarReadResult &result)
{
    const LentarDocument &doc = result.doc;
    const std::pair<const QString *, int> texts[] = { { &doc.title, Limits::title },
        { &doc.description, Limits::description }, { &doc.techRequest, Limits::techRequest },
        { &doc.manual, Limits::manual }, { &doc.publicPostIndex, Limits::publicPostIndex },
        { &doc.publicPostAddress, Limits::publicPostAddress },
        { &doc.publicPhone, Limits::publicPhone }, { &doc.publicEmail, Limits::publicEmail },
        { &doc.notes, Limits::notes }, { &doc.picture.caption, -1 } };
    for (const auto &[text, limit] : texts)
        if (!Fits(*text, limit))
            return "a text is too long or holds a character outside Windows-1251";
    for (const QString *text : { &doc.description, &doc.manual, &doc.notes }) {
        const QString lines = QString(*text).remove(u"\r\n"_s);
        if (lines.contains(u'\r') || lines.contains(u'\n'))
            return "a multi-line text holds a line end other than CR LF";
    }

    const auto used = std::find(doc.subjectSlots.begin(), doc.subjectSlots.end(), 0);
    for (auto slot = doc.subjectSlots.begin(); slot != used; ++slot) {
        if (SubjectCatalogue::caption(*slot).isEmpty())
            return "a subject slot holds a subject the catalogue lacks";
        if (std::find(doc.subjectSlots.begin(), slot, *slot) != slot)
            return "a subject is held twice";
    }
    if (std::any_of(used, doc.subjectSlots.end(), [](int slot) { return slot != 0; }))
        return "the subject slots have a gap";

    if (doc.authors.size() > kMaxAuthors || doc.leaders.size() > kMaxLeaders)
        return "too many participants";
    if (doc.invoiceLeader < -1 || doc.invoiceLeader >= doc.leaders.size())
        return "the invoice leader is no leader";
    for (const bool author : { true, false }) {
        const QList<Participant> &list = author ? doc.authors : doc.leaders;
        for (qsizetype i = 0; i < list.size(); ++i) {
            const Participant &p = list.at(i);
            for (const QString *name : { &p.surname, &p.name, &p.patronymic })
                if (!Fits(*name, Limits::personName))
                    return "a name is too long or holds a character outside Windows-1251";
            const std::string id = p.id.toStdString();
            const bool formatted = id.size() == 11
                && FormatParticipantId(NormalizeParticipantId(id)) == id
                && std::count_if(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; })
                    == 9;
            const QString field
                = (author ? u"author_list["_s : u"leader_list["_s) + QString::number(i) + u"].id"_s;
            const bool reported = std::any_of(
                result.findings.begin(), result.findings.end(), [&](const ReadFinding &f) {
                    return f.code == ReadCode::BadIdentifier && f.field == field;
                });
            if (!formatted && !reported)
                return "an identifier is neither formatted nor reported";
            if (!Fits(p.id, -1))
                return "an identifier holds a character outside Windows-1251";
        }
    }

    const WorkImage &picture = doc.picture;
    if (!picture.present) {
        if (!(picture == WorkImage {}) || !result.pictureJpeg.isEmpty())
            return "a picture that is not there left something behind";
    } else {
        const std::string_view jpeg(
            result.pictureJpeg.constData(), std::size_t(result.pictureJpeg.size()));
        if (picture.base64 != QByteArray::fromStdString(Base64EncodeString(jpeg, 19)))
            return "the picture's base64 is not the encoding of its bytes";
        if (picture.width < 1 || picture.width > 301 || picture.height < 1 || picture.height > 301)
            return "the picture has a size the import never makes";
    }

    for (const ReadFinding &f : result.findings)
        if (!OneOf(f.code, kFindings) || f.message.isEmpty())
            return "a finding without a known code or a message";
    return {};
}

QByteArray Saved(const LentarReadResult &result)
{
    return LentarFileBytes(SerializeLentar(BuildLentarXml(result.doc, result.stored)));
}

} // namespace

std::string FuzzLentarReader(std::string_view input)
{
    const LentarReadResult result
        = ReadLentarBytes(QByteArray(input.data(), qsizetype(input.size())));
    if (result.refused()) {
        if (!OneOf(result.refusal->code, kRefusals) || result.refusal->message.isEmpty())
            return "a refusal without a known code or a message";
        if (!(result.doc == LentarDocument {}) || !result.findings.isEmpty()
            || !result.pictureJpeg.isEmpty() || result.stored != 0)
            return "a refused file left something behind";
        return {};
    }
    if (std::string problem = CheckRecord(result); !problem.empty())
        return problem;

    // Saved and opened again, the record stays what it is.
    const QByteArray saved = Saved(result);
    const LentarReadResult again = ReadLentarBytes(saved);
    if (again.refused())
        return "the saved record is refused: " + again.refusal->message.toStdString();
    for (const ReadFinding &f : again.findings)
        if (!OneOf(f.code, kKeptFindings))
            return "the saved record reads with a finding: " + f.code.toStdString();
    if (Saved(again) != saved)
        return "opening and saving the saved record changes its bytes";
    if (again.pictureJpeg != result.pictureJpeg)
        return "the picture's bytes change from save to save";
    return {};
}
