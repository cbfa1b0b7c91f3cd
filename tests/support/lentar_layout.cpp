#include "lentar_layout.h"

#include "codec/cp1251.h"

#include <QFile>
#include <QStringList>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

// One line of the layout: an element with what is indented under it, or an attribute.
struct LayoutLine
{
    int number = 0;
    bool attribute = false;
    QString name;
    QString value; // with {field|filter} places
    QStringList conditions;
    QString each; // subject, author, leader, or empty for a single element
    std::vector<LayoutLine> children;
};

[[noreturn]] void Malformed(int number, const QString &why)
{
    qFatal("lentar_layout.txt:%d: %s", number, qPrintable(why));
}

const QStringList kConditions { u"saved"_s, u"preview"_s, u"picture"_s, u"caption"_s,
    u"invoice leader"_s };
const QStringList kLoops { u"subject"_s, u"author"_s, u"leader"_s };

LayoutLine ParseLine(const QString &text, int number)
{
    LayoutLine line;
    line.number = number;
    QString rest = text.trimmed();
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0)
            Malformed(number, u"no ] after the conditions"_s);
        for (const QString &part : rest.mid(1, close - 1).split(u',')) {
            const QString condition = part.trimmed();
            if (condition.startsWith(u"each "_s)) {
                line.each = condition.mid(5);
                if (!kLoops.contains(line.each))
                    Malformed(number, u"nothing to repeat for: "_s + line.each);
            } else if (kConditions.contains(condition)) {
                line.conditions.append(condition);
            } else {
                Malformed(number, u"unknown condition: "_s + condition);
            }
        }
        rest = rest.mid(close + 1).trimmed();
    }
    line.attribute = rest.startsWith(u'@');
    if (line.attribute)
        rest = rest.mid(1);
    const qsizetype equals = rest.indexOf(u" = "_s);
    line.name = (equals < 0 ? rest : rest.left(equals)).trimmed();
    if (equals >= 0)
        line.value = rest.mid(equals + 3);
    if (line.name.isEmpty() || line.name.contains(u' '))
        Malformed(number, u"not a name: "_s + line.name);
    if (line.attribute && (equals < 0 || !line.each.isEmpty()))
        Malformed(number, u"an attribute needs a value and cannot repeat"_s);
    return line;
}

LayoutLine LoadLayout()
{
    const QString path = QStringLiteral(LENTAR_TEST_DATA "/lentar_layout.txt");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s: %s", qPrintable(path), qPrintable(file.errorString()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');

    LayoutLine root; // stands above the root element
    // The chain of elements the next line may belong to, root first.
    std::vector<LayoutLine *> open { &root };
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int number = int(i + 1);
        const QString &text = lines.at(i);
        const QString content = text.trimmed();
        if (content.isEmpty() || content.startsWith(u'#'))
            continue;
        const qsizetype indent = text.indexOf(content.front());
        if (indent % 2 != 0 || std::size_t(indent / 2) >= open.size())
            Malformed(number, u"indented by neither a parent's nor a sibling's depth"_s);
        open.resize(std::size_t(indent / 2) + 1);
        LayoutLine &parent = *open.back();
        LayoutLine line = ParseLine(text, number);
        if (line.attribute && parent.children.size() > 0 && !parent.children.back().attribute)
            Malformed(number, u"attributes come before the child elements"_s);
        if (&parent == &root && line.attribute)
            Malformed(number, u"an attribute outside any element"_s);
        parent.children.push_back(std::move(line));
        if (!parent.children.back().attribute)
            open.push_back(&parent.children.back());
    }
    if (root.children.size() != 1)
        qFatal("%s: the layout needs exactly one root element", qPrintable(path));
    return root;
}

const LayoutLine &Layout()
{
    static const LayoutLine root = LoadLayout();
    return root;
}

// Where a line stands while the tree is built: the record, and the subject slot or
// the person being written.
struct Scope
{
    const LentarDocument *doc = nullptr;
    qint64 stored = 0;
    LentarVariant variant = LentarVariant::Saved;
    const Participant *person = nullptr;
    int subject = 0;
    bool invoiceLeader = false;
};

bool Holds(const QString &condition, const Scope &scope)
{
    if (condition == u"saved"_s)
        return scope.variant == LentarVariant::Saved;
    if (condition == u"preview"_s)
        return scope.variant == LentarVariant::Preview;
    if (condition == u"picture"_s)
        return scope.doc->picture.present;
    if (condition == u"caption"_s)
        return !scope.doc->picture.caption.isEmpty();
    return scope.invoiceLeader; // "invoice leader", the one left ParseLine lets through
}

QString Field(const QString &name, const Scope &scope, int number)
{
    const LentarDocument &doc = *scope.doc;
    if (scope.person) {
        if (name == u"id"_s)
            return scope.person->id;
        if (name == u"surname"_s)
            return scope.person->surname;
        if (name == u"name"_s)
            return scope.person->name;
        if (name == u"patronymic"_s)
            return scope.person->patronymic;
    }
    if (name == u"subject"_s && scope.subject != 0)
        return QString::number(scope.subject);
    const std::initializer_list<std::pair<QString, QString>> record {
        { u"title"_s, doc.title },
        { u"season"_s, QString::number(doc.season) },
        { u"stored"_s, QString::number(scope.stored) },
        { u"description"_s, doc.description },
        { u"requirements"_s, doc.techRequest },
        { u"manual"_s, doc.manual },
        { u"postal_code"_s, doc.publicPostIndex },
        { u"address"_s, doc.publicPostAddress },
        { u"phone"_s, doc.publicPhone },
        { u"email"_s, doc.publicEmail },
        { u"notes"_s, doc.notes },
        { u"picture"_s, QString::fromLatin1(doc.picture.base64) },
        { u"width"_s, QString::number(doc.picture.width) },
        { u"height"_s, QString::number(doc.picture.height) },
        { u"caption"_s, doc.picture.caption },
    };
    for (const auto &[field, value] : record) {
        if (field == name)
            return value;
    }
    Malformed(number, u"no field "_s + name + u" here"_s);
}

// The value with every {field|filter|...} place filled in.
QString Expand(const QString &pattern, const Scope &scope, int number)
{
    QString out;
    qsizetype at = 0;
    while (at < pattern.size()) {
        const qsizetype open = pattern.indexOf(u'{', at);
        if (open < 0) {
            out += pattern.mid(at);
            break;
        }
        const qsizetype close = pattern.indexOf(u'}', open);
        if (close < 0)
            Malformed(number, u"no } after {"_s);
        out += pattern.mid(at, open - at);
        const QStringList parts = pattern.mid(open + 1, close - open - 1).split(u'|');
        QString value = Field(parts.front(), scope, number);
        for (qsizetype i = 1; i < parts.size(); ++i) {
            if (parts.at(i) == u"trim"_s)
                value = TrimControls(value);
            else if (parts.at(i).startsWith(u"or "_s))
                value = value.isEmpty() ? parts.at(i).mid(3) : value;
            else
                Malformed(number, u"unknown filter: "_s + parts.at(i));
        }
        out += value;
        at = close + 1;
    }
    return out;
}

// The value as a conforming parser hands it back from what the writer made of it.
QString AsParsed(const QString &value, bool attribute)
{
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < value.size()
            && QChar::isLowSurrogate(value.at(i + 1).unicode())) {
            out.append(u'?'); // outside the BMP, so outside the code page
            ++i;
        } else if (c == u'\r' || c == u'\n') {
            out.append(attribute ? u' ' : u'\n');
        } else if (c == u'\t') {
            out.append(attribute ? u' ' : u'\t');
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

void Build(const LayoutLine &line, const Scope &scope, XmlElement &parent);

void BuildOnce(const LayoutLine &line, const Scope &scope, XmlElement &parent)
{
    for (const QString &condition : line.conditions) {
        if (!Holds(condition, scope))
            return;
    }
    if (line.attribute) {
        parent.attributes.append(
            { line.name, AsParsed(Expand(line.value, scope, line.number), true) });
        return;
    }
    XmlElement &element = parent.children.emplace_back();
    element.name = line.name;
    element.text = AsParsed(Expand(line.value, scope, line.number), false);
    for (const LayoutLine &child : line.children)
        Build(child, scope, element);
}

void Build(const LayoutLine &line, const Scope &scope, XmlElement &parent)
{
    const LentarDocument &doc = *scope.doc;
    Scope inner = scope;
    if (line.each == u"subject"_s) {
        for (const int slot : doc.subjectSlots) {
            inner.subject = slot;
            if (slot != 0)
                BuildOnce(line, inner, parent);
        }
    } else if (line.each == u"author"_s) {
        for (const Participant &author : doc.authors) {
            inner.person = &author;
            BuildOnce(line, inner, parent);
        }
    } else if (line.each == u"leader"_s) {
        for (qsizetype i = 0; i < doc.leaders.size(); ++i) {
            inner.person = &doc.leaders.at(i);
            inner.invoiceLeader = i == doc.invoiceLeader;
            BuildOnce(line, inner, parent);
        }
    } else {
        BuildOnce(line, inner, parent);
    }
}

QString FromXml(const xmlChar *text)
{
    return text ? QString::fromUtf8(reinterpret_cast<const char *>(text)) : QString();
}

// A value short enough for a failure message, its control characters made visible.
QString Shown(const QString &value)
{
    constexpr qsizetype kShown = 60;
    QString out;
    for (const QChar c : value.left(kShown))
        out += c.unicode() < 32 ? u"\\x%1"_s.arg(int(c.unicode()), 2, 16, QChar(u'0')) : QString(c);
    return u"\""_s + out + (value.size() > kShown ? u"\"..."_s : u"\""_s);
}

QString Difference(const XmlElement &expected, const XmlElement &actual, const QString &here)
{
    if (actual.name != expected.name)
        return here + u": element "_s + actual.name + u" instead"_s;
    const auto &want = expected.attributes;
    const auto &have = actual.attributes;
    for (qsizetype i = 0; i < std::max(want.size(), have.size()); ++i) {
        if (i >= have.size())
            return here + u": attribute "_s + want.at(i).first + u" missing"_s;
        if (i >= want.size())
            return here + u": attribute "_s + have.at(i).first + u" not expected"_s;
        if (have.at(i).first != want.at(i).first)
            return here + u": attribute "_s + have.at(i).first + u" where "_s + want.at(i).first
                + u" belongs"_s;
        if (have.at(i).second != want.at(i).second)
            return here + u"/@"_s + want.at(i).first + u": "_s + Shown(have.at(i).second)
                + u" instead of "_s + Shown(want.at(i).second);
    }
    if (actual.text != expected.text)
        return here + u": text "_s + Shown(actual.text) + u" instead of "_s + Shown(expected.text);
    const std::size_t common = std::min(expected.children.size(), actual.children.size());
    for (std::size_t i = 0; i < common; ++i) {
        const XmlElement &child = expected.children[i];
        int position = 1;
        for (std::size_t j = 0; j < i; ++j)
            position += expected.children[j].name == child.name ? 1 : 0;
        const QString problem = Difference(
            child, actual.children[i], here + u'/' + child.name + u"[%1]"_s.arg(position));
        if (!problem.isEmpty())
            return problem;
    }
    if (expected.children.size() != actual.children.size())
        return here
            + u": %1 child elements instead of %2"_s.arg(actual.children.size())
                  .arg(expected.children.size());
    return {};
}

} // namespace

XmlElement ExpectedLentarTree(const LentarDocument &doc, qint64 stored, LentarVariant variant)
{
    Scope scope;
    scope.doc = &doc;
    scope.stored = stored;
    scope.variant = variant;
    XmlElement top;
    for (const LayoutLine &line : Layout().children)
        Build(line, scope, top);
    return std::move(top.children.front());
}

XmlElement ParsedLentarTree(const xmlNode *element)
{
    XmlElement result;
    result.name = FromXml(element->name);
    for (const xmlAttr *attr = element->properties; attr; attr = attr->next) {
        xmlChar *value = xmlNodeListGetString(element->doc, attr->children, 1);
        result.attributes.append({ FromXml(attr->name), FromXml(value) });
        xmlFree(value);
    }
    for (const xmlNode *child = element->children; child; child = child->next) {
        if (child->type == XML_ELEMENT_NODE)
            result.children.push_back(ParsedLentarTree(child));
        else if (child->type == XML_TEXT_NODE)
            result.text += FromXml(child->content);
        else
            result.text += u"<node of type %1>"_s.arg(int(child->type));
    }
    return result;
}

QString LentarTreeDifference(const XmlElement &expected, const XmlElement &actual)
{
    return Difference(expected, actual, u"/"_s + expected.name);
}
