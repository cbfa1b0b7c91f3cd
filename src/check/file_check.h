#pragma once

#include "check/check_problem.h"
#include "check/cross_check.h"
#include "document/lentar_reader.h"

#include <QString>

#include <optional>

struct FileCheck
{
    // Set when the file could not be read at all: not a remark about the file but a
    // failure of the run, reported apart. Russian.
    std::optional<QString> unreadable;
    CheckProblems problems;
    // What the checks across files need; absent for a file that is not a lentar.
    std::optional<WorkFacts> facts;
};

// Codes of the problems this layer finds on top of what the reader reports.
namespace CheckCode {
inline constexpr char MissingTitle[] = "missing-title";
inline constexpr char MissingDescription[] = "missing-description";
inline constexpr char MissingSubject[] = "missing-subject";
inline constexpr char MissingAuthors[] = "missing-authors";
inline constexpr char MissingAuthorSurname[] = "missing-author-surname";
inline constexpr char MissingAuthorName[] = "missing-author-name";
inline constexpr char MissingAuthorPatronymic[] = "missing-author-patronymic";
inline constexpr char MissingLeaders[] = "missing-leaders";
inline constexpr char MissingLeaderSurname[] = "missing-leader-surname";
inline constexpr char MissingLeaderName[] = "missing-leader-name";
inline constexpr char MissingLeaderPatronymic[] = "missing-leader-patronymic";
inline constexpr char Incomplete[] = "incomplete"; // a gap without a code of its own
inline constexpr char BadJpeg[] = "bad-jpeg";
inline constexpr char PictureTooLarge[] = "picture-too-large";
} // namespace CheckCode

// Everything that can be said about one file on its own, from what the reader made
// of it.
FileCheck CheckReadLentar(const LentarReadResult &read);

// Reads the file at path as the check reads every file.
LentarReadResult ReadLentarForCheck(const QString &path);

// Reads the file at path and checks it.
FileCheck CheckLentarFile(const QString &path);
