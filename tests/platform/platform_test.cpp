#include "scripted_platform.h"

#include <QTest>

class PlatformTest : public QObject
{
    Q_OBJECT

private slots:
    void standardErrorText_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter gets a full stop")
            << QStringLiteral("Ошибка записи файла изображения работы во временную папку")
            << QStringLiteral("Ошибка записи файла изображения работы во временную папку.");
        QTest::newRow("question mark gets one too")
            << QStringLiteral("Что?") << QStringLiteral("Что?.");
        QTest::newRow("full stop stays") << QStringLiteral("Готово.") << QStringLiteral("Готово.");
        QTest::newRow("closing bracket is below the stop")
            << QStringLiteral("(скобка)") << QStringLiteral("(скобка)");
        QTest::newRow("exclamation mark is below it")
            << QStringLiteral("Стоп!") << QStringLiteral("Стоп!");
        QTest::newRow("comma is below it") << QStringLiteral("a,") << QStringLiteral("a,");
        QTest::newRow("slash is above it") << QStringLiteral("a/") << QStringLiteral("a/.");
        QTest::newRow("empty stays empty") << QString() << QString();
    }
    void standardErrorText()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(StandardErrorText(message), shown);
    }

    void standardErrorIsAnErrorBox()
    {
        ScriptedPlatform platform;
        ShowStandardError(platform, QStringLiteral("Диск переполнен"));
        QCOMPARE(platform.messages.size(), 1);
        const ScriptedPlatform::Message &m = platform.messages.first();
        QCOMPARE(m.text, QStringLiteral("Диск переполнен."));
        QCOMPARE(m.caption, QStringLiteral("Лентар"));
        QCOMPARE(m.icon, MessageIcon::Error);
        QCOMPARE(m.buttons, MessageButtons::Ok);
    }

    void scriptedAnswersComeInOrder()
    {
        ScriptedPlatform platform(QStringLiteral("/tmp/somewhere"));
        QCOMPARE(platform.tempFolder(), QStringLiteral("/tmp/somewhere/"));
        platform.messageAnswers << MessageAnswer::No << MessageAnswer::Cancel;
        QCOMPARE(platform.showMessage({}, {}, MessageIcon::Question, MessageButtons::YesNo),
            MessageAnswer::No);
        QCOMPARE(
            platform.showMessage({}, {}, MessageIcon::Question, MessageButtons::SaveDiscardCancel),
            MessageAnswer::Cancel);
        // Without a queued answer a message box is confirmed, a dialog cancelled.
        QCOMPARE(platform.showMessage({}, {}, MessageIcon::None, MessageButtons::YesNo),
            MessageAnswer::Yes);
        QCOMPARE(platform.askSaveFileName({}), std::nullopt);
        platform.saveFileAnswers << QStringLiteral("/x.lnr.xml");
        QCOMPARE(
            platform.askSaveFileName({}), std::optional<QString>(QStringLiteral("/x.lnr.xml")));
        QCOMPARE(platform.saveRequests.size(), 2);
    }
};

QTEST_GUILESS_MAIN(PlatformTest)
#include "platform_test.moc"
