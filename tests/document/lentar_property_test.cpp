// Random records of any content must come out as well-formed XML that a real parser
// reads back to the values the format promises: trimmed where the format trims, with
// the forbidden control characters gone and everything outside Windows-1251 as "?".

#include "codec/cp1251.h"
#include "document/lentar_xml.h"
#include "lentar_layout.h"
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

constexpr qint64 kStored = 1289206800;

struct DocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};

std::unique_ptr<xmlDoc, DocFree> Parse(const QByteArray &bytes)
{
    return std::unique_ptr<xmlDoc, DocFree>(xmlReadMemory(bytes.constData(), int(bytes.size()),
        "lentar.xml", nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
}

// A record that has every part the layout can hold.
LentarDocument FullRecord()
{
    LentarDocument doc;
    doc.title = u"  Работа  "_s;
    doc.description = u"Описание"_s;
    doc.subjectSlots = { 3, 0, 7, 0, 0 };
    doc.authors = { { u"123-456-789"_s, u"Иванов"_s, u"Иван"_s, u"Иванович"_s } };
    doc.leaders = { { u"234-567-890"_s, u"Петров"_s, u"Пётр"_s, u"Петрович"_s },
        { u"345-678-901"_s, u"Сидорова"_s, u"Анна"_s, u"Сергеевна"_s } };
    doc.invoiceLeader = 1;
    doc.picture.present = true;
    doc.picture.base64 = "/9j/\n";
    doc.picture.width = 120;
    doc.picture.height = 90;
    doc.picture.caption = u"Снимок"_s;
    doc.notes = u"Заметки"_s;
    return doc;
}

} // namespace

class LentarPropertyTest : public QObject
{
    Q_OBJECT

private slots:
    void randomRecordsReadBack();
    void misplacedPartsAreFound_data();
    void misplacedPartsAreFound();
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

        const auto parsed = Parse(bytes);
        QVERIFY2(parsed, context + " is not well-formed");

        const xmlNode *first = parsed->children;
        QVERIFY2(first && first->type == XML_PI_NODE
                && xmlStrEqual(first->name, BAD_CAST "xml-stylesheet"),
            context);
        const QString difference
            = LentarTreeDifference(ExpectedLentarTree(doc, stored,
                                       preview ? LentarVariant::Preview : LentarVariant::Saved),
                ParsedLentarTree(xmlDocGetRootElement(parsed.get())));
        QVERIFY2(difference.isEmpty(), context + ": " + difference.toUtf8());
    }
}

// The comparison the writer's checks rest on must see each way a file can stray from
// the layout: a file edited by hand stands in for a writer gone wrong.
void LentarPropertyTest::misplacedPartsAreFound_data()
{
    QTest::addColumn<bool>("writePreview");
    QTest::addColumn<bool>("expectPreview");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("replace");
    QTest::addColumn<QString>("where"); // part of the difference reported; empty for none

    QTest::newRow("saved, as written") << false << false << QString() << QString() << QString();
    QTest::newRow("preview, as written") << true << true << QString() << QString() << QString();
    QTest::newRow("saved file against the preview's layout")
        << false << true << QString() << QString()
        << u"/vantorela/work[1]/comment[1]: element img instead"_s;
    QTest::newRow("comment before the picture in a saved lentar")
        << false << false << u"<comment>Заметки</comment>"_s << QString()
        << u"/vantorela/work[1]/img[1]: element comment instead"_s;
    QTest::newRow("comment after the picture in a preview")
        << true << true << u"<comment>Заметки</comment><img"_s << u"<img"_s
        << u"/vantorela/work[1]/comment[1]: element img instead"_s;
    QTest::newRow("invoice leader unmarked")
        << false << false << u" status=\"leader\""_s << QString()
        << u"/vantorela/work[1]/authors[1]/person[3]: attribute status missing"_s;
    QTest::newRow("two attributes swapped")
        << false << false << u"sz_id=\"8\" stored=\"1289206800\""_s
        << u"stored=\"1289206800\" sz_id=\"8\""_s
        << u"/vantorela/work[1]: attribute stored where sz_id belongs"_s;
    QTest::newRow("title left untrimmed")
        << false << false << u"title=\"Работа\""_s << u"title=\"  Работа  \""_s
        << u"/vantorela/work[1]/@title"_s;
    QTest::newRow("line break between container tags")
        << false << false << u"<authors><person"_s << u"<authors>\r\n<person"_s
        << u"/vantorela/work[1]/authors[1]: text"_s;
    QTest::newRow("a subject left out")
        << false << false << u"<subject sb_id=\"7\"></subject>"_s << QString()
        << u"/vantorela/work[1]/subjects[1]: 1 child elements instead of 2"_s;
    QTest::newRow("caption left out") << false << false << u" title=\"Снимок\""_s << QString()
                                      << u"/vantorela/work[1]/img[1]: attribute title missing"_s;
}

void LentarPropertyTest::misplacedPartsAreFound()
{
    QFETCH(bool, writePreview);
    QFETCH(bool, expectPreview);
    QFETCH(QString, find);
    QFETCH(QString, replace);
    QFETCH(QString, where);

    const LentarDocument doc = FullRecord();
    const auto variant
        = [](bool preview) { return preview ? LentarVariant::Preview : LentarVariant::Saved; };
    QString text = SerializeLentar(BuildLentarXml(doc, kStored, variant(writePreview)));
    if (!find.isEmpty()) {
        QCOMPARE(text.count(find), 1);
        text.replace(find, replace);
        // The comment moved, not dropped, when it leaves the end of a saved lentar.
        if (replace.isEmpty() && find.startsWith(u"<comment>"_s))
            text.replace(u"<img"_s, find + u"<img"_s);
    }
    const auto parsed = Parse(writePreview ? PreviewFileBytes(text) : LentarFileBytes(text));
    QVERIFY(parsed);
    const QString difference
        = LentarTreeDifference(ExpectedLentarTree(doc, kStored, variant(expectPreview)),
            ParsedLentarTree(xmlDocGetRootElement(parsed.get())));
    if (where.isEmpty())
        QVERIFY2(difference.isEmpty(), qPrintable(difference));
    else
        QVERIFY2(difference.startsWith(where), qPrintable(difference));
}

QTEST_GUILESS_MAIN(LentarPropertyTest)
#include "lentar_property_test.moc"
