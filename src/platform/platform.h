#pragma once

// The seam between the program and the desktop: message boxes, file dialogs, the
// temporary folder, the clock and the browser. The program talks to the desktop only
// through a Platform; tests hand it a ScriptedPlatform that answers from a queue.

#include <QString>
#include <QStringList>

#include <optional>

enum class MessageIcon { None, Error, Warning, Information, Question };
enum class MessageButtons { Ok, YesNo, SaveDiscardCancel, RestoreDeleteLater };
enum class MessageAnswer { Ok, Yes, No, Save, Discard, Cancel, Restore, Delete, Later };

struct SaveDialogSettings
{
    QString title;
    QString filterDescription;
    QString filterPattern; // e.g. "*.lnr.xml"
    QString defaultSuffix; // appended to a name typed without an extension
    QString initialFileName;
    QString initialFolder; // empty: the dialog's own choice
    bool confirmOverwrite = true;
};

class Platform
{
public:
    virtual ~Platform() = default;

    virtual MessageAnswer showMessage(
        const QString &text, const QString &caption, MessageIcon icon, MessageButtons buttons)
        = 0;
    // The chosen file, or nothing when the user cancelled.
    virtual std::optional<QString> askOpenPicture(const QString &title, const QString &filter) = 0;
    virtual std::optional<QString> askOpenLentar(const QString &title, const QString &filter) = 0;
    virtual std::optional<QString> askSaveFileName(const SaveDialogSettings &settings) = 0;
    // The folder for temporary files, ending with "/". Throws LentarError when there is
    // no folder the program may write into.
    virtual QString tempFolder() = 0;
    // The folder where the program keeps what must outlive a crash (the recovery copies),
    // ending with "/". It may not exist yet.
    virtual QString stateFolder() = 0;
    // Seconds since 1970-01-01 00:00:00 UTC.
    virtual qint64 currentTime() = 0;
    // Opens a local file in the desktop's web browser without waiting for it.
    virtual bool openInBrowser(const QString &path) = 0;
};

inline constexpr char kApplicationTitle[] = "Лентар";

// The text of the standard error display: the message, with "." appended when it is
// not empty and its last character's code is above that of ".".
QString StandardErrorText(const QString &message);

// Shows an error the way every command does: caption "Лентар", error icon, OK.
void ShowStandardError(Platform &platform, const QString &message);

// The program's state folder on a desktop: "lentar/" in $XDG_STATE_HOME, or in
// ~/.local/state when the variable is unset, empty or not an absolute path.
QString DesktopStateFolder();

// The first of candidates that is a folder the program may write into, ending with "/".
// Empty candidates are skipped. Throws LentarError naming every candidate when none will
// do.
QString WritableTempFolder(const QStringList &candidates);
