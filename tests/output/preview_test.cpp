// The preview command end to end: files in the temporary folder, the rendered page,
// what the browser is asked to open and what the user is told when it goes wrong.

#include "document/lentar_xml.h"
#include "output/preview_command.h"
#include "output/preview_xslt.h"
#include "scripted_platform.h"
#include "test_files.h"

#include "xhtml_page.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QStringList kWritten { u"preview.lnr.html"_s, u"preview.lnr.xml"_s, u"preview.lnr.xsl"_s };

} // namespace

class PreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void writesRendersAndOpens_data();
    void writesRendersAndOpens();
    void secondPreviewReplacesTheFirst();
    void failures_data();
    void failures();
};

void PreviewTest::writesRendersAndOpens_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("picture");
    QTest::addColumn<QString>("heading");
    QTest::newRow("titled, with picture") << u"  Кот и Пёс  "_s << true << u"Кот и Пёс"_s;
    QTest::newRow("blank title") << u"   "_s << true << u"Без названия"_s;
    QTest::newRow("everything empty") << QString() << false << u"Без названия"_s;
}

void PreviewTest::writesRendersAndOpens()
{
    QFETCH(QString, title);
    QFETCH(bool, picture);
    QFETCH(QString, heading);
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    ScriptedPlatform platform(temp.path());
    const QString folder = platform.tempFolder();

    LentarDocument doc;
    doc.title = title;
    doc.notes = u"Заметка"_s;
    doc.picture.present = picture;
    doc.picture.base64 = "QUJD\n";
    doc.picture.caption = u"Подпись"_s;

    PreviewLentar(doc, platform);

    QVERIFY(platform.messages.isEmpty()); // no completeness check, nothing to complain about
    QCOMPARE(Entries(temp.path()), kWritten);

    const QByteArray document = ReadFile(folder + u"preview.lnr.xml"_s);
    QCOMPARE(document,
        PreviewFileBytes(
            SerializeLentar(BuildLentarXml(doc, platform.now, LentarVariant::Preview))));
    QVERIFY(document.startsWith("<?xml")); // no byte-order mark
    QVERIFY(document.contains("title=\"" + heading.toUtf8() + '"'));
    if (picture)
        QVERIFY(document.indexOf("<comment>") < document.indexOf("<img "));
    QCOMPARE(ReadFile(folder + u"preview.lnr.xsl"_s), PreviewStylesheetBytes());

    const XhtmlPage page(ReadFile(folder + u"preview.lnr.html"_s));
    QVERIFY(page.isWellFormed());
    QCOMPARE(page.text("//x:h1"), heading);
    QCOMPARE(page.text("/x:html/x:head/x:title"), heading + u" – Лентар фестиваля «Ванторела»"_s);
    QCOMPARE(page.count("//x:img"), picture ? 1 : 0);

    QCOMPARE(platform.openedInBrowser, QStringList { folder + u"preview.lnr.html"_s });
}

void PreviewTest::secondPreviewReplacesTheFirst()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    ScriptedPlatform platform(temp.path());
    LentarDocument doc;
    doc.title = u"Первый"_s;
    PreviewLentar(doc, platform);
    doc.title = u"Второй"_s;
    platform.now += 60;
    PreviewLentar(doc, platform);

    QCOMPARE(Entries(temp.path()), kWritten);
    const QByteArray document = ReadFile(platform.tempFolder() + u"preview.lnr.xml"_s);
    QVERIFY(document.contains(" stored=\"1294000060\" "));
    const XhtmlPage page(ReadFile(platform.tempFolder() + u"preview.lnr.html"_s));
    QCOMPARE(page.text("//x:h1"), u"Второй"_s);
    QCOMPARE(platform.openedInBrowser.size(), 2);
}

void PreviewTest::failures_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("temporary folder missing") << u"missing"_s << QString() << QStringList {};
    QTest::newRow("stylesheet blocked")
        << u"stylesheet"_s << u"Ошибка записи файла шаблона во временную папку «"_s
        << QStringList { u"preview.lnr.xml"_s, u"preview.lnr.xsl"_s };
    QTest::newRow("page blocked") << u"page"_s << QString()
                                  << QStringList { u"preview.lnr.html"_s, u"preview.lnr.xml"_s,
                                         u"preview.lnr.xsl"_s };
    QTest::newRow("browser does not open")
        << u"browser"_s << u"Не удалось открыть страницу предпросмотра в браузере."_s << kWritten;
}

void PreviewTest::failures()
{
    QFETCH(QString, failure);
    QFETCH(QString, message);
    QFETCH(QStringList, left);
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString folder
        = failure == u"missing"_s ? temp.filePath(u"no such folder"_s) : temp.path();
    ScriptedPlatform platform(folder);
    if (failure == u"stylesheet"_s)
        QVERIFY(QDir(temp.path()).mkdir(u"preview.lnr.xsl"_s));
    if (failure == u"page"_s)
        QVERIFY(QDir(temp.path()).mkdir(u"preview.lnr.html"_s));
    platform.browserOpens = failure != u"browser"_s;

    LentarDocument doc;
    doc.title = u"Кот"_s;
    PreviewLentar(doc, platform); // shows its errors itself: nothing escapes

    QCOMPARE(platform.messages.size(), 1);
    const ScriptedPlatform::Message &shown = platform.messages.first();
    QCOMPARE(shown.caption, u"Лентар"_s);
    QCOMPARE(shown.icon, MessageIcon::Error);
    QCOMPARE(shown.buttons, MessageButtons::Ok);
    QVERIFY(shown.text.endsWith(u'.'));
    QVERIFY2(shown.text.startsWith(message), qPrintable(shown.text));
    if (failure == u"missing"_s)
        QVERIFY2(shown.text.contains(u"preview.lnr.xml"_s), qPrintable(shown.text));
    if (failure == u"page"_s)
        QVERIFY2(shown.text.contains(u"preview.lnr.html"_s), qPrintable(shown.text));
    if (failure == u"stylesheet"_s)
        QVERIFY2(shown.text.startsWith(message + temp.path() + u"»: "_s), qPrintable(shown.text));
    QCOMPARE(Entries(temp.path()), left);
    if (failure == u"browser"_s)
        QCOMPARE(platform.openedInBrowser.size(), 1);
    else
        QVERIFY(platform.openedInBrowser.isEmpty());
}

QTEST_GUILESS_MAIN(PreviewTest)
#include "preview_test.moc"
