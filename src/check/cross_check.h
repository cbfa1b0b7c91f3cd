#pragma once

#include "check/check_problem.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <mutex>
#include <vector>

// What one file contributes to the checks across files. Built per file and dropped
// once added: the index keeps a digest of the work and the identifiers with each
// name they were seen with, never the documents.
struct WorkFacts
{
    struct Person
    {
        QString id; // as the file holds it
        QString surname;
        QString name;
        QString patronymic;
    };

    QString title;
    QStringList authorIds; // the authors' identifiers, in any order
    QList<Person> people; // authors and leaders
};

// What two descriptions of the same work share: the trimmed title and the set of
// author identifiers. comparable is false when both are empty: such files are never
// taken for one work.
QByteArray SameWorkDigest(const WorkFacts &facts, bool *comparable);

inline constexpr char kDuplicateWorkCode[] = "duplicate-work";
inline constexpr char kIdNamesDifferCode[] = "id-names-differ";

// Finds two kinds of clash between files: the same work described twice (the same
// trimmed title and the same set of author identifiers), and one identifier given
// with different names. add() may be called from several threads at once.
class CrossFileIndex
{
public:
    void add(qsizetype file, const WorkFacts &facts);

    // The clashes of every file, by the file's index, for files shown by these names
    // (indexed as in add()). Each file of a clash gets its own remark naming the others.
    std::vector<CheckProblems> problems(const QStringList &shownNames) const;

private:
    struct IdEntry
    {
        QStringList names; // the distinct full names, each field trimmed, joined by U+001F
        QList<std::pair<qsizetype, int>> uses; // file, index into names
    };

    std::mutex mutex_;
    QHash<QByteArray, QList<qsizetype>> works_; // digest of title and authors -> files
    QHash<quint64, IdEntry> ids_; // nine digits as a number -> uses
};
