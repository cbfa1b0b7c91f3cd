#pragma once

// Field-by-field comparison of two records, naming the first field that differs, so
// that a failing round trip says where it went wrong.

#include "document/lentar_document.h"

#include <QString>

inline QString Shown(const QString &value)
{
    QString shown = value.left(120);
    shown.replace(u'\r', QStringLiteral("\\r")).replace(u'\n', QStringLiteral("\\n"));
    return u'«' + shown + u'»';
}

inline QString FirstDifference(const LentarDocument &actual, const LentarDocument &expected)
{
    const auto text = [](const char *field, const QString &a, const QString &e) {
        return a == e ? QString()
                      : QLatin1StringView(field) + QStringLiteral(": ") + Shown(a)
                + QStringLiteral(" instead of ") + Shown(e);
    };
    const auto number = [](const char *field, qint64 a, qint64 e) {
        return a == e
            ? QString()
            : QLatin1StringView(field) + QStringLiteral(": %1 instead of %2").arg(a).arg(e);
    };
    const auto people = [&](const char *list, const QList<Participant> &a,
                            const QList<Participant> &e) {
        if (a.size() != e.size())
            return number(list, a.size(), e.size());
        for (qsizetype i = 0; i < a.size(); ++i) {
            const QByteArray at = QByteArray(list) + '[' + QByteArray::number(i) + "].";
            for (const QString &d : { text((at + "id").constData(), a[i].id, e[i].id),
                     text((at + "surname").constData(), a[i].surname, e[i].surname),
                     text((at + "name").constData(), a[i].name, e[i].name),
                     text((at + "patronymic").constData(), a[i].patronymic, e[i].patronymic) })
                if (!d.isEmpty())
                    return d;
        }
        return QString();
    };
    QString subjectSlots;
    for (int k = 0; k < kSubjectSlots && subjectSlots.isEmpty(); ++k)
        subjectSlots = number("subject_slots", actual.subjectSlots[k], expected.subjectSlots[k]);
    const QString differences[] = {
        text("title", actual.title, expected.title),
        text("description", actual.description, expected.description),
        text("tech_request", actual.techRequest, expected.techRequest),
        text("manual", actual.manual, expected.manual),
        subjectSlots,
        people("author_list", actual.authors, expected.authors),
        people("leader_list", actual.leaders, expected.leaders),
        number("InvoiceLeader", actual.invoiceLeader, expected.invoiceLeader),
        text("public_post_index", actual.publicPostIndex, expected.publicPostIndex),
        text("public_post_address", actual.publicPostAddress, expected.publicPostAddress),
        text("public_phone", actual.publicPhone, expected.publicPhone),
        text("public_email", actual.publicEmail, expected.publicEmail),
        number("picture.present", actual.picture.present, expected.picture.present),
        text("picture.base64", QString::fromLatin1(actual.picture.base64),
            QString::fromLatin1(expected.picture.base64)),
        number("picture.width", actual.picture.width, expected.picture.width),
        number("picture.height", actual.picture.height, expected.picture.height),
        text("picture.caption", actual.picture.caption, expected.picture.caption),
        text("Notes", actual.notes, expected.notes),
        number("sz_id", actual.season, expected.season),
    };
    for (const QString &difference : differences)
        if (!difference.isEmpty())
            return difference;
    // Anything the list above forgot still shows.
    return actual == expected ? QString() : QStringLiteral("a field the comparison does not name");
}
