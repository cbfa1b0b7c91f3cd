// The stylesheet the program carries: the stored constant is exactly the source text,
// the source is the XSLT the page needs, and the writer puts it on disk or says why not.

#include "codec/error.h"
#include "output/preview_xslt.h"
#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cstring>
#include <set>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr char kXsltNamespace[] = "http://www.w3.org/1999/XSL/Transform";

QString Attribute(xmlNodePtr node, const char *name)
{
    xmlChar *value = xmlGetProp(node, BAD_CAST name);
    const QString result = value ? QString::fromUtf8(reinterpret_cast<char *>(value)) : QString();
    xmlFree(value);
    return result;
}

bool IsXslElement(xmlNodePtr node, const char *localName)
{
    return node->type == XML_ELEMENT_NODE && node->ns
        && std::strcmp(reinterpret_cast<const char *>(node->ns->href), kXsltNamespace) == 0
        && std::strcmp(reinterpret_cast<const char *>(node->name), localName) == 0;
}

QString StyleText(const QByteArray &stylesheet)
{
    const QString text = QString::fromUtf8(stylesheet);
    const qsizetype start = text.indexOf(u"<style type=\"text/css\">"_s);
    const qsizetype end = text.indexOf(u"</style>"_s);
    if (start < 0 || end < start)
        return {};
    return text.mid(start, end - start).section(u'>', 1);
}

// Selector -> declarations, read the way a browser reads the rules.
QMap<QString, QStringList> CssRules(const QString &css)
{
    QMap<QString, QStringList> rules;
    for (const QString &block : css.split(u'}', Qt::SkipEmptyParts)) {
        const QString selector = block.section(u'{', 0, 0).simplified();
        if (selector.isEmpty())
            continue;
        QStringList declarations;
        for (const QString &declaration : block.section(u'{', 1).split(u';', Qt::SkipEmptyParts)) {
            if (!declaration.simplified().isEmpty())
                declarations.append(declaration.simplified());
        }
        rules.insert(selector, declarations);
    }
    return rules;
}

} // namespace

class StylesheetTest : public QObject
{
    Q_OBJECT

private slots:
    void storedConstantIsTheSourceText();
    void stylesheetStructure();
    void cssRules_data();
    void cssRules();
    void pageIcon();
    void writeTwiceLeavesOneFile();
    void emptyFolderMeansCurrentDirectory();
    void failedWrite_data();
    void failedWrite();
};

void StylesheetTest::storedConstantIsTheSourceText()
{
    const QByteArray source = ReadFile(QStringLiteral(LENTAR_STYLESHEET_SOURCE));
    QVERIFY(!source.isEmpty());

    const QByteArray stored(PreviewStylesheetBase64);
    QVERIFY(!stored.contains('\n'));
    QVERIFY(!stored.contains('\r'));
    QCOMPARE(stored.size() % 4, 0);
    // Our decoder and Qt's agree on the stored text, and both give the source back.
    QCOMPARE(QByteArray::fromBase64(stored, QByteArray::AbortOnBase64DecodingErrors), source);
    QCOMPARE(PreviewStylesheetBytes(), source);

    // UTF-8 without a byte-order mark, lines ended by a line feed alone.
    QVERIFY(!source.startsWith("\xEF\xBB\xBF"));
    QVERIFY(!source.contains('\r'));
    QVERIFY(source.endsWith('\n'));
}

void StylesheetTest::stylesheetStructure()
{
    const QByteArray bytes = PreviewStylesheetBytes();
    xmlDocPtr doc = xmlReadMemory(
        bytes.constData(), int(bytes.size()), "preview.lnr.xsl", nullptr, XML_PARSE_NONET);
    QVERIFY(doc);
    const auto freeDoc = qScopeGuard([doc] { xmlFreeDoc(doc); });

    xmlNodePtr root = xmlDocGetRootElement(doc);
    QVERIFY(IsXslElement(root, "stylesheet"));
    QCOMPARE(Attribute(root, "version"), u"1.0"_s);
    QVERIFY(Attribute(root, "exclude-result-prefixes").isNull());
    QString lentarNamespace;
    for (xmlNsPtr ns = root->nsDef; ns; ns = ns->next) {
        if (ns->prefix && std::strcmp(reinterpret_cast<const char *>(ns->prefix), "lentar") == 0)
            lentarNamespace = QString::fromUtf8(reinterpret_cast<const char *>(ns->href));
    }
    QCOMPARE(lentarNamespace, u"http://vantorela.example/works/"_s);

    xmlNodePtr first = root->children;
    while (first && xmlIsBlankNode(first))
        first = first->next;
    QVERIFY(first && first->type == XML_COMMENT_NODE);
    xmlChar *comment = xmlNodeGetContent(first);
    const QString commentText = QString::fromUtf8(reinterpret_cast<char *>(comment));
    xmlFree(comment);
    for (const QString &browser : { u"Firefox"_s, u"Opera"_s, u"Safari"_s, u"Chrome"_s })
        QVERIFY2(commentText.contains(browser), qPrintable(browser));
    QVERIFY(commentText.contains(u"лентар"_s));

    QList<xmlNodePtr> outputs;
    QList<xmlNodePtr> templates;
    for (xmlNodePtr node = root->children; node; node = node->next) {
        if (IsXslElement(node, "output"))
            outputs.append(node);
        if (IsXslElement(node, "template"))
            templates.append(node);
    }
    QCOMPARE(outputs.size(), 3);
    QCOMPARE(Attribute(outputs[0], "doctype-public"), u"-//W3C//DTD XHTML 1.0 Strict//EN"_s);
    QCOMPARE(Attribute(outputs[0], "doctype-system"),
        u"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd"_s);
    QCOMPARE(Attribute(outputs[1], "media-type"), u"text/xhtml"_s);
    QCOMPARE(Attribute(outputs[2], "indent"), u"yes"_s);
    for (xmlNodePtr output : outputs) {
        QVERIFY(Attribute(output, "method").isNull());
        QVERIFY(Attribute(output, "encoding").isNull());
    }
    QCOMPARE(templates.size(), 1);
    QCOMPARE(Attribute(templates[0], "match"), u"/"_s);
}

void StylesheetTest::cssRules_data()
{
    QTest::addColumn<QString>("selector");
    QTest::addColumn<QStringList>("declarations");
    QTest::newRow("body") << u"body"_s
                          << QStringList { u"background-color: white"_s,
                                 u"padding: 25px 20px 40px 20px"_s, u"font: 80% Arial"_s };
    QTest::newRow("links") << u"a, a:visited"_s << QStringList { u"color: #000000"_s };
    QTest::newRow("hover") << u"a:hover"_s
                           << QStringList { u"text-decoration: none"_s, u"color: #ffffff"_s,
                                  u"background-color: #660066"_s };
    QTest::newRow("hr") << u"hr"_s << QStringList { u"margin-top: 30px"_s };
    QTest::newRow("right title") << u"#right_title"_s
                                 << QStringList { u"color: #C299C2"_s, u"font-size: 130%"_s,
                                        u"position: absolute"_s, u"top: 25px"_s, u"right: 20px"_s,
                                        u"text-align: right"_s };
    QTest::newRow("image block") << u".div_image_right"_s
                                 << QStringList { u"float: right"_s, u"width: 302px"_s,
                                        u"margin: 30px 0 30px 40px"_s };
    QTest::newRow("image") << u".div_image_right img"_s
                           << QStringList { u"border: #660066 solid 1px"_s,
                                  u"-moz-box-shadow: grey 3px 3px 15px"_s,
                                  u"-webkit-box-shadow: grey 3px 3px 15px"_s,
                                  u"box-shadow: grey 3px 3px 15px"_s };
    QTest::newRow("image caption")
        << u".div_image_right p"_s
        << QStringList { u"background-color: white"_s, u"text-align: center"_s, u"font-size: 90%"_s,
               u"font-style: italic"_s };
    QTest::newRow("heading") << u"h1"_s
                             << QStringList { u"color: #660066"_s, u"font-size: 150%"_s,
                                    u"font-weight: bold"_s, u"margin: auto 400px 5px auto"_s };
    QTest::newRow("dt") << u"dt"_s << QStringList { u"margin-top: 10px"_s, u"font-weight: bold"_s };
    QTest::newRow("footer") << u"#footer p"_s
                            << QStringList { u"text-align: center"_s, u"font-size: 90%"_s };
}

void StylesheetTest::cssRules()
{
    QFETCH(QString, selector);
    QFETCH(QStringList, declarations);
    const QMap<QString, QStringList> rules = CssRules(StyleText(PreviewStylesheetBytes()));
    QCOMPARE(rules.size(), 11); // no rule besides those of the rows
    QVERIFY2(rules.contains(selector), qPrintable(selector));
    QCOMPARE(rules.value(selector), declarations);
}

void StylesheetTest::pageIcon()
{
    const QString text = QString::fromUtf8(PreviewStylesheetBytes());
    const QRegularExpression uri(u"<link rel=\"icon\" type=\"image/ico\" "
                                 u"href=\"data:image/ico;base64,([A-Za-z0-9+/=]+)\"/>"_s);
    const QRegularExpressionMatch match = uri.match(text);
    QVERIFY(match.hasMatch());
    const QByteArray icon = QByteArray::fromBase64(
        match.captured(1).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    QCOMPARE(icon.size(), 1150);

    // One 16 x 16 image of 32 bits, 1,128 bytes at offset 22; its BITMAPINFOHEADER
    // counts the colour rows and the mask rows in the height, 32.
    QCOMPARE(icon.left(42).toHex(' '),
        QByteArray("00 00 01 00 01 00 "
                   "10 10 00 00 01 00 20 00 68 04 00 00 16 00 00 00 "
                   "28 00 00 00 10 00 00 00 20 00 00 00 01 00 20 00 00 00 00 00"));

    // The picture shows something: more than one colour, every pixel opaque.
    std::set<quint32> colours;
    for (int pixel = 0; pixel < 256; ++pixel) {
        const quint32 bgra = qFromLittleEndian<quint32>(icon.constData() + 62 + 4 * pixel);
        QCOMPARE(bgra >> 24, 0xFFu);
        colours.insert(bgra);
    }
    QVERIFY(colours.size() > 1);
}

void StylesheetTest::writeTwiceLeavesOneFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.path() + u'/';
    WritePreviewStylesheet(folder);
    WritePreviewStylesheet(folder);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
        QStringList { u"preview.lnr.xsl"_s });
    QCOMPARE(ReadFile(folder + u"preview.lnr.xsl"_s), PreviewStylesheetBytes());
}

void StylesheetTest::emptyFolderMeansCurrentDirectory()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });
    WritePreviewStylesheet(QString());
    QCOMPARE(ReadFile(dir.path() + u"/preview.lnr.xsl"_s), PreviewStylesheetBytes());
}

void StylesheetTest::failedWrite_data()
{
    QTest::addColumn<QString>("setup");
    QTest::newRow("folder missing") << u"missing"_s;
    // An older stylesheet is there but cannot be replaced: still an error.
    QTest::newRow("older file in a read-only folder") << u"read-only"_s;
    QTest::newRow("folder in the way") << u"directory"_s;
}

void StylesheetTest::failedWrite()
{
    QFETCH(QString, setup);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QString folder = dir.path() + u'/';
    const QString target = folder + u"preview.lnr.xsl"_s;
    const QByteArray older = "older stylesheet";

    if (setup == u"missing"_s) {
        folder += u"no such folder/"_s;
    } else if (setup == u"read-only"_s) {
        if (geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(older);
        file.close();
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    } else {
        QVERIFY(QDir(dir.path()).mkdir(u"preview.lnr.xsl"_s));
    }
    const auto writable = qScopeGuard([&dir] {
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });

    QString message;
    try {
        WritePreviewStylesheet(folder);
    } catch (const LentarError &error) {
        message = QString::fromUtf8(error.what());
    }
    // The message names the folder, as the user knows it, and the system's reason.
    const QString prefix
        = u"Ошибка записи файла шаблона в папку «%1»: "_s.arg(QDir::cleanPath(folder));
    QVERIFY2(message.startsWith(prefix), qPrintable(message));
    QVERIFY(message.size() > prefix.size());

    if (setup == u"read-only"_s)
        QCOMPARE(ReadFile(target), older);
    if (setup == u"directory"_s)
        QVERIFY(QFileInfo(target).isDir());
}

QTEST_GUILESS_MAIN(StylesheetTest)
#include "stylesheet_test.moc"
