#include "windows/application.h"

#include "platform/platform.h"

#include <cstdio>
#include <exception>

LentarApplication::LentarApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromUtf8(kApplicationTitle));
}

bool LentarApplication::notify(QObject *receiver, QEvent *event)
{
    QString message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        message = QString::fromUtf8(error.what());
    } catch (...) { }
    if (platform_)
        ShowStandardError(*platform_, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(StandardErrorText(message)));
    return false;
}
