#pragma once

#include "platform/platform.h"

class QWidget;

// The real desktop through Qt: message boxes and Qt's own file dialogs owned by the
// main window, QDir::tempPath(), QDesktopServices for the browser.
class QtPlatform : public Platform
{
public:
    void setOwner(QWidget *owner) { owner_ = owner; }

    MessageAnswer showMessage(const QString &text, const QString &caption, MessageIcon icon,
        MessageButtons buttons) override;
    std::optional<QString> askOpenPicture(const QString &title, const QString &filter) override;
    std::optional<QString> askOpenLentar(const QString &title, const QString &filter) override;
    std::optional<QString> askSaveFileName(const SaveDialogSettings &settings) override;
    QString tempFolder() override;
    QString stateFolder() override;
    qint64 currentTime() override;
    bool openInBrowser(const QString &path) override;

private:
    // An open dialog for one existing file, starting where the last one of its kind ended.
    std::optional<QString> askExistingFile(
        const QString &title, const QString &filter, const char *dialogName, QString &lastFolder);

    QWidget *owner_ = nullptr;
    // Where the user last chose a picture, and opened or saved a lentar, in this run.
    QString pictureFolder_;
    QString lentarFolder_;
};
