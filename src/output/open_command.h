#pragma once

// The open command: a saved lentar is read back to be edited further. A file that is
// no lentar is refused with one message naming it and the reason; a lentar with
// faults is loaded as far as it goes, and the user hears everything that had to be
// changed or left out in one message.

#include "document/lentar_document.h"
#include "picture/picture_import.h"

#include <QString>

#include <optional>

class Platform;

inline constexpr char kOpenDialogTitle[] = "Открытие файла лентара";
inline constexpr char kLentarDialogFilter[] = "Лентар Фестиваля «Ванторела» (*.lnr.xml)";

struct OpenedLentar
{
    QString path; // absolute
    // doc.picture holds the stored picture's base64 as the file carried it, so that
    // saving writes the very same JPEG bytes again.
    LentarDocument doc;
    // The stored picture decoded, for the picture surface only; empty without a picture.
    RgbImage pixels;
};

// Asks for a lentar through the platform's open dialog; nothing when the user cancels.
std::optional<QString> ChooseLentar(Platform &platform);

// Reads the lentar at path. Refused files are told with the error icon and give
// nothing; findings are told with the warning icon after the lentar was loaded.
std::optional<OpenedLentar> OpenLentar(const QString &path, Platform &platform);
