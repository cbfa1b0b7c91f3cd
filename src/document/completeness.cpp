#include "document/completeness.h"

#include "codec/cp1251.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

struct GroupItems
{
    const char16_t *none;
    const char16_t *surname;
    const char16_t *name;
    const char16_t *patronymic;
};

// Only the first gap of a group is reported: the user fixes it and meets the next
// one at the next save.
void AppendFirstGap(QString &missing, const QList<Participant> &people, const GroupItems &items)
{
    if (people.isEmpty()) {
        missing += QString::fromUtf16(items.none);
        return;
    }
    for (const Participant &person : people) {
        if (TrimControls(person.surname).isEmpty()) {
            missing += QString::fromUtf16(items.surname);
            return;
        }
        if (TrimControls(person.name).isEmpty()) {
            missing += QString::fromUtf16(items.name);
            return;
        }
        if (TrimControls(person.patronymic).isEmpty()) {
            missing += QString::fromUtf16(items.patronymic);
            return;
        }
    }
}

} // namespace

QString CheckCompleteness(const LentarDocument &doc)
{
    QString missing;
    if (TrimControls(doc.title).isEmpty())
        missing += u" - Название работы\n";
    if (TrimControls(doc.description).isEmpty())
        missing += u" - Описание работы\n";
    if (doc.subjectSlots[0] == 0)
        missing += u" - Не задан ни один раздел\n";
    AppendFirstGap(missing, doc.authors,
        { u" - Не указан ни один автор\n", u" - Фамилии у всех авторов\n",
            u" - Имена у всех авторов\n", u" - Отчества у всех авторов\n" });
    AppendFirstGap(missing, doc.leaders,
        { u" - Не указан ни один руководитель\n", u" - Фамилии у всех руководителей\n",
            u" - Имена у всех руководителей\n", u" - Отчества у всех руководителей\n" });
    return missing;
}

QString IncompleteMessageText(const QString &missingItems)
{
    return u"Для записи лентара в файл необходимо заполнить следующие поля:\n\n"_s + missingItems
        + u"\nЛентар не сохранен."_s;
}

namespace {

bool HasCharOutsideCp1251(const QString &text)
{
    // The characters the writer turns into "?": control characters are in the code
    // page (the ones XML forbids are dropped, as are U+FFFE and U+FFFF), a surrogate,
    // paired or not, never is.
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t unit = c.unicode();
        return unit >= 0x80 && unit < 0xFFFE && (c.isSurrogate() || !IsInCp1251(unit));
    });
}

void AppendPeopleFields(QStringList &fields, const QList<Participant> &people, const QString &role)
{
    for (qsizetype i = 0; i < people.size(); ++i) {
        const Participant &person = people.at(i);
        const QString which = u" ("_s + role + u' ' + QString::number(i + 1) + u')';
        if (HasCharOutsideCp1251(person.surname))
            fields.append(u"Фамилия"_s + which);
        if (HasCharOutsideCp1251(person.name))
            fields.append(u"Имя"_s + which);
        if (HasCharOutsideCp1251(person.patronymic))
            fields.append(u"Отчество"_s + which);
    }
}

} // namespace

QStringList FieldsOutsideCp1251(const LentarDocument &doc)
{
    QStringList fields;
    const auto check = [&fields](const QString &text, const QString &label) {
        if (HasCharOutsideCp1251(text))
            fields.append(label);
    };
    check(doc.title, u"Название"_s);
    check(doc.description, u"Описание"_s);
    check(doc.techRequest, u"Технические требования"_s);
    check(doc.manual, u"Порядок знакомства"_s);
    check(doc.publicPostIndex, u"Индекс"_s);
    check(doc.publicPostAddress, u"Адрес"_s);
    check(doc.publicPhone, u"Телефон"_s);
    check(doc.publicEmail, u"Эл. почта"_s);
    if (doc.picture.present)
        check(doc.picture.caption, u"Подпись к картинке"_s);
    AppendPeopleFields(fields, doc.authors, u"автор"_s);
    AppendPeopleFields(fields, doc.leaders, u"руководитель"_s);
    check(doc.notes, u"Комментарии"_s);
    return fields;
}
