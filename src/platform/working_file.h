#pragma once

#include "platform/files.h"

// The older spelling of a working file's write, for the benchmarks: the reason on
// failure, an empty text on success. Everything else calls WriteFileAtomically.
inline QString WriteWorkingFile(const QString &path, const QByteArray &bytes)
{
    try {
        WriteFileAtomically(path, bytes, Durability::Working);
    } catch (const FileError &error) {
        return error.reason();
    }
    return {};
}
