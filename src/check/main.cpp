#include "check/check_run.h"
#include "check/file_walk.h"
#include "check/progress_bar.h"
#include "check/report.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <algorithm>
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
  --csv        вместо отчёта вывести таблицу CSV (UTF-8, RFC 4180): строка
               заголовка, затем по строке на замечание: файл, код, сообщение
  -h, --help   показать эту справку
  --version    показать версию программы
  --           дальше только пути

Код завершения: 0 — замечаний нет, 1 — есть замечания, 2 — путь не удалось
прочитать или параметры указаны неверно.
)";

void Write(std::FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

struct CommandLine
{
    enum class Action { Check, PrintHelp, PrintVersion, Fail };
    Action action = Action::Check;
    QString error; // Russian, for Fail
    bool csv = false;
    QStringList paths;
};

CommandLine Failure(const QString &error)
{
    CommandLine line;
    line.action = CommandLine::Action::Fail;
    line.error = error;
    return line;
}

// arguments as main gets them, the program's name first.
CommandLine ParseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    const QCommandLineOption csv(u"csv"_s);
    const QCommandLineOption help(QStringList { u"h"_s, u"help"_s });
    const QCommandLineOption version(u"version"_s);
    parser.addOptions({ csv, help, version });

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString &name = unknown.first();
            return Failure(
                u"неизвестный параметр «%1»"_s.arg((name.size() == 1 ? u"-"_s : u"--"_s) + name));
        }
        // The only other fault: a value given to an option that takes none.
        const auto given
            = std::find_if(arguments.begin() + 1, arguments.end(), [](const QString &argument) {
                  return argument.startsWith(u'-') && argument.contains(u'=');
              });
        return Failure(u"параметр «%1» не принимает значения"_s.arg(
            given != arguments.end() ? given->section(u'=', 0, 0) : QString()));
    }
    CommandLine line;
    if (parser.isSet(help)) {
        line.action = CommandLine::Action::PrintHelp;
    } else if (parser.isSet(version)) {
        line.action = CommandLine::Action::PrintVersion;
    } else {
        line.csv = parser.isSet(csv);
        line.paths = parser.positionalArguments();
        if (line.paths.isEmpty())
            return Failure(u"не указано, что проверять"_s);
    }
    return line;
}

// The report for people, or the CSV table: each file's problems in the order of the
// files, then (for people) the summary.
QString Report(const std::vector<FoundFile> &files, const CheckRunResult &run, bool csv)
{
    QString out;
    if (csv)
        out += QLatin1StringView(kCsvHeader);
    qsizetype filesWithProblems = 0;
    qsizetype problemCount = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const CheckProblems &problems = run.problems[i];
        if (problems.isEmpty())
            continue;
        ++filesWithProblems;
        problemCount += problems.size();
        for (const CheckProblem &problem : problems)
            out += csv ? CsvRow(files[i].shown, problem) : ReportLine(files[i].shown, problem);
    }
    if (!csv) {
        out += SummaryLine(
            qsizetype(files.size()) - run.unreadable.size(), filesWithProblems, problemCount);
    }
    return out;
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

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = ParseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Action::Fail:
        Write(stderr, u"lentar-check: "_s + line.error + u"\nСправка: lentar-check --help\n"_s);
        return kCannotRun;
    case CommandLine::Action::PrintHelp:
        Write(stdout, QString::fromUtf16(kHelp));
        return kAllPassed;
    case CommandLine::Action::PrintVersion:
        Write(stdout,
            u"lentar-check (проверка лентаров) %1\n"_s.arg(QLatin1StringView(LENTAR_VERSION)));
        return kAllPassed;
    case CommandLine::Action::Check:
        break;
    }

    const WalkResult walk = CollectLentarFiles(line.paths);

    ProgressBar bar(stderr);
    CheckRunOptions options;
    options.progress = [&bar](qsizetype done, qsizetype total) { bar.update(done, total); };
    const CheckRunResult run = RunCheck(walk.files, options);
    bar.finish();

    QStringList errors = walk.errors;
    errors.append(run.unreadable);
    for (const QString &error : errors)
        Write(stderr, u"lentar-check: "_s + error + u'\n');

    Write(stdout, Report(walk.files, run, line.csv));
    std::fflush(stdout);

    if (!errors.isEmpty())
        return kCannotRun;
    const bool problems = std::any_of(run.problems.begin(), run.problems.end(),
        [](const CheckProblems &file) { return !file.isEmpty(); });
    return problems ? kProblemsFound : kAllPassed;
}
