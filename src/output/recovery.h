#pragma once

// The recovery copy of unsaved work. While the lentar has changes nobody saved, the
// program keeps a copy of it in the state folder, so that a crash, a power cut or a
// machine switched off loses a few seconds of typing at most; the next start offers
// the copy back. For each copy the folder holds three files named by the copy's id:
//
//   copy-<id>.lnr.xml  the lentar as the writer makes it, its stored time being the
//                      time of the last change, so the reader reads it back whole
//   copy-<id>.file     the path of the lentar file the work came from (UTF-8); absent
//                      for a work never saved. A lentar has no place for it, and a
//                      file of its own keeps the copy a lentar like any other
//   copy-<id>.lock     the QLockFile of the program that keeps the copy
//
// A copy whose lock is free belongs to a program that no longer runs. A copy the
// reader refuses is renamed damaged-<id>.lnr.xml and left there for the user.

#include "document/lentar_document.h"
#include "output/open_command.h"

#include <QElapsedTimer>
#include <QLockFile>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Platform;

// When a copy is written: soon after the typing pauses, and regularly while it does
// not, so that the copy is never further behind than longestMs.
struct RecoveryTiming
{
    int quietMs = 2000; // after the last change
    int longestMs = 10000; // after the first change the copy does not hold yet
};

// The rule of RecoveryTiming on a clock of milliseconds that the caller reads.
class RecoverySchedule
{
public:
    explicit RecoverySchedule(RecoveryTiming timing = {})
        : timing_(timing)
    { }

    void changed(qint64 now);
    // When the next copy is due, or -1 when the copy holds every change.
    qint64 due() const;
    void written();

private:
    RecoveryTiming timing_;
    qint64 first_ = -1;
    qint64 last_ = -1;
};

// What a copy holds.
struct RecoveryContent
{
    LentarDocument doc;
    QString originalFile; // the lentar file the work came from; empty for a new one
};

// A copy left by a program that no longer runs, locked by this one while it is offered.
struct AbandonedCopy
{
    QString id;
    QString path; // the copy itself
    QString originalFile;
    QString title; // as the copy holds it
    qint64 changed = 0; // the last change, seconds since 1970
    std::unique_ptr<QLockFile> lock;
};

// The copies in folder whose programs no longer run, the latest change first. A copy
// the reader refuses is renamed aside, and its new path added to damaged.
std::vector<AbandonedCopy> ClaimAbandonedCopies(const QString &folder, QStringList &damaged);

// The copy, its companion file and its lock go.
void DeleteRecoveryCopy(AbandonedCopy &copy);

// A copy the user chose to restore, read back; its lock is this program's now.
struct RestoredCopy
{
    OpenedLentar opened;
    AbandonedCopy copy;
};

// Asks about every copy that waits in the platform's state folder, one after the
// other ("Восстановить", "Удалить", "Позже"), after naming any damaged one. The first
// copy the user restores ends the questions; the rest wait for the next start.
std::optional<RestoredCopy> OfferRecoveryCopies(Platform &platform);

// Keeps the recovery copy of the lentar the window edits. The lentar is turned into
// bytes on the caller's thread (about a millisecond), and written and flushed to the
// disk on a thread of its own, so typing never waits for the disk. A copy that cannot
// be written is told about once, in Russian, and typing goes on.
class RecoveryKeeper : public QObject
{
    Q_OBJECT
public:
    RecoveryKeeper(Platform &platform, std::function<RecoveryContent()> content,
        RecoveryTiming timing = {}, QObject *parent = nullptr);
    // Waits for a write under way. A copy of unsaved changes stays for the next start;
    // the lock goes.
    ~RecoveryKeeper() override;

    // The lentar changed.
    void changed();
    // Writes the copy at once and waits for the disk: the session ends or the program
    // is told to stop. False when there were changes and they could not be written.
    bool writeNow();
    // The changes were saved or let go: the copy goes, with its lock.
    void forget();
    // A restored copy becomes this program's own: later changes are written over it.
    void adopt(AbandonedCopy &copy);

    // This program's copy; the file exists only while there are unsaved changes.
    QString copyPath() const;

private:
    struct Job
    {
        QString copyPath;
        QString companionPath;
        QByteArray bytes;
        std::optional<QString> originalFile; // set when the companion must change
    };

    void writeIfDue();
    // The folder and the lock; throws FileError.
    void claimSlot();
    std::optional<Job> nextJob();
    static void run(const Job &job);
    void tellFailure(const QString &message);

    Platform &platform_;
    std::function<RecoveryContent()> content_;
    RecoverySchedule schedule_;
    QElapsedTimer clock_;
    QTimer *timer_ = nullptr; // a child, so that a test can watch it fire
    QThreadPool writer_;
    QString folder_;
    QString id_;
    std::unique_ptr<QLockFile> lock_;
    qint64 lastChange_ = 0;
    QString companion_; // the original file the companion names
    bool failureTold_ = false;
};
