#include "fuzz_checks.h"
#include "lentar_layout.h"
#include "writer_input.h"

#include "codec/cp1251.h"
#include "document/lentar_xml.h"

#include <QStringDecoder>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <memory>

namespace {

struct XmlDocFree
{
    void operator()(xmlDoc *doc) const { xmlFreeDoc(doc); }
};
struct XmlParserFree
{
    void operator()(xmlParserCtxt *ctxt) const { xmlFreeParserCtxt(ctxt); }
};

std::string CheckFile(const QByteArray &file, const WriterInput &input, LentarVariant variant)
{
    const bool saved = variant == LentarVariant::Saved;
    const QByteArray head = (saved ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + kLentarDeclaration
        + "\r\n" + kStylesheetInstruction + "\r\n<vantorela><work ";
    const QByteArray tail = saved ? "</work></vantorela>\r\n\r\n" : "</work></vantorela>\r\n";
    if (!file.startsWith(head))
        return "the file does not start with the byte-order mark, declaration and instruction";
    if (!file.endsWith(tail))
        return "the file does not end with the end of the root and its line ends";

    const QByteArrayView body = QByteArrayView(file).sliced(saved ? 3 : 0);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(body);
    if (decoder.hasError())
        return "the file is not valid UTF-8";
    for (const char32_t c : text.toUcs4()) {
        if (!IsInCp1251(c))
            return "the file holds a character outside Windows-1251";
        if (c < 32 && c != u'\t' && c != u'\r' && c != u'\n')
            return "the file holds a control character XML forbids";
    }
    // Only the line ends of the three lines themselves may stand between tags.

    std::unique_ptr<xmlParserCtxt, XmlParserFree> parser(xmlNewParserCtxt());
    std::unique_ptr<xmlDoc, XmlDocFree> xml(
        xmlCtxtReadMemory(parser.get(), file.constData(), int(file.size()), "lentar.lnr.xml",
            nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE));
    if (!xml || !parser->wellFormed)
        return "libxml2 finds the file not well-formed";

    xmlNode *first = xml->children;
    if (!first || first->type != XML_PI_NODE
        || std::string_view(reinterpret_cast<const char *>(first->name)) != "xml-stylesheet")
        return "the stylesheet instruction is not the first node";
    // Every element and attribute in the layout's order, with nothing between the tags
    // of containers, and every value as the record holds it.
    return LentarTreeDifference(ExpectedLentarTree(input.doc, input.stored, variant),
        ParsedLentarTree(xmlDocGetRootElement(xml.get())))
        .toStdString();
}

} // namespace

std::string FuzzLentarWriter(std::string_view bytes)
{
    const WriterInput input = DecodeWriterInput(bytes);
    for (const LentarVariant variant : { LentarVariant::Saved, LentarVariant::Preview }) {
        const QString text = SerializeLentar(BuildLentarXml(input.doc, input.stored, variant));
        const QByteArray file
            = variant == LentarVariant::Saved ? LentarFileBytes(text) : PreviewFileBytes(text);
        std::string problem = CheckFile(file, input, variant);
        if (!problem.empty())
            return (variant == LentarVariant::Saved ? "saved lentar: " : "preview: ") + problem;
    }
    return {};
}
