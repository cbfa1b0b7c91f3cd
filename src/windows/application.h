#pragma once

#include <QApplication>

class Platform;

// The application object. An error that escapes an event handler ends up here and is
// shown in the standard error display instead of ending the program.
class LentarApplication : public QApplication
{
    Q_OBJECT
public:
    LentarApplication(int &argc, char **argv);

    void setPlatform(Platform *platform) { platform_ = platform; }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    Platform *platform_ = nullptr;
};
