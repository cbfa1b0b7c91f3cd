#pragma once

// What the editor is asked to do by its command line. The line is read before the
// application object exists, so that --help, --version and a mistyped option are
// answered on a machine without a display and without opening a window.

#include <QString>
#include <QStringList>

struct CommandLine
{
    enum class Action {
        Start, // open the main window
        PrintHelp, // print output to standard output and end with exitCode
        PrintVersion, // likewise
        Fail // print output to standard error and end with exitCode
    };

    Action action = Action::Start;
    QString file; // the lentar to open at start; empty when none was named
    QString output; // the text to print when the editor does not start
    int exitCode = 0;
};

// Exit code of a command line the editor does not understand.
inline constexpr int kCommandLineErrorExitCode = 2;

// arguments: as in argv, the program's name first. Qt's own options (-platform,
// -style and the others the application object takes) are let through, so that the
// application object sees them.
CommandLine ParseCommandLine(const QStringList &arguments);
