// The editor's start exactly as main.cpp does it, ending as soon as the main window
// has been painted for the first time: what a user waits for before the window
// appears, plus the way back out.

#include "platform/qt_platform.h"
#include "windows/application.h"
#include "windows/main_window.h"

#include "first_paint.h"

int main(int argc, char **argv)
{
    LentarApplication app(argc, argv);
    QtPlatform platform;
    MainWindow window(platform);
    platform.setOwner(&window);
    app.setPlatform(&platform);
    QuitAfterFirstPaint quit(window);
    window.show();
    app.exec();
    PrintPeakResident();
    return quit.painted() ? 0 : 1;
}
