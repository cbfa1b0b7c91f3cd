// The page a lentar renders to: lentars from the document writer, run through the
// stored stylesheet by our own renderer, read back as XHTML.

#include "codec/error.h"
#include "document/lentar_xml.h"
#include "document/subject_catalogue.h"
#include "output/page_render.h"
#include "output/preview_xslt.h"
#include "test_files.h"

#include "xhtml_page.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <initializer_list>

using namespace Qt::StringLiterals;

namespace {

constexpr char kSite[] = "http://vantorela.example";
const QString kTitleSuffix = u" – Лентар фестиваля «Ванторела»"_s;
const QString kAltText
    = u"Изображение к работе. Оно не поддерживается устаревшими версиями Internet Explorer "
      u"до 8-й включительно. Для просмотра лентара используйте браузеры Firefox, Opera, Safari."_s;

QByteArray Render(const LentarDocument &doc, qint64 stored = 1294000000)
{
    return RenderLentarPage(
        LentarFileBytes(SerializeLentar(BuildLentarXml(doc, stored))), PreviewStylesheetBytes());
}

LentarDocument WithSubjects(std::initializer_list<int> ids)
{
    LentarDocument doc;
    doc.title = u"Работа"_s;
    int slot = 0;
    for (int id : ids)
        doc.subjectSlots[slot++] = id;
    return doc;
}

QString SubjectLink(int id)
{
    return QString::fromLatin1(kSite) + u"/subjects/"_s + QString::number(id) + u'/';
}

// The rendered page, or an empty array when the renderer refused the input.
QByteArray RenderOrRefuse(const QByteArray &lentar, const QByteArray &stylesheet)
{
    try {
        return RenderLentarPage(lentar, stylesheet);
    } catch (const LentarError &) {
        return {};
    }
}

} // namespace

class PageTest : public QObject
{
    Q_OBJECT

private slots:
    void pageShape();
    void title_data();
    void title();
    void subjects_data();
    void subjects();
    void everySubjectCaption();
    void schoolYear_data();
    void schoolYear();
    void participantsSortedByIdentifier();
    void emptyParticipantLists();
    void picture_data();
    void picture();
    void contacts_data();
    void contacts();
    void textFieldsAsPlainText();
    void worksInStoredTextOrder();
    void externalEntitiesStayOut_data();
    void externalEntitiesStayOut();
    void stylesheetCannotTouchFiles();
    void brokenInput_data();
    void brokenInput();
};

void PageTest::pageShape()
{
    LentarDocument doc;
    doc.title = u"Работа"_s;
    const QByteArray bytes = Render(doc);
    const XhtmlPage page(bytes);
    QVERIFY(page.isWellFormed());

    xmlDtdPtr dtd = page.doc()->intSubset;
    QVERIFY(dtd);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(dtd->ExternalID)),
        "-//W3C//DTD XHTML 1.0 Strict//EN");
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(dtd->SystemID)),
        "http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd");

    // The festival namespace travels onto the page's root element.
    xmlNodePtr root = xmlDocGetRootElement(page.doc());
    QCOMPARE(page.count("/x:html"), 1);
    bool festivalNamespace = false;
    for (xmlNsPtr ns = root->nsDef; ns; ns = ns->next) {
        festivalNamespace |= ns->prefix
            && std::strcmp(reinterpret_cast<const char *>(ns->prefix), "lentar") == 0
            && std::strcmp(
                   reinterpret_cast<const char *>(ns->href), "http://vantorela.example/works/")
                == 0;
    }
    QVERIFY(festivalNamespace);

    QCOMPARE(page.count("/x:html/x:head/*"), 4);
    QCOMPARE(page.count("/x:html/x:head/*[1][self::x:meta]"
                        "[@http-equiv='Content-Type'][@content='text/xhtml; charset=UTF-8']"),
        1);
    QCOMPARE(page.count("/x:html/x:head/*[2][self::x:title]"), 1);
    QCOMPARE(page.count("/x:html/x:head/*[3][self::x:link][@rel='icon'][@type='image/ico']"
                        "[starts-with(@href, 'data:image/ico;base64,')]"),
        1);
    QCOMPARE(page.count("/x:html/x:head/*[4][self::x:style][@type='text/css']"), 1);

    QCOMPARE(page.text("//x:p[@id='right_title']"),
        u"Лентар работы,\u00A0представленной на\u00A0фестиваль «Ванторела»"_s);
    QCOMPARE(page.count("//x:p[@id='right_title']/x:br"), 1);
    QCOMPARE(page.count("//x:div[@style='clear: right'][not(node())]"), 1);

    QCOMPARE(page.texts("//x:dl/x:dt"),
        (QStringList { u"Автор(ы):"_s, u"Руководитель(и):"_s, u"Описание работы:"_s,
            u"Технические требования:"_s, u"Порядок знакомства:"_s, u"Контактная информация:"_s,
            u"Комментарии:"_s }));
    QCOMPARE(page.count("//x:body/x:hr"), 1);
    QCOMPARE(page.count("//x:div[@id='footer']/x:p"), 2);
    QVERIFY(page.text("//x:div[@id='footer']/x:p[1]").contains(u"Телефон для справок: "_s));
    QCOMPARE(page.count("//x:div[@id='footer']/x:p[1]/x:br"), 1);
    QCOMPARE(page.count("//x:div[@id='footer']/x:p[1]/x:a[starts-with(@href, 'mailto:')]"), 1);
    QCOMPARE(page.count("//x:div[@id='footer']/x:p[2]/x:a[starts-with(@href, 'http')]"), 1);
}

void PageTest::title_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain") << u"Кот"_s << QString() << u"Кот"_s;
    QTest::newRow("markup characters")
        << u"Кот & \"Пёс\" <1>"_s << QString() << u"Кот & \"Пёс\" <1>"_s;
    QTest::newRow("blanks around") << u"  Кот  "_s << QString() << u"Кот"_s;
    // The picture's title comes later in the document than the work's.
    QTest::newRow("picture caption") << u"Кот"_s << u"Подпись"_s << u"Кот"_s;
}

void PageTest::title()
{
    QFETCH(QString, title);
    QFETCH(QString, caption);
    QFETCH(QString, shown);
    LentarDocument doc;
    doc.title = title;
    doc.picture.present = !caption.isEmpty();
    doc.picture.caption = caption;
    const XhtmlPage page(Render(doc));
    QVERIFY(page.isWellFormed());
    QCOMPARE(page.text("/x:html/x:head/x:title"), shown + kTitleSuffix);
    QCOMPARE(page.text("//x:h1"), shown);
}

void PageTest::subjects_data()
{
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<QString>("paragraph");
    QTest::addColumn<QStringList>("links");
    QTest::newRow("none") << QList<int> {} << u"Раздел: не выбран"_s << QStringList {};
    QTest::newRow("one") << QList<int> { 2 } << u"Раздел: Биология"_s
                         << QStringList { SubjectLink(2) };
    // Sorted as text: "10" before "2", "19" before "2" before "24".
    QTest::newRow("two") << QList<int> { 2, 10 }
                         << u"Разделы: Экономика, социология и право; Биология"_s
                         << QStringList { SubjectLink(10), SubjectLink(2) };
    QTest::newRow("three") << QList<int> { 2, 19, 24 }
                           << u"Разделы: Литературное творчество; Биология; "
                              u"Конкурс «Учебный проект»"_s
                           << QStringList { SubjectLink(19), SubjectLink(2), SubjectLink(24) };
    QTest::newRow("unknown") << QList<int> { 23 } << u"Раздел: ?"_s
                             << QStringList { SubjectLink(23) };
}

void PageTest::subjects()
{
    QFETCH(QList<int>, ids);
    QFETCH(QString, paragraph);
    QFETCH(QStringList, links);
    LentarDocument doc;
    for (int i = 0; i < ids.size(); ++i)
        doc.subjectSlots[i] = ids[i];
    const XhtmlPage page(Render(doc));
    QVERIFY(page.isWellFormed());
    const char *subjects = "//x:p[x:b[starts-with(., 'Раздел')]]";
    QCOMPARE(page.count(subjects), 1);
    QCOMPARE(page.text(subjects), paragraph);
    QCOMPARE(page.texts("//x:p[x:b[starts-with(., 'Раздел')]]/x:a/@href"), links);
}

void PageTest::everySubjectCaption()
{
    for (const Subject &subject : SubjectCatalogue::all()) {
        const XhtmlPage page(Render(WithSubjects({ subject.sb_id })));
        QVERIFY(page.isWellFormed());
        QCOMPARE(page.texts("//x:p/x:a[contains(@href, '/subjects/')]"),
            QStringList { subject.caption });
    }
}

void PageTest::schoolYear_data()
{
    QTest::addColumn<int>("season");
    QTest::addColumn<QString>("paragraph");
    QTest::newRow("2010/2011") << 8 << u"Учебный год: 2010 / 2011"_s;
    QTest::newRow("2011/2012") << 9 << u"Учебный год: 2011 / 2012"_s;
}

void PageTest::schoolYear()
{
    QFETCH(int, season);
    QFETCH(QString, paragraph);
    LentarDocument doc;
    doc.season = season;
    const XhtmlPage page(Render(doc));
    QCOMPARE(page.text("//x:p[x:b = 'Учебный год:']"), paragraph);
}

void PageTest::participantsSortedByIdentifier()
{
    LentarDocument doc;
    doc.authors = { { u"500-000-001"_s, u"Сидоров"_s, u"Сидор"_s, u"Сидорович"_s },
        { u"100-000-002"_s, u"Иванов"_s, u"Иван"_s, u"Иванович"_s },
        { u"300-000-003"_s, u"Петров"_s, u"Пётр"_s, u"Петрович"_s } };
    doc.leaders = { { u"900-000-004"_s, u"Учителев"_s, u"Семён"_s, u"Ильич"_s },
        { u"200-000-005"_s, u"Наставникова"_s, u"Анна"_s, u"Павловна"_s } };
    doc.invoiceLeader = 1;
    const XhtmlPage page(Render(doc));
    QVERIFY(page.isWellFormed());

    QCOMPARE(page.texts("//x:dt[. = 'Автор(ы):']/following-sibling::x:ul[1]/x:li"),
        (QStringList { u"[100-000-002] Иванов Иван Иванович"_s,
            u"[300-000-003] Петров Пётр Петрович"_s, u"[500-000-001] Сидоров Сидор Сидорович"_s }));
    QCOMPARE(page.texts("//x:dt[. = 'Руководитель(и):']/following-sibling::x:ul[1]/x:li"),
        (QStringList { u"[200-000-005] Наставникова Анна Павловна"_s,
            u"[900-000-004] Учителев Семён Ильич"_s }));
    QCOMPARE(page.texts("//x:dt[. = 'Руководитель(и):']/following-sibling::x:ul[1]/x:li/x:a/@href"),
        (QStringList { QString::fromLatin1(kSite) + u"/persons/200-000-005/"_s,
            QString::fromLatin1(kSite) + u"/persons/900-000-004/"_s }));
    QCOMPARE(page.count("//x:ul"), 2);
    QVERIFY(!page.text("/").contains(u"leader"_s));
}

void PageTest::emptyParticipantLists()
{
    const XhtmlPage page(Render(LentarDocument {}));
    QVERIFY(page.isWellFormed());
    QCOMPARE(page.count("//x:dt[. = 'Автор(ы):']/following-sibling::*[1][self::x:ul][not(*)]"), 1);
    QCOMPARE(page.count("//x:dt[. = 'Руководитель(и):']/following-sibling::*[1][self::x:ul]"
                        "[not(*)]"),
        1);
}

void PageTest::picture_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("caption");
    QTest::newRow("none") << false << QString();
    QTest::newRow("with caption") << true << u"Общий вид установки"_s;
    QTest::newRow("blank caption") << true << u" "_s;
    QTest::newRow("no caption") << true << QString();
}

void PageTest::picture()
{
    QFETCH(bool, present);
    QFETCH(QString, caption);
    LentarDocument doc;
    doc.picture.present = present;
    doc.picture.base64
        = "/9j/4AAQSkZJRgABAQAAAQABAAD/2wBDAAgGBgcGBQgHBwcJCQgKDBQNDAsLDBkSEw8UHRof\n"
          "Hh0aHBwgJC4nICIsIxwcKDcpLDAxNDQ0Hyc5PTgyPC4zNDL/\n";
    doc.picture.width = 240;
    doc.picture.height = 180;
    doc.picture.caption = caption;
    const XhtmlPage page(Render(doc));
    QVERIFY(page.isWellFormed());

    if (!present) {
        QCOMPARE(page.count("//x:div[@class='div_image_right']"), 0);
        QCOMPARE(page.count("//x:img"), 0);
        return;
    }
    QCOMPARE(page.count("//x:div[@class='div_image_right']"), 1);
    QCOMPARE(page.count("//x:div[@class='div_image_right']/x:img"), 1);
    QString src = page.text("//x:img/@src");
    src.remove(u' ');
    QCOMPARE(
        src, u"data:image/jpeg;base64,"_s + QString::fromLatin1(doc.picture.base64).remove(u'\n'));
    QCOMPARE(page.text("//x:img/@width"), u"240"_s);
    QCOMPARE(page.text("//x:img/@height"), u"180"_s);
    QCOMPARE(page.count("//x:img/@title"), 1);
    QCOMPARE(page.text("//x:img/@title"), caption);
    QCOMPARE(page.text("//x:div[@class='div_image_right']/x:p"), caption);
    // A line break and four tabs before the text, a line break and three tabs after:
    // each becomes a space when the attribute is read.
    QCOMPARE(page.text("//x:img/@alt"), u"     "_s + kAltText + u"    "_s);
}

void PageTest::contacts_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("mailto");
    QTest::newRow("empty") << QStringList { QString(), QString(), QString(), QString() }
                           << QStringList { u"Адрес: , "_s, u"Телефон: "_s, u"Эл. адрес: "_s }
                           << u"mailto:"_s;
    QTest::newRow("filled") << QStringList { u"123456"_s, u"г. Город, ул. Лесная, д. 5"_s,
        u"+7 900 000-00-00"_s, u"school@example.org"_s }
                            << QStringList { u"Адрес: 123456, г. Город, ул. Лесная, д. 5"_s,
                                   u"Телефон: +7 900 000-00-00"_s,
                                   u"Эл. адрес: school@example.org"_s }
                            << u"mailto:school@example.org"_s;
}

void PageTest::contacts()
{
    QFETCH(QStringList, fields);
    QFETCH(QStringList, lines);
    QFETCH(QString, mailto);
    LentarDocument doc;
    doc.publicPostIndex = fields[0];
    doc.publicPostAddress = fields[1];
    doc.publicPhone = fields[2];
    doc.publicEmail = fields[3];
    const XhtmlPage page(Render(doc));
    QVERIFY(page.isWellFormed());
    QCOMPARE(page.texts("//x:dt[. = 'Контактная информация:']"
                        "/following-sibling::x:dd[position() <= 3]"),
        lines);
    QCOMPARE(page.text("//x:dt[. = 'Контактная информация:']/following-sibling::x:dd[3]/x:a/@href"),
        mailto);
}

void PageTest::textFieldsAsPlainText()
{
    LentarDocument doc;
    doc.description = u"Первая строка\r\nВторая строка"_s;
    doc.techRequest = u"Браузер"_s;
    doc.manual = u"Открыть <index.html> & читать"_s;
    doc.notes = u"Только для оргкомитета"_s;
    const XhtmlPage page(Render(doc));
    QVERIFY(page.isWellFormed());
    const QString description
        = page.text("//x:dt[. = 'Описание работы:']/following-sibling::x:dd[1]");
    QVERIFY(description.startsWith(u"Первая строка"_s));
    QVERIFY(description.endsWith(u"Вторая строка"_s));
    QCOMPARE(description.simplified(), u"Первая строка Вторая строка"_s);
    QCOMPARE(page.count("//x:dl//x:br"), 0); // line breaks are not turned into markup
    QCOMPARE(page.text("//x:dt[. = 'Технические требования:']/following-sibling::x:dd[1]"),
        doc.techRequest);
    QCOMPARE(page.text("//x:dt[. = 'Порядок знакомства:']/following-sibling::x:dd[1]"), doc.manual);
    QCOMPARE(page.text("//x:dt[. = 'Комментарии:']/following-sibling::x:dd[1]"), doc.notes);
}

void PageTest::worksInStoredTextOrder()
{
    // Not something the writer produces, but the page must still follow its rules:
    // works in text order of stored ("100" before "20"), the window title from the
    // first title in the document.
    const QByteArray lentar = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                              "<vantorela>"
                              "<work title=\"Первая\" sz_id=\"8\" stored=\"20\"></work>"
                              "<work title=\"Вторая\" sz_id=\"8\" stored=\"100\"></work>"
                              "</vantorela>";
    const XhtmlPage page(RenderLentarPage(lentar, PreviewStylesheetBytes()));
    QVERIFY(page.isWellFormed());
    QCOMPARE(page.texts("//x:h1"), (QStringList { u"Вторая"_s, u"Первая"_s }));
    QCOMPARE(page.text("/x:html/x:head/x:title"), u"Первая"_s + kTitleSuffix);
    QCOMPARE(page.count("//x:div[@id='footer']"), 2);
}

void PageTest::externalEntitiesStayOut_data()
{
    QTest::addColumn<QByteArray>("doctype");
    QTest::newRow("external general entity")
        << QByteArray("<!DOCTYPE vantorela [<!ENTITY secret SYSTEM \"@DIR@/secret.txt\">]>");
    QTest::newRow("external DTD") << QByteArray("<!DOCTYPE vantorela SYSTEM \"@DIR@/secret.dtd\">");
    QTest::newRow("parameter entity")
        << QByteArray("<!DOCTYPE vantorela [<!ENTITY % defs SYSTEM \"@DIR@/secret.dtd\"> %defs;]>");
}

void PageTest::externalEntitiesStayOut()
{
    QFETCH(QByteArray, doctype);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray secret = "SECRET-4711";
    QVERIFY(WriteFile(dir.filePath(u"secret.txt"_s), secret));
    QVERIFY(WriteFile(dir.filePath(u"secret.dtd"_s),
        "<!ENTITY secret SYSTEM \"" + dir.filePath(u"secret.txt"_s).toUtf8() + "\">"));
    doctype.replace("@DIR@", dir.path().toUtf8());
    const QByteArray lentar = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + doctype
        + "<vantorela><work title=\"T\" sz_id=\"8\" stored=\"1\">"
          "<description>&secret;</description></work></vantorela>";

    // A parser told to expand entities does read the file: the case is a real threat.
    xmlDocPtr expanded = xmlReadMemory(lentar.constData(), int(lentar.size()), "x.xml", nullptr,
        XML_PARSE_NOENT | XML_PARSE_DTDLOAD | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    QVERIFY(expanded);
    xmlChar *content = xmlNodeGetContent(xmlDocGetRootElement(expanded));
    const bool readable = std::strstr(reinterpret_cast<const char *>(content), secret) != nullptr;
    xmlFree(content);
    xmlFreeDoc(expanded);
    QVERIFY(readable);

    const QByteArray page = RenderOrRefuse(lentar, PreviewStylesheetBytes());
    QVERIFY(!page.contains(secret));
}

void PageTest::stylesheetCannotTouchFiles()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray secret = "SECRET-4711";
    QVERIFY(WriteFile(dir.filePath(u"secret.xml"_s), "<s>" + secret + "</s>"));
    const QByteArray written = dir.filePath(u"written.txt"_s).toUtf8();
    const QByteArray stylesheet
        = "<xsl:stylesheet version=\"1.1\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
          "<xsl:template match=\"/\"><html>"
          "<p><xsl:value-of select=\"document('"
        + dir.filePath(u"secret.xml"_s).toUtf8()
        + "')/s\"/></p>"
          "<xsl:document href=\""
        + written
        + "\" method=\"text\">written</xsl:document>"
          "</html></xsl:template></xsl:stylesheet>";
    const QByteArray page = RenderOrRefuse("<vantorela/>", stylesheet);
    QVERIFY(!page.contains(secret));
    QVERIFY(!QFile::exists(QString::fromUtf8(written)));
}

void PageTest::brokenInput_data()
{
    QTest::addColumn<QByteArray>("lentar");
    QTest::addColumn<QByteArray>("stylesheet");
    QTest::addColumn<QString>("message");
    const QByteArray good = PreviewStylesheetBytes();
    QTest::newRow("lentar not XML")
        << QByteArray("<vantorela><work>") << good << u"Не удалось прочитать документ лентара"_s;
    QTest::newRow("lentar empty") << QByteArray() << good
                                  << u"Не удалось прочитать документ лентара"_s;
    QTest::newRow("stylesheet not XML")
        << QByteArray("<vantorela/>") << QByteArray("<xsl:stylesheet")
        << u"Не удалось прочитать шаблон предпросмотра"_s;
    QTest::newRow("stylesheet not XSLT")
        << QByteArray("<vantorela/>")
        << QByteArray("<xsl:stylesheet version=\"1.0\" "
                      "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                      "<xsl:template match=\"/\"><xsl:value-of select=\"((\"/>"
                      "</xsl:template></xsl:stylesheet>")
        << u"Ошибка в шаблоне предпросмотра"_s;
    QTest::newRow("transform fails")
        << QByteArray("<vantorela/>")
        << QByteArray("<xsl:stylesheet version=\"1.0\" "
                      "xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                      "<xsl:template match=\"/\"><xsl:message terminate=\"yes\">stop"
                      "</xsl:message></xsl:template></xsl:stylesheet>")
        << u"Ошибка построения страницы предпросмотра"_s;
}

void PageTest::brokenInput()
{
    QFETCH(QByteArray, lentar);
    QFETCH(QByteArray, stylesheet);
    QFETCH(QString, message);
    QString caught;
    try {
        RenderLentarPage(lentar, stylesheet);
    } catch (const LentarError &error) {
        caught = QString::fromUtf8(error.what());
    }
    QVERIFY2(caught.startsWith(message), qPrintable(caught));
}

QTEST_GUILESS_MAIN(PageTest)
#include "page_test.moc"
