#include "document/subject_catalogue.h"

using namespace Qt::StringLiterals;

namespace SubjectCatalogue {

const QList<Subject> &all()
{
    using enum SubjectGroup;
    static const QList<Subject> subjects = {
        { 1, u"Астрономия, космонавтика и авиация"_s, u"Астрономия, космонавтика и авиация"_s,
            Research },
        { 2, u"Биология"_s, u"Биология"_s, Research },
        { 3, u"География"_s, u"География"_s, Research },
        { 4, u"История, археология"_s, u"История, археология"_s, Research },
        { 5, u"Искусствоведение"_s, u"Искусствоведение"_s, Research },
        { 6, u"Лингвистика (русский и иностранные языки)"_s, u"Лингвистика (русский и ин. языки)"_s,
            Research },
        { 7, u"Литературоведение"_s, u"Литературоведение"_s, Research },
        { 8, u"Математика"_s, u"Математика"_s, Research },
        { 9, u"Религиоведение"_s, u"Религиоведение"_s, Research },
        { 10, u"Экономика, социология и право"_s, u"Экономика, социология и право"_s, Research },
        { 11, u"Физика"_s, u"Физика"_s, Research },
        { 12, u"Химия"_s, u"Химия"_s, Research },
        { 13, u"Здоровье человека"_s, u"Здоровье человека"_s, Research },
        { 14, u"Физкультура и спорт"_s, u"Физкультура и спорт"_s, Research },
        { 15, u"Экология"_s, u"Экология"_s, Research },
        { 16, u"Художественное творчество"_s, u"Художественное творчество"_s, Other },
        { 17, u"Техническое творчество"_s, u"Техническое творчество"_s, Other },
        { 18, u"Информационные технологии"_s, u"Информационные технологии"_s, Other },
        { 19, u"Литературное творчество"_s, u"Литературное творчество"_s, Other },
        { 20, u"Музыкальное творчество"_s, u"Музыкальное творчество"_s, Other },
        { 21, u"Краеведение"_s, u"Краеведение"_s, Other },
        { 22, u"В помощь учителю"_s, u"В помощь учителю"_s, Additional },
        { 24, u"Конкурс «Учебный проект»"_s, u"Конкурс «Учебный проект»"_s, Additional },
    };
    return subjects;
}

QString caption(int sb_id)
{
    for (const Subject &subject : all()) {
        if (subject.sb_id == sb_id)
            return subject.caption;
    }
    return {};
}

QString groupCaption(SubjectGroup group)
{
    switch (group) {
    case SubjectGroup::Research:
        return u"Научно-исследовательский раздел"_s;
    case SubjectGroup::Other:
        return u"Другие разделы"_s;
    case SubjectGroup::Additional:
        return u"Дополнительные разделы"_s;
    }
    return {};
}

} // namespace SubjectCatalogue
