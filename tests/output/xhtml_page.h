#pragma once

// Reads a rendered preview page the way a strict XML browser would and answers XPath
// questions about it; the XHTML namespace is bound to the prefix "x".

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

class XhtmlPage
{
public:
    explicit XhtmlPage(const QByteArray &bytes)
        : m_doc(xmlReadMemory(bytes.constData(), int(bytes.size()), "page.html", nullptr,
            XML_PARSE_NONET | XML_PARSE_NOWARNING | XML_PARSE_NOERROR))
    {
        if (!m_doc)
            return;
        m_xpath = xmlXPathNewContext(m_doc);
        xmlXPathRegisterNs(m_xpath, BAD_CAST "x", BAD_CAST "http://www.w3.org/1999/xhtml");
    }
    ~XhtmlPage()
    {
        xmlXPathFreeContext(m_xpath);
        xmlFreeDoc(m_doc);
    }
    XhtmlPage(const XhtmlPage &) = delete;
    XhtmlPage &operator=(const XhtmlPage &) = delete;

    bool isWellFormed() const { return m_doc != nullptr; }
    xmlDocPtr doc() const { return m_doc; }

    // The XPath string() of the expression.
    QString text(const char *expression) const { return eval("string(", expression); }
    // The XPath count() of a node-set expression.
    int count(const char *expression) const { return eval("count(", expression).toInt(); }
    // The string values of the nodes an expression selects, in document order.
    QStringList texts(const char *expression) const
    {
        QStringList result;
        if (!m_xpath)
            return result;
        xmlXPathObjectPtr object = xmlXPathEvalExpression(BAD_CAST expression, m_xpath);
        if (object && object->nodesetval) {
            for (int i = 0; i < object->nodesetval->nodeNr; ++i) {
                xmlChar *content = xmlNodeGetContent(object->nodesetval->nodeTab[i]);
                result.append(QString::fromUtf8(reinterpret_cast<const char *>(content)));
                xmlFree(content);
            }
        }
        xmlXPathFreeObject(object);
        return result;
    }

private:
    QString eval(const char *function, const char *expression) const
    {
        if (!m_xpath)
            return {};
        const QByteArray call = QByteArray(function) + expression + ')';
        xmlXPathObjectPtr object = xmlXPathEvalExpression(BAD_CAST call.constData(), m_xpath);
        QString result;
        if (object) {
            xmlChar *value = xmlXPathCastToString(object);
            result = QString::fromUtf8(reinterpret_cast<const char *>(value));
            xmlFree(value);
        }
        xmlXPathFreeObject(object);
        return result;
    }

    xmlDocPtr m_doc = nullptr;
    xmlXPathContextPtr m_xpath = nullptr;
};
