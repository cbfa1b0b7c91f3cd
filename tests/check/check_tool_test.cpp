// lentar-check as the organisers run it: the real program on folders of files, its
// exit status, its report and its CSV read back by an RFC 4180 reader.

#include "check/file_walk.h"
#include "check/progress_bar.h"
#include "check/report.h"
#include "fault_corpus.h"
#include "tool_run.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <map>
#include <set>

using namespace Qt::StringLiterals;

namespace {

// file -> its problem codes, from CSV output; checks the header and the columns.
std::map<QString, std::multiset<QString>> CodesFromCsv(const QString &csv)
{
    std::map<QString, std::multiset<QString>> codes;
    const QList<QStringList> rows = ParseCsv(csv);
    if (rows.isEmpty() || rows.first() != QStringList({ u"file"_s, u"code"_s, u"message"_s }))
        return { { u"<bad csv>"_s, {} } };
    for (qsizetype i = 1; i < rows.size(); ++i) {
        if (rows[i].size() != 3 || rows[i][2].isEmpty())
            return { { u"<bad row>"_s, {} } };
        codes[rows[i][0]].insert(rows[i][1]);
    }
    return codes;
}

bool WriteCorpus(const QString &folder, const std::vector<CorpusFile> &files)
{
    if (!QDir().mkpath(folder))
        return false;
    for (const CorpusFile &file : files) {
        if (!WriteFile(folder + u'/' + QString::fromLatin1(file.name) + u".lnr.xml"_s, file.bytes))
            return false;
    }
    return true;
}

} // namespace

class CheckToolTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        const QString root = dir_.path();
        QVERIFY(WriteCorpus(root + u"/good"_s, GoodVariations()));
        QVERIFY(WriteCorpus(root + u"/mixed"_s,
            { { "good", LentarBytes(CompleteLentar(300)), {} }, FaultyFiles().back() }));
        QVERIFY(QDir().mkpath(root + u"/empty"_s));
    }

    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::newRow("all good") << QStringList { u"good"_s } << 0;
        QTest::newRow("empty folder") << QStringList { u"empty"_s } << 0;
        QTest::newRow("a problem") << QStringList { u"good"_s, u"mixed"_s } << 1;
        QTest::newRow("a problem, as csv") << QStringList { u"--csv"_s, u"mixed"_s } << 1;
        QTest::newRow("missing path") << QStringList { u"good"_s, u"nowhere"_s } << 2;
        QTest::newRow("missing path and a problem")
            << QStringList { u"mixed"_s, u"nowhere"_s } << 2;
        QTest::newRow("unknown option") << QStringList { u"--fast"_s, u"good"_s } << 2;
        QTest::newRow("unknown short option") << QStringList { u"-x"_s, u"good"_s } << 2;
        QTest::newRow("no path") << QStringList {} << 2;
        QTest::newRow("options only") << QStringList { u"--csv"_s } << 2;
        QTest::newRow("value to a flag") << QStringList { u"--csv=1"_s, u"good"_s } << 2;
        QTest::newRow("help") << QStringList { u"--help"_s, u"nowhere"_s } << 0;
        QTest::newRow("version") << QStringList { u"--version"_s, u"nowhere"_s } << 0;
        QTest::newRow("paths after --") << QStringList { u"--"_s, u"good"_s } << 0;
        QTest::newRow("option-like path after --") << QStringList { u"--"_s, u"--csv"_s } << 2;
    }

    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        const Run run = RunTool(arguments, dir_.path());
        QCOMPARE(run.exitCode, status);
        // Whatever stops the run is said on stderr, in Russian; a clean run says nothing
        // there (stderr is no terminal here, so no progress bar either).
        QCOMPARE(run.err.isEmpty(), status != 2);
        if (status == 2)
            QVERIFY(run.err.startsWith(u"lentar-check: "_s));
    }

    void helpIsRussian()
    {
        const Run run = RunTool({ u"--help"_s }, dir_.path());
        QVERIFY(run.out.startsWith(u"Использование: lentar-check"_s));
        QVERIFY(run.out.contains(u"--csv"_s));
    }

    // Every fault of the corpus, through the walk, the pool and the CSV.
    void corpusThroughCsv()
    {
        const QString corpus = dir_.path() + u"/corpus"_s;
        std::vector<CorpusFile> faulty = FaultyFiles();
        QVERIFY(WriteCorpus(corpus + u"/received/late"_s, faulty));
        QVERIFY(WriteCorpus(corpus + u"/received"_s, GoodVariations()));
        QVERIFY(WriteFile(corpus + u"/received/letter.txt"_s, "not a lentar"));
        QVERIFY(WriteFile(corpus + u"/received/work.xml"_s, "not a lentar either"));
        QVERIFY(WriteFile(corpus + u"/received/picture.lnr.xml.jpg"_s, "no"));

        const Run run = RunTool({ u"--csv"_s, u"corpus"_s }, dir_.path());
        QCOMPARE(run.exitCode, 1);
        const auto codes = CodesFromCsv(run.out);
        std::map<QString, std::multiset<QString>> expected;
        for (const CorpusFile &file : faulty) {
            const QString name
                = u"corpus/received/late/"_s + QString::fromLatin1(file.name) + u".lnr.xml"_s;
            expected[name] = std::multiset<QString>(file.codes.begin(), file.codes.end());
        }
        QCOMPARE(codes, expected);
    }

    void csvQuotesNamesAndMessages()
    {
        const QString folder = dir_.path() + u"/quoting"_s;
        QVERIFY(QDir().mkpath(folder));
        const QStringList names { u"a, b.lnr.xml"_s, u"say \"hi\".lnr.xml"_s,
            u"two\nlines.lnr.xml"_s, u"plain.lnr.xml"_s };
        // The first three are one work, so each remark names the others.
        for (const QString &name : names.first(3))
            QVERIFY(WriteFile(folder + u'/' + name, LentarBytes(CompleteLentar(7))));
        QByteArray quoteInMessage = LentarBytes(CompleteLentar(8));
        quoteInMessage.replace("sb_id=\"19\"", "sb_id=\"1&#34;9\"");
        QVERIFY(WriteFile(folder + u"/plain.lnr.xml"_s, quoteInMessage));

        const Run run = RunTool({ u"--csv"_s, u"quoting"_s }, dir_.path());
        QCOMPARE(run.exitCode, 1);
        const QList<QStringList> rows = ParseCsv(run.out);
        QCOMPARE(rows.size(), 5);
        QStringList files;
        for (const QStringList &row : rows.mid(1)) {
            QCOMPARE(row.size(), 3);
            files.append(row[0]);
        }
        // Sorted by name: "plain" comes before "say".
        QCOMPARE(files,
            QStringList({ u"quoting/a, b.lnr.xml"_s, u"quoting/plain.lnr.xml"_s,
                u"quoting/say \"hi\".lnr.xml"_s, u"quoting/two\nlines.lnr.xml"_s }));
        QVERIFY(rows[1][2].contains(u"quoting/say \"hi\".lnr.xml, quoting/two\nlines.lnr.xml"_s));
        QCOMPARE(rows[2][1], u"unknown-subject"_s);
        QVERIFY(rows[2][2].contains(u"«1\"9»"_s));
    }

    void reportForPeople()
    {
        const Run run = RunTool({ u"good"_s, u"mixed"_s }, dir_.path());
        QCOMPARE(run.exitCode, 1);
        const QStringList lines = run.out.split(u'\n');
        QCOMPARE(lines.size(), 3); // one problem, the summary, and the end of the last line
        QVERIFY(lines[0].startsWith(u"mixed/"_s + QString::fromLatin1(FaultyFiles().back().name)
            + u".lnr.xml: картинка: изображение 60000 x 60000 точек"_s));
        const qsizetype checked = qsizetype(GoodVariations().size()) + 2;
        QCOMPARE(lines[1],
            u"Проверено: %1 файлов, с замечаниями: 1 файл, всего 1 замечание."_s.arg(checked));
        QVERIFY(lines[2].isEmpty());
    }

    void walkTakesLentarsOnceEach()
    {
        const QString root = dir_.path() + u"/walk"_s;
        QVERIFY(QDir().mkpath(root + u"/b/c"_s));
        QVERIFY(WriteFile(root + u"/b/c/z.lnr.xml"_s, "x"));
        QVERIFY(WriteFile(root + u"/b/A.LNR.XML"_s, "x"));
        QVERIFY(WriteFile(root + u"/b/notes.xml"_s, "x"));
        QVERIFY(WriteFile(root + u"/a.lnr.xml"_s, "x"));
        QVERIFY(WriteFile(root + u"/named.txt"_s, "x"));
        QVERIFY(QFile::link(root + u"/a.lnr.xml"_s, root + u"/b/link.lnr.xml"_s));
        QVERIFY(QFile::link(root + u"/b"_s, root + u"/b/c/loop"_s));

        const WalkResult walk = CollectLentarFiles(
            { root, root + u"/named.txt"_s, root + u"/a.lnr.xml"_s, root + u"/nowhere"_s });
        QStringList shown;
        for (const FoundFile &file : walk.files)
            shown.append(QDir(root).relativeFilePath(file.shown));
        QCOMPARE(shown,
            QStringList({ u"a.lnr.xml"_s, u"b/A.LNR.XML"_s, u"b/c/z.lnr.xml"_s, u"named.txt"_s }));
        QCOMPARE(walk.errors.size(), 1);
        QVERIFY(walk.errors.first().contains(u"nowhere"_s));
    }

    void summaryCounts_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("line");
        QTest::newRow("1") << 1
                           << u"Проверено: 1 файл, с замечаниями: 1 файл, всего 1 замечание.\n"_s;
        QTest::newRow("3") << 3
                           << u"Проверено: 3 файла, с замечаниями: 3 файла, всего 3 замечания.\n"_s;
        QTest::newRow("0")
            << 0 << u"Проверено: 0 файлов, с замечаниями: 0 файлов, всего 0 замечаний.\n"_s;
        QTest::newRow("12")
            << 12 << u"Проверено: 12 файлов, с замечаниями: 12 файлов, всего 12 замечаний.\n"_s;
        QTest::newRow("21")
            << 21 << u"Проверено: 21 файл, с замечаниями: 21 файл, всего 21 замечание.\n"_s;
        QTest::newRow("114")
            << 114 << u"Проверено: 114 файлов, с замечаниями: 114 файлов, всего 114 замечаний.\n"_s;
        QTest::newRow("1002")
            << 1002
            << u"Проверено: 1002 файла, с замечаниями: 1002 файла, всего 1002 замечания.\n"_s;
    }

    void summaryCounts()
    {
        QFETCH(int, files);
        QFETCH(QString, line);
        QCOMPARE(SummaryLine(files, files, files), line);
    }

    // Nothing for the first moments of a run; then a bar that is erased at the end.
    void progressBarWaitsThenErasesItself()
    {
        std::FILE *stream = std::tmpfile();
        QVERIFY(stream);
        const auto contents = [stream] {
            std::fflush(stream);
            const long size = std::ftell(stream);
            std::rewind(stream);
            QByteArray bytes(size, '\0');
            const std::size_t read = std::fread(bytes.data(), 1, std::size_t(size), stream);
            std::fseek(stream, 0, SEEK_END);
            return bytes.left(qsizetype(read));
        };
        ProgressBar waiting(stream, true, std::chrono::hours(1));
        waiting.update(1, 4);
        waiting.finish();
        QCOMPARE(contents(), QByteArray());
        ProgressBar notTerminal(stream, false, std::chrono::milliseconds(0));
        notTerminal.update(1, 4);
        QCOMPARE(contents(), QByteArray());

        ProgressBar bar(stream, true, std::chrono::milliseconds(0));
        bar.update(1, 4);
        bar.update(1, 4); // the same line is not drawn again
        bar.update(4, 4);
        bar.finish();
        const QByteArray quarter = "\r" + ProgressBar::line(1, 4, 60).toUtf8();
        QCOMPARE(contents(), quarter + "\r" + ProgressBar::line(4, 4, 60).toUtf8() + "\r\033[K");
        // A quarter of the bar is filled, and the line keeps to its width.
        const QString line = ProgressBar::line(1, 4, 60);
        QCOMPARE(line.size(), 60);
        QVERIFY(line.endsWith(u"] 1/4"_s));
        const qsizetype barWidth = line.indexOf(u']') - 1;
        QCOMPARE(line.count(u'#'), barWidth / 4);
        std::fclose(stream);
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(CheckToolTest)
#include "check_tool_test.moc"
