// lentar-check's list and book of works, read back as the organisers' programs would:
// the CSV by an RFC 4180 reader, the workbook's XML out of its zip, the HTML as text,
// the PDF through pdftotext.

#include "check_corpus.h"
#include "tool_run.h"

#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kStored = 1290000000;

QByteArray Saved(const LentarDocument &doc, qint64 stored = kStored)
{
    return LentarFileBytes(SerializeLentar(BuildLentarXml(doc, stored)));
}

QByteArray Output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
}

// Whether every object the PDF's cross-reference table lists starts where it says.
bool CrossReferencesHold(const QByteArray &pdf)
{
    const qsizetype start = pdf.lastIndexOf("startxref\n");
    const qsizetype table = pdf.mid(start + 10).split('\n').value(0).toLongLong();
    const QList<QByteArray> head = pdf.mid(table, 40).split('\n');
    if (start < 0 || head.size() < 3 || head[0] != "xref")
        return false;
    const int count = head[1].split(' ').value(1).toInt();
    const qsizetype entries = table + head[0].size() + head[1].size() + 2;
    for (int object = 1; object < count; ++object) {
        const QByteArray entry = pdf.mid(entries + 20 * object, 20);
        if (entry.endsWith(" n \n")
            && !pdf.mid(entry.left(10).toLongLong())
                    .startsWith(QByteArray::number(object) + " 0 obj\n"))
            return false;
    }
    return count > 10;
}

struct Cell
{
    QString type; // the t attribute: "inlineStr", or empty for a number
    QString style;
    QString value;
    bool formula = false;
};

// The cells of a worksheet by reference ("B3").
QHash<QString, Cell> SheetCells(const QByteArray &xml)
{
    QHash<QString, Cell> cells;
    QXmlStreamReader reader(xml);
    QString ref;
    while (reader.readNextStartElement() || !reader.atEnd()) {
        if (!reader.isStartElement())
            continue;
        const auto name = reader.name();
        if (name == "c"_L1) {
            ref = reader.attributes().value("r"_L1).toString();
            cells[ref] = { reader.attributes().value("t"_L1).toString(),
                reader.attributes().value("s"_L1).toString(), {} };
        } else if (name == "v"_L1 || name == "t"_L1) {
            cells[ref].value = reader.readElementText();
        } else if (name == "f"_L1) {
            cells[ref].formula = true;
        }
    }
    return cells;
}

} // namespace

class WorksOutputTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        const QString in = dir_.path() + u"/in/"_s;
        QVERIFY(QDir().mkpath(in + u"nested/deeper"_s));
        LentarDocument tree = CompleteLentar(1);
        tree.title = u"Ёлка"_s;
        tree.notes = u"Заметка для жюри"_s;
        tree.description = u"Старое\r\nописание"_s;
        tree.publicPhone = u"+7 900 000-00-00"_s;
        LentarDocument again = tree; // the same work, sent again later
        again.description = u"Новое описание"_s;
        LentarDocument formula = CompleteLentar(2);
        formula.title = u"=1+1"_s;
        formula.picture = {};
        formula.subjectSlots = { 2, 0, 0, 0, 0 };
        LentarDocument damaged = CompleteLentar(3);
        damaged.title = u"Ель <b>"_s;
        damaged.subjectSlots = { 24, 2, 0, 0, 0 };
        damaged.picture.base64 = PictureBase64(CorpusJpeg().left(CorpusJpeg().size() * 2 / 3));
        LentarDocument house = CompleteLentar(4);
        house.title = u"Дом"_s;
        house.subjectSlots = { 2, 0, 0, 0, 0 };
        QVERIFY(WriteFile(in + u"a.lnr.xml"_s, Saved(tree)));
        QVERIFY(WriteFile(in + u"b.lnr.xml"_s, Saved(again, kStored + 600)));
        QVERIFY(WriteFile(in + u"c.lnr.xml"_s, Saved(formula)));
        QVERIFY(WriteFile(in + u"nested/deeper/d.lnr.xml"_s, Saved(damaged)));
        QVERIFY(WriteFile(in + u"e.lnr.xml"_s, Saved(house)));
        QVERIFY(WriteFile(in + u"junk.lnr.xml"_s, "not a lentar"));
        tree_ = tree;

        // The nested folder named first: its file still comes last in path order.
        arguments_ = { u"in/nested"_s, u"in"_s };
        plain_ = RunTool(arguments_, dir_.path());
        QCOMPARE(plain_.exitCode, 1);
        for (const QString &file :
            { u"list.csv"_s, u"list.xlsx"_s, u"book.html"_s, u"book.pdf"_s }) {
            const QString option = file.startsWith(u"list"_s) ? u"--works"_s : u"--book"_s;
            const Run run = RunTool(QStringList { option, file } + arguments_, dir_.path());
            QCOMPARE(run.exitCode, plain_.exitCode);
            QCOMPARE(run.out, plain_.out); // the report is the same, byte for byte
            QVERIFY2(run.err.endsWith(u"«"_s + file + u"»\n"_s), qPrintable(run.err));
        }
    }

    void csvList()
    {
        const QByteArray bytes = ReadFile(dir_.path() + u"/list.csv"_s);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> rows = ParseCsv(QString::fromUtf8(bytes.mid(3)));
        QCOMPARE(rows.size(), 6); // the header and one row a readable file
        QCOMPARE(rows[0],
            QStringList({ u"Файл"_s, u"Название"_s, u"Разделы"_s, u"Авторы"_s, u"Руководители"_s,
                u"Счёт направлять"_s, u"Индекс"_s, u"Адрес"_s, u"Телефон"_s, u"Эл. почта"_s,
                u"Описание"_s, u"Технические требования"_s, u"Порядок знакомства"_s, u"Картинка"_s,
                u"Подпись к картинке"_s, u"Комментарии"_s, u"Сохранён"_s, u"Замечания"_s }));
        QStringList files;
        for (const QStringList &row : rows.mid(1))
            files.append(row[0]);
        QCOMPARE(files,
            QStringList({ u"in/a.lnr.xml"_s, u"in/b.lnr.xml"_s, u"in/c.lnr.xml"_s,
                u"in/e.lnr.xml"_s, u"in/nested/deeper/d.lnr.xml"_s }));
        const QStringList &a = rows[1];
        QCOMPARE(a[2], u"Биология; Литературное творчество"_s);
        QCOMPARE(a[3],
            u"Иванов Иван Иванович (%1); Петрова Мария Сергеевна (%2)"_s.arg(
                tree_.authors[0].id, tree_.authors[1].id));
        QCOMPARE(a[5], u"Кузнецова Анна Павловна"_s);
        QCOMPARE(a[10], u"Старое\nописание"_s); // one line feed a line break
        QCOMPARE(a[16],
            QDateTime::fromSecsSinceEpoch(kStored).toLocalTime().toString(u"dd.MM.yyyy HH:mm"_s));
        QCOMPARE(a[17], u"1"_s); // the same work as b
        QCOMPARE(rows[3][1], u"'=1+1"_s);
        QStringList pictures;
        QStringList problems;
        for (const QStringList &row : rows.mid(1)) {
            pictures.append(row[13]);
            problems.append(row[17]);
        }
        QCOMPARE(pictures, QStringList({ u"да"_s, u"да"_s, u"нет"_s, u"да"_s, u"повреждена"_s }));
        QCOMPARE(problems, QStringList({ u"1"_s, u"1"_s, u"0"_s, u"0"_s, u"1"_s }));
    }

    void workbook()
    {
        const QString path = dir_.path() + u"/list.xlsx"_s;
        const QByteArray sheet
            = Output(u"unzip"_s, { u"-p"_s, path, u"xl/worksheets/sheet1.xml"_s });
        QVERIFY(Output(u"unzip"_s, { u"-p"_s, path, u"xl/workbook.xml"_s })
                    .contains(R"(<sheet name="Работы")"));
        QVERIFY(sheet.contains(R"(ySplit="1")") && sheet.contains(R"(state="frozen")"));
        QVERIFY(sheet.contains(R"(<autoFilter ref="A1:R6")"));
        const QByteArray styles = Output(u"unzip"_s, { u"-p"_s, path, u"xl/styles.xml"_s });
        QVERIFY(styles.contains("<b/>"));
        QVERIFY(styles.contains(R"(formatCode="dd.mm.yyyy hh:mm")"));

        const QHash<QString, Cell> cells = SheetCells(sheet);
        QCOMPARE(cells[u"A1"_s].value, u"Файл"_s);
        QCOMPARE(cells[u"R1"_s].value, u"Замечания"_s);
        QVERIFY(!cells.contains(u"A7"_s));
        QCOMPARE(cells[u"A6"_s].value, u"in/nested/deeper/d.lnr.xml"_s);
        QCOMPARE(cells[u"B4"_s].type, u"inlineStr"_s); // a string, never a formula
        QCOMPARE(cells[u"B4"_s].value, u"=1+1"_s);
        QVERIFY(std::none_of(cells.begin(), cells.end(), [](const Cell &c) { return c.formula; }));
        QCOMPARE(cells[u"K2"_s].value, u"Старое\nописание"_s);
        QCOMPARE(cells[u"N4"_s].value, u"нет"_s);
        QCOMPARE(cells[u"R6"_s].type, QString()); // a number
        QCOMPARE(cells[u"R6"_s].value, u"1"_s);
        // The save time as a day number from 1899-12-30, to the minute, in local time.
        const QDateTime local = QDateTime::fromSecsSinceEpoch(kStored).toLocalTime();
        const double days = QDate(1899, 12, 30).daysTo(local.date())
            + (local.time().hour() * 60 + local.time().minute()) / 1440.0;
        QCOMPARE(cells[u"Q2"_s].type, QString());
        QVERIFY(qAbs(cells[u"Q2"_s].value.toDouble() - days) < 1e-6);
        QVERIFY(cells[u"Q2"_s].style != cells[u"R2"_s].style);
    }

    void htmlBook()
    {
        const QString html = QString::fromUtf8(ReadFile(dir_.path() + u"/book.html"_s));
        QVERIFY(html.contains(u"<meta charset=\"utf-8\">"_s));
        QVERIFY(!html.contains(u"<script"_s, Qt::CaseInsensitive));
        QVERIFY(!html.contains(u"http"_s)); // nothing outside the file
        // The sound pictures as their own bytes: the later of a and b in its two sections,
        // e's in its one; neither c's absent one nor d's damaged one.
        const QString picture
            = u"data:image/jpeg;base64,"_s + QString::fromLatin1(CorpusJpeg().toBase64());
        QCOMPARE(html.count(u"<img src=\"data:"_s), 3);
        QCOMPARE(html.count(picture), 3);
        QVERIFY(html.contains(u"Всего работ: 4"_s)); // the work sent twice counted once
        QVERIFY(html.contains(u"<a href=\"#subject-2\">Биология</a> — 4"_s));
        QVERIFY(!html.contains(u"subject-1\""_s)); // no section and no line without works
        // The public book: no identifiers, phones, e-mails or notes.
        for (const QString &secret :
            { tree_.authors[0].id, tree_.publicPhone, tree_.publicEmail, tree_.notes })
            QVERIFY2(!html.contains(secret), qPrintable(secret));
        QVERIFY(html.contains(u"Новое описание"_s)); // the later of the two
        QVERIFY(!html.contains(u"Старое"_s));
        QVERIFY(html.contains(u"<p>Первая строка<br>вторая строка</p>"_s));

        const qsizetype biology = html.indexOf(u"<section class=\"subject\" id=\"subject-2\">"_s);
        const qsizetype literature = html.indexOf(u"id=\"subject-19\""_s);
        const qsizetype project = html.indexOf(u"id=\"subject-24\""_s);
        QVERIFY(biology > 0 && biology < literature && literature < project);
        QStringList titles;
        for (const QString &title :
            { u"<h3>=1+1"_s, u"<h3>Дом"_s, u"<h3>Ёлка"_s, u"<h3>Ель &lt;b&gt;"_s })
            titles.append(QString::number(html.indexOf(title, biology)));
        QStringList sorted = titles;
        std::sort(sorted.begin(), sorted.end(),
            [](const QString &a, const QString &b) { return a.toInt() < b.toInt(); });
        QCOMPARE(titles, sorted); // Russian order: Ё with Е
        QVERIFY(
            html.indexOf(u"Также в разделах: Конкурс «Учебный проект»"_s, biology) < literature);
    }

    void pdfBook()
    {
        const QString path = dir_.path() + u"/book.pdf"_s;
        const QString text
            = QString::fromUtf8(Output(u"pdftotext"_s, { u"-layout"_s, path, u"-"_s }));
        QStringList pages = text.split(u'\f');
        pages.removeLast(); // after the last page's form feed
        QCOMPARE(QString::fromUtf8(Output(u"pdfinfo"_s, { path }))
                     .section(u"Pages:"_s, 1)
                     .trimmed()
                     .section(u'\n', 0, 0)
                     .toInt(),
            pages.size());
        QVERIFY(pages[0].contains(u"Работы участников"_s));
        QVERIFY(pages[1].contains(u"Содержание"_s));
        // Each section starts a page of its own; pages after the title are numbered.
        for (const QString &section :
            { u"Биология"_s, u"Литературное творчество"_s, u"Конкурс «Учебный проект»"_s })
            QVERIFY2(std::any_of(pages.begin() + 2, pages.end(),
                         [&](const QString &page) { return page.trimmed().startsWith(section); }),
                qPrintable(section));
        for (qsizetype p = 1; p < pages.size(); ++p)
            QVERIFY(pages[p].trimmed().endsWith(QString::number(p + 1)));
        QVERIFY(text.contains(u"Ель <b>"_s));
        QVERIFY(!text.contains(tree_.authors[0].id) && !text.contains(tree_.notes));
        QVERIFY(Output(u"pdffonts"_s, { path }).contains("DejaVu"));
        // Each picture is embedded once: "Ёлка" shows its picture in two sections.
        const QStringList images = QString::fromUtf8(Output(u"pdfimages"_s, { u"-list"_s, path }))
                                       .split(u'\n', Qt::SkipEmptyParts)
                                       .mid(2); // below the heading
        QSet<QString> objects;
        for (const QString &image : images)
            objects.insert(image.simplified().section(u' ', 10, 10));
        QCOMPARE(images.size(), 3);
        QCOMPARE(objects.size(), 2);
        // The pictures are the lentars' own JPEG bytes, not encoded again.
        const QByteArray pdf = ReadFile(path);
        QCOMPARE(pdf.count("/Filter /DCTDecode\n>>\nstream\n" + CorpusJpeg() + "\nendstream"), 2);
        QVERIFY(CrossReferencesHold(pdf));
    }

    // A picture the lentar stores turned (an Exif orientation) stands upright in the
    // book; a grey one goes in as it is, grey.
    void pdfPictureKinds()
    {
        QTemporaryDir dir;
        LentarDocument turned = CompleteLentar(40);
        turned.title = u"А"_s;
        turned.picture.base64 = PictureBase64(WithApp1(CorpusJpeg(), ExifBlock(6, false)));
        turned.picture.width = 90;
        turned.picture.height = 120;
        turned.subjectSlots = { 2, 0, 0, 0, 0 };
        FixtureOptions progressive;
        progressive.colour = FixtureColour::Grey;
        progressive.progressive = true;
        const QByteArray grey = EncodeFixture(NoiseSamples(64, 48, 1, 3), 64, 48, progressive);
        LentarDocument greyWork = turned;
        greyWork.title = u"Б"_s;
        greyWork.picture.base64 = PictureBase64(grey);
        greyWork.picture.width = 64;
        greyWork.picture.height = 48;
        QVERIFY(WriteFile(dir.filePath(u"turned.lnr.xml"_s), Saved(turned)));
        QVERIFY(WriteFile(dir.filePath(u"grey.lnr.xml"_s), Saved(greyWork)));
        QCOMPARE(RunTool({ u"--book"_s, u"book.pdf"_s, u"."_s }, dir.path()).exitCode, 0);
        const QString path = dir.filePath(u"book.pdf"_s);
        const QStringList images = QString::fromUtf8(Output(u"pdfimages"_s, { u"-list"_s, path }))
                                       .split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(images.size(), 4);
        QCOMPARE(images[2].simplified().section(u' ', 3, 5), u"90 120 rgb"_s);
        QCOMPARE(images[3].simplified().section(u' ', 3, 5), u"64 48 gray"_s);
        QVERIFY(ReadFile(path).contains("/ColorSpace /DeviceGray\n/Length"));
        QVERIFY(ReadFile(path).contains(grey));
        QVERIFY(CrossReferencesHold(ReadFile(path)));
    }

    // A work is moved to the next page rather than split, unless it is longer than a
    // page: that one starts right under its section's heading.
    void pdfKeepsWorksWhole()
    {
        QTemporaryDir dir;
        for (int n = 0; n < 8; ++n) {
            LentarDocument doc = CompleteLentar(10 + n);
            doc.title = u"Работа %1"_s.arg(n);
            doc.description = u"строка\r\n"_s.repeated(20);
            doc.manual = u"Конец работы %1"_s.arg(n);
            doc.subjectSlots = { 2, 0, 0, 0, 0 };
            QVERIFY(WriteFile(dir.filePath(u"%1.lnr.xml"_s.arg(n)), Saved(doc)));
        }
        LentarDocument tall = CompleteLentar(30);
        tall.title = u"Длинная работа"_s;
        tall.description = u"с\r\n"_s.repeated(160);
        tall.subjectSlots = { 3, 0, 0, 0, 0 };
        tall.picture.caption = u"Под длинной работой"_s;
        QVERIFY(WriteFile(dir.filePath(u"tall.lnr.xml"_s), Saved(tall)));
        QCOMPARE(RunTool({ u"--book"_s, u"book.pdf"_s, u"."_s }, dir.path()).exitCode, 0);
        const QStringList pages
            = QString::fromUtf8(Output(u"pdftotext"_s, { dir.filePath(u"book.pdf"_s), u"-"_s }))
                  .split(u'\f');
        const auto pageOf = [&pages](const QString &text) { // after the contents
            return std::find_if(pages.begin() + 2, pages.end(), [&text](const QString &page) {
                return page.contains(text);
            }) - pages.begin();
        };
        QVERIFY(pageOf(u"Конец работы 7"_s) > pageOf(u"Работа 0"_s) + 1); // the section ran on
        for (int n = 0; n < 8; ++n)
            QCOMPARE(pageOf(u"Конец работы %1"_s.arg(n)), pageOf(u"Работа %1\n"_s.arg(n)));
        QCOMPARE(pageOf(u"Длинная работа"_s), pageOf(u"География"_s));
        QVERIFY(pageOf(u"Под длинной работой"_s) > pageOf(u"Длинная работа"_s));
    }

    void pdfWithoutDisplay()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
        environment.remove(u"DISPLAY"_s);
        const Run run = RunTool(
            { u"--book"_s, u"nodisplay.pdf"_s, u"in/c.lnr.xml"_s }, dir_.path(), environment);
        QCOMPARE(run.exitCode, 0);
        QVERIFY(ReadFile(dir_.path() + u"/nodisplay.pdf"_s).startsWith("%PDF"));
    }

    void fileNotWritable_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no such folder") << QStringList {
            u"--works"_s, u"nowhere/list.csv"_s
        } << u"lentar-check: не удалось записать «nowhere/list.csv»: нет такого файла или папки\n"_s;
        QTest::newRow("a folder") << QStringList {
            u"--book"_s, u"folder.pdf"_s
        } << u"lentar-check: не удалось записать «folder.pdf»: под этим именем находится папка\n"_s;
        QTest::newRow("another kind") << QStringList { u"--works"_s,
            u"list.ods"_s } << u"«list.ods»: список работ записывается в файл .xlsx или .csv"_s;
    }

    void fileNotWritable()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QVERIFY(QDir().mkpath(dir.path() + u"/folder.pdf"_s));
        QVERIFY(WriteFile(dir.path() + u"/a.lnr.xml"_s, Saved(tree_)));
        const Run run = RunTool(arguments + QStringList { u"a.lnr.xml"_s }, dir.path());
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(Entries(dir.path()), QStringList({ u"a.lnr.xml"_s, u"folder.pdf"_s }));
        QCOMPARE(Entries(dir.path() + u"/folder.pdf"_s), QStringList());
    }

private:
    QTemporaryDir dir_;
    LentarDocument tree_;
    QStringList arguments_;
    Run plain_;
};

QTEST_GUILESS_MAIN(WorksOutputTest)
#include "works_output_test.moc"
