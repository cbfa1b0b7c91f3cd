#include "codec/error.h"
#include "scripted_platform.h"
#include "windows/application.h"

#include <QTest>

namespace {

// An object whose event handler fails the way a command does.
class Failing : public QObject
{
public:
    std::string message;
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::User)
            throw LentarError(message);
        return QObject::event(e);
    }
};

} // namespace

class ApplicationTest : public QObject
{
    Q_OBJECT

private slots:
    void escapedErrorsReachTheStandardDisplay()
    {
        ScriptedPlatform platform;
        static_cast<LentarApplication *>(qApp)->setPlatform(&platform);
        Failing failing;
        failing.message = "Не удалось записать файл";
        QEvent event(QEvent::User);
        QCOMPARE(QCoreApplication::sendEvent(&failing, &event), false);
        QCOMPARE(platform.messages.size(), 1);
        QCOMPARE(platform.messages[0].text, QStringLiteral("Не удалось записать файл."));
        QCOMPARE(platform.messages[0].caption, QStringLiteral("Лентар"));
        QCOMPARE(platform.messages[0].icon, MessageIcon::Error);
        static_cast<LentarApplication *>(qApp)->setPlatform(nullptr);
    }

    void applicationTitle()
    {
        QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("Лентар"));
    }
};

int main(int argc, char **argv)
{
    LentarApplication app(argc, argv);
    ApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "application_test.moc"
