// One received file at a time: each known fault earns exactly its problem, and a good
// lentar in any form it may arrive in earns none.

#include "check/file_check.h"
#include "fault_corpus.h"
#include "picture/jpeg_inspect.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QStringList CodesOf(const CheckProblems &problems)
{
    QStringList codes;
    for (const CheckProblem &problem : problems)
        codes.append(problem.code);
    codes.sort();
    return codes;
}

void AddRows(const std::vector<CorpusFile> &files)
{
    for (const CorpusFile &file : files)
        QTest::newRow(file.name) << file.bytes << file.codes;
}

} // namespace

class FileCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void problemsOfOneFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("codes");
        AddRows(GoodVariations());
        AddRows(FaultyFiles());
    }

    void problemsOfOneFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, codes);
        QVERIFY2(!bytes.isEmpty() || QByteArray(QTest::currentDataTag()) == "empty",
            "the fault did not apply to the file");
        const QString path
            = dir_.filePath(QString::fromLatin1(QTest::currentDataTag()) + u".lnr.xml"_s);
        QVERIFY(WriteFile(path, bytes));

        const FileCheck check = CheckLentarFile(path);
        QVERIFY(!check.unreadable);
        codes.sort();
        QCOMPARE(CodesOf(check.problems), codes);
        // Every message in one voice: the rest of a line after "file: ".
        for (const CheckProblem &problem : check.problems)
            QVERIFY2(problem.message.size() > 1
                    && !(problem.message[0].isUpper() && problem.message[1].isLower()),
                qPrintable(problem.message));
        // A file that is a lentar at all takes part in the checks across files.
        const bool refused = !codes.isEmpty()
            && QStringList({ u"not-xml"_s, u"wrong-root"_s, u"no-work"_s, u"wrong-season"_s,
                               u"wrong-version"_s, u"doctype"_s, u"too-large"_s })
                   .contains(codes.first());
        QCOMPARE(check.facts.has_value(), !refused);
    }

    void completenessGapsAreSeparateProblems()
    {
        LentarDocument doc = CompleteLentar();
        doc.title.clear();
        doc.subjectSlots = {};
        doc.leaders.clear();
        doc.invoiceLeader = -1;
        const QString path = dir_.filePath(u"gaps.lnr.xml"_s);
        QVERIFY(WriteFile(path, LentarBytes(doc)));
        const FileCheck check = CheckLentarFile(path);
        QCOMPARE(CodesOf(check.problems),
            QStringList({ u"missing-leaders"_s, u"missing-subject"_s, u"missing-title"_s }));
        // Each names its gap in the editor's own words.
        QVERIFY(check.problems.at(0).message.endsWith(u": название работы"_s));
    }

    void missingFileIsUnreadableNotAProblem()
    {
        const FileCheck check = CheckLentarFile(dir_.filePath(u"gone.lnr.xml"_s));
        QVERIFY(check.unreadable);
        QVERIFY(check.problems.isEmpty());
    }

    void jpegInspection_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("tooLarge");
        QTest::addColumn<int>("width");

        const QByteArray photo = CorpusJpeg(200, 150);
        FixtureOptions grey;
        grey.colour = FixtureColour::Grey;
        FixtureOptions arithmetic;
        arithmetic.arithmetic = true;
        FixtureOptions restarts;
        restarts.restartRows = 1;
        QByteArray lostRestart = EncodeFixture(NoiseSamples(64, 64, 3, 3), 64, 64, restarts);
        lostRestart[FindMarker(lostRestart, 0xD1) + 1] = char(0xD5); // RST1 becomes RST5
        QByteArray flipped = photo;
        for (qsizetype i = FindMarker(photo, 0xDA) + 40; i < photo.size() - 40; i += 97)
            flipped[i] = char(0xFF); // every so often a byte of all ones: no valid code

        QTest::newRow("baseline") << photo << true << false << 200;
        QTest::newRow("progressive") << CorpusJpeg(150, 200, true) << true << false << 150;
        QTest::newRow("grey") << EncodeFixture(NoiseSamples(30, 40, 1, 1), 30, 40, grey) << true
                              << false << 30;
        QTest::newRow("arithmetic")
            << EncodeFixture(NoiseSamples(30, 40, 3, 1), 30, 40, arithmetic) << true << false << 30;
        QTest::newRow("301 square") << CorpusJpeg(301, 301) << true << false << 301;
        QTest::newRow("302 wide") << CorpusJpeg(302, 1) << false << true << 302;
        QTest::newRow("302 high") << CorpusJpeg(1, 302) << false << true << 1;
        QTest::newRow("absurd header")
            << WithFrameSize(photo, 65000, 65000) << false << true << 65000;
        QTest::newRow("empty") << QByteArray() << false << false << 0;
        QTest::newRow("not a jpeg") << QByteArray("\x89PNG\r\n\x1a\n0000") << false << false << 0;
        QTest::newRow("header only")
            << photo.left(FindMarker(photo, 0xDA)) << false << false << 200;
        QTest::newRow("cut in the data") << photo.left(photo.size() / 2) << false << false << 200;
        QTest::newRow("end marker missing")
            << photo.left(photo.size() - 2) << false << false << 200;
        QTest::newRow("corrupt data") << flipped << false << false << 200;
        QTest::newRow("restart marker lost") << lostRestart << false << false << 64;
        QTest::newRow("too many scans") << [] {
            FixtureOptions many;
            many.progressive = true;
            many.scans = ExcessiveScanScript();
            return EncodeFixture(NoiseSamples(16, 16, 3, 5), 16, 16, many);
        }() << false << false << 16;
    }

    void jpegInspection()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(bool, ok);
        QFETCH(bool, tooLarge);
        QFETCH(int, width);
        const JpegInspection result = InspectJpeg(jpeg);
        QCOMPARE(result.ok, ok);
        QCOMPARE(result.tooLarge, tooLarge);
        QCOMPARE(result.width, width);
        QCOMPARE(result.reason.isEmpty(), ok);
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(FileCheckTest)
#include "file_check_test.moc"
