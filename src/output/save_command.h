#pragma once

#include "document/lentar_document.h"
#include "platform/platform.h"

#include <QString>

// The name proposed in the save dialog: the title trimmed, reduced to Windows-1251,
// with the characters a file name cannot hold replaced.
QString ProposedFileName(const QString &title);

// The save dialog's settings for a proposed name.
SaveDialogSettings LentarSaveDialogSettings(const QString &proposedName);

// Shows the message for an incomplete lentar.
void ShowIncompleteMessage(Platform &platform, const QString &missingItems);

// The save command: check, ask for the path, write the lentar and its stylesheet,
// confirm, clear the preview files. Returns true when the lentar was saved. A write
// failure throws LentarError after leaving any earlier file of that name intact.
bool SaveLentar(const LentarDocument &doc, Platform &platform);
