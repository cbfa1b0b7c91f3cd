#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

QString SystemErrorText(int code)
{
    // The texts the system itself gives follow the user's locale, and are English
    // where it is not Russian: every reason the program shows is its own.
    switch (code) {
    case ENOENT:
        return u"нет такого файла или папки"_s;
    case EACCES:
        return u"нет прав доступа"_s;
    case EPERM:
        return u"операция не разрешена"_s;
    case EROFS:
        return u"файловая система доступна только для чтения"_s;
    case ENOSPC:
        return u"на диске не осталось места"_s;
#ifdef EDQUOT
    case EDQUOT:
        return u"превышена дисковая квота"_s;
#endif
    case ENAMETOOLONG:
        return u"слишком длинное имя файла"_s;
    case EISDIR:
        return u"под этим именем находится папка"_s;
    case ENOTDIR:
        return u"часть пути не является папкой"_s;
    case EEXIST:
        return u"файл уже существует"_s;
    case EBUSY:
        return u"файл или устройство занято"_s;
    case ETXTBSY:
        return u"файл занят другой программой"_s;
    case EMFILE:
        return u"программа открыла слишком много файлов"_s;
    case ENFILE:
        return u"в системе открыто слишком много файлов"_s;
    case EIO:
        return u"ошибка ввода-вывода"_s;
    case EFBIG:
        return u"файл слишком велик"_s;
    case EINVAL:
        return u"недопустимое имя или значение"_s;
    case ELOOP:
        return u"слишком много символических ссылок в пути"_s;
    case EXDEV:
        return u"файлы находятся на разных файловых системах"_s;
    case ENOMEM:
        return u"недостаточно памяти"_s;
    case EAGAIN:
        return u"ресурс временно недоступен"_s;
    case EINTR:
        return u"операция прервана"_s;
    case ENXIO:
        return u"нет такого устройства или адреса"_s;
    case ENODEV:
        return u"нет такого устройства"_s;
    case ENOTEMPTY:
        return u"папка не пуста"_s;
    case EMLINK:
        return u"слишком много ссылок на файл"_s;
    case EOVERFLOW:
        return u"файл слишком велик для программы"_s;
#ifdef ESTALE
    case ESTALE:
        return u"сетевой файл больше недоступен"_s;
#endif
#ifdef ETIMEDOUT
    case ETIMEDOUT:
        return u"истекло время ожидания"_s;
#endif
#ifdef ENOTCONN
    case ENOTCONN:
        return u"нет соединения с сетевым диском"_s;
#endif
    default:
        return u"системная ошибка номер %1"_s.arg(code);
    }
}

FileError::FileError(Action action, const QString &path, const QString &reason)
    : LentarError((action == Action::Write ? u"Не удалось записать файл «%1»: %2"_s
            : action == Action::Read ? u"Не удалось прочитать файл «%1»: %2"_s
                                     : u"Не удалось создать папку «%1»: %2"_s)
                      .arg(QDir::toNativeSeparators(path), reason)
                      .toStdString())
    , action_(action)
    , path_(path)
    , reason_(reason)
{ }

namespace {

// At most this many links are followed from the name to the file it stands for.
constexpr int kMostLinks = 40;

// The file the path stands for: a symbolic link is replaced by what it points to, so
// that the link stays a link and the file behind it gets the new bytes. Returns 0,
// or the errno value why the path cannot be written.
int ResolveLinks(const QString &path, QByteArray &target)
{
    QString current = path;
    for (int i = 0; i < kMostLinks; ++i) {
        const QFileInfo info(current);
        if (!info.isSymLink()) {
            target = QFile::encodeName(current);
            return 0;
        }
        current = info.symLinkTarget();
    }
    return ELOOP;
}

int CloseKeepingError(int fd, int error)
{
    if (::close(fd) != 0 && error == 0)
        return errno;
    return error;
}

// Writes all of bytes, going on after a partial write; returns 0 or the errno value.
int WriteAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, std::size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        left -= n;
    }
    return 0;
}

// Makes a new file beside target whose name no other file has; returns the open
// descriptor, or -1 with errno set. A new file gets the mode any new file would get;
// a replacement keeps the mode of the file it replaces.
int CreateBeside(const QByteArray &target, mode_t mode, QByteArray &name)
{
    static constexpr char kLetters[]
        = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + '.';
        for (int i = 0; i < 6; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters) - 1)];
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

AtomicFile::AtomicFile(const QString &path, Durability durability)
    : path_(path)
    , durability_(durability)
{ }

AtomicFile::~AtomicFile()
{
    discard();
}

void AtomicFile::fail(int code)
{
    fail(SystemErrorText(code));
}

void AtomicFile::fail(const QString &reason)
{
    discard();
    throw FileError(FileError::Action::Write, path_, reason);
}

void AtomicFile::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!staged_.isEmpty())
        ::unlink(staged_.constData());
    staged_.clear();
}

void AtomicFile::write(const QByteArray &bytes)
{
    discard();
    append(bytes);
    finish();
}

void AtomicFile::append(const QByteArray &bytes)
{
    if (fd_ < 0)
        stage();
    if (const int error = WriteAll(fd_, bytes))
        fail(error);
}

void AtomicFile::stage()
{
    discard();
    if (path_.isEmpty())
        fail(ENOENT);
    if (const int error = ResolveLinks(path_, target_))
        fail(error);

    // What the rename would do to an existing file is checked first, so that the
    // reason is the true one and nothing is written in vain: a folder cannot be
    // replaced by a file, and a file the user made read-only is not replaced either.
    struct stat existing
    {
    };
    const bool exists = ::stat(target_.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        fail(EISDIR);
    if (exists && ::access(target_.constData(), W_OK) != 0)
        fail(errno == EACCES ? u"файл защищён от записи"_s : SystemErrorText(errno));

    // A working file in the shared temporary folder is the user's own business.
    const mode_t mode = durability_ == Durability::Durable ? 0666 : 0600;
    QByteArray name;
    const int fd = CreateBeside(target_, exists ? 0600 : mode, name);
    if (fd < 0)
        fail(errno);
    staged_ = name;
    fd_ = fd;
    if (exists && ::fchmod(fd, existing.st_mode & 07777) != 0)
        fail(errno);
}

void AtomicFile::finish()
{
    int error = 0;
    if (durability_ != Durability::Working && ::fsync(fd_) != 0)
        error = errno;
    // Some file systems, network ones above all, report a full disk only here.
    error = CloseKeepingError(fd_, error);
    fd_ = -1;
    if (error != 0)
        fail(error);
}

void AtomicFile::commit()
{
    if (staged_.isEmpty())
        fail(ENOENT);
    if (fd_ >= 0)
        finish();
    // rename() replaces an existing file in one step.
    if (std::rename(staged_.constData(), target_.constData()) != 0)
        fail(errno);
    staged_.clear();
    if (durability_ != Durability::Working) {
        // The new name is on the disk only once the folder is; a folder that cannot
        // be flushed still holds the complete file.
        const QByteArray folder = QFile::encodeName(QFileInfo(QFile::decodeName(target_)).path());
        const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
}

void WriteFileAtomically(const QString &path, const QByteArray &bytes, Durability durability)
{
    AtomicFile file(path, durability);
    file.write(bytes);
    file.commit();
}

void MakePrivateFolder(const QString &path)
{
    const QString folder = QDir::cleanPath(QDir(path).absolutePath());
    const QString above = QFileInfo(folder).path();
    if (above != folder && !QFileInfo(above).isDir())
        MakePrivateFolder(above);
    const QByteArray name = QFile::encodeName(folder);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        throw FileError(FileError::Action::MakeFolder, folder, SystemErrorText(errno));
    struct stat info
    {
    };
    if (::stat(name.constData(), &info) != 0)
        throw FileError(FileError::Action::MakeFolder, folder, SystemErrorText(errno));
    if (!S_ISDIR(info.st_mode))
        throw FileError(FileError::Action::MakeFolder, folder, SystemErrorText(ENOTDIR));
    // Others lose their access; what the user allowed or forbade to himself stays.
    if ((info.st_mode & 077) != 0 && ::chmod(name.constData(), info.st_mode & 0700) != 0)
        throw FileError(FileError::Action::MakeFolder, folder, SystemErrorText(errno));
}

void RemoveFile(const QString &path)
{
    ::unlink(QFile::encodeName(path).constData());
}

void RenameFile(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        throw FileError(FileError::Action::Write, from, SystemErrorText(errno));
}

void OpenForReading(QFile &file, const QString &path)
{
    const auto fail = [&path](const QString &reason) {
        throw FileError(FileError::Action::Read, path, reason);
    };
    if (path.isEmpty())
        fail(SystemErrorText(ENOENT));
    // Without O_NONBLOCK, opening a named pipe would wait here for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        fail(SystemErrorText(errno));
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        fail(SystemErrorText(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        fail(S_ISDIR(info.st_mode) ? SystemErrorText(EISDIR) : u"это не обычный файл"_s);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        fail(SystemErrorText(EIO));
    }
}

QByteArray ReadWholeFile(const QString &path)
{
    QFile file;
    OpenForReading(file, path);
    const int fd = file.handle();
    QByteArray bytes;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(FileError::Action::Read, path, SystemErrorText(errno));
        }
        bytes.append(buffer, n);
    }
    return bytes;
}
