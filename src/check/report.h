#pragma once

#include "check/check_problem.h"

#include <QByteArray>
#include <QString>

// A sentence of another layer (the reader's findings, the editor's list of gaps) in the
// voice of every message (see CheckProblem): a capitalised first word loses its
// capital, an abbreviation keeps it.
QString AsRemark(QString sentence);

// One field of a CSV row: quoted, with its quotation marks doubled, when it holds a
// comma, a quotation mark or a line break.
QString CsvField(const QString &text);

inline constexpr char kCsvHeader[] = "file,code,message\r\n";

// One CSV row for a problem of file, ended by CR LF.
QString CsvRow(const QString &file, const CheckProblem &problem);

// One line of the report for people: the file, then the remark. Line breaks inside a
// name or a message would break the one-line-per-problem promise; they are shown as
// a visible mark instead.
QString ReportLine(const QString &file, const CheckProblem &problem);

// The last line of the report for people.
QString SummaryLine(qsizetype files, qsizetype filesWithProblems, qsizetype problems);
