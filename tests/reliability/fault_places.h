#pragma once

// Places where writing fails for real: folders and files without write permission, a
// read-only file system, a full one, a folder that is gone. Tests run as root in CI,
// where permissions do not bite, so the test process gives up the capabilities that
// override them, and mounts its small file systems in a mount namespace of its own.

#include <QByteArray>
#include <QMap>
#include <QString>

namespace FaultPlaces {

// Call first in main, before any thread exists: enters a private mount namespace when
// the system allows one, and drops the capabilities that bypass file permissions.
void Prepare();

// Why a file system cannot be mounted here, or an empty text when it can.
QString MountUnavailableReason();
// Why a folder without write permission would still take a file, or an empty text
// when permissions are obeyed. scratch is a writable folder for the probe.
QString PermissionsUnavailableReason(const QString &scratch);

// Mounts a tmpfs of sizeKb kilobytes on the existing folder.
bool MountSmallDisk(const QString &folder, int sizeKb);
bool RemountReadOnly(const QString &folder, int sizeKb);
void Unmount(const QString &folder);

// Fills the file system of folder with a file named filler until exactly freePages
// pages of it are left; false when that cannot be arranged.
bool FillDisk(const QString &folder, int freePages);
long long FreeBytes(const QString &folder);

// Every file below folder by relative path, with its bytes; a folder is recorded with
// the bytes "<folder>".
QMap<QString, QByteArray> Snapshot(const QString &folder);

// Makes everything below folder writable again, so it can be removed.
void MakeWritable(const QString &folder);

} // namespace FaultPlaces
