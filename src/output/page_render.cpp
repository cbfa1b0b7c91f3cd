#include "output/page_render.h"

#include "codec/error.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include <QString>

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

namespace {

// libxml2 and libxslt print their complaints on stderr by default; we collect them
// instead and hand them to the user inside the error message.
void CollectError(void *context, const char *format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    auto &messages = *static_cast<std::string *>(context);
    if (written > 0 && messages.size() < 4096)
        messages.append(buffer);
}

// Nothing the preview renders may pull in another file: external entities and DTDs
// are refused outright, whatever the parse options let through.
xmlParserInputPtr RefuseExternalEntity(const char *, const char *, xmlParserCtxtPtr)
{
    return nullptr;
}

class LibxmlSession
{
public:
    LibxmlSession()
    {
        static const bool initialised = [] {
            xmlInitParser();
            return true;
        }();
        (void)initialised;
        previousXmlHandler = xmlGenericError;
        previousXmlContext = xmlGenericErrorContext;
        previousXsltHandler = xsltGenericError;
        previousXsltContext = xsltGenericErrorContext;
        xmlSetGenericErrorFunc(&messages, CollectError);
        xsltSetGenericErrorFunc(&messages, CollectError);
        previousLoader = xmlGetExternalEntityLoader();
        xmlSetExternalEntityLoader(RefuseExternalEntity);
    }
    ~LibxmlSession()
    {
        xmlSetExternalEntityLoader(previousLoader);
        xsltSetGenericErrorFunc(previousXsltContext, previousXsltHandler);
        xmlSetGenericErrorFunc(previousXmlContext, previousXmlHandler);
    }
    LibxmlSession(const LibxmlSession &) = delete;
    LibxmlSession &operator=(const LibxmlSession &) = delete;

    [[noreturn]] void fail(const char *what) const
    {
        // The first complaint names the cause; the lines after it quote the input.
        QString message = QString::fromUtf8(what);
        const QString details = QString::fromUtf8(messages).trimmed().section(u'\n', 0, 0);
        if (!details.isEmpty())
            message += QStringLiteral(": ") + details;
        throw LentarError(message.toStdString());
    }

    std::string messages;

private:
    xmlExternalEntityLoader previousLoader = nullptr;
    xmlGenericErrorFunc previousXmlHandler = nullptr;
    void *previousXmlContext = nullptr;
    xmlGenericErrorFunc previousXsltHandler = nullptr;
    void *previousXsltContext = nullptr;
};

struct DocFree
{
    void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};
struct StylesheetFree
{
    void operator()(xsltStylesheetPtr style) const { xsltFreeStylesheet(style); }
};
struct ContextFree
{
    void operator()(xsltTransformContextPtr context) const { xsltFreeTransformContext(context); }
};
struct SecurityFree
{
    void operator()(xsltSecurityPrefsPtr prefs) const { xsltFreeSecurityPrefs(prefs); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

// No network, and neither entity substitution nor DTD loading: the document is read
// exactly as it stands.
Doc ParseDocument(const QByteArray &bytes, const char *name)
{
    if (bytes.size() > INT_MAX)
        return nullptr;
    return Doc(xmlReadMemory(bytes.constData(), int(bytes.size()), name, nullptr, XML_PARSE_NONET));
}

} // namespace

QByteArray RenderLentarPage(const QByteArray &lentarXml, const QByteArray &stylesheet)
{
    LibxmlSession session;

    Doc document = ParseDocument(lentarXml, "preview.lnr.xml");
    if (!document)
        session.fail("Не удалось прочитать документ лентара для предпросмотра");
    Doc stylesheetDoc = ParseDocument(stylesheet, "preview.lnr.xsl");
    if (!stylesheetDoc)
        session.fail("Не удалось прочитать шаблон предпросмотра");

    // A stylesheet that compiles owns its document from here on; one that does not
    // leaves it with us.
    std::unique_ptr<xsltStylesheet, StylesheetFree> style(
        xsltParseStylesheetDoc(stylesheetDoc.get()));
    if (!style)
        session.fail("Ошибка в шаблоне предпросмотра");
    (void)stylesheetDoc.release();

    std::unique_ptr<xsltSecurityPrefs, SecurityFree> prefs(xsltNewSecurityPrefs());
    std::unique_ptr<xsltTransformContext, ContextFree> context(
        xsltNewTransformContext(style.get(), document.get()));
    if (!prefs || !context)
        session.fail("Недостаточно памяти для построения страницы предпросмотра");
    for (xsltSecurityOption option :
        { XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
            XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK }) {
        if (xsltSetSecurityPrefs(prefs.get(), option, xsltSecurityForbid) != 0)
            session.fail("Не удалось ограничить доступ шаблона предпросмотра к файлам");
    }
    if (xsltSetCtxtSecurityPrefs(prefs.get(), context.get()) != 0)
        session.fail("Не удалось ограничить доступ шаблона предпросмотра к файлам");

    Doc result(xsltApplyStylesheetUser(
        style.get(), document.get(), nullptr, nullptr, nullptr, context.get()));
    if (!result || context->state != XSLT_STATE_OK)
        session.fail("Ошибка построения страницы предпросмотра");

    // The page is UTF-8 as its meta element says; without an encoding on the result,
    // libxml2 would spell every non-ASCII letter in attribute values as a character
    // reference.
    if (!result->encoding)
        result->encoding = xmlStrdup(BAD_CAST "UTF-8");

    xmlChar *text = nullptr;
    int length = 0;
    if (xsltSaveResultToString(&text, &length, result.get(), style.get()) != 0 || !text) {
        xmlFree(text);
        session.fail("Ошибка записи страницы предпросмотра");
    }
    QByteArray page(reinterpret_cast<const char *>(text), length);
    xmlFree(text);
    return page;
}
