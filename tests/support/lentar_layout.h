#pragma once

// What a parser must read back from a lentar the program wrote, built from the one
// description of the format's layout (tests/data/lentar_layout.txt), so that the
// tests and the fuzzers that check the writer do not each spell out the element order.

#include "document/lentar_document.h"
#include "document/lentar_xml.h"

#include <QString>

#include <libxml/tree.h>

// The tree a conforming parser reports for the file the writer makes of doc: every
// element and attribute in the order of the layout, the values as the record holds
// them after the writer's own rules (trimming, the untitled preview), then as XML
// reads them: control characters XML forbids and U+FFFE, U+FFFF gone, "?" for what
// Windows-1251 lacks (a surrogate pair counting as one character), line ends and tabs
// in attribute values as blanks, and CR and CR LF in text as LF.
XmlElement ExpectedLentarTree(const LentarDocument &doc, qint64 stored, LentarVariant variant);

// A parsed element in the same shape: attributes in start-tag order, the element's
// own text nodes joined, and any node other than text or element marked in the text.
XmlElement ParsedLentarTree(const xmlNode *element);

// Empty when the trees agree; otherwise where they first part and how.
QString LentarTreeDifference(const XmlElement &expected, const XmlElement &actual);
