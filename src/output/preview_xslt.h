#pragma once

// The preview stylesheet: an XSLT 1.0 stylesheet that shows a lentar as the
// festival's web page. It is stored in the program as one line of base64 text and
// written out beside every lentar the program writes.

#include <QByteArray>
#include <QString>

inline constexpr char kStylesheetFileName[] = "preview.lnr.xsl";

// The stored stylesheet, generated at build time from preview.lnr.xsl in the sources.
extern const char PreviewStylesheetBase64[];

// The decoded stylesheet bytes.
QByteArray PreviewStylesheetBytes();

// The message for a stylesheet that could not be written into folder: names the folder
// and gives the system's reason.
QString StylesheetWriteError(const QString &folder, const QString &reason);

// Writes preview.lnr.xsl into folder (a path ending with "/"; empty means the current
// directory). Throws LentarError with StylesheetWriteError when the file cannot be
// written; an earlier file of that name is then left as it was.
void WritePreviewStylesheet(const QString &folder);

// The same for the preview in the temporary folder, where the stylesheet is a working
// file (Durability::Working): replaced whole, but not waited for on the disk. Its
// error names the temporary folder.
void WriteWorkingStylesheet(const QString &tempFolder);
