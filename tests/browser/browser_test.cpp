// Opens the preview page the way a reader does, in a real browser (headless
// Chromium), and looks at what the browser made of it. A screenshot of the page is
// left in the folder named by LENTAR_SCREENSHOT_DIR (or "screenshots").

#include "codec/participant_id.h"
#include "output/preview_command.h"
#include "picture/picture_import.h"
#include "scripted_platform.h"
#include "test_files.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList chromiumFlags(const QString &profile)
{
    return { QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
        QStringLiteral("--disable-gpu"), QStringLiteral("--disable-quic"),
        QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
        QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
        QStringLiteral("--user-data-dir=") + profile };
}

} // namespace

class BrowserTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
        if (chromium.isEmpty())
            QSKIP("chromium is not installed (scripts/test.sh installs it)");
        QVERIFY(temp.isValid());

        // A picture with a recognisable pattern, imported the way the editor does it.
        QImage source(640, 480, QImage::Format_RGB888);
        source.fill(QColor(102, 0, 102));
        QPainter painter(&source);
        painter.fillRect(80, 80, 480, 320, QColor(255, 220, 0));
        painter.end();
        const QString sourcePath = temp.filePath(QStringLiteral("source.jpg"));
        QVERIFY(source.save(sourcePath, "JPEG", 92));
        const ImportedPicture picture = ImportPicture(sourcePath, temp.path() + u'/');

        LentarDocument doc;
        doc.title = QStringLiteral("Сборник стихотворений «Весна»");
        doc.description = QStringLiteral("Стихи о весне,\r\nнаписанные в 7 классе.");
        doc.subjectSlots = { 7, 19, 0, 0, 0 };
        doc.authors = { { ValidParticipantId("2000001"), "Иванова", "Анна", "Петровна" } };
        doc.leaders = { { ValidParticipantId("3000001"), "Смирнова", "Ольга", "Ивановна" } };
        doc.invoiceLeader = 0;
        doc.publicEmail = QStringLiteral("school@example.org");
        doc.picture = { true, picture.base64, picture.image.width, picture.image.height,
            QStringLiteral("Обложка сборника") };

        ScriptedPlatform platform(temp.path());
        PreviewLentar(doc, platform);
        QVERIFY2(platform.messages.isEmpty(), qPrintable(platform.messages.value(0).text));
        QCOMPARE(platform.openedInBrowser.size(), 1);
        page = platform.openedInBrowser.first();
    }

    void domShowsTheLentar()
    {
        QProcess browser;
        browser.start(chromium,
            chromiumFlags(temp.filePath(QStringLiteral("profile-dom")))
                << QStringLiteral("--dump-dom") << QUrl::fromLocalFile(page).toString());
        QVERIFY(browser.waitForFinished(120000));
        const QString dom = QString::fromUtf8(browser.readAllStandardOutput());
        QVERIFY2(dom.contains(QStringLiteral("<h1>Сборник стихотворений «Весна»</h1>")),
            qPrintable(dom.left(2000)));
        QVERIFY(dom.contains(
            QStringLiteral("Сборник стихотворений «Весна» – Лентар фестиваля «Ванторела»")));
        QVERIFY(dom.contains(QStringLiteral("Разделы:")));
        QVERIFY(dom.contains(QStringLiteral("Литературное творчество")));
        QVERIFY(dom.contains(QStringLiteral("Литературоведение")));
        QVERIFY(dom.contains(QStringLiteral("Иванова Анна Петровна")));
        QVERIFY(dom.contains(QStringLiteral("Смирнова Ольга Ивановна")));
        QVERIFY(dom.contains(QStringLiteral("2010 / 2011")));
        QVERIFY(dom.contains(QStringLiteral("src=\"data:image/jpeg;base64,/9j/")));
        QVERIFY(dom.contains(QStringLiteral("Обложка сборника")));
    }

    void screenshot()
    {
        const QString folder
            = qEnvironmentVariable("LENTAR_SCREENSHOT_DIR", QStringLiteral("screenshots"));
        QVERIFY(QDir().mkpath(folder));
        const QString shot = QDir(folder).absoluteFilePath(QStringLiteral("7-preview-page.png"));
        QFile::remove(shot);
        QProcess browser;
        browser.start(chromium,
            chromiumFlags(temp.filePath(QStringLiteral("profile-shot")))
                << QStringLiteral("--window-size=1100,900")
                << QStringLiteral("--screenshot=") + shot << QUrl::fromLocalFile(page).toString());
        QVERIFY(browser.waitForFinished(120000));
        QImage image(shot);
        QVERIFY2(!image.isNull(), qPrintable(QString::fromUtf8(browser.readAllStandardError())));
        // The picture's yellow middle shows on the page: the data URI was decoded.
        bool yellow = false;
        for (int y = 0; y < image.height() && !yellow; y += 2)
            for (int x = 0; x < image.width() && !yellow; x += 2) {
                const QColor c = image.pixelColor(x, y);
                yellow = c.red() > 230 && c.green() > 190 && c.blue() < 60;
            }
        QVERIFY(yellow);
    }

private:
    QString chromium;
    QTemporaryDir temp;
    QString page;
};

QTEST_MAIN(BrowserTest)
#include "browser_test.moc"
