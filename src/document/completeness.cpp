#include "document/completeness.h"

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
    if (doc.subject_slots[0] == 0)
        missing += u" - Не задан ни один раздел\n";
    AppendFirstGap(missing, doc.author_list,
        { u" - Не указан ни один автор\n", u" - Фамилии у всех авторов\n",
            u" - Имена у всех авторов\n", u" - Отчества у всех авторов\n" });
    AppendFirstGap(missing, doc.leader_list,
        { u" - Не указан ни один руководитель\n", u" - Фамилии у всех руководителей\n",
            u" - Имена у всех руководителей\n", u" - Отчества у всех руководителей\n" });
    return missing;
}

QString IncompleteMessageText(const QString &missingItems)
{
    return u"Для записи лентара в файл необходимо заполнить следующие поля:\n\n"_s + missingItems
        + u"\nЛентар не сохранен."_s;
}
