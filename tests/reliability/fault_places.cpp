#include "fault_places.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace FaultPlaces {

namespace {

bool privateMounts = false;
QString mountFailure;

bool WriteProcFile(const char *path, const QByteArray &text)
{
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, text.constData(), std::size_t(text.size())) == text.size();
    ::close(fd);
    return written;
}

// Without root, a user namespace in which we are root may still mount a tmpfs.
bool EnterUserNamespace()
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        return false;
    WriteProcFile("/proc/self/setgroups", "deny");
    return WriteProcFile("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1")
        && WriteProcFile("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1");
}

void DropPermissionOverrides()
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2] {};
    if (::syscall(SYS_capget, &header, data) != 0)
        return;
    const unsigned drop
        = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
    data[0].effective &= ~drop;
    data[0].permitted &= ~drop;
    data[0].inheritable &= ~drop;
    ::syscall(SYS_capset, &header, data);
}

QByteArray Path(const QString &folder)
{
    return QFile::encodeName(folder);
}

} // namespace

void Prepare()
{
    const bool ownNamespace = ::unshare(CLONE_NEWNS) == 0 || EnterUserNamespace();
    if (!ownNamespace) {
        mountFailure = QStringLiteral("no mount namespace of our own here (%1)")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
    } else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        mountFailure = QStringLiteral("mounts cannot be made private (%1)")
                           .arg(QString::fromLocal8Bit(std::strerror(errno)));
    } else {
        privateMounts = true;
    }
    DropPermissionOverrides();
}

QString MountUnavailableReason()
{
    return privateMounts ? QString() : mountFailure;
}

QString PermissionsUnavailableReason(const QString &scratch)
{
    const QString probe = scratch + QStringLiteral("/permission-probe");
    if (!QDir().mkpath(probe))
        return QStringLiteral("cannot create %1").arg(probe);
    ::chmod(Path(probe).constData(), 0555);
    QFile file(probe + QStringLiteral("/file"));
    const bool written = file.open(QIODevice::WriteOnly);
    file.close();
    ::chmod(Path(probe).constData(), 0755);
    QDir(probe).removeRecursively();
    return written ? QStringLiteral("this user writes into read-only folders anyway") : QString();
}

bool MountSmallDisk(const QString &folder, int sizeKb)
{
    const QByteArray options = "size=" + QByteArray::number(sizeKb) + "k,mode=0755";
    return privateMounts
        && ::mount("lentar-test", Path(folder).constData(), "tmpfs", MS_NOSUID | MS_NODEV,
               options.constData())
        == 0;
}

bool RemountReadOnly(const QString &folder, int sizeKb)
{
    const QByteArray options = "size=" + QByteArray::number(sizeKb) + "k,mode=0755";
    return ::mount("lentar-test", Path(folder).constData(), "tmpfs",
               MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, options.constData())
        == 0;
}

void Unmount(const QString &folder)
{
    ::umount2(Path(folder).constData(), MNT_DETACH);
}

long long FreeBytes(const QString &folder)
{
    struct statvfs info
    {
    };
    if (::statvfs(Path(folder).constData(), &info) != 0)
        return -1;
    return static_cast<long long>(info.f_bavail) * static_cast<long long>(info.f_bsize);
}

bool FillDisk(const QString &folder, int freePages)
{
    // Only ever the test's own small file system, never the disk the build lives on.
    constexpr long long kLargestFillable = 4LL << 20;
    if (FreeBytes(folder) > kLargestFillable)
        return false;
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    const QByteArray path = Path(folder + QStringLiteral("/filler"));
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const QByteArray page(int(pageSize), 'f');
    long long written = 0;
    for (;;) {
        const ssize_t n = ::write(fd, page.constData(), std::size_t(page.size()));
        if (n <= 0)
            break;
        written += n;
    }
    const bool full = errno == ENOSPC;
    // Pages handed back by shortening the filler are free again at once on a tmpfs.
    const long long keep = written / pageSize * pageSize - (long long)freePages * pageSize;
    const bool shortened = keep >= 0 && ::ftruncate(fd, keep) == 0;
    ::close(fd);
    return full && shortened && FreeBytes(folder) == (long long)freePages * pageSize;
}

QMap<QString, QByteArray> Snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir()) {
            files.insert(root.relativeFilePath(path), QByteArrayLiteral("<folder>"));
            continue;
        }
        QFile file(path);
        files.insert(root.relativeFilePath(path),
            file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<unreadable>"));
    }
    return files;
}

void MakeWritable(const QString &folder)
{
    ::chmod(Path(folder).constData(), 0755);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        ::chmod(Path(path).constData(), it.fileInfo().isDir() ? 0755 : 0644);
    }
}

} // namespace FaultPlaces
