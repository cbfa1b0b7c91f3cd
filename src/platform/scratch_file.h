#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>

// Room on disk for what is too large to hold in memory at once, in a file of this
// process's own in the temporary folder that is removed when the object goes. Pieces
// are added one after the other and read back by where they were put.
class ScratchFile
{
public:
    struct Piece
    {
        qint64 offset = -1; // -1: nothing was kept
        qint64 size = 0;
        bool isNull() const { return offset < 0; }
    };

    // folder: where the file goes (the program's temporary folder, ending with "/").
    // Throws FileError.
    explicit ScratchFile(const QString &folder);
    ~ScratchFile();
    ScratchFile(const ScratchFile &) = delete;
    ScratchFile &operator=(const ScratchFile &) = delete;

    // Safe to call from several threads at once. A piece that cannot be written is
    // null, and the first such failure is kept for failure().
    Piece add(const QByteArray &bytes);
    // Throws FileError.
    QByteArray read(Piece piece) const;
    // Why a piece could not be written (Russian); empty while all went well.
    QString failure() const;

private:
    QString path_;
    int fd_ = -1;
    std::atomic<qint64> size_ { 0 };
    mutable std::mutex failureMutex_;
    QString failure_;
};
