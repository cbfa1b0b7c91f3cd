// The command line: what ParseCommandLine makes of it, and what the built editor
// prints and returns for help, the version and a mistyped option on a machine
// without a display.

#include "lentar_version.h"
#include "windows/command_line.h"

#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

const QString kVersionLine = u"Лентар "_s + QString::fromLatin1(kLentarVersion) + u'\n';

// The environment of a session without any display: the application object could not
// open a window even if it tried.
QProcessEnvironment WithoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        env.remove(QString::fromLatin1(name));
    return env;
}

} // namespace

class CommandLineTest : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void editorAnswersWithoutDisplay_data();
    void editorAnswersWithoutDisplay();
    void editorNeedsDisplayToStart();
};

void CommandLineTest::parse_data()
{
    using A = CommandLine::Action;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<A>("action");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("output"); // lines the output must hold, in order

    const QStringList help = { u"Использование: lentar [параметры] [файл]"_s,
        u"  файл           лентар (*.lnr.xml), который открыть при запуске"_s,
        u"  -h, --help     показать эту справку и выйти"_s,
        u"  -v, --version  показать версию программы и выйти"_s,
        // Where the dictionary is looked for: the private data folder the tests run with first.
        u"  "_s + qEnvironmentVariable("XDG_DATA_HOME") + u"/hunspell"_s,
        u"Без словаря программа работает без проверки орфографии."_s };

    QTest::newRow("nothing") << QStringList { u"lentar"_s } << A::Start << QString() << 0
                             << QStringList();
    QTest::newRow("no program name either")
        << QStringList() << A::Start << QString() << 0 << QStringList();
    QTest::newRow("a lentar") << QStringList { u"lentar"_s, u"/home/аня/Работа №1.lnr.xml"_s }
                              << A::Start << u"/home/аня/Работа №1.lnr.xml"_s << 0 << QStringList();
    QTest::newRow("a file named like an option, after --") << QStringList { u"lentar"_s, u"--"_s,
        u"--help"_s } << A::Start << u"--help"_s << 0 << QStringList();
    QTest::newRow("Qt's own options are let through")
        << QStringList { u"lentar"_s, u"-platform"_s, u"offscreen"_s, u"-style=fusion"_s,
               u"-reverse"_s, u"work.lnr.xml"_s }
        << A::Start << u"work.lnr.xml"_s << 0 << QStringList();
    QTest::newRow("--help") << QStringList { u"lentar"_s, u"--help"_s } << A::PrintHelp << QString()
                            << 0 << help;
    QTest::newRow("-h") << QStringList { u"lentar"_s, u"-h"_s } << A::PrintHelp << QString() << 0
                        << help;
    QTest::newRow("-?") << QStringList { u"lentar"_s, u"-?"_s } << A::PrintHelp << QString() << 0
                        << help;
    QTest::newRow("help rather than opening a file")
        << QStringList { u"lentar"_s, u"work.lnr.xml"_s, u"--help"_s } << A::PrintHelp << QString()
        << 0 << help;
    QTest::newRow("help names the program as it was called")
        << QStringList { u"/opt/bin/lentar-2"_s, u"--help"_s } << A::PrintHelp << QString() << 0
        << QStringList { u"Использование: lentar-2 [параметры] [файл]"_s };
    QTest::newRow("--version") << QStringList { u"lentar"_s, u"--version"_s } << A::PrintVersion
                               << QString() << 0 << QStringList { kVersionLine };
    QTest::newRow("-v") << QStringList { u"lentar"_s, u"-v"_s } << A::PrintVersion << QString() << 0
                        << QStringList { kVersionLine };
    QTest::newRow("unknown option")
        << QStringList { u"/usr/bin/lentar"_s, u"--bogus"_s } << A::Fail << QString() << 2
        << QStringList { u"lentar: неизвестный параметр «--bogus».\n"_s,
               u"Справка о параметрах: lentar --help\n"_s };
    QTest::newRow("unknown single letter")
        << QStringList { u"lentar"_s, u"-x"_s } << A::Fail << QString() << 2
        << QStringList { u"lentar: неизвестный параметр «-x».\n"_s };
    QTest::newRow("unknown option with a value")
        << QStringList { u"lentar"_s, u"--mode=dark"_s } << A::Fail << QString() << 2
        << QStringList { u"неизвестный параметр «--mode»."_s };
    QTest::newRow("an unknown option is not hidden by help")
        << QStringList { u"lentar"_s, u"--help"_s, u"--bogus"_s } << A::Fail << QString() << 2
        << QStringList { u"«--bogus»"_s };
    QTest::newRow("two files")
        << QStringList { u"lentar"_s, u"a.lnr.xml"_s, u"b.lnr.xml"_s } << A::Fail << QString() << 2
        << QStringList { u"lentar: можно открыть только один файл, а названо 2: «a.lnr.xml», "
                         u"«b.lnr.xml».\n"_s };
    QTest::newRow("a value for an option that takes none")
        << QStringList { u"lentar"_s, u"--version=2"_s } << A::Fail << QString() << 2
        << QStringList { u"lentar: параметр «--version» не принимает значения.\n"_s };
    QTest::newRow("Qt option with its value after =")
        << QStringList { u"lentar"_s, u"-platform=offscreen"_s, u"a.lnr.xml"_s } << A::Start
        << u"a.lnr.xml"_s << 0 << QStringList();
    QTest::newRow("Qt option without its value")
        << QStringList { u"lentar"_s, u"-platform"_s } << A::Fail << QString() << 2
        << QStringList { u"lentar: параметру «-platform» не хватает значения.\n"_s };
}

void CommandLineTest::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    QFETCH(QString, file);
    QFETCH(int, exitCode);
    QFETCH(QStringList, output);

    const CommandLine result = ParseCommandLine(arguments);
    QCOMPARE(result.action, action);
    QCOMPARE(result.file, file);
    QCOMPARE(result.exitCode, exitCode);
    if (action == CommandLine::Action::Start)
        QVERIFY(result.output.isEmpty());
    qsizetype from = 0;
    for (const QString &expected : output) {
        from = result.output.indexOf(expected, from);
        QVERIFY2(from >= 0, qPrintable(u"«%1» not in:\n%2"_s.arg(expected, result.output)));
        from += expected.size();
    }
    // Whatever is printed ends its last line.
    QVERIFY(result.output.isEmpty() || result.output.endsWith(u'\n'));
}

void CommandLineTest::editorAnswersWithoutDisplay_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("help") << u"--help"_s << u"C.UTF-8"_s << 0 << u"Использование: "_s << QString();
    QTest::newRow("version") << u"--version"_s << u"C.UTF-8"_s << 0 << kVersionLine << QString();
    // Russian stays readable where the locale names no character set.
    QTest::newRow("version, plain C locale")
        << u"--version"_s << u"C"_s << 0 << kVersionLine << QString();
    QTest::newRow("unknown option")
        << u"--bogus"_s << u"C.UTF-8"_s << 2 << QString() << u"неизвестный параметр «--bogus»."_s;
}

void CommandLineTest::editorAnswersWithoutDisplay()
{
    QFETCH(QString, argument);
    QFETCH(QString, locale);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QProcessEnvironment env = WithoutDisplay();
    env.insert(u"LC_ALL"_s, locale);
    QProcess editor;
    editor.setProcessEnvironment(env);
    editor.start(QStringLiteral(LENTAR_EXECUTABLE), { argument });
    QVERIFY(editor.waitForFinished(60000));
    const QString stdOut = QString::fromUtf8(editor.readAllStandardOutput());
    const QString stdErr = QString::fromUtf8(editor.readAllStandardError());
    QCOMPARE(editor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(editor.exitCode(), exitCode);
    // Each answer goes to its own stream and nothing else is said: not a word from Qt
    // about a display.
    QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
    QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.contains(err), qPrintable(stdErr));
}

// The environment above really has no display: started without an argument, the
// editor cannot show its window there. Otherwise the answers above would prove nothing.
void CommandLineTest::editorNeedsDisplayToStart()
{
    QProcess editor;
    editor.setProcessEnvironment(WithoutDisplay());
    editor.start(QStringLiteral(LENTAR_EXECUTABLE), QStringList());
    if (!editor.waitForFinished(60000)) {
        editor.kill();
        editor.waitForFinished();
        QFAIL("the editor started a window without a display");
    }
    QVERIFY(editor.exitStatus() == QProcess::CrashExit || editor.exitCode() != 0);
    QVERIFY(!editor.readAllStandardError().isEmpty());
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command_line_test.moc"
