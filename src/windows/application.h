#pragma once

#include <QApplication>

#include <memory>

class Platform;
class QTemporaryDir;

// The application object. It speaks Russian from the start, whatever the user's
// locale, and keeps nothing of the run in the user's home folder. An error that
// escapes an event handler ends up here and is shown in the standard error display
// instead of ending the program.
class LentarApplication : public QApplication
{
    Q_OBJECT
public:
    LentarApplication(int &argc, char **argv);
    ~LentarApplication() override;

    void setPlatform(Platform *platform) { platform_ = platform; }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    void speakRussian();
    void keepSettingsOutOfHome();

    Platform *platform_ = nullptr;
    std::unique_ptr<QTemporaryDir> settingsFolder_;
};
