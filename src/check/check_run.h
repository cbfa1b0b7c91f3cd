#pragma once

// The organisers' check of received lentars: every file on its own (through the
// editor's reader and checks), then the clashes between files.

#include "check/check_problem.h"
#include "check/file_walk.h"

#include <QStringList>

#include <functional>
#include <vector>

struct CheckRunResult
{
    std::vector<CheckProblems> problems; // by file, in the order given
    QStringList unreadable; // Russian, one per file that could not be read
};

struct CheckRunOptions
{
    int workers = 0; // 0: one per processor
    // Called on the calling thread, about ten times a second and at the end.
    std::function<void(qsizetype done, qsizetype total)> progress;
};

// Checks files on a pool of workers, each reading one file at a time. Only the
// problems and the small summaries the checks across files need are kept, so memory
// does not grow with the size of the files.
CheckRunResult RunCheck(const std::vector<FoundFile> &files, const CheckRunOptions &options = {});
