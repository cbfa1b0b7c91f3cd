#pragma once

#include <QByteArray>

// Applies the stylesheet to a lentar document with libxslt and returns the XHTML page.
// Neither input may reach the network or load external entities. Throws LentarError.
QByteArray RenderLentarPage(const QByteArray &lentarXml, const QByteArray &stylesheet);
