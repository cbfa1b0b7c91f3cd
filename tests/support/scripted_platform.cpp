#include "scripted_platform.h"

#include <QDir>

ScriptedPlatform::ScriptedPlatform(QString tempFolder)
    : tempFolder_(std::move(tempFolder))
{
    if (tempFolder_.isEmpty())
        tempFolder_ = QDir::tempPath();
    if (!tempFolder_.endsWith(u'/'))
        tempFolder_ += u'/';
    state = tempFolder_ + QStringLiteral("state/lentar/");
}

MessageAnswer ScriptedPlatform::showMessage(
    const QString &text, const QString &caption, MessageIcon icon, MessageButtons buttons)
{
    messages.append({ text, caption, icon, buttons });
    if (!messageAnswers.isEmpty())
        return messageAnswers.dequeue();
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageAnswer::Ok;
    case MessageButtons::YesNo:
        return MessageAnswer::Yes;
    case MessageButtons::SaveDiscardCancel:
        return MessageAnswer::Save;
    case MessageButtons::RestoreDeleteLater:
        return MessageAnswer::Later;
    }
    return MessageAnswer::Ok;
}

std::optional<QString> ScriptedPlatform::askOpenPicture(const QString &title, const QString &filter)
{
    openPictureRequests.append({ title, filter });
    return openPictureAnswers.isEmpty() ? std::nullopt : openPictureAnswers.dequeue();
}

std::optional<QString> ScriptedPlatform::askOpenLentar(const QString &title, const QString &filter)
{
    openLentarRequests.append({ title, filter });
    return openLentarAnswers.isEmpty() ? std::nullopt : openLentarAnswers.dequeue();
}

std::optional<QString> ScriptedPlatform::askSaveFileName(const SaveDialogSettings &settings)
{
    saveRequests.append(settings);
    return saveFileAnswers.isEmpty() ? std::nullopt : saveFileAnswers.dequeue();
}

QString ScriptedPlatform::tempFolder()
{
    return tempFolder_;
}

QString ScriptedPlatform::stateFolder()
{
    return state;
}

qint64 ScriptedPlatform::currentTime()
{
    return now;
}

bool ScriptedPlatform::openInBrowser(const QString &path)
{
    openedInBrowser.append(path);
    return browserOpens;
}
