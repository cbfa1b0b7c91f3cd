#include "check/check_run.h"
#include "check/file_walk.h"
#include "check/progress_bar.h"
#include "check/report.h"
#include "check/work_book.h"
#include "check/works_list.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/scratch_file.h"

#include "lentar_version.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

#include <malloc.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kAllPassed = 0;
constexpr int kProblemsFound = 1;
constexpr int kCannotRun = 2;

const char16_t kHelp[]
    = uR"(Использование: lentar-check [--csv] [--works ФАЙЛ] [--book ФАЙЛ] ПУТЬ...
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
  --works ФАЙЛ записать список работ: по строке на каждый прочитанный лентар
               (с замечаниями тоже) в порядке путей; ФАЙЛ *.xlsx — книга Excel,
               *.csv — таблица CSV (UTF-8 с BOM, через запятую)
  --book ФАЙЛ  записать книгу работ по разделам для жюри и гостей; ФАЙЛ *.html —
               одна страница с картинками внутри, *.pdf — PDF формата A4; в книге
               нет идентификаторов, адресов, телефонов, почты и комментариев,
               работа, присланная дважды, стоит один раз (по последнему сохранению)
  -h, --help   показать эту справку
  --version    показать версию программы
  --           дальше только пути

Код завершения: 0 — замечаний нет, 1 — есть замечания, 2 — путь не удалось
прочитать, ФАЙЛ не удалось записать или параметры указаны неверно. Отчёт и
код завершения с --works и --book те же, что без них.
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
    QString works; // the list's file, empty when not asked for
    QString book;
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
    const QCommandLineOption works(u"works"_s, QString(), u"ФАЙЛ"_s);
    const QCommandLineOption book(u"book"_s, QString(), u"ФАЙЛ"_s);
    parser.addOptions({ csv, help, version, works, book });

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString &name = unknown.first();
            return Failure(
                u"неизвестный параметр «%1»"_s.arg((name.size() == 1 ? u"-"_s : u"--"_s) + name));
        }
        if (arguments.size() > 1
            && (arguments.last() == u"--works"_s || arguments.last() == u"--book"_s))
            return Failure(u"после «%1» не указан файл"_s.arg(arguments.last()));
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
        line.works = parser.value(works);
        line.book = parser.value(book);
        if (!line.works.isEmpty() && !line.works.endsWith(u".xlsx"_s, Qt::CaseInsensitive)
            && !line.works.endsWith(u".csv"_s, Qt::CaseInsensitive))
            return Failure(
                u"«%1»: список работ записывается в файл .xlsx или .csv"_s.arg(line.works));
        if (!line.book.isEmpty() && !line.book.endsWith(u".html"_s, Qt::CaseInsensitive)
            && !line.book.endsWith(u".pdf"_s, Qt::CaseInsensitive))
            return Failure(
                u"«%1»: книга работ записывается в файл .html или .pdf"_s.arg(line.book));
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

// The list and the book of works: their files, staged before the check so that one
// that cannot be written is told at once, and the records the check keeps for them.
class WorksOutput
{
public:
    explicit WorksOutput(const CommandLine &line)
    {
        if (line.works.isEmpty() && line.book.isEmpty())
            return;
        tempFolder_ = WritableTempFolder({ QDir::tempPath() });
        if (!line.works.isEmpty()) {
            list_ = std::make_unique<AtomicFile>(line.works, Durability::Durable);
            list_->append({});
        }
        if (!line.book.isEmpty()) {
            book_ = std::make_unique<AtomicFile>(line.book, Durability::Durable);
            book_->append({});
            pictures_ = std::make_unique<ScratchFile>(tempFolder_);
        }
    }

    bool wanted() const { return list_ || book_; }

    void keep(const CheckedFile &file)
    {
        std::optional<WorkRecord> work
            = MakeWorkRecord(file.file.shown, file.read, file.check.problems, pictures_.get());
        if (!work)
            return;
        works_.push_back(std::move(*work));
        indices_.push_back(file.index);
    }

    // Writes the files once the clashes between files are known; throws LentarError.
    void write(const CheckRunResult &run)
    {
        for (std::size_t k = 0; k < works_.size(); ++k)
            works_[k].problems = run.problems[std::size_t(indices_[k])].size();
        std::stable_sort(works_.begin(), works_.end(), ByPath);
        if (pictures_ && !pictures_->failure().isEmpty())
            throw LentarError(pictures_->failure().toStdString());
        if (list_) {
            if (list_->path().endsWith(u".csv"_s, Qt::CaseInsensitive))
                WriteWorksCsv(*list_, works_);
            else
                WriteWorksXlsx(*list_, works_, tempFolder_);
            Written(u"список работ записан"_s, *list_);
        }
        if (book_) {
            // The book of a large folder takes a while: it has a progress bar of its own.
            ProgressBar bar(stderr);
            const BookInput input { works_, pictures_.get(), QDateTime::currentDateTime(),
                [&bar](qsizetype done, qsizetype total) { bar.update(done, total); } };
            try {
                if (book_->path().endsWith(u".pdf"_s, Qt::CaseInsensitive)) {
                    // The PDF writer takes two blocks of 16 MiB for every page it
                    // compresses: kept by the allocator between pages rather than
                    // mapped, faulted in and unmapped again each time.
                    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
                    mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
                    WriteBookPdf(*book_, input);
                } else {
                    WriteBookHtml(*book_, input);
                }
            } catch (...) {
                bar.finish(); // the message starts on a clean line
                throw;
            }
            bar.finish();
            Written(u"книга работ записана"_s, *book_);
        }
    }

private:
    static void Written(const QString &what, const AtomicFile &file)
    {
        Write(stderr,
            u"lentar-check: %1 в «%2»\n"_s.arg(what, QDir::toNativeSeparators(file.path())));
    }

    QString tempFolder_;
    std::unique_ptr<AtomicFile> list_;
    std::unique_ptr<AtomicFile> book_;
    std::unique_ptr<ScratchFile> pictures_;
    std::vector<WorkRecord> works_;
    std::vector<qsizetype> indices_;
};

// A file that could not be written is named as every path is, "«path»: reason".
void WriteError(const LentarError &error)
{
    const auto *file = dynamic_cast<const FileError *>(&error);
    const QString text = file ? u"не удалось записать «%1»: %2"_s.arg(
                             QDir::toNativeSeparators(file->path()), file->reason())
                              : AsRemark(QString::fromStdString(error.what()));
    Write(stderr, u"lentar-check: "_s + text + u'\n');
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
            u"lentar-check (проверка лентаров) %1\n"_s.arg(QLatin1StringView(kLentarVersion)));
        return kAllPassed;
    case CommandLine::Action::Check:
        break;
    }

    // The PDF's text is laid out with the fonts QtGui finds. No window is ever shown,
    // so no display is needed, and Qt's notes about the desktop it runs without are no
    // business of the organisers'.
    std::optional<QGuiApplication> gui;
    if (line.book.endsWith(u".pdf"_s, Qt::CaseInsensitive)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type == QtCriticalMsg || type == QtFatalMsg)
                Write(stderr, u"lentar-check: "_s + text + u'\n');
        });
        gui.emplace(argc, argv);
    }
    std::optional<WorksOutput> output;
    try {
        output.emplace(line);
    } catch (const LentarError &error) {
        WriteError(error);
        return kCannotRun;
    }

    const WalkResult walk = CollectLentarFiles(line.paths);

    ProgressBar bar(stderr);
    CheckRunOptions options;
    options.progress = [&bar](qsizetype done, qsizetype total) { bar.update(done, total); };
    if (output->wanted())
        options.fileChecked = [&output](const CheckedFile &file) { output->keep(file); };
    const CheckRunResult run = RunCheck(walk.files, options);
    bar.finish();

    QStringList errors = walk.errors;
    errors.append(run.unreadable);
    for (const QString &error : errors)
        Write(stderr, u"lentar-check: "_s + error + u'\n');

    Write(stdout, Report(walk.files, run, line.csv));
    std::fflush(stdout);
    try {
        output->write(run);
    } catch (const LentarError &error) {
        WriteError(error);
        return kCannotRun;
    }

    if (!errors.isEmpty())
        return kCannotRun;
    const bool problems = std::any_of(run.problems.begin(), run.problems.end(),
        [](const CheckProblems &file) { return !file.isEmpty(); });
    return problems ? kProblemsFound : kAllPassed;
}
