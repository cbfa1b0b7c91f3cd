#include "fuzz_checks.h"
#include "writer_input.h"

#include "codec/cp1251.h"
#include "document/lentar_xml.h"

#include <QStringDecoder>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// What a conforming XML parser must hand back for a value the record holds: control
// characters XML forbids and U+FFFE, U+FFFF gone, anything Windows-1251 lacks (a
// surrogate pair counting as one character) a "?", and line ends as the parser's own
// normalisation leaves them: in text every CR and LF becomes LF, in an attribute every
// CR, LF and tab becomes a blank.
QString Expected(const QString &value, bool attribute)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < value.size()
            && QChar::isLowSurrogate(value.at(i + 1).unicode())) {
            out.append(u'?');
            ++i;
        } else if (c == u'\r' || c == u'\n' || c == u'\t') {
            out.append(attribute ? u' ' : (c == u'\t' ? u'\t' : u'\n'));
        } else if (c < 32 || c == 0xFFFE || c == 0xFFFF) {
            continue;
        } else if (QChar::isSurrogate(c) || !IsInCp1251(c)) {
            out.append(u'?');
        } else {
            out.append(QChar(c));
        }
    }
    return out;
}

QString Trimmed(const QString &value)
{
    return TrimControls(value);
}

struct XmlDocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
struct XmlParserFree
{
    void operator()(xmlParserCtxt *ctxt) const { xmlFreeParserCtxt(ctxt); }
};

QString FromXml(const xmlChar *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

std::vector<xmlNode *> Children(xmlNode *node)
{
    std::vector<xmlNode *> result;
    for (xmlNode *child = node->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            result.push_back(child);
    return result;
}

QString Name(const xmlNode *node)
{
    return FromXml(node->name);
}

QString Text(xmlNode *node)
{
    xmlChar *content = xmlNodeGetContent(node);
    const QString text = FromXml(content);
    xmlFree(content);
    return text;
}

// Attributes in start-tag order as name=value pairs.
QList<QPair<QString, QString>> Attributes(xmlNode *node)
{
    QList<QPair<QString, QString>> result;
    for (xmlAttr *attr = node->properties; attr; attr = attr->next) {
        xmlChar *value = xmlNodeListGetString(node->doc, attr->children, 1);
        result.append({ FromXml(attr->name), FromXml(value) });
        xmlFree(value);
    }
    return result;
}

class ReadBack
{
public:
    std::string problem;

    void expectText(xmlNode *node, const char *name, const QString &value)
    {
        if (!problem.empty())
            return;
        if (Name(node) != QLatin1String(name))
            problem
                = std::string("expected element ") + name + ", found " + Name(node).toStdString();
        else if (!Children(node).empty())
            problem = std::string("element ") + name + " has child elements";
        else if (Text(node) != Expected(value, false))
            problem = std::string("element ") + name + " does not read back as written";
    }

    void expectAttributes(
        xmlNode *node, const char *name, const QList<QPair<QString, QString>> &values)
    {
        if (!problem.empty())
            return;
        if (Name(node) != QLatin1String(name)) {
            problem
                = std::string("expected element ") + name + ", found " + Name(node).toStdString();
            return;
        }
        // Attribute-only elements are containers or empty: nothing, not even a line
        // break, may stand between their tags.
        for (xmlNode *child = node->children; child; child = child->next) {
            if (child->type != XML_ELEMENT_NODE) {
                problem = std::string("element ") + name + " holds text between its tags";
                return;
            }
        }
        const auto found = Attributes(node);
        if (found.size() != values.size()) {
            problem = std::string("element ") + name + " has the wrong number of attributes";
            return;
        }
        for (qsizetype i = 0; i < found.size(); ++i) {
            if (found[i].first != values[i].first) {
                problem = std::string("element ") + name + ": attribute "
                    + values[i].first.toStdString() + " missing or out of order";
                return;
            }
            if (found[i].second != Expected(values[i].second, true)) {
                problem = std::string("attribute ") + name + "/" + values[i].first.toStdString()
                    + " does not read back as written";
                return;
            }
        }
    }

    void expectCount(const std::vector<xmlNode *> &nodes, std::size_t count, const char *what)
    {
        if (problem.empty() && nodes.size() != count)
            problem = std::string("wrong number of ") + what;
    }
};

QList<QPair<QString, QString>> PersonAttributes(const Participant &person, const char *type)
{
    return { { u"p_id_full"_s, person.id }, { u"p_type"_s, QString::fromLatin1(type) },
        { u"surname"_s, Trimmed(person.surname) }, { u"name"_s, Trimmed(person.name) },
        { u"patronymic"_s, Trimmed(person.patronymic) } };
}

void CheckTree(ReadBack &check, xmlNode *root, const WriterInput &input, LentarVariant variant)
{
    const LentarDocument &doc = input.doc;
    check.expectAttributes(root, "vantorela", {});
    const auto top = Children(root);
    check.expectCount(top, 1, "children of the root");
    if (!check.problem.empty())
        return;
    xmlNode *work = top[0];
    QString title = Trimmed(doc.title);
    if (variant == LentarVariant::Preview && title.isEmpty())
        title = u"Без названия"_s;
    check.expectAttributes(work, "work",
        { { u"title"_s, title }, { u"sz_id"_s, QString::number(doc.sz_id) },
            { u"stored"_s, QString::number(input.stored) }, { u"version"_s, u"2.1"_s } });
    const auto parts = Children(work);
    check.expectCount(parts, doc.picture.present ? 8 : 7, "children of work");
    if (!check.problem.empty())
        return;
    check.expectText(parts[0], "description", doc.description);
    check.expectText(parts[1], "specification", doc.tech_request);
    check.expectText(parts[2], "manual", doc.manual);

    std::vector<int> filledSlots;
    for (int slot : doc.subject_slots)
        if (slot != 0)
            filledSlots.push_back(slot);
    const auto subjects = Children(parts[3]);
    check.expectAttributes(parts[3], "subjects", {});
    check.expectCount(subjects, filledSlots.size(), "subjects");
    for (std::size_t i = 0; check.problem.empty() && i < subjects.size(); ++i)
        check.expectAttributes(
            subjects[i], "subject", { { u"sb_id"_s, QString::number(filledSlots[i]) } });

    const auto people = Children(parts[4]);
    check.expectAttributes(parts[4], "authors", {});
    check.expectCount(
        people, std::size_t(doc.author_list.size() + doc.leader_list.size()), "persons");
    std::size_t at = 0;
    for (const Participant &author : doc.author_list)
        if (check.problem.empty())
            check.expectAttributes(people[at++], "person", PersonAttributes(author, "student"));
    for (qsizetype i = 0; check.problem.empty() && i < doc.leader_list.size(); ++i) {
        auto attributes = PersonAttributes(doc.leader_list[i], "teacher");
        if (i == doc.InvoiceLeader)
            attributes.append({ u"status"_s, u"leader"_s });
        check.expectAttributes(people[at++], "person", attributes);
    }

    const auto contacts = Children(parts[5]);
    check.expectAttributes(parts[5], "public_relations", {});
    check.expectCount(contacts, 4, "contacts");
    if (!check.problem.empty())
        return;
    check.expectText(contacts[0], "postal_code", Trimmed(doc.public_post_index));
    check.expectText(contacts[1], "address", Trimmed(doc.public_post_address));
    check.expectText(contacts[2], "phone", Trimmed(doc.public_phone));
    check.expectText(contacts[3], "email", Trimmed(doc.public_email));

    std::size_t next = 6;
    const auto checkImage = [&] {
        if (!doc.picture.present)
            return;
        QList<QPair<QString, QString>> attributes {
            { u"src"_s, u"data:image/jpeg;base64,"_s + QString::fromLatin1(doc.picture.base64) },
            { u"width"_s, QString::number(doc.picture.width) },
            { u"height"_s, QString::number(doc.picture.height) }
        };
        if (!doc.picture.caption.isEmpty())
            attributes.append({ u"title"_s, doc.picture.caption });
        check.expectAttributes(parts[next++], "img", attributes);
    };
    if (variant == LentarVariant::Saved)
        checkImage();
    check.expectText(parts[next++], "comment", Trimmed(doc.Notes));
    if (variant == LentarVariant::Preview)
        checkImage();
}

std::string CheckFile(const QByteArray &file, const WriterInput &input, LentarVariant variant)
{
    const bool saved = variant == LentarVariant::Saved;
    const QByteArray head = (saved ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + kLentarDeclaration
        + "\r\n" + kStylesheetInstruction + "\r\n<vantorela><work ";
    const QByteArray tail = saved ? "</work></vantorela>\r\n\r\n" : "</work></vantorela>\r\n";
    if (!file.startsWith(head))
        return "the file does not start with the byte-order mark, declaration and instruction";
    if (!file.endsWith(tail))
        return "the file does not end with the end of the root and its line ends";

    const QByteArrayView body = QByteArrayView(file).sliced(saved ? 3 : 0);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(body);
    if (decoder.hasError())
        return "the file is not valid UTF-8";
    for (const char32_t c : text.toUcs4()) {
        if (!IsInCp1251(c))
            return "the file holds a character outside Windows-1251";
        if (c < 32 && c != u'\t' && c != u'\r' && c != u'\n')
            return "the file holds a control character XML forbids";
    }
    // Only the line ends of the three lines themselves may stand between tags.

    std::unique_ptr<xmlParserCtxt, XmlParserFree> parser(xmlNewParserCtxt());
    std::unique_ptr<xmlDoc, XmlDocFree> xml(
        xmlCtxtReadMemory(parser.get(), file.constData(), int(file.size()), "lentar.lnr.xml",
            nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE));
    if (!xml || !parser->wellFormed)
        return "libxml2 finds the file not well-formed";

    xmlNode *first = xml->children;
    if (!first || first->type != XML_PI_NODE
        || std::string_view(reinterpret_cast<const char *>(first->name)) != "xml-stylesheet")
        return "the stylesheet instruction is not the first node";
    ReadBack check;
    CheckTree(check, xmlDocGetRootElement(xml.get()), input, variant);
    return check.problem;
}

} // namespace

std::string FuzzLentarWriter(std::string_view bytes)
{
    const WriterInput input = DecodeWriterInput(bytes);
    for (const LentarVariant variant : { LentarVariant::Saved, LentarVariant::Preview }) {
        const QString text = SerializeLentar(BuildLentarXml(input.doc, input.stored, variant));
        const QByteArray file
            = variant == LentarVariant::Saved ? LentarFileBytes(text) : PreviewFileBytes(text);
        std::string problem = CheckFile(file, input, variant);
        if (!problem.empty())
            return (variant == LentarVariant::Saved ? "saved lentar: " : "preview: ") + problem;
    }
    return {};
}
