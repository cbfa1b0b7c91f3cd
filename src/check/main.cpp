#include "check/check_run.h"
#include "check/file_walk.h"
#include "check/progress_bar.h"
#include "check/report.h"

#include <QString>
#include <QStringList>

#include <cstdio>

#include <malloc.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kAllPassed = 0;
constexpr int kProblemsFound = 1;
constexpr int kCannotRun = 2;

const char16_t kHelp[] = uR"(Использование: lentar-check [--csv] ПУТЬ...
Проверяет полученные лентары (*.lnr.xml) перед фестивалем.

ПУТЬ — файл или папка. В папках, включая вложенные, проверяются все файлы
*.lnr.xml, остальные пропускаются; файл, названный явно, проверяется всегда.

Замечанием отмечается файл, который:
  - не является правильным XML или не является лентаром (другой корневой
    элемент, сезон не 8, версия формата не 2.1);
  - содержит объявление DOCTYPE или сущностей (файл отклоняется, сущности не
    раскрываются, другие файлы не читаются);
  - больше 16 МиБ;
  - не заполнен так, как требует сохранение в редакторе;
  - содержит неверный идентификатор участника (не девять цифр или ошибка в
    контрольных цифрах), раздел не из списка разделов или повтор раздела;
  - содержит картинку, которая не является строгим base64, не декодируется как
    JPEG или больше 301 точки по стороне (по самому JPEG, не по атрибутам).
Сравнивая файлы между собой, отмечаются оба файла с одной работой (то же
название и тот же набор идентификаторов авторов) и все файлы, где один
идентификатор записан с разными фамилией, именем или отчеством.

Параметры:
  --csv     вместо отчёта вывести таблицу CSV (UTF-8, RFC 4180): строка
            заголовка, затем по строке на замечание: файл, код, сообщение
  --help    показать эту справку
  --        дальше только пути

Код завершения: 0 — замечаний нет, 1 — есть замечания, 2 — путь не удалось
прочитать или параметры указаны неверно.
)";

void Write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

int UsageError(const QString &message)
{
    Write(stderr, u"lentar-check: "_s + message + u"\nСправка: lentar-check --help\n"_s);
    return kCannotRun;
}

} // namespace

int main(int argc, char **argv)
{
    // Every file goes through the same allocations of some hundreds of kilobytes; by
    // default the allocator hands each worker's freed memory back to the system after
    // every file and faults it in again for the next. Keeping up to 16 MiB a worker
    // saves that, and blocks of 4 MiB and more (the rare large file) still go back at
    // once.
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 16 * 1024 * 1024);
    bool csv = false;
    bool optionsEnded = false;
    QStringList paths;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (!optionsEnded && argument.startsWith(u'-') && argument != u"-"_s) {
            if (argument == u"--"_s) {
                optionsEnded = true;
            } else if (argument == u"--csv"_s) {
                csv = true;
            } else if (argument == u"--help"_s || argument == u"-h"_s) {
                Write(stdout, QString::fromUtf16(kHelp));
                return kAllPassed;
            } else {
                return UsageError(u"неизвестный параметр «"_s + argument + u'»');
            }
            continue;
        }
        paths.append(argument);
    }
    if (paths.isEmpty())
        return UsageError(u"не указано, что проверять"_s);

    const WalkResult walk = CollectLentarFiles(paths);

    ProgressBar bar(stderr);
    CheckRunOptions options;
    options.progress = [&bar](qsizetype done, qsizetype total) { bar.update(done, total); };
    const CheckRunResult run = RunCheck(walk.files, options);
    bar.finish();

    QStringList errors = walk.errors;
    errors.append(run.unreadable);
    for (const QString &error : errors)
        Write(stderr, u"lentar-check: "_s + error + u'\n');

    QString out;
    if (csv)
        out += QLatin1StringView(kCsvHeader);
    qsizetype filesWithProblems = 0;
    qsizetype problemCount = 0;
    for (std::size_t i = 0; i < walk.files.size(); ++i) {
        const CheckProblems &problems = run.problems[i];
        if (problems.isEmpty())
            continue;
        ++filesWithProblems;
        problemCount += problems.size();
        for (const CheckProblem &problem : problems)
            out += csv ? CsvRow(walk.files[i].shown, problem)
                       : ReportLine(walk.files[i].shown, problem);
    }
    if (!csv) {
        out += SummaryLine(
            qsizetype(walk.files.size()) - run.unreadable.size(), filesWithProblems, problemCount);
    }
    Write(stdout, out);
    std::fflush(stdout);

    if (!errors.isEmpty())
        return kCannotRun;
    return problemCount > 0 ? kProblemsFound : kAllPassed;
}
