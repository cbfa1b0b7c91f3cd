#include "check/file_check.h"

#include "check/report.h"
#include "document/completeness.h"
#include "document/lentar_reader.h"
#include "picture/jpeg_inspect.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

namespace {

struct GapCode
{
    const char16_t *line; // as CheckCompleteness writes it, without " - " and the line feed
    const char *code;
};

constexpr GapCode kGapCodes[] = {
    { u"Название работы", CheckCode::MissingTitle },
    { u"Описание работы", CheckCode::MissingDescription },
    { u"Не задан ни один раздел", CheckCode::MissingSubject },
    { u"Не указан ни один автор", CheckCode::MissingAuthors },
    { u"Фамилии у всех авторов", CheckCode::MissingAuthorSurname },
    { u"Имена у всех авторов", CheckCode::MissingAuthorName },
    { u"Отчества у всех авторов", CheckCode::MissingAuthorPatronymic },
    { u"Не указан ни один руководитель", CheckCode::MissingLeaders },
    { u"Фамилии у всех руководителей", CheckCode::MissingLeaderSurname },
    { u"Имена у всех руководителей", CheckCode::MissingLeaderName },
    { u"Отчества у всех руководителей", CheckCode::MissingLeaderPatronymic },
};

// The editor's own check lists the gaps it would refuse to save, one " - " line each;
// every line becomes one problem.
void AddCompletenessProblems(const LentarDocument &doc, CheckProblems &problems)
{
    const QStringList lines = CheckCompleteness(doc).split(u'\n', Qt::SkipEmptyParts);
    for (QString line : lines) {
        if (line.startsWith(u" - "_s))
            line.remove(0, 3);
        const auto known = std::find_if(std::begin(kGapCodes), std::end(kGapCodes),
            [&line](const GapCode &gap) { return line == QStringView(gap.line); });
        const char *code = known != std::end(kGapCodes) ? known->code : CheckCode::Incomplete;
        problems.append(CheckProblem { QString::fromLatin1(code),
            u"не заполнено то, без чего лентар не сохранить: "_s + AsRemark(line) });
    }
}

bool Reported(const CheckProblems &problems, QLatin1StringView code)
{
    return std::any_of(problems.begin(), problems.end(),
        [code](const CheckProblem &problem) { return problem.code == code; });
}

void AddPictureProblems(const LentarReadResult &read, CheckProblems &problems)
{
    if (!read.doc.picture.present)
        return;
    // A damaged text usually damages the picture it stands for: the text's own
    // problem names the cause, and a second remark would only repeat it.
    const bool textDamaged
        = Reported(problems, ReadCode::BadBase64) || Reported(problems, ReadCode::BadPictureSource);
    const JpegInspection jpeg = InspectJpeg(read.pictureJpeg);
    if (jpeg.ok || (textDamaged && !jpeg.tooLarge))
        return;
    problems.append(CheckProblem {
        QString::fromLatin1(jpeg.tooLarge ? CheckCode::PictureTooLarge : CheckCode::BadJpeg),
        u"картинка: "_s + jpeg.reason });
}

WorkFacts FactsOf(const LentarDocument &doc)
{
    WorkFacts facts;
    facts.title = doc.title;
    for (const Participant &author : doc.authors)
        facts.authorIds.append(author.id);
    for (const QList<Participant> *list : { &doc.authors, &doc.leaders }) {
        for (const Participant &person : *list)
            facts.people.append({ person.id, person.surname, person.name, person.patronymic });
    }
    return facts;
}

} // namespace

FileCheck CheckReadLentar(const LentarReadResult &read)
{
    FileCheck check;
    if (read.refusal) {
        const ReadFinding &refusal = *read.refusal;
        if (refusal.code == ReadCode::ReadError || refusal.code == ReadCode::NotAFile)
            check.unreadable = refusal.message;
        else
            check.problems.append(CheckProblem { refusal.code, AsRemark(refusal.message) });
        return check;
    }
    for (const ReadFinding &finding : read.findings) {
        // The width and height attributes only repeat what the JPEG says; the picture
        // is judged from the JPEG itself below.
        if (finding.code == ReadCode::BadPictureSize)
            continue;
        check.problems.append(CheckProblem { finding.code, AsRemark(finding.message) });
    }
    AddCompletenessProblems(read.doc, check.problems);
    AddPictureProblems(read, check.problems);
    check.facts = FactsOf(read.doc);
    return check;
}

LentarReadResult ReadLentarForCheck(const QString &path)
{
    // The reader's own file reading sets aside room for the largest lentar it takes on
    // every call, which costs more than the parse for a file of some tens of
    // kilobytes. Here the size is known, so a buffer of that size does; whatever does
    // not go smoothly (no regular file, too large, not readable) is left to the reader,
    // which refuses it in its own words.
    const QFileInfo info(path);
    if (info.isFile() && info.size() <= kMaxLentarFileBytes) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            // One byte more than the size, so a file that grew since is seen to have.
            const QByteArray bytes = file.read(info.size() + 1);
            if (file.error() == QFileDevice::NoError)
                return ReadLentarBytes(bytes, PictureBase64::Omitted);
        }
    }
    return ReadLentarFile(path);
}

FileCheck CheckLentarFile(const QString &path)
{
    return CheckReadLentar(ReadLentarForCheck(path));
}
