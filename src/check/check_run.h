#pragma once

// The organisers' check of received lentars: every file on its own (through the
// editor's reader and checks), then the clashes between files.

#include "check/check_problem.h"
#include "check/file_check.h"
#include "check/file_walk.h"

#include <QStringList>

#include <functional>
#include <vector>

struct CheckRunResult
{
    // By file, in the order given: each file's own problems, then its clashes with
    // other files.
    std::vector<CheckProblems> problems;
    QStringList unreadable; // Russian, one per file that could not be read
};

// One file as the check left it, handed over in the order of the files.
struct CheckedFile
{
    qsizetype index; // into the files given
    const FoundFile &file;
    // What the reader made of it (only a refusal if refused). The picture is in
    // read.pictureJpeg; doc.picture.base64 is left empty.
    const LentarReadResult &read;
    // The file's own problems. The clashes with other files are known only once every
    // file is read; they come in CheckRunResult::problems.
    const FileCheck &check;
};

struct CheckRunOptions
{
    int workers = 0; // 0: one per processor
    // Called on the calling thread, about ten times a second and at the end.
    std::function<void(qsizetype done, qsizetype total)> progress;
    // Called on the calling thread for every file, strictly in the order of the files,
    // once it and every file before it are checked. What the file holds is freed when
    // this returns: keep what you need.
    std::function<void(const CheckedFile &)> fileChecked;
};

// Checks files on Qt's thread pool, each worker reading one file at a time. Only the
// problems and the small summaries the checks across files need are kept, so memory
// does not grow with the number or the size of the files.
CheckRunResult RunCheck(const std::vector<FoundFile> &files, const CheckRunOptions &options = {});
