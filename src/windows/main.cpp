#include "lentar_version.h"
#include "platform/qt_platform.h"
#include "windows/application.h"
#include "windows/command_line.h"
#include "windows/main_window.h"
#include "windows/start.h"

#include <QIcon>
#include <QStringList>

#include <cstdio>

int main(int argc, char **argv)
{
    // Read before the application object: it needs a display, and help, the version
    // and a mistyped option must be answered without one.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = ParseCommandLine(arguments);
    if (commandLine.action != CommandLine::Action::Start) {
        std::FILE *stream = commandLine.action == CommandLine::Action::Fail ? stderr : stdout;
        std::fputs(commandLine.output.toLocal8Bit().constData(), stream);
        return commandLine.exitCode;
    }

    LentarApplication app(argc, argv);
    app.setApplicationVersion(QString::fromLatin1(kLentarVersion));
    // The desktop matches the window to its menu entry by this name, and the icon
    // comes from the installed icon theme.
    app.setDesktopFileName(QStringLiteral(LENTAR_APP_ID));
    app.setWindowIcon(QIcon::fromTheme(QStringLiteral(LENTAR_APP_ID)));
    QtPlatform platform;
    MainWindow window(platform);
    platform.setOwner(&window);
    app.setPlatform(&platform);
    ShowEditor(window, commandLine.file);
    app.exec();
    return 0;
}
