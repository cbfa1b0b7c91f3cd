#include "document/lentar_reader.h"

#include "codec/base64.h"
#include "codec/participant_id.h"
#include "document/subject_catalogue.h"
#include "platform/files.h"

#include <QFile>
#include <QFileInfo>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <QStringList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace Qt::StringLiterals;

namespace {

constexpr QLatin1StringView kPictureSourcePrefix { "data:image/jpeg;base64," };
constexpr int kPictureLineGroups = 19; // 76 characters a line, as the import writes them
constexpr int kMaxPictureSide = 301; // the import's scaling can round up to 301

struct DocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
struct ParserFree
{
    void operator()(xmlParserCtxt *ctxt) const { xmlFreeParserCtxt(ctxt); }
};
using XmlDoc = std::unique_ptr<xmlDoc, DocFree>;

void InitialiseLibxml()
{
    // Once per process, before any thread parses.
    static const bool initialised = [] {
        xmlInitParser();
        return true;
    }();
    (void)initialised;
}

// A DOCTYPE stops the parse the moment it is seen, before anything inside it is read:
// no entity is declared, so none can be expanded, and no DTD or other file is loaded.
// The stop leaves XML_ERR_USER_STOP in the context, which tells this refusal apart.
void StopAtDoctype(void *ctx, const xmlChar *, const xmlChar *, const xmlChar *)
{
    xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
}

void StopAtEntity(void *ctx, const xmlChar *, int, const xmlChar *, const xmlChar *, xmlChar *)
{
    xmlStopParser(static_cast<xmlParserCtxtPtr>(ctx));
}

// Complaints stay in the parser context (its last error gives the line); they reach
// neither stderr nor whatever handlers the process has installed.
void KeepError(void *, xmlErrorPtr) { }

LentarReadResult Refused(QLatin1StringView code, const QString &message, const QString &field = {})
{
    LentarReadResult result;
    result.refusal = ReadFinding { code, message, field };
    return result;
}

QString FromXml(const xmlChar *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

QString Name(const xmlNode *node)
{
    return FromXml(node->name);
}

bool IsNamed(const xmlNode *node, const char *name)
{
    return xmlStrEqual(node->name, reinterpret_cast<const xmlChar *>(name));
}

// An attribute's value. The parser turns every tab and line end written in a value
// into a blank; those written as character references become blanks here as well, so
// that the value reads the same once the writer has put it into a file again.
std::optional<QString> Attribute(xmlNode *node, const char *name)
{
    xmlAttr *attr = xmlHasProp(node, reinterpret_cast<const xmlChar *>(name));
    if (!attr)
        return std::nullopt;
    xmlChar *value = xmlNodeListGetString(node->doc, attr->children, 1);
    QString text = FromXml(value);
    xmlFree(value);
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

// The text of a single-line element with its line ends as the parser leaves those it
// reads itself: one line feed each, also where the file wrote them as references.
QString LineEndsAsParsed(QString text)
{
    if (text.contains(u'\r'))
        text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    return text;
}

// Line feeds back to the CR LF of a multi-line field. The writer puts a CR LF line
// break into the file as CR CR LF, which the parser's line-end handling turns into two
// line feeds; a file that went through a tool converting its line ends (or was written
// by another program) holds one line feed per line break instead. pairedBreaks says
// which kind of file this is.
QString MultiLineFromXml(const QString &parsed, bool pairedBreaks)
{
    QString out;
    out.reserve(parsed.size() + parsed.size() / 8);
    const qsizetype size = parsed.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = parsed.at(i);
        if (c != u'\n' && c != u'\r') {
            out.append(c);
            ++i;
            continue;
        }
        // A run of line ends; a CR here came from a character reference, and a CR LF
        // pair counts as one line end, as the editor counts it.
        qsizetype ends = 0;
        while (i < size && (parsed.at(i) == u'\n' || parsed.at(i) == u'\r')) {
            if (parsed.at(i) == u'\r' && i + 1 < size && parsed.at(i + 1) == u'\n')
                ++i;
            ++i;
            ++ends;
        }
        const qsizetype breaks = pairedBreaks ? (ends + 1) / 2 : ends;
        for (qsizetype k = 0; k < breaks; ++k)
            out.append(u"\r\n");
    }
    return out;
}

// The picture's base64 text as the file spells it: the value of the first img start
// tag's src attribute (a literal "<img" cannot stand in a text or a value, where "<" is
// escaped; one in a comment is found by the caller's check that the text set aside was
// the picture read), found in the file's own bytes up to the value's closing quote,
// which the value cannot hold.
struct PictureText
{
    // Only line breaks may stand between the groups of the text, but after parsing a
    // blank or a tab reads as a line break does: only the file's bytes tell.
    bool blanks = false;
    // Set when the value is nothing but the data: prefix, base64 symbols, "=" and
    // white space, so that the parser would read it as these bytes with its line
    // breaks as blanks. Such a text need not go through the parser at all: its place
    // in the file is taken by kPictureSetAside.
    bool aside = false;
    std::string_view base64; // the text after the prefix, when aside
    bool strict = false; // as Base64IsStrict(base64), when aside
    bool encode = true; // whether doc.picture.base64 is wanted
    qsizetype valueStart = 0;
    qsizetype valueEnd = 0;
};

// Stands in the parsed copy of a file for the picture text set aside; a file that
// holds these letters itself is parsed whole.
constexpr char kPictureSetAside[] = "LentarPictureTextSetAside";

// What each character of a picture text is to the pass that sets it aside.
enum PictureChar : unsigned char { kOtherChar, kSymbolChar, kPadChar, kBreakChar, kBlankChar };
constexpr std::array<PictureChar, 256> kPictureChars = [] {
    std::array<PictureChar, 256> chars {};
    for (const char c :
        std::string_view("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"))
        chars[static_cast<unsigned char>(c)] = kSymbolChar;
    chars['='] = kPadChar;
    chars['\r'] = chars['\n'] = kBreakChar;
    chars[' '] = chars['\t'] = kBlankChar;
    return chars;
}();

// One pass over the base64 text after the prefix: whether it may be set aside, and
// then whether it is strict and holds blanks.
// How many characters from the start of text, up to 16, are base64 symbols.
std::size_t LeadingSymbols(const char *text, std::size_t size)
{
#if defined(__SSE2__)
    if (size >= 16) {
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text));
        // Signed comparisons: bytes from 0x80 up are below every range.
        const auto in = [&c](char low, char high) {
            return _mm_and_si128(_mm_cmpgt_epi8(c, _mm_set1_epi8(char(low - 1))),
                _mm_cmplt_epi8(c, _mm_set1_epi8(char(high + 1))));
        };
        const __m128i symbol = _mm_or_si128(_mm_or_si128(in('A', 'Z'), in('a', 'z')),
            _mm_or_si128(in('0', '9'),
                _mm_or_si128(
                    _mm_cmpeq_epi8(c, _mm_set1_epi8('+')), _mm_cmpeq_epi8(c, _mm_set1_epi8('/')))));
        const unsigned others = ~unsigned(_mm_movemask_epi8(symbol)) & 0xFFFFu;
        return others == 0 ? 16 : std::size_t(__builtin_ctz(others));
    }
#endif
    std::size_t n = 0;
    while (n < size && n < 16 && kPictureChars[static_cast<unsigned char>(text[n])] == kSymbolChar)
        ++n;
    return n;
}

void ScanPictureText(std::string_view text, PictureText &found)
{
    std::size_t symbols = 0;
    int pads = 0;
    bool strict = true;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        // Nearly all of a text is runs of symbols.
        const std::size_t run = LeadingSymbols(text.data() + i, size - i);
        if (run > 0) {
            strict = strict && pads == 0;
            symbols += run;
            i += run;
            continue;
        }
        switch (kPictureChars[static_cast<unsigned char>(text[i++])]) {
        case kSymbolChar:
            break; // counted above
        case kPadChar:
            strict = strict && ++pads <= 2;
            ++symbols;
            break;
        case kBreakChar:
            break;
        case kBlankChar:
            found.blanks = true;
            strict = false;
            break;
        case kOtherChar:
            return;
        }
    }
    found.aside = true;
    found.strict = strict && symbols % 4 == 0;
    found.base64 = text;
}

PictureText FindPictureText(const QByteArray &bytes)
{
    PictureText found;
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    qsizetype i = 0;
    do {
        i = bytes.indexOf("<img", i);
        if (i < 0)
            return found;
        i += 4;
    } while (i < bytes.size() && !isSpace(bytes[i]));
    while (i < bytes.size()) {
        while (i < bytes.size() && isSpace(bytes[i]))
            ++i;
        if (i >= bytes.size() || bytes[i] == '>' || bytes[i] == '/')
            return found;
        const qsizetype nameStart = i;
        while (i < bytes.size() && bytes[i] != '=' && !isSpace(bytes[i]))
            ++i;
        const QByteArrayView name = QByteArrayView(bytes).sliced(nameStart, i - nameStart);
        while (i < bytes.size() && (isSpace(bytes[i]) || bytes[i] == '='))
            ++i;
        if (i >= bytes.size() || (bytes[i] != '"' && bytes[i] != '\''))
            return found;
        const char quote = bytes[i++];
        const qsizetype end = bytes.indexOf(quote, i);
        if (end < 0)
            return found;
        if (name != "src") {
            i = end + 1;
            continue;
        }
        const QByteArrayView value = QByteArrayView(bytes).sliced(i, end - i);
        const QByteArrayView prefix(kPictureSourcePrefix.data(), kPictureSourcePrefix.size());
        if (value.size() >= prefix.size()
            && value.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0
            && !bytes.contains(kPictureSetAside)) {
            const QByteArrayView text = value.sliced(prefix.size());
            ScanPictureText(std::string_view(text.data(), std::size_t(text.size())), found);
        }
        if (!found.aside)
            found.blanks = value.contains(' ') || value.contains('\t');
        found.valueStart = i;
        found.valueEnd = end;
        return found;
    }
    return found;
}

// Whether the attribute's value is exactly text, without copying it.
bool AttributeIs(xmlNode *node, const char *name, const char *text)
{
    const xmlAttr *attr = xmlHasProp(node, reinterpret_cast<const xmlChar *>(name));
    return attr && attr->children && !attr->children->next && attr->children->type == XML_TEXT_NODE
        && xmlStrEqual(attr->children->content, reinterpret_cast<const xmlChar *>(text));
}

// The decoded bytes, written straight into the array that keeps them.
QByteArray DecodeBase64(std::string_view text, bool *complete)
{
    if (text.size() > std::size_t(std::numeric_limits<int>::max()))
        throw std::bad_alloc();
    QByteArray bytes(qsizetype(3 * (text.size() / 4)), Qt::Uninitialized);
    const int written = Base64Decode(
        text.data(), int(text.size()), reinterpret_cast<unsigned char *>(bytes.data()));
    *complete = written >= 0;
    if (written >= 0) {
        bytes.truncate(written);
        return bytes;
    }
    // A text cut inside a group: the bytes before it.
    return QByteArray::fromStdString(Base64DecodeString(text));
}

QByteArray EncodeBase64(const QByteArray &bytes, int groupsPerLine)
{
    const int size = Base64EncodedSize(int(bytes.size()), groupsPerLine);
    if (size < 0)
        throw std::bad_alloc();
    QByteArray text(size, Qt::Uninitialized);
    text.truncate(Base64Encode(reinterpret_cast<const unsigned char *>(bytes.constData()),
        text.data(), int(bytes.size()), groupsPerLine));
    return text;
}

QString PersonLabel(bool author, qsizetype index)
{
    return (author ? u"автор "_s : u"руководитель "_s) + QString::number(index + 1);
}

QString ListField(bool author, qsizetype index, const char *member)
{
    return (author ? u"author_list["_s : u"leader_list["_s) + QString::number(index) + u"]."_s
        + QLatin1StringView(member);
}

class Loader
{
public:
    Loader(LentarReadResult &result, bool pairedBreaks, const PictureText &picture)
        : result_(result)
        , doc_(result.doc)
        , pairedBreaks_(pairedBreaks)
        , picture_(picture)
    { }

    // Whether the img element read was the one whose text was set aside.
    bool tookAsidePicture() const { return tookAside_; }

    void loadWork(xmlNode *work)
    {
        loadStored(work);
        doc_.title = singleLine(
            Attribute(work, "title").value_or(QString()), Limits::title, u"title"_s, u"Название"_s);

        struct Part
        {
            const char *name;
            void (Loader::*load)(xmlNode *);
            bool required;
            bool seen = false;
        };
        Part parts[] = {
            { "description", &Loader::loadDescription, true },
            { "specification", &Loader::loadSpecification, true },
            { "manual", &Loader::loadManual, true },
            { "subjects", &Loader::loadSubjects, true },
            { "authors", &Loader::loadAuthors, true },
            { "public_relations", &Loader::loadContacts, true },
            { "img", &Loader::loadImage, false },
            { "comment", &Loader::loadComment, true },
        };
        // The saved lentar and the preview order the parts differently; any order is
        // read, each part once.
        for (xmlNode *child : contentOf(work)) {
            Part *part = std::find_if(std::begin(parts), std::end(parts),
                [child](const Part &p) { return IsNamed(child, p.name); });
            if (part == std::end(parts)) {
                unexpectedElement(child, work);
            } else if (part->seen) {
                repeatedElement(child);
            } else {
                part->seen = true;
                (this->*part->load)(child);
            }
        }
        for (const Part &part : parts) {
            if (part.required && !part.seen)
                note(ReadCode::MissingElement, QString(),
                    u"В лентаре нет элемента «%1»"_s.arg(QLatin1StringView(part.name)));
        }
    }

    // The element children of a container, with a finding for any text among them;
    // the blanks and line ends of an indented file are no text.
    std::vector<xmlNode *> contentOf(xmlNode *node)
    {
        std::vector<xmlNode *> elements;
        bool textNoted = false;
        for (xmlNode *child = node->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE) {
                elements.push_back(child);
            } else if ((child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE)
                && !xmlIsBlankNode(child) && !textNoted) {
                textNoted = true;
                note(ReadCode::UnexpectedContent, QString(),
                    u"Текст внутри элемента «%1» не относится ни к одному полю и пропущен"_s.arg(
                        Name(node)));
            }
        }
        return elements;
    }

    void unexpectedElement(xmlNode *element, xmlNode *parent)
    {
        note(ReadCode::UnexpectedContent, QString(),
            u"Неизвестный элемент «%1» внутри «%2» пропущен"_s.arg(Name(element), Name(parent)));
    }

private:
    void note(QLatin1StringView code, const QString &field, const QString &message)
    {
        result_.findings.append({ code, message, field });
    }

    void repeatedElement(xmlNode *element)
    {
        note(ReadCode::UnexpectedContent, QString(),
            u"Элемент «%1» повторяется; повтор пропущен"_s.arg(Name(element)));
    }

    // The character data of an element that holds only text.
    QString textOf(xmlNode *node)
    {
        QString text;
        bool elementNoted = false;
        for (xmlNode *child = node->children; child; child = child->next) {
            if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
                text += FromXml(child->content);
            } else if (child->type == XML_ELEMENT_NODE && !elementNoted) {
                elementNoted = true;
                unexpectedElement(child, node);
            }
        }
        return text;
    }

    // Characters the code page lacks become "?", as everywhere the program writes.
    QString reduced(const QString &text, const QString &field, const QString &label)
    {
        QString out = ReduceToCp1251(text);
        if (out != text)
            note(ReadCode::Cp1251, field,
                u"«%1»: символы, которых нет в кодировке Windows-1251, заменены на «?»"_s.arg(
                    label));
        return out;
    }

    void cutNote(const QString &field, const QString &label, int limit)
    {
        note(ReadCode::TextCut, field,
            u"«%1»: текст длиннее %2 символов, лишнее отрезано"_s.arg(label).arg(limit));
    }

    // A single-line field as its edit would hold it: limit < 0 for none.
    QString singleLine(const QString &value, int limit, const QString &field, const QString &label)
    {
        QString text = reduced(value, field, label);
        if (limit >= 0 && text.size() > limit) {
            text.truncate(limit);
            cutNote(field, label, limit);
        }
        return text;
    }

    QString multiLine(const QString &value, int limit, const QString &field, const QString &label)
    {
        QString text = reduced(MultiLineFromXml(value, pairedBreaks_), field, label);
        if (text.size() > limit) {
            // A line break counts two and is never split.
            qsizetype keep = limit;
            if (keep > 0 && text.at(keep - 1) == u'\r' && text.at(keep) == u'\n')
                --keep;
            text.truncate(keep);
            cutNote(field, label, limit);
        }
        return text;
    }

    void loadStored(xmlNode *work)
    {
        const std::optional<QString> stored = Attribute(work, "stored");
        bool ok = false;
        if (stored)
            result_.stored = stored->toLongLong(&ok);
        if (!ok) {
            result_.stored = 0;
            note(ReadCode::BadStored, QString(),
                stored ? u"Время записи лентара «%1» не число"_s.arg(stored->left(40))
                       : u"В лентаре не указано время его записи"_s);
        }
    }

    void loadDescription(xmlNode *node)
    {
        doc_.description
            = multiLine(textOf(node), Limits::description, u"description"_s, u"Описание"_s);
    }

    void loadSpecification(xmlNode *node)
    {
        doc_.techRequest = singleLine(LineEndsAsParsed(textOf(node)), Limits::techRequest,
            u"tech_request"_s, u"Технические требования"_s);
    }

    void loadManual(xmlNode *node)
    {
        doc_.manual = multiLine(textOf(node), Limits::manual, u"manual"_s, u"Порядок знакомства"_s);
    }

    void loadComment(xmlNode *node)
    {
        doc_.notes = multiLine(textOf(node), Limits::notes, u"Notes"_s, u"Комментарии"_s);
    }

    void loadContacts(xmlNode *node)
    {
        struct Contact
        {
            const char *name;
            QString LentarDocument::*target;
            int limit;
            QString field;
            QString label;
            bool seen = false;
        };
        Contact contacts[] = {
            { "postal_code", &LentarDocument::publicPostIndex, Limits::publicPostIndex,
                u"public_post_index"_s, u"Индекс"_s },
            { "address", &LentarDocument::publicPostAddress, Limits::publicPostAddress,
                u"public_post_address"_s, u"Адрес"_s },
            { "phone", &LentarDocument::publicPhone, Limits::publicPhone, u"public_phone"_s,
                u"Телефон"_s },
            { "email", &LentarDocument::publicEmail, Limits::publicEmail, u"public_email"_s,
                u"Эл. почта"_s },
        };
        for (xmlNode *child : contentOf(node)) {
            Contact *contact = std::find_if(std::begin(contacts), std::end(contacts),
                [child](const Contact &c) { return IsNamed(child, c.name); });
            if (contact == std::end(contacts)) {
                unexpectedElement(child, node);
            } else if (contact->seen) {
                repeatedElement(child);
            } else {
                contact->seen = true;
                doc_.*(contact->target) = singleLine(LineEndsAsParsed(textOf(child)),
                    contact->limit, contact->field, contact->label);
            }
        }
        for (const Contact &contact : contacts) {
            if (!contact.seen)
                note(ReadCode::MissingElement, contact.field,
                    u"В лентаре нет элемента «%1»"_s.arg(QLatin1StringView(contact.name)));
        }
    }

    // Subjects in the order the file gives them, without gaps, as the slots hold them.
    void loadSubjects(xmlNode *node)
    {
        int filled = 0;
        int beyond = 0;
        for (xmlNode *child : contentOf(node)) {
            if (!IsNamed(child, "subject")) {
                unexpectedElement(child, node);
                continue;
            }
            noteContentOfEmpty(child);
            const QString value = Attribute(child, "sb_id").value_or(QString());
            bool ok = false;
            const int sb_id = value.toInt(&ok);
            if (!ok || SubjectCatalogue::caption(sb_id).isEmpty()) {
                note(ReadCode::UnknownSubject, u"subject_slots"_s,
                    u"Раздела с номером «%1» нет в списке разделов фестиваля; он пропущен"_s.arg(
                        ReduceToCp1251(value.left(40))));
                continue;
            }
            const auto used = doc_.subjectSlots.begin() + filled;
            if (std::find(doc_.subjectSlots.begin(), used, sb_id) != used) {
                note(ReadCode::RepeatedSubject, u"subject_slots"_s,
                    u"Раздел «%1» указан дважды; повтор пропущен"_s.arg(
                        SubjectCatalogue::caption(sb_id)));
                continue;
            }
            if (filled == kSubjectSlots) {
                ++beyond;
                continue;
            }
            doc_.subjectSlots[filled++] = sb_id;
        }
        if (beyond > 0)
            note(ReadCode::TooManySubjects, u"subject_slots"_s,
                u"Разделов больше %1; лишние (%2) пропущены"_s.arg(kSubjectSlots).arg(beyond));
    }

    void noteContentOfEmpty(xmlNode *node)
    {
        if (!contentOf(node).empty())
            note(ReadCode::UnexpectedContent, QString(),
                u"Внутри элемента «%1» ничего не должно быть; содержимое пропущено"_s.arg(
                    Name(node)));
    }

    void loadAuthors(xmlNode *node)
    {
        int beyondAuthors = 0;
        int beyondLeaders = 0;
        for (xmlNode *child : contentOf(node)) {
            if (!IsNamed(child, "person")) {
                unexpectedElement(child, node);
                continue;
            }
            noteContentOfEmpty(child);
            const QString type = Attribute(child, "p_type").value_or(QString());
            const bool author = type == u"student";
            if (!author && type != u"teacher") {
                note(ReadCode::BadPersonType, QString(),
                    u"Участник с идентификатором «%1» не автор и не руководитель (p_type «%2»); он пропущен"_s
                        .arg(ReduceToCp1251(Attribute(child, "p_id_full").value_or(QString())),
                            ReduceToCp1251(type.left(40))));
                continue;
            }
            QList<Participant> &list = author ? doc_.authors : doc_.leaders;
            if (list.size() == (author ? kMaxAuthors : kMaxLeaders)) {
                ++(author ? beyondAuthors : beyondLeaders);
                continue;
            }
            list.append(person(child, author, list.size()));
            invoiceMark(child, author, list.size() - 1);
        }
        if (beyondAuthors > 0)
            note(ReadCode::TooManyAuthors, u"author_list"_s,
                u"Авторов больше %1; лишние (%2) пропущены"_s.arg(kMaxAuthors).arg(beyondAuthors));
        if (beyondLeaders > 0)
            note(ReadCode::TooManyLeaders, u"leader_list"_s,
                u"Руководителей больше %1; лишние (%2) пропущены"_s.arg(kMaxLeaders)
                    .arg(beyondLeaders));
    }

    Participant person(xmlNode *node, bool author, qsizetype index)
    {
        const QString who = PersonLabel(author, index);
        Participant p;
        p.id = identifier(Attribute(node, "p_id_full").value_or(QString()), author, index);
        const auto name = [&](const char *attribute, const char *member, const QString &label) {
            return singleLine(Attribute(node, attribute).value_or(QString()), Limits::personName,
                ListField(author, index, member), label + u" ("_s + who + u')');
        };
        p.surname = name("surname", "surname", u"Фамилия"_s);
        p.name = name("name", "name", u"Имя"_s);
        p.patronymic = name("patronymic", "patronymic", u"Отчество"_s);
        return p;
    }

    // Normalised and formatted as a typed identifier is. A wrong check digit is
    // loaded all the same; anything that is not nine digits is kept as written, so
    // that the user sees what the file holds.
    QString identifier(const QString &written, bool author, qsizetype index)
    {
        const QString field = ListField(author, index, "id");
        const QString who = PersonLabel(author, index);
        const ParsedParticipantId parsed = ParseParticipantId(written.toStdString());
        QString id;
        if (parsed.shape == IdShape::NotNineDigits) {
            id = ReduceToCp1251(written);
            note(ReadCode::BadIdentifier, field,
                u"Идентификатор «%1» (%2) не в формате XXX-XXX-XXX"_s.arg(id, who));
        } else {
            id = QString::fromStdString(parsed.formatted);
            if (parsed.shape == IdShape::WrongCheckDigits)
                note(ReadCode::WrongCheckDigits, field,
                    u"Идентификатор %1 (%2) ошибочен: не сходятся контрольные цифры"_s.arg(
                        id, who));
        }
        if (!id.isEmpty()) {
            if (ids_.contains(id))
                note(ReadCode::RepeatedIdentifier, field,
                    u"Идентификатор %1 (%2) указан у двух участников"_s.arg(id, who));
            ids_.append(id);
        }
        return id;
    }

    void invoiceMark(xmlNode *node, bool author, qsizetype index)
    {
        const std::optional<QString> status = Attribute(node, "status");
        if (!status)
            return;
        const QString who = PersonLabel(author, index);
        if (*status != u"leader") {
            note(ReadCode::BadInvoiceLeader, u"InvoiceLeader"_s,
                u"Неизвестная отметка status «%1» у участника (%2) пропущена"_s.arg(
                    ReduceToCp1251(status->left(40)), who));
        } else if (author) {
            note(ReadCode::BadInvoiceLeader, u"InvoiceLeader"_s,
                u"Получателем счёта отмечен автор (%1), а не руководитель; отметка пропущена"_s.arg(
                    who));
        } else if (doc_.invoiceLeader >= 0) {
            note(ReadCode::BadInvoiceLeader, u"InvoiceLeader"_s,
                u"Получателем счёта отмечен ещё один руководитель (%1); выбран первый"_s.arg(who));
        } else {
            doc_.invoiceLeader = int(index);
        }
    }

    void loadImage(xmlNode *node)
    {
        noteContentOfEmpty(node);
        // The base64 text, line breaks as line feeds; any other character that is not a
        // symbol is skipped by the decoder and makes the text not strict.
        QByteArray copy;
        std::string_view text;
        if (picture_.aside && AttributeIs(node, "src", kPictureSetAside)) {
            tookAside_ = true;
            text = picture_.base64;
        } else {
            const QString src = Attribute(node, "src").value_or(QString());
            if (!src.startsWith(kPictureSourcePrefix, Qt::CaseInsensitive)) {
                note(ReadCode::BadPictureSource, u"picture"_s,
                    u"Картинка записана не как JPEG в формате data:image/jpeg;base64; она не загружена"_s);
                return;
            }
            // The parser hands each line break of an attribute over as a blank, and so it
            // does a tab or a blank, which only the file's own bytes still tell apart. A
            // character outside Latin-1 becomes "?", which no base64 text holds.
            copy = QStringView(src).sliced(kPictureSourcePrefix.size()).toLatin1();
            copy.replace(' ', '\n');
            text = std::string_view(copy.constData(), std::size_t(copy.size()));
        }
        bool complete = false;
        const QByteArray jpeg = DecodeBase64(text, &complete);
        const bool strict = tookAside_ ? picture_.strict : Base64IsStrict(text);
        if (!complete || !strict || picture_.blanks)
            note(ReadCode::BadBase64, u"picture"_s,
                u"Текст картинки (base64) повреждён: в нём посторонние символы или он оборван; картинка может быть неполной"_s);
        copy = QByteArray();

        WorkImage &picture = doc_.picture;
        picture.present = true;
        result_.pictureJpeg = jpeg;
        if (picture_.encode)
            picture.base64 = EncodeBase64(jpeg, kPictureLineGroups);
        picture.width = pictureSide(node, "width", picture.width);
        picture.height = pictureSide(node, "height", picture.height);
        picture.caption = singleLine(Attribute(node, "title").value_or(QString()), -1,
            u"picture.caption"_s, u"Подпись к картинке"_s);
    }

    int pictureSide(xmlNode *node, const char *name, int fallback)
    {
        const std::optional<QString> value = Attribute(node, name);
        bool ok = false;
        const int side = value ? value->toInt(&ok) : 0;
        if (ok && side >= 1 && side <= kMaxPictureSide)
            return side;
        note(ReadCode::BadPictureSize, u"picture"_s,
            u"Размер картинки %1 «%2» не от 1 до %3 точек; взято %4"_s
                .arg(QLatin1StringView(name), ReduceToCp1251(value.value_or(QString()).left(40)))
                .arg(kMaxPictureSide)
                .arg(fallback));
        return fallback;
    }

    LentarReadResult &result_;
    LentarDocument &doc_;
    const bool pairedBreaks_;
    const PictureText &picture_;
    bool tookAside_ = false;
    QStringList ids_;
};

QString WhyNotXml(const xmlParserCtxt *ctxt)
{
    const xmlError &error = ctxt->lastError;
    if (error.code == XML_ERR_DOCUMENT_EMPTY)
        return u"файл пуст или не содержит документа XML"_s;
    if (error.line > 0)
        return u"файл не является правильным документом XML (ошибка в строке %1, позиция %2)"_s
            .arg(error.line)
            .arg(error.int2);
    return u"файл не является правильным документом XML"_s;
}

LentarReadResult Load(
    xmlDoc *xml, bool pairedBreaks, const PictureText &picture, bool *tookAsidePicture)
{
    xmlNode *root = xmlDocGetRootElement(xml);
    // The format has no namespaces: a vantorela of some namespace is another element.
    if (!root || root->ns || !IsNamed(root, "vantorela"))
        return Refused(ReadCode::WrongRoot,
            u"это не лентар: его корневой элемент «%1», а не «vantorela»"_s.arg(
                ReduceToCp1251(root ? Name(root).left(80) : QString())));

    LentarReadResult result;
    Loader loader(result, pairedBreaks, picture);
    xmlNode *work = nullptr;
    for (xmlNode *child : loader.contentOf(root)) {
        if (!IsNamed(child, "work"))
            loader.unexpectedElement(child, root);
        else if (work)
            result.findings.append({ ReadCode::UnexpectedContent,
                u"В лентаре описано больше одной работы; прочитана первая"_s, QString() });
        else
            work = child;
    }
    if (!work)
        return Refused(ReadCode::NoWork, u"в лентаре нет описания работы (элемента «work»)"_s);

    const QString season = Attribute(work, "sz_id").value_or(QString());
    if (TrimControls(season) != QString::number(kSeason))
        return Refused(ReadCode::WrongSeason,
            u"лентар другого сезона фестиваля (sz_id «%1», а нужен %2)"_s
                .arg(ReduceToCp1251(season.left(40)))
                .arg(kSeason),
            u"sz_id"_s);
    const QString version = Attribute(work, "version").value_or(QString());
    if (TrimControls(version) != u"2.1")
        return Refused(ReadCode::WrongVersion,
            u"лентар другой версии формата («%1», а нужна 2.1)"_s.arg(
                ReduceToCp1251(version.left(40))),
            u"version"_s);

    loader.loadWork(work);
    *tookAsidePicture = loader.tookAsidePicture();
    return result;
}

LentarReadResult Parse(
    const QByteArray &bytes, bool pairedBreaks, const PictureText &picture, bool *tookAsidePicture)
{
    InitialiseLibxml();
    std::unique_ptr<xmlParserCtxt, ParserFree> ctxt(xmlNewParserCtxt());
    if (!ctxt || !ctxt->sax)
        throw std::bad_alloc();
    ctxt->sax->internalSubset = StopAtDoctype;
    ctxt->sax->externalSubset = StopAtDoctype;
    ctxt->sax->entityDecl = StopAtEntity;
    ctxt->sax->serror = KeepError;

    // No network, no DTD loading, no entity substitution; the size limits of the
    // parser are lifted because the file's own size is already bounded, and a long
    // text is then cut with a finding instead of refusing the whole file.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING
        | XML_PARSE_NOCDATA | XML_PARSE_HUGE;
    XmlDoc xml(xmlCtxtReadMemory(
        ctxt.get(), bytes.constData(), int(bytes.size()), nullptr, nullptr, options));
    if (ctxt->errNo == XML_ERR_USER_STOP)
        return Refused(ReadCode::Doctype,
            u"файл содержит объявление типа документа (DOCTYPE); в лентаре его не бывает, и такой файл не читается"_s);
    if (!xml || !ctxt->wellFormed)
        return Refused(ReadCode::NotXml, WhyNotXml(ctxt.get()));
    return Load(xml.get(), pairedBreaks, picture, tookAsidePicture);
}

} // namespace

LentarReadResult ReadLentarBytes(const QByteArray &bytes, PictureBase64 base64)
{
    if (bytes.size() > kMaxLentarFileBytes)
        return Refused(ReadCode::TooLarge,
            u"файл слишком велик (%1 байт); лентар не бывает больше 16 МиБ"_s.arg(bytes.size()));

    const bool pairedBreaks = bytes.contains('\r') && bytes.contains("\r\r\n");
    PictureText picture = FindPictureText(bytes);
    picture.encode = base64 == PictureBase64::Encoded;
    if (picture.aside) {
        // The picture text is nearly all of a lentar: parsed, it would be copied several
        // times over and looked at character by character, to end up as the bytes the
        // file already holds. The parser gets the file without it. What it makes of that
        // is what it makes of the whole file, unless the text set aside was not the
        // picture read after all, or the file is no XML (the place of the fault would
        // be told from the shortened file).
        QByteArray lean;
        lean.reserve(bytes.size() - (picture.valueEnd - picture.valueStart)
            + qsizetype(sizeof kPictureSetAside));
        lean.append(QByteArrayView(bytes).first(picture.valueStart))
            .append(kPictureSetAside)
            .append(QByteArrayView(bytes).sliced(picture.valueEnd));
        bool tookAside = false;
        LentarReadResult result = Parse(lean, pairedBreaks, picture, &tookAside);
        if (result.refusal ? result.refusal->code != ReadCode::NotXml : tookAside)
            return result;
        picture.aside = false;
    }
    bool tookAside = false;
    return Parse(bytes, pairedBreaks, picture, &tookAside);
}

LentarReadResult ReadLentarFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Refused(ReadCode::ReadError, u"файл не найден"_s);
    if (info.isDir())
        return Refused(ReadCode::NotAFile, u"это папка, а не файл"_s);
    if (!info.isFile())
        return Refused(ReadCode::NotAFile, u"это не обычный файл"_s);
    if (info.size() > kMaxLentarFileBytes)
        return Refused(ReadCode::TooLarge,
            u"файл слишком велик (%1 байт); лентар не бывает больше 16 МиБ"_s.arg(info.size()));

    QFile file;
    try {
        OpenForReading(file, path);
    } catch (const FileError &error) {
        return Refused(ReadCode::ReadError, u"не удалось прочитать файл: %1"_s.arg(error.reason()));
    }
    // The file may have grown since it was looked at: never read past the limit.
    errno = 0;
    const QByteArray bytes = file.read(kMaxLentarFileBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return Refused(ReadCode::ReadError,
            u"не удалось прочитать файл: %1"_s.arg(SystemErrorText(errno != 0 ? errno : EIO)));
    return ReadLentarBytes(bytes);
}
