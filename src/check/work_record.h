#pragma once

// What the organisers' list and book of works keep of one readable lentar: its texts
// and people (never the picture's text), what the check said of it, and where its
// sound picture waits on disk.

#include "check/check_problem.h"
#include "document/lentar_document.h"
#include "platform/scratch_file.h"

#include <QString>
#include <QStringList>

#include <optional>

struct LentarReadResult;

enum class PictureState { None, Sound, Damaged };

struct WorkRecord
{
    QString file; // as the report names it
    LentarDocument doc; // picture.base64 left empty
    qint64 stored = 0; // seconds since 1970; 0 when the file does not say
    PictureState picture = PictureState::None;
    qsizetype problems = 0; // everything the check found in the file, clashes included
    ScratchFile::Piece jpeg; // the sound picture's own bytes, when kept
};

// The record of a read lentar; nothing for a refused file. problems are the file's
// own (the clashes are counted in later). A sound picture's bytes go to pictures when
// it is given.
std::optional<WorkRecord> MakeWorkRecord(const QString &file, const LentarReadResult &read,
    const CheckProblems &problems, ScratchFile *pictures);

// "Фамилия Имя Отчество", the empty parts left out.
QString PersonName(const Participant &person);
// The captions of the subjects the work names, in its own order; unknown ones left out.
QStringList SubjectCaptions(const LentarDocument &doc);
// Record order: by the path as the report names it, code point by code point.
bool ByPath(const WorkRecord &a, const WorkRecord &b);
