// Random records of any content must come out as well-formed XML that a real parser
// reads back to the values the format promises: trimmed where the format trims, with
// the forbidden control characters gone and everything outside Windows-1251 as "?".

#include "codec/cp1251.h"
#include "document/lentar_xml.h"
#include "random_record.h"

#include <QtTest>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr quint32 kSeed = 20101108;
constexpr int kDocuments = 500;

// The value a parser must report for an input value: the program drops the control
// characters XML forbids, writes "?" for anything outside Windows-1251, and the parser
// turns line ends into a line feed in text and into a blank in attribute values, as it
// does with tabs in attribute values.
QString Expected(const QString &input, bool attribute)
{
    QString result;
    for (qsizetype i = 0; i < input.size(); ++i) {
        const char16_t unit = input.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < input.size()
            && input.at(i + 1).isLowSurrogate()) {
            ++i;
            result.append(u'?'); // outside the BMP, so outside the code page
        } else if (unit == u'\r' || unit == u'\n') {
            result.append(attribute ? u' ' : u'\n');
        } else if (unit == u'\t') {
            result.append(attribute ? u' ' : u'\t');
        } else if (unit < 32 || unit == 0xFFFE || unit == 0xFFFF) {
            continue;
        } else if (QChar::isSurrogate(unit) || !IsInCp1251(unit)) {
            result.append(u'?');
        } else {
            result.append(QChar(unit));
        }
    }
    return result;
}

QString Attr(const QString &input)
{
    return Expected(input, true);
}
QString Text(const QString &input)
{
    return Expected(input, false);
}

XmlElement Element(const QString &name, const QString &text = {})
{
    XmlElement element;
    element.name = name;
    element.text = text;
    return element;
}

XmlElement ExpectedPerson(const Participant &p, const QString &type)
{
    XmlElement person = Element(u"person"_s);
    person.attributes = { { u"p_id_full"_s, Attr(p.id) }, { u"p_type"_s, type },
        { u"surname"_s, Attr(TrimControls(p.surname)) }, { u"name"_s, Attr(TrimControls(p.name)) },
        { u"patronymic"_s, Attr(TrimControls(p.patronymic)) } };
    return person;
}

XmlElement ExpectedTree(const LentarDocument &doc, qint64 stored, bool preview)
{
    XmlElement work = Element(u"work"_s);
    QString title = TrimControls(doc.title);
    if (preview && title.isEmpty())
        title = u"Без названия"_s;
    work.attributes = { { u"title"_s, Attr(title) }, { u"sz_id"_s, u"8"_s },
        { u"stored"_s, QString::number(stored) }, { u"version"_s, u"2.1"_s } };
    work.children.push_back(Element(u"description"_s, Text(doc.description)));
    work.children.push_back(Element(u"specification"_s, Text(doc.tech_request)));
    work.children.push_back(Element(u"manual"_s, Text(doc.manual)));
    XmlElement subjects = Element(u"subjects"_s);
    for (int slot : doc.subject_slots) {
        if (slot != 0) {
            XmlElement subject = Element(u"subject"_s);
            subject.attributes = { { u"sb_id"_s, QString::number(slot) } };
            subjects.children.push_back(subject);
        }
    }
    work.children.push_back(subjects);
    XmlElement authors = Element(u"authors"_s);
    for (const Participant &p : doc.author_list)
        authors.children.push_back(ExpectedPerson(p, u"student"_s));
    for (int i = 0; i < doc.leader_list.size(); ++i) {
        XmlElement person = ExpectedPerson(doc.leader_list.at(i), u"teacher"_s);
        if (i == doc.InvoiceLeader)
            person.attributes.append({ u"status"_s, u"leader"_s });
        authors.children.push_back(person);
    }
    work.children.push_back(authors);
    XmlElement contacts = Element(u"public_relations"_s);
    contacts.children = { Element(u"postal_code"_s, Text(TrimControls(doc.public_post_index))),
        Element(u"address"_s, Text(TrimControls(doc.public_post_address))),
        Element(u"phone"_s, Text(TrimControls(doc.public_phone))),
        Element(u"email"_s, Text(TrimControls(doc.public_email))) };
    work.children.push_back(contacts);
    XmlElement comment = Element(u"comment"_s, Text(TrimControls(doc.Notes)));
    if (preview)
        work.children.push_back(comment);
    if (doc.picture.present) {
        XmlElement img = Element(u"img"_s);
        img.attributes
            = { { u"src"_s,
                    Attr(u"data:image/jpeg;base64,"_s + QString::fromLatin1(doc.picture.base64)) },
                  { u"width"_s, QString::number(doc.picture.width) },
                  { u"height"_s, QString::number(doc.picture.height) } };
        if (!doc.picture.caption.isEmpty())
            img.attributes.append({ u"title"_s, Attr(doc.picture.caption) });
        work.children.push_back(img);
    }
    if (!preview)
        work.children.push_back(comment);
    XmlElement root = Element(u"vantorela"_s);
    root.children.push_back(work);
    return root;
}

QString FromXml(const xmlChar *text)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(text));
}

// The parsed element in the shape of the writer's tree; text nodes are joined.
XmlElement FromParsed(const xmlNode *node)
{
    XmlElement element = Element(FromXml(node->name));
    for (const xmlAttr *attr = node->properties; attr; attr = attr->next) {
        xmlChar *value = xmlNodeListGetString(node->doc, attr->children, 1);
        element.attributes.append({ FromXml(attr->name), value ? FromXml(value) : QString() });
        xmlFree(value);
    }
    for (const xmlNode *child = node->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            element.children.push_back(FromParsed(child));
        else if (child->type == XML_TEXT_NODE)
            element.text += FromXml(child->content);
        else
            element.text += u"<unexpected node>"_s;
    }
    return element;
}

QString Dump(const XmlElement &element)
{
    QString out = u"<"_s + element.name;
    for (const auto &[name, value] : element.attributes)
        out += u" "_s + name + u"=["_s + value + u"]"_s;
    out += u">["_s + element.text + u"]"_s;
    for (const XmlElement &child : element.children)
        out += Dump(child);
    return out + u"</"_s + element.name + u">"_s;
}

struct DocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};

} // namespace

class LentarPropertyTest : public QObject
{
    Q_OBJECT

private slots:
    void randomRecordsReadBack();
};

void LentarPropertyTest::randomRecordsReadBack()
{
    RandomRecord random(kSeed);
    for (int n = 0; n < kDocuments; ++n) {
        const LentarDocument doc = random.next();
        const qint64 stored = random.stored();
        const bool preview = random.preview();
        const QString text = SerializeLentar(
            BuildLentarXml(doc, stored, preview ? LentarVariant::Preview : LentarVariant::Saved));
        const QByteArray bytes = preview ? PreviewFileBytes(text) : LentarFileBytes(text);
        const QByteArray context = "document " + QByteArray::number(n);

        const auto outside = std::find_if(text.cbegin(), text.cend(),
            [](QChar c) { return c.isSurrogate() || !IsInCp1251(c.unicode()); });
        QVERIFY2(outside == text.cend(), context + " has a character outside Windows-1251");
        QVERIFY2(text.startsWith(QLatin1StringView(kLentarDeclaration) + u"\r\n"_s
                     + QLatin1StringView(kStylesheetInstruction) + u"\r\n<vantorela>"_s),
            context);
        QVERIFY2(text.endsWith(u"</work></vantorela>\r\n"_s), context);

        std::unique_ptr<xmlDoc, DocFree> parsed(xmlReadMemory(bytes.constData(), int(bytes.size()),
            "lentar.xml", nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
        QVERIFY2(parsed, context + " is not well-formed");

        const xmlNode *first = parsed->children;
        QVERIFY2(first && first->type == XML_PI_NODE && FromXml(first->name) == u"xml-stylesheet"_s,
            context);
        const QString actual = Dump(FromParsed(xmlDocGetRootElement(parsed.get())));
        const QString expected = Dump(ExpectedTree(doc, stored, preview));
        QVERIFY2(actual == expected,
            context + "\nactual:   " + actual.toUtf8() + "\nexpected: " + expected.toUtf8());
    }
}

QTEST_GUILESS_MAIN(LentarPropertyTest)
#include "lentar_property_test.moc"
