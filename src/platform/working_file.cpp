#include "platform/working_file.h"

#include <QFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

QString WriteWorkingFile(const QString &path, const QByteArray &bytes)
{
    // The new file is made beside the old one, so that the rename below stays within
    // one file system and replaces the old file in a single step.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return file.errorString();
    if (file.write(bytes) != bytes.size() || !file.flush())
        return file.errorString();
    // Asking for the name gives the so far nameless file one; the destructor removes
    // it again unless the rename succeeds.
    const QByteArray from = QFile::encodeName(file.fileName());
    if (from.isEmpty())
        return file.errorString();
    // POSIX rename replaces an existing file atomically; QFile::rename refuses to.
    if (std::rename(from.constData(), QFile::encodeName(path).constData()) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    file.setAutoRemove(false);
    return {};
}
