#pragma once

#include "document/lentar_document.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <vector>

// A minimal element tree: enough for the lentar format, which has no mixed content.
struct XmlElement
{
    QString name;
    QList<QPair<QString, QString>> attributes; // in start-tag order
    QString text;
    std::vector<XmlElement> children;

    XmlElement &addChild(const QString &childName, const QString &childText = {});
    void setAttribute(const QString &attrName, const QString &value);
};

// A saved lentar puts img before comment; a preview puts comment last but one and
// names an untitled work "Без названия".
enum class LentarVariant { Saved, Preview };

inline constexpr char kLentarDeclaration[]
    = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>)";
inline constexpr char kStylesheetInstruction[]
    = R"(<?xml-stylesheet type="text/xsl" href="preview.lnr.xsl" ?>)";

// The element tree of a lentar; stored is the time of writing in seconds since 1970.
XmlElement BuildLentarXml(
    const LentarDocument &doc, qint64 stored, LentarVariant variant = LentarVariant::Saved);

// The lentar text: the declaration, the stylesheet instruction and the element tree,
// each line ended by CR LF, reduced to the Windows-1251 repertoire.
QString SerializeLentar(const XmlElement &root);

// Bytes of a saved lentar file: byte-order mark, UTF-8 text, one more CR LF.
QByteArray LentarFileBytes(const QString &text);
// Bytes of the preview document: the UTF-8 text alone.
QByteArray PreviewFileBytes(const QString &text);
