#pragma once

#include "document/lentar_document.h"
#include "platform/platform.h"

#include <QString>

#include <optional>

inline constexpr char kLentarExtension[] = ".lnr.xml";

// True when a file name ends with ".lnr.xml", in any case.
bool HasLentarExtension(const QString &fileName);

// The name proposed in the save dialog: the title trimmed, reduced to Windows-1251,
// with the characters a file name cannot hold replaced, and ".lnr.xml" added unless
// it is there already. A name too long for the file system (with room left for the
// temporary name of a replacement) is cut between characters.
QString ProposedFileName(const QString &title);

// The save dialog's settings for a proposed name.
SaveDialogSettings LentarSaveDialogSettings(const QString &proposedName);

// Shows the message for an incomplete lentar.
void ShowIncompleteMessage(Platform &platform, const QString &missingItems);

// The save command: check, warn about characters the file cannot hold, ask for the
// path, write the lentar and its stylesheet, confirm, clear the preview files. For a
// lentar that came from the file currentFile the dialog proposes that file's folder and
// name; for a new one (currentFile empty), a name made from the title. Returns the path
// written, or nothing when the lentar was not saved. A write failure throws LentarError
// after leaving the folder as it was: the earlier lentar of that name intact and no new
// stylesheet.
std::optional<QString> SaveLentarFile(
    const LentarDocument &doc, Platform &platform, const QString &currentFile);
