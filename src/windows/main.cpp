#include "platform/qt_platform.h"
#include "windows/application.h"
#include "windows/form.h"

int main(int argc, char **argv)
{
    LentarApplication app(argc, argv);
    QtPlatform platform;
    TLentar window(platform);
    platform.setOwner(&window);
    app.setPlatform(&platform);
    window.show();
    app.exec();
    return 0;
}
