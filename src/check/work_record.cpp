#include "check/work_record.h"

#include "check/file_check.h"
#include "document/lentar_reader.h"
#include "document/subject_catalogue.h"

#include <algorithm>

std::optional<WorkRecord> MakeWorkRecord(const QString &file, const LentarReadResult &read,
    const CheckProblems &problems, ScratchFile *pictures)
{
    if (read.refused())
        return std::nullopt;
    WorkRecord work;
    work.file = file;
    work.doc = read.doc;
    work.doc.picture.base64.clear();
    work.stored = read.stored;
    work.problems = problems.size();
    // A picture whose text or JPEG the check found fault with is damaged, even where
    // the reader could still make something of it.
    const bool damaged = std::any_of(problems.begin(), problems.end(), [](const auto &problem) {
        return problem.code == CheckCode::BadJpeg || problem.code == CheckCode::PictureTooLarge
            || problem.code == ReadCode::BadBase64 || problem.code == ReadCode::BadPictureSource;
    });
    if (damaged)
        work.picture = PictureState::Damaged;
    else if (read.doc.picture.present && !read.pictureJpeg.isEmpty())
        work.picture = PictureState::Sound;
    if (work.picture == PictureState::Sound && pictures)
        work.jpeg = pictures->add(read.pictureJpeg);
    return work;
}

QString PersonName(const Participant &person)
{
    QStringList parts;
    for (const QString *part : { &person.surname, &person.name, &person.patronymic }) {
        const QString trimmed = part->trimmed();
        if (!trimmed.isEmpty())
            parts.append(trimmed);
    }
    return parts.join(u' ');
}

QStringList SubjectCaptions(const LentarDocument &doc)
{
    QStringList captions;
    for (const int id : doc.subjectSlots) {
        const QString caption = SubjectCatalogue::caption(id);
        if (!caption.isEmpty())
            captions.append(caption);
    }
    return captions;
}

bool ByPath(const WorkRecord &a, const WorkRecord &b)
{
    // QString compares UTF-16 units, which puts characters beyond U+FFFF (surrogates)
    // before U+E000..U+FFFF; the report's order is by code points, so at the first
    // unit that differs the surrogates are moved above the rest.
    const auto mismatch = std::mismatch(a.file.begin(), a.file.end(), b.file.begin(), b.file.end());
    if (mismatch.second == b.file.end())
        return false;
    if (mismatch.first == a.file.end())
        return true;
    const auto rank = [](QChar c) {
        const char16_t unit = c.unicode();
        return c.isSurrogate() ? unit + 0x2000 : unit >= 0xE000 ? unit - 0x800 : unit;
    };
    return rank(*mismatch.first) < rank(*mismatch.second);
}
