#include "document/lentar_xml.h"

#include "codec/cp1251.h"

using namespace Qt::StringLiterals;

XmlElement &XmlElement::addChild(const QString &childName, const QString &childText)
{
    XmlElement &child = children.emplace_back();
    child.name = childName;
    child.text = childText;
    return child;
}

void XmlElement::setAttribute(const QString &attrName, const QString &value)
{
    for (auto &attribute : attributes) {
        if (attribute.first == attrName) {
            attribute.second = value;
            return;
        }
    }
    attributes.append({ attrName, value });
}

namespace {

void AddPerson(XmlElement &authors, const Participant &person, const QString &type)
{
    XmlElement &element = authors.addChild(u"person"_s);
    element.setAttribute(u"p_id_full"_s, person.id);
    element.setAttribute(u"p_type"_s, type);
    element.setAttribute(u"surname"_s, TrimControls(person.surname));
    element.setAttribute(u"name"_s, TrimControls(person.name));
    element.setAttribute(u"patronymic"_s, TrimControls(person.patronymic));
}

void AddImage(XmlElement &work, const WorkImage &picture)
{
    XmlElement &img = work.addChild(u"img"_s);
    img.setAttribute(u"src"_s, u"data:image/jpeg;base64,"_s + QString::fromLatin1(picture.base64));
    img.setAttribute(u"width"_s, QString::number(picture.width));
    img.setAttribute(u"height"_s, QString::number(picture.height));
    if (!picture.caption.isEmpty())
        img.setAttribute(u"title"_s, picture.caption);
}

// True for a character that goes into the file exactly as it is.
bool IsPlain(char16_t unit)
{
    if (unit < 0x80) {
        return (unit >= 32 && unit != u'"' && unit != u'&' && unit != u'\'' && unit != u'<'
                   && unit != u'>')
            || unit == u'\r' || unit == u'\t';
    }
    return !QChar::isSurrogate(unit) && unit < 0xFFFE && IsInCp1251(unit);
}

// Writes a value the way the format wants it, in one pass: the five markup characters
// as numeric references, a line feed as CR LF, the control characters XML forbids
// dropped, and everything Windows-1251 lacks as "?". Runs of plain characters (all of a
// picture's base64 lines) are copied in one piece.
void AppendValue(QString &out, const QString &value)
{
    const QChar *data = value.constData();
    const qsizetype size = value.size();
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = data[i].unicode();
        if (IsPlain(unit))
            continue;
        out.append(data + runStart, i - runStart);
        runStart = i + 1;
        switch (unit) {
        case u'"':
            out.append(u"&#34;");
            break;
        case u'&':
            out.append(u"&#38;");
            break;
        case u'\'':
            out.append(u"&#39;");
            break;
        case u'<':
            out.append(u"&#60;");
            break;
        case u'>':
            out.append(u"&#62;");
            break;
        case u'\n':
            out.append(u"\r\n");
            break;
        default:
            if (QChar::isHighSurrogate(unit) && i + 1 < size
                && QChar::isLowSurrogate(data[i + 1].unicode())) {
                // Windows-1251 has no character outside the BMP.
                out.append(u'?');
                runStart = ++i + 1;
            } else if (unit >= 0x80 && unit < 0xFFFE) {
                // A character the code page lacks, or an unpaired surrogate, which
                // cannot be written as UTF-8 at all: "?" instead of failing the save.
                out.append(u'?');
            }
            // Anything else is a control character XML forbids, or U+FFFE / U+FFFF:
            // dropped without a trace.
            break;
        }
    }
    out.append(data + runStart, size - runStart);
}

qsizetype EstimatedSize(const XmlElement &element)
{
    qsizetype size = 2 * element.name.size() + 5 + element.text.size();
    for (const auto &attribute : element.attributes)
        size += attribute.first.size() + attribute.second.size() + 4;
    for (const XmlElement &child : element.children)
        size += EstimatedSize(child);
    return size;
}

void AppendElement(QString &out, const XmlElement &element)
{
    out.append(u'<');
    out.append(element.name);
    for (const auto &attribute : element.attributes) {
        out.append(u' ');
        out.append(attribute.first);
        out.append(u"=\"");
        AppendValue(out, attribute.second);
        out.append(u'"');
    }
    out.append(u'>');
    AppendValue(out, element.text);
    for (const XmlElement &child : element.children)
        AppendElement(out, child);
    out.append(u"</");
    out.append(element.name);
    out.append(u'>');
}

} // namespace

XmlElement BuildLentarXml(const LentarDocument &doc, qint64 stored, LentarVariant variant)
{
    XmlElement root;
    root.name = u"vantorela"_s;
    XmlElement &work = root.addChild(u"work"_s);

    QString title = TrimControls(doc.title);
    if (variant == LentarVariant::Preview && title.isEmpty())
        title = u"Без названия"_s;
    work.setAttribute(u"title"_s, title);
    work.setAttribute(u"sz_id"_s, QString::number(doc.season));
    work.setAttribute(u"stored"_s, QString::number(stored));
    work.setAttribute(u"version"_s, u"2.1"_s);

    work.addChild(u"description"_s, doc.description);
    work.addChild(u"specification"_s, doc.techRequest);
    work.addChild(u"manual"_s, doc.manual);

    XmlElement &subjects = work.addChild(u"subjects"_s);
    for (int sb_id : doc.subjectSlots) {
        if (sb_id != 0)
            subjects.addChild(u"subject"_s).setAttribute(u"sb_id"_s, QString::number(sb_id));
    }

    XmlElement &authors = work.addChild(u"authors"_s);
    for (const Participant &author : doc.authors)
        AddPerson(authors, author, u"student"_s);
    for (qsizetype i = 0; i < doc.leaders.size(); ++i) {
        AddPerson(authors, doc.leaders.at(i), u"teacher"_s);
        if (i == doc.invoiceLeader)
            authors.children.back().setAttribute(u"status"_s, u"leader"_s);
    }

    XmlElement &contacts = work.addChild(u"public_relations"_s);
    contacts.addChild(u"postal_code"_s, TrimControls(doc.publicPostIndex));
    contacts.addChild(u"address"_s, TrimControls(doc.publicPostAddress));
    contacts.addChild(u"phone"_s, TrimControls(doc.publicPhone));
    contacts.addChild(u"email"_s, TrimControls(doc.publicEmail));

    if (variant == LentarVariant::Saved) {
        if (doc.picture.present)
            AddImage(work, doc.picture);
        work.addChild(u"comment"_s, TrimControls(doc.notes));
    } else {
        work.addChild(u"comment"_s, TrimControls(doc.notes));
        if (doc.picture.present)
            AddImage(work, doc.picture);
    }
    return root;
}

QString SerializeLentar(const XmlElement &root)
{
    QString text;
    // Escapes rarely more than double a value; one reservation keeps the pass linear.
    text.reserve(EstimatedSize(root) * 11 / 10 + 256);
    text.append(QLatin1StringView(kLentarDeclaration));
    text.append(u"\r\n");
    text.append(QLatin1StringView(kStylesheetInstruction));
    text.append(u"\r\n");
    AppendElement(text, root);
    text.append(u"\r\n");
    return text;
}

QByteArray LentarFileBytes(const QString &text)
{
    QByteArray bytes("\xEF\xBB\xBF");
    bytes.append((text + u"\r\n"_s).toUtf8());
    return bytes;
}

QByteArray PreviewFileBytes(const QString &text)
{
    return text.toUtf8();
}
