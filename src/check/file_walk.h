#pragma once

#include <QString>
#include <QStringList>

#include <vector>

inline constexpr char kLentarSuffix[] = ".lnr.xml";

struct FoundFile
{
    QString shown; // as the report names it: the argument, or the argument's folder joined with the
                   // path below it
};

struct WalkResult
{
    std::vector<FoundFile>
        files; // in the order of the arguments, each folder's files sorted by path
    QStringList errors; // Russian, one per path that could not be read
};

// The files named by paths: a file is taken whatever its name, a folder is searched
// through all its subfolders for names ending in .lnr.xml (any letter case). A file
// reached twice (named twice, or through a link) is taken once.
WalkResult CollectLentarFiles(const QStringList &paths);
