// Unsaved work outlives the program: the editor runs as a child process with a state
// folder of its own, opens a lentar and is typed into, and is then killed (SIGKILL,
// once its copy is on the disk) or stopped (SIGTERM, at once). Started again, it asks,
// restores the work, and leaves the state folder empty once the work is saved or let
// go. The child is this program started with "child": the editor's own start-up
// (ShowEditor) over a scripted platform that answers as the row says.

#include "lentar_files.h"
#include "scripted_platform.h"
#include "window_driver.h"
#include "windows/application.h"
#include "windows/main_window.h"
#include "windows/start.h"

#include <QProcess>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

const QString kTyped = u" (v2)"_s; // typed key by key: Latin letters only

// child type FILE: opens FILE, types into the title, says "typed" and runs until killed.
// child save|discard PATH: restores the copy, then saves it as PATH or closes answering
// "Не сохранять"; says what the title bar and the save dialog named.
int RunChild(int argc, char **argv)
{
    LentarApplication app(argc, argv);
    const QString mode = QString::fromLocal8Bit(argv[2]);
    const QString path = QString::fromLocal8Bit(argv[3]);
    ScriptedPlatform platform;
    platform.state = DesktopStateFolder();
    platform.messageAnswers << MessageAnswer::Restore;
    if (mode == u"discard"_s)
        platform.messageAnswers << MessageAnswer::Discard;
    platform.saveFileAnswers << path;
    MainWindow window(platform);
    app.setPlatform(&platform);
    ShowEditor(window, mode == u"type"_s ? path : QString());
    if (mode == u"type"_s) {
        QTest::keyClick(Child<QWidget>(&window, "title"), Qt::Key_End);
        QTest::keyClicks(Child<QWidget>(&window, "title"), kTyped);
        std::puts("typed");
        std::fflush(stdout);
        return app.exec();
    }
    std::printf("%s\n", qPrintable(window.windowTitle()));
    if (mode == u"save"_s)
        Click(&window, "SaveButton");
    if (!platform.saveRequests.isEmpty())
        std::printf("%s\n",
            qPrintable(platform.saveRequests[0].initialFolder + u'/'
                + platform.saveRequests[0].initialFileName));
    window.close();
    return window.isVisible() ? 1 : 0;
}

} // namespace

class RecoveryWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void workComesBackAfterTheProgramDies_data();
    void workComesBackAfterTheProgramDies();
};

void RecoveryWindowTest::workComesBackAfterTheProgramDies_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("end");
    QTest::newRow("SIGKILL while typing, then saved") << int(SIGKILL) << u"save"_s;
    QTest::newRow("SIGTERM, then «Не сохранять»") << int(SIGTERM) << u"discard"_s;
}

void RecoveryWindowTest::workComesBackAfterTheProgramDies()
{
    QFETCH(int, signal);
    QFETCH(QString, end);
    QTemporaryDir temp;
    const QString opened = temp.filePath(u"работа.lnr.xml"_s);
    const QString saved = temp.filePath(u"сохранено.lnr.xml"_s);
    QVERIFY(WriteFile(opened, LentarBytes(FullLentar())));
    QDir state(temp.filePath(u"state/lentar"_s));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_STATE_HOME"_s, temp.filePath(u"state"_s));
    const auto run = [&](QProcess &child, const QString &mode, const QString &path) {
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), { u"child"_s, mode, path });
    };

    QProcess first;
    run(first, u"type"_s, opened);
    QVERIFY(first.waitForReadyRead(20000));
    QCOMPARE(first.readAllStandardOutput(), "typed\n");
    if (signal == SIGKILL)
        QTRY_VERIFY_WITH_TIMEOUT(!state.entryList({ u"copy-*.lnr.xml"_s }).isEmpty(), 20000);
    ::kill(pid_t(first.processId()), signal);
    QVERIFY(first.waitForFinished());
    QCOMPARE(first.exitStatus(), signal == SIGKILL ? QProcess::CrashExit : QProcess::NormalExit);
    QCOMPARE(state.entryList({ u"copy-*.lnr.xml"_s }).size(), 1);

    QProcess second;
    run(second, end, saved);
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 0);
    const QStringList said = QString::fromLocal8Bit(second.readAllStandardOutput()).split(u'\n');
    QVERIFY2(said[0].startsWith(u"работа.lnr.xml[*]"_s), qPrintable(said[0]));
    QCOMPARE(Entries(state.path()), QStringList());
    if (end != u"save"_s)
        return;
    QCOMPARE(said[1], opened);
    LentarDocument typed = FullLentar();
    typed.title += kTyped;
    QCOMPARE(ReadFile(saved), LentarBytes(typed, ReadLentarFile(saved).stored));
}

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "child") == 0)
        return RunChild(argc, argv);
    QApplication app(argc, argv);
    RecoveryWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "recovery_window_test.moc"
