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

// Writes preview.lnr.xsl into folder (a path ending with "/"; empty means the current
// directory). Throws LentarError "Ошибка записи файла шаблона во временную папку"
// with the system's reason when the file cannot be written.
void WritePreviewStylesheet(const QString &folder);

// The same for the preview in the temporary folder, where the stylesheet is a working
// file (see WriteWorkingFile): replaced whole, but not waited for on the disk.
void WriteWorkingStylesheet(const QString &tempFolder);
