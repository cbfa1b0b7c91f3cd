#include "output/preview_command.h"

#include "codec/error.h"
#include "document/lentar_xml.h"
#include "output/page_render.h"
#include "output/preview_xslt.h"
#include "platform/files.h"

#include <exception>

using namespace Qt::StringLiterals;

namespace {

// The preview's files are working files in the temporary folder: replaced whole, but
// not waited for on the disk.
void WriteTemporary(const QString &path, const QByteArray &bytes)
{
    WriteFileAtomically(path, bytes, Durability::Working);
}

void WritePreview(const LentarDocument &doc, Platform &platform)
{
    const QString temp = platform.tempFolder();
    const QString text
        = SerializeLentar(BuildLentarXml(doc, platform.currentTime(), LentarVariant::Preview));
    const QByteArray document = PreviewFileBytes(text);

    // The document and the stylesheet stay beside each other, as beside a saved lentar,
    // so the pair still opens in a browser that applies the stylesheet itself.
    WriteTemporary(temp + QString::fromUtf8(kPreviewDocumentName), document);
    WriteWorkingStylesheet(temp);

    // Browsers no longer apply a stylesheet to a local file reliably, so the page the
    // user sees is rendered here.
    const QString page = temp + QString::fromUtf8(kPreviewPageName);
    WriteTemporary(page, RenderLentarPage(document, PreviewStylesheetBytes()));

    if (!platform.openInBrowser(page))
        ShowStandardError(platform, u"Не удалось открыть страницу предпросмотра в браузере"_s);
}

} // namespace

void PreviewLentar(const LentarDocument &doc, Platform &platform)
{
    try {
        WritePreview(doc, platform);
    } catch (const LentarError &error) {
        ShowStandardError(platform, QString::fromUtf8(error.what()));
    } catch (const std::exception &) {
        platform.showMessage(u"Ошибка предпросмотра"_s, QString::fromUtf8(kApplicationTitle),
            MessageIcon::None, MessageButtons::Ok);
    }
}
