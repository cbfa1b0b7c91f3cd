#include "document/lentar_xml.h"

#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(LentarDocument)
Q_DECLARE_METATYPE(LentarVariant)

namespace {

// The expected files below are spelled out from the format's rules, piece by piece.
const QByteArray kBom = "\xEF\xBB\xBF";
const QByteArray kHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                         "<?xml-stylesheet type=\"text/xsl\" href=\"preview.lnr.xsl\" ?>\r\n";

// Two full base64 lines, as a 114-byte picture gives them.
constexpr char kPictureLine1[]
    = "/9j/4AAQSkZJRgABAQEASABIAAD/2wBDAAEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEB";
constexpr char kPictureLine2[]
    = "AQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQH/wAALCAABAAEBAREA/8QAFAABAAAAAAAA";
static_assert(sizeof(kPictureLine1) - 1 == 76 && sizeof(kPictureLine2) - 1 == 76);
static_assert((sizeof(kPictureLine1) - 1 + sizeof(kPictureLine2) - 1) / 4 * 3 == 114);

LentarDocument CompleteDocument()
{
    LentarDocument doc;
    doc.title = u"\t  \"Я&<>' «Проект» №1\u00A0\u4E2D "_s;
    doc.description = u"A\r\nB\x01\uFFFE C\x1F"_s;
    doc.techRequest = u" 220 В\tи USB "_s;
    doc.subjectSlots = { 2, 19, 24, 0, 0 };
    doc.authors = { { u"123-456-789"_s, u" Иванов "_s, u"Иван\t"_s, u"Иванович"_s } };
    doc.leaders = { { u"111-222-333"_s, u"Петрова"_s, u"Анна"_s, u"Сергеевна"_s },
        { u"444-555-666"_s, u"Ёлкин"_s, u"Пётр"_s, u"Ильич"_s } };
    doc.invoiceLeader = 1;
    doc.publicPostIndex = u" 123456 "_s;
    doc.publicPostAddress = u"г. Москва, ул. Ленина, д. 1"_s;
    doc.publicEmail = u" a&b@example.com\r\n"_s;
    doc.picture.present = true;
    doc.picture.base64 = QByteArray(kPictureLine1) + '\n' + kPictureLine2 + '\n';
    doc.picture.width = 300;
    doc.picture.height = 225;
    doc.picture.caption = u" "_s;
    doc.notes = u"  Спасибо!\r\nВопросы — по почте.  "_s;
    return doc;
}

const QByteArray kCompleteWorkStart
    = "<vantorela><work title=\"&#34;Я&#38;&#60;&#62;&#39; «Проект» №1\xC2\xA0?\" sz_id=\"8\" "
      "stored=\"1300000000\" version=\"2.1\">"
      "<description>A\r\r\nB C</description>"
      "<specification> 220 В\tи USB </specification>"
      "<manual></manual>"
      "<subjects><subject sb_id=\"2\"></subject><subject sb_id=\"19\"></subject>"
      "<subject sb_id=\"24\"></subject></subjects>"
      "<authors>"
      "<person p_id_full=\"123-456-789\" p_type=\"student\" surname=\"Иванов\" name=\"Иван\" "
      "patronymic=\"Иванович\"></person>"
      "<person p_id_full=\"111-222-333\" p_type=\"teacher\" surname=\"Петрова\" name=\"Анна\" "
      "patronymic=\"Сергеевна\"></person>"
      "<person p_id_full=\"444-555-666\" p_type=\"teacher\" surname=\"Ёлкин\" name=\"Пётр\" "
      "patronymic=\"Ильич\" status=\"leader\"></person>"
      "</authors>"
      "<public_relations><postal_code>123456</postal_code>"
      "<address>г. Москва, ул. Ленина, д. 1</address><phone></phone>"
      "<email>a&#38;b@example.com</email></public_relations>";
const QByteArray kCompleteImg = QByteArray("<img src=\"data:image/jpeg;base64,") + kPictureLine1
    + "\r\n" + kPictureLine2 + "\r\n\" width=\"300\" height=\"225\" title=\" \"></img>";
const QByteArray kCompleteComment = "<comment>Спасибо!\r\r\nВопросы — по почте.</comment>";
const QByteArray kWorkEnd = "</work></vantorela>\r\n";

QByteArray FileBytes(const QString &text, LentarVariant variant)
{
    return variant == LentarVariant::Saved ? LentarFileBytes(text) : PreviewFileBytes(text);
}

} // namespace

class LentarXmlTest : public QObject
{
    Q_OBJECT

private slots:
    void goldenFile_data();
    void goldenFile();
};

void LentarXmlTest::goldenFile_data()
{
    QTest::addColumn<LentarDocument>("doc");
    QTest::addColumn<LentarVariant>("variant");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("complete saved")
        << CompleteDocument() << LentarVariant::Saved << qint64(1300000000)
        << kBom + kHead + kCompleteWorkStart + kCompleteImg + kCompleteComment + kWorkEnd + "\r\n";

    // The preview keeps every value of a saved lentar but puts the comment first.
    QTest::newRow("complete preview")
        << CompleteDocument() << LentarVariant::Preview << qint64(1300000000)
        << kHead + kCompleteWorkStart + kCompleteComment + kCompleteImg + kWorkEnd;

    LentarDocument minimal;
    minimal.title = u"Работа"_s;
    minimal.description = u"Описание"_s;
    minimal.subjectSlots = { 7, 0, 0, 0, 0 };
    minimal.authors = { { u"100-000-001"_s, u"А"_s, u"Б"_s, u"В"_s } };
    minimal.leaders = { { u"200-000-002"_s, u"Г"_s, u"Д"_s, u"Е"_s } };
    minimal.invoiceLeader = 0;
    const QByteArray minimalBody
        = "<vantorela><work title=\"Работа\" sz_id=\"8\" stored=\"-5\" version=\"2.1\">"
          "<description>Описание</description><specification></specification>"
          "<manual></manual><subjects><subject sb_id=\"7\"></subject></subjects><authors>"
          "<person p_id_full=\"100-000-001\" p_type=\"student\" surname=\"А\" name=\"Б\" "
          "patronymic=\"В\"></person>"
          "<person p_id_full=\"200-000-002\" p_type=\"teacher\" surname=\"Г\" name=\"Д\" "
          "patronymic=\"Е\" status=\"leader\"></person></authors>"
          "<public_relations><postal_code></postal_code><address></address><phone></phone>"
          "<email></email></public_relations><comment></comment></work></vantorela>\r\n";
    QTest::newRow("one author, invoice leader, no picture")
        << minimal << LentarVariant::Saved << qint64(-5) << kBom + kHead + minimalBody + "\r\n";

    LentarDocument empty;
    empty.title = u" \t "_s;
    empty.notes = u"x"_s;
    empty.invoiceLeader = 0; // no leader to carry it
    empty.picture.present = true;
    empty.picture.base64 = "QUJD\n";
    empty.picture.width = 1;
    empty.picture.height = 2;
    const QByteArray emptyStart
        = "<description></description><specification></specification><manual></manual>"
          "<subjects></subjects><authors></authors><public_relations><postal_code>"
          "</postal_code><address></address><phone></phone><email></email>"
          "</public_relations>";
    const QByteArray emptyImg
        = "<img src=\"data:image/jpeg;base64,QUJD\r\n\" width=\"1\" height=\"2\"></img>";
    QTest::newRow("empty preview, untitled, caption empty")
        << empty << LentarVariant::Preview << qint64(0)
        << kHead
            + "<vantorela><work title=\"Без названия\" sz_id=\"8\" stored=\"0\" "
              "version=\"2.1\">"
            + emptyStart + "<comment>x</comment>" + emptyImg + kWorkEnd;
    QTest::newRow("empty saved keeps the empty title")
        << empty << LentarVariant::Saved << qint64(0)
        << kBom + kHead + "<vantorela><work title=\"\" sz_id=\"8\" stored=\"0\" version=\"2.1\">"
            + emptyStart + emptyImg + "<comment>x</comment>" + kWorkEnd + "\r\n";
}

void LentarXmlTest::goldenFile()
{
    QFETCH(LentarDocument, doc);
    QFETCH(LentarVariant, variant);
    QFETCH(qint64, stored);
    QFETCH(QByteArray, expected);

    const QString text = SerializeLentar(BuildLentarXml(doc, stored, variant));
    QCOMPARE(FileBytes(text, variant), expected);
}

QTEST_GUILESS_MAIN(LentarXmlTest)
#include "lentar_xml_test.moc"
