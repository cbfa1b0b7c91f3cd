#pragma once

// Small helpers the tests of several layers share.

#include "codec/participant_id.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <string>

// The whole file, or nothing when it cannot be read.
inline QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Every name in a folder, hidden ones too, sorted.
inline QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// A valid formatted identifier whose first seven digits are body.
inline QString ValidParticipantId(const std::string &body)
{
    return QString::fromStdString(FormatParticipantId(body + ComputeIdCheckDigits(body)));
}
