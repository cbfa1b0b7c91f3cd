#include "platform/scratch_file.h"

#include "platform/files.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

ScratchFile::ScratchFile(const QString &folder)
{
    QByteArray name = QFile::encodeName(folder + QStringLiteral("lentar-scratch-XXXXXX"));
    fd_ = ::mkostemp(name.data(), O_CLOEXEC);
    path_ = QFile::decodeName(name);
    if (fd_ < 0)
        throw FileError(FileError::Action::Write, path_, SystemErrorText(errno));
    // Nobody else needs the name: the file lives as long as it is open.
    ::unlink(name.constData());
}

ScratchFile::~ScratchFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

ScratchFile::Piece ScratchFile::add(const QByteArray &bytes)
{
    const Piece piece { size_.fetch_add(bytes.size()), bytes.size() };
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(
            fd_, bytes.constData() + done, std::size_t(bytes.size() - done), piece.offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const FileError error(FileError::Action::Write, path_, SystemErrorText(errno));
            const std::lock_guard lock(failureMutex_);
            if (failure_.isEmpty())
                failure_ = QString::fromStdString(error.what());
            return {};
        }
        done += n;
    }
    return piece;
}

QByteArray ScratchFile::read(Piece piece) const
{
    if (piece.isNull())
        return {};
    QByteArray bytes(piece.size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < piece.size) {
        const ssize_t n = ::pread(
            fd_, bytes.data() + done, std::size_t(piece.size - done), piece.offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw FileError(FileError::Action::Read, path_,
                n == 0 ? SystemErrorText(EIO) : SystemErrorText(errno));
        done += n;
    }
    return bytes;
}

QString ScratchFile::failure() const
{
    const std::lock_guard lock(failureMutex_);
    return failure_;
}
