#pragma once

#include "document/lentar_document.h"

#include <QString>

// The missing-items text: one " - ...\n" line for each gap, empty when complete.
QString CheckCompleteness(const LentarDocument &doc);

inline constexpr char kIncompleteCaption[] = "Неполная информация";

// The whole message shown for an incomplete lentar.
QString IncompleteMessageText(const QString &missingItems);
