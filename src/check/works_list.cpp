#include "check/works_list.h"

#include "check/report.h"
#include "platform/files.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

enum Column {
    FileColumn,
    TitleColumn,
    SubjectsColumn,
    AuthorsColumn,
    LeadersColumn,
    InvoiceColumn,
    PostIndexColumn,
    AddressColumn,
    PhoneColumn,
    EmailColumn,
    DescriptionColumn,
    TechRequestColumn,
    ManualColumn,
    PictureColumn,
    CaptionColumn,
    NotesColumn,
    StoredColumn,
    ProblemsColumn,
    ColumnCount
};

// Widths in characters, for a list read on a screen.
constexpr double kColumnWidths[ColumnCount]
    = { 30, 40, 30, 45, 45, 30, 9, 40, 18, 25, 60, 40, 50, 11, 30, 40, 17, 11 };

constexpr qsizetype kFlushBytes = 256 * 1024;

// A cell holds one line feed where the user typed a line break.
QString CellText(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    return text;
}

QString PeopleCell(const QList<Participant> &people)
{
    QStringList cells;
    for (const Participant &person : people) {
        const QString id = person.id.trimmed();
        cells.append(PersonName(person) + (id.isEmpty() ? QString() : u" ("_s + id + u')'));
    }
    return cells.join(u"; "_s);
}

QString PictureCell(PictureState state)
{
    switch (state) {
    case PictureState::Sound:
        return u"да"_s;
    case PictureState::Damaged:
        return u"повреждена"_s;
    case PictureState::None:
        break;
    }
    return u"нет"_s;
}

// The time the file was saved, to the minute, in local time; nothing when unknown.
std::optional<QDateTime> StoredTime(const WorkRecord &work)
{
    if (work.stored <= 0)
        return std::nullopt;
    QDateTime time = QDateTime::fromSecsSinceEpoch(work.stored).toLocalTime();
    return time.addSecs(-time.time().second());
}

// A spreadsheet takes a cell starting with one of these for a formula.
QString CsvSafe(const QString &text)
{
    static const QString formulaStarts = u"=+-@\t\r"_s;
    if (!text.isEmpty() && formulaStarts.contains(text.front()))
        return u'\'' + text;
    return text;
}

void AppendCsvRow(QByteArray &out, const QStringList &cells)
{
    QStringList fields;
    for (const QString &cell : cells)
        fields.append(CsvField(CsvSafe(cell)));
    out += fields.join(u',').toUtf8() + "\r\n";
}

// libxlsxwriter objects, released with the workbook however the writing ends.
struct WorkbookDeleter
{
    void operator()(lxw_workbook *workbook) const { workbook_close(workbook); }
};

} // namespace

const QStringList &WorksListHeaders()
{
    static const QStringList headers = { u"Файл"_s, u"Название"_s, u"Разделы"_s, u"Авторы"_s,
        u"Руководители"_s, u"Счёт направлять"_s, u"Индекс"_s, u"Адрес"_s, u"Телефон"_s,
        u"Эл. почта"_s, u"Описание"_s, u"Технические требования"_s, u"Порядок знакомства"_s,
        u"Картинка"_s, u"Подпись к картинке"_s, u"Комментарии"_s, u"Сохранён"_s, u"Замечания"_s };
    return headers;
}

QStringList WorksRowTexts(const WorkRecord &work)
{
    const LentarDocument &doc = work.doc;
    const bool invoiceKnown = doc.invoiceLeader >= 0 && doc.invoiceLeader < doc.leaders.size();
    const std::optional<QDateTime> stored = StoredTime(work);
    QStringList cells = { work.file, doc.title, SubjectCaptions(doc).join(u"; "_s),
        PeopleCell(doc.authors), PeopleCell(doc.leaders),
        invoiceKnown ? PersonName(doc.leaders.at(doc.invoiceLeader)) : QString(),
        doc.publicPostIndex, doc.publicPostAddress, doc.publicPhone, doc.publicEmail,
        doc.description, doc.techRequest, doc.manual, PictureCell(work.picture),
        doc.picture.caption, doc.notes,
        stored ? stored->toString(u"dd.MM.yyyy HH:mm"_s) : QString(),
        QString::number(work.problems) };
    for (QString &cell : cells)
        cell = CellText(cell);
    return cells;
}

void WriteWorksCsv(AtomicFile &file, const std::vector<WorkRecord> &works)
{
    QByteArray out = "\xEF\xBB\xBF";
    AppendCsvRow(out, WorksListHeaders());
    for (const WorkRecord &work : works) {
        AppendCsvRow(out, WorksRowTexts(work));
        if (out.size() >= kFlushBytes) {
            file.append(out);
            out.clear();
        }
    }
    file.append(out);
    file.commit();
}

void WriteWorksXlsx(
    AtomicFile &file, const std::vector<WorkRecord> &works, const QString &tempFolder)
{
    const auto fail = [&file](const QString &reason) {
        file.discard();
        throw FileError(FileError::Action::Write, file.path(), reason);
    };
    // libxlsxwriter writes to a file name of its own; the finished workbook is then
    // copied through the one write path.
    QTemporaryDir folder(tempFolder + u"lentar-works-XXXXXX"_s);
    if (!folder.isValid())
        fail(u"не удалось создать временную папку в «%1»"_s.arg(tempFolder));
    const QByteArray built = QFile::encodeName(folder.filePath(u"works.xlsx"_s));
    QByteArray scratch = QFile::encodeName(folder.path());
    {
        lxw_workbook_options options {};
        // Rows go to the disk as they are written, so memory does not grow with them.
        options.constant_memory = LXW_TRUE;
        options.tmpdir = scratch.data();
        std::unique_ptr<lxw_workbook, WorkbookDeleter> workbook(
            workbook_new_opt(built.constData(), &options));
        if (!workbook)
            fail(SystemErrorText(ENOMEM));
        lxw_worksheet *sheet = workbook_add_worksheet(workbook.get(), "Работы");
        lxw_format *header = workbook_add_format(workbook.get());
        format_set_bold(header);
        format_set_align(header, LXW_ALIGN_VERTICAL_TOP);
        lxw_format *text = workbook_add_format(workbook.get());
        format_set_text_wrap(text);
        format_set_align(text, LXW_ALIGN_VERTICAL_TOP);
        lxw_format *number = workbook_add_format(workbook.get());
        format_set_align(number, LXW_ALIGN_VERTICAL_TOP);
        lxw_format *date = workbook_add_format(workbook.get());
        format_set_num_format(date, "dd.mm.yyyy hh:mm");
        format_set_align(date, LXW_ALIGN_VERTICAL_TOP);
        for (int c = 0; c < ColumnCount; ++c)
            worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), kColumnWidths[c], nullptr);

        lxw_error error = LXW_NO_ERROR;
        const auto keep = [&error](lxw_error result) {
            if (error == LXW_NO_ERROR)
                error = result;
        };
        for (int c = 0; c < ColumnCount; ++c)
            keep(worksheet_write_string(
                sheet, 0, lxw_col_t(c), WorksListHeaders().at(c).toUtf8().constData(), header));
        lxw_row_t row = 1;
        for (const WorkRecord &work : works) {
            const QStringList cells = WorksRowTexts(work);
            for (int c = 0; c < ColumnCount; ++c) {
                if (c == StoredColumn || c == ProblemsColumn || cells.at(c).isEmpty())
                    continue;
                // A string cell: a title "=1+1" stays those characters.
                keep(worksheet_write_string(
                    sheet, row, lxw_col_t(c), cells.at(c).toUtf8().constData(), text));
            }
            if (const std::optional<QDateTime> stored = StoredTime(work)) {
                lxw_datetime when { stored->date().year(), stored->date().month(),
                    stored->date().day(), stored->time().hour(), stored->time().minute(), 0 };
                keep(worksheet_write_datetime(sheet, row, StoredColumn, &when, date));
            }
            keep(worksheet_write_number(sheet, row, ProblemsColumn, double(work.problems), number));
            ++row;
        }
        worksheet_freeze_panes(sheet, 1, 0);
        keep(worksheet_autofilter(sheet, 0, 0, row - 1, ColumnCount - 1));
        if (error == LXW_NO_ERROR)
            error = workbook_close(workbook.release());
        if (error != LXW_NO_ERROR)
            fail(u"книгу не удалось составить (ошибка libxlsxwriter номер %1)"_s.arg(int(error)));
    }

    QFile source(QFile::decodeName(built));
    if (!source.open(QIODevice::ReadOnly))
        fail(u"книга не составлена"_s);
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kFlushBytes);
        if (source.error() != QFileDevice::NoError)
            fail(SystemErrorText(EIO));
        file.append(chunk);
    }
    file.commit();
}
