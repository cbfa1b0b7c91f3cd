#pragma once

// The forms other programs give a lentar: indented, attributes in another order. Text
// transforms of a written file, shared by the reader's and the window's tests.

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

// Line breaks and a tab between the tags, never inside an element that holds text.
inline QByteArray IndentedLentar(const QByteArray &bytes, const QByteArray &lineEnd)
{
    // The elements whose content is text: no break may go before their end tag.
    static const QStringList textElements { QStringLiteral("description"),
        QStringLiteral("specification"), QStringLiteral("manual"), QStringLiteral("postal_code"),
        QStringLiteral("address"), QStringLiteral("phone"), QStringLiteral("email"),
        QStringLiteral("comment") };
    static const QRegularExpression between(
        QStringLiteral("><(?!/(%1)>)").arg(textElements.join(u'|')));
    return QString::fromUtf8(bytes)
        .replace(between, QString::fromLatin1(">" + lineEnd + "\t<"))
        .toUtf8();
}

// Every start tag with its attributes in reverse order.
inline QByteArray AttributesReversedLentar(const QByteArray &bytes)
{
    static const QRegularExpression tag(QStringLiteral("<(\\w+)((?: \\w+=\"[^\"]*\")+)>"));
    static const QRegularExpression attribute(QStringLiteral(" \\w+=\"[^\"]*\""));
    const QString text = QString::fromUtf8(bytes);
    QString out;
    qsizetype at = 0;
    for (const QRegularExpressionMatch &m : tag.globalMatch(text)) {
        QStringList attributes;
        for (const QRegularExpressionMatch &a : attribute.globalMatch(m.captured(2)))
            attributes.prepend(a.captured());
        out += QStringView(text).sliced(at, m.capturedStart() - at);
        out += u'<' + m.captured(1) + attributes.join(QString()) + u'>';
        at = m.capturedEnd();
    }
    out += QStringView(text).sliced(at);
    return out.toUtf8();
}
