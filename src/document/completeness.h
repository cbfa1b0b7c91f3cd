#pragma once

#include "document/lentar_document.h"

#include <QString>
#include <QStringList>

// The missing-items text: one " - ...\n" line for each gap, empty when complete.
QString CheckCompleteness(const LentarDocument &doc);

inline constexpr char kIncompleteCaption[] = "Неполная информация";

// The whole message shown for an incomplete lentar.
QString IncompleteMessageText(const QString &missingItems);

// The fields, named as the window labels them and in the window's order, whose text
// holds characters Windows-1251 lacks. A lentar file holds only the code page's
// characters, so each of those reaches the file as "?".
QStringList FieldsOutsideCp1251(const LentarDocument &doc);
