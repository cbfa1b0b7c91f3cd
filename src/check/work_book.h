#pragma once

// The book of works for the jury and the guests: a title page, the contents, then a
// section per subject in the catalogue's order holding every work that names it,
// sorted by title in Russian order. Only what is meant for the public is shown: no
// identifiers, addresses, phones, e-mails or notes.

#include "check/work_record.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <vector>

class AtomicFile;

inline constexpr char16_t kBookFestival[] = u"Фестиваль «Ванторела», сезон 8 (2010/2011)";
inline constexpr char16_t kBookTitle[] = u"Работы участников";
inline constexpr char16_t kNoSubjectSection[] = u"Раздел не указан";

struct BookSection
{
    int subject = 0; // sb_id; 0 for the works that name no subject
    QString caption;
    std::vector<std::size_t> works; // indices into the records, in the book's order
};

struct BookPlan
{
    std::vector<BookSection> sections; // only those with works
    qsizetype workCount = 0; // a work sent twice counted once
};

// The sections of the book from the records of every readable lentar, in path order.
// Of the files that describe the same work, the one saved last (the later path when
// the time is the same) stands for it.
BookPlan PlanBook(const std::vector<WorkRecord> &works);

// What the book shows of one work, in this order; an empty text is left out. Texts are
// as typed, a line break as \n, other control characters left out.
struct BookEntry
{
    QString title; // "(без названия)" for none
    QString authorsLabel; // "Автор:" or "Авторы:"
    QString authors; // by name, ", " between
    QString leadersLabel;
    QString leaders;
    QString alsoIn; // "Также в разделах: …" for a work in other sections as well
    QString description;
    QString techRequest; // labelled "Технические требования:"
    QString manual; // labelled "Порядок знакомства:"
    QString caption; // the picture's, shown only with the picture
};

inline constexpr char16_t kTechRequestLabel[] = u"Технические требования:";
inline constexpr char16_t kManualLabel[] = u"Порядок знакомства:";

// One work as it stands in the section of sectionSubject, its other subjects named.
BookEntry MakeBookEntry(const WorkRecord &work, int sectionSubject);

// One work as HTML. pictureSource: the img src; empty for none.
QString WorkHtml(const BookEntry &entry, const QString &pictureSource);

struct BookInput
{
    const std::vector<WorkRecord> &works;
    const ScratchFile *pictures = nullptr; // where the sound pictures' bytes wait
    QDateTime made;
    // Called after each entry of the book: entries done, entries in all.
    std::function<void(qsizetype done, qsizetype total)> progress;
};

// Each writer fills file with the book and commits it; throws FileError.
void WriteBookHtml(AtomicFile &file, const BookInput &input);
// Needs a QGuiApplication (the offscreen platform does).
void WriteBookPdf(AtomicFile &file, const BookInput &input);
