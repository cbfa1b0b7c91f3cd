#pragma once

#include "platform/platform.h"

#include <QList>
#include <QQueue>

// A Platform for tests: answers come from queues filled in advance, and every call
// is recorded. A message box with no queued answer gets OK (or Yes, or Save, or
// Later for a recovery copy); a file dialog with no queued answer counts as cancelled.
class ScriptedPlatform : public Platform
{
public:
    struct Message
    {
        QString text;
        QString caption;
        MessageIcon icon;
        MessageButtons buttons;
    };

    explicit ScriptedPlatform(QString tempFolder = {});

    MessageAnswer showMessage(const QString &text, const QString &caption, MessageIcon icon,
        MessageButtons buttons) override;
    std::optional<QString> askOpenPicture(const QString &title, const QString &filter) override;
    std::optional<QString> askOpenLentar(const QString &title, const QString &filter) override;
    std::optional<QString> askSaveFileName(const SaveDialogSettings &settings) override;
    QString tempFolder() override;
    QString stateFolder() override;
    qint64 currentTime() override;
    bool openInBrowser(const QString &path) override;

    // Scripted answers, taken in order.
    QQueue<MessageAnswer> messageAnswers;
    QQueue<std::optional<QString>> openPictureAnswers;
    QQueue<std::optional<QString>> openLentarAnswers;
    QQueue<std::optional<QString>> saveFileAnswers;
    qint64 now = 1294000000; // 2011-01-02
    QString state; // the state folder; "state/lentar/" in the temporary folder unless set
    bool browserOpens = true;

    // What the program asked.
    QList<Message> messages;
    QList<QPair<QString, QString>> openPictureRequests; // title, filter
    QList<QPair<QString, QString>> openLentarRequests; // title, filter
    QList<SaveDialogSettings> saveRequests;
    QStringList openedInBrowser;

private:
    QString tempFolder_;
};
