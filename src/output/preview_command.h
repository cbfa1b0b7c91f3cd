#pragma once

#include "document/lentar_document.h"
#include "platform/platform.h"

inline constexpr char kPreviewDocumentName[] = "preview.lnr.xml";
inline constexpr char kPreviewPageName[] = "preview.lnr.html";

// The preview command: writes preview.lnr.xml and preview.lnr.xsl into the temporary
// folder, renders preview.lnr.html from them and opens it in the browser. Shows its
// own errors; nothing escapes.
void PreviewLentar(const LentarDocument &doc, Platform &platform);
