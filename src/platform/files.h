#pragma once

// The program's one way of writing a file, and of reading one back, with the reason
// for a failure in Russian. A file is written under a temporary name beside its
// final one and renamed into place only once it is complete, so the name always
// holds either the earlier file or the new one, and a failure leaves nothing behind.

#include "codec/error.h"

#include <QByteArray>
#include <QString>

class QFile;

// Why a system call failed, in Russian, from its errno value; a value without a text
// of its own is named by its number.
QString SystemErrorText(int code);

// A file that could not be written or read: which file, and why.
class FileError : public LentarError
{
public:
    enum class Action { Read, Write, MakeFolder };
    FileError(Action action, const QString &path, const QString &reason);

    Action action() const { return action_; }
    const QString &path() const { return path_; }
    const QString &reason() const { return reason_; }

private:
    Action action_;
    QString path_;
    QString reason_;
};

enum class Durability {
    // Waits until the disk has the data before the file takes its name: the saved
    // lentar and its stylesheet, which the user hands on.
    Durable,
    // Replaced whole, but not waited for on the disk: the working files in the
    // temporary folder, which nobody needs back after a power failure, and whose
    // flush would take longer than everything else an import or a preview does.
    Working,
    // Durable, and readable by the user alone (mode 0600): the recovery copy of a
    // pupil's unsaved work.
    Private,
};

// A file written in two steps: write() puts the bytes under a temporary name beside
// the path, commit() gives them the path. A writer that needs to write something
// else between the two (the save writes its stylesheet there) can still back out
// with nothing changed; an AtomicFile destroyed uncommitted removes what it wrote.
// A path that is a symbolic link writes the file the link points to.
class AtomicFile
{
public:
    AtomicFile(const QString &path, Durability durability);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Throws FileError when the file cannot be written whole; nothing is left then.
    void write(const QByteArray &bytes);
    // Adds bytes to the file, starting it on the first call: for a file written piece
    // by piece because it is too large to hold whole. Throws FileError as write() does.
    void append(const QByteArray &bytes);
    // Throws FileError when the written file cannot take its name; the earlier file
    // of that name is then as it was.
    void commit();
    // Removes what write() wrote.
    void discard();

    const QString &path() const { return path_; }

private:
    [[noreturn]] void fail(int code);
    [[noreturn]] void fail(const QString &reason);
    void stage();
    void finish();

    QString path_;
    Durability durability_;
    QByteArray target_; // the path in the file system's encoding, links followed
    QByteArray staged_; // the temporary name while a written file waits for commit()
    int fd_ = -1; // open while append() may add more
};

// write() and commit() in one; throws FileError.
void WriteFileAtomically(
    const QString &path, const QByteArray &bytes, Durability durability = Durability::Durable);

// Makes the folder at path, and any folder above it that is missing, open to the user
// alone (mode 0700); a folder that is there already loses what others may do. Throws
// FileError naming the folder.
void MakePrivateFolder(const QString &path);

// Removes the file at path if it is there; a failure is left unsaid, as the file is
// no longer needed either way.
void RemoveFile(const QString &path);

// Gives the file at from the name to, in one step; throws FileError naming from.
void RenameFile(const QString &from, const QString &to);

// Opens path for reading into file; throws FileError. Only a plain file is opened:
// opening a named pipe would wait for a writer that may never come.
void OpenForReading(QFile &file, const QString &path);

// The whole content of path; throws FileError.
QByteArray ReadWholeFile(const QString &path);
