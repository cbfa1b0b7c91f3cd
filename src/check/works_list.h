#pragma once

// The organisers' list and book of works, made from the records lentar-check keeps of
// every readable lentar: the list as a workbook or a CSV file, the book as one HTML
// file or a PDF. Every file is written through AtomicFile, so a failure leaves nothing
// under its name; the writers throw FileError.

#include "check/work_record.h"

#include <QStringList>

class AtomicFile;

#include <vector>

// The columns of the list, in order.
const QStringList &WorksListHeaders();

// The cells of one row as text, as the CSV file has them before its escaping: line
// breaks as a line feed, the time as "ДД.ММ.ГГГГ ЧЧ:ММ" in local time.
QStringList WorksRowTexts(const WorkRecord &work);

// Each writer fills file with works, in the order of the rows, and commits it.
void WriteWorksCsv(AtomicFile &file, const std::vector<WorkRecord> &works);
// tempFolder: where libxlsxwriter builds the workbook before it is copied into file.
void WriteWorksXlsx(
    AtomicFile &file, const std::vector<WorkRecord> &works, const QString &tempFolder);
