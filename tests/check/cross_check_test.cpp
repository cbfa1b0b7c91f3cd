// Clashes between received files: the same work sent twice, and one participant's
// identifier written with different names.

#include "check/check_run.h"
#include "check/cross_check.h"
#include "check_corpus.h"

#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

using Change = std::function<void(LentarDocument &)>;
using Works = QList<std::pair<int, Change>>;

// The problem codes of each file, in file order, for lentars made from seeds and
// changes.
QList<QStringList> CodesAcross(const Works &works)
{
    QTemporaryDir dir;
    std::vector<FoundFile> files;
    for (qsizetype i = 0; i < works.size(); ++i) {
        LentarDocument doc = CompleteLentar(works[i].first);
        if (works[i].second)
            works[i].second(doc);
        const QString path = dir.filePath(QString::number(i) + u".lnr.xml"_s);
        if (!WriteFile(path, LentarBytes(doc)))
            return {};
        files.push_back({ path });
    }
    // Each file is handed over once, in the order of the files, whatever order the
    // two workers finish in.
    QList<qsizetype> handedOver;
    const CheckRunResult run = RunCheck(
        files, { 2, {}, [&](const CheckedFile &file) { handedOver.append(file.index); } });
    if (handedOver.size() != works.size()
        || std::adjacent_find(handedOver.begin(), handedOver.end(), std::greater_equal<>())
            != handedOver.end())
        return {};
    QList<QStringList> codes;
    for (const CheckProblems &problems : run.problems) {
        QStringList fileCodes;
        for (const CheckProblem &problem : problems)
            fileCodes.append(problem.code);
        codes.append(fileCodes);
    }
    return codes;
}

const QStringList kNone;
const QStringList kDuplicate { u"duplicate-work"_s };
const QStringList kNames { u"id-names-differ"_s };

} // namespace

class CrossCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void clashes_data()
    {
        QTest::addColumn<Works>("works");
        QTest::addColumn<QList<QStringList>>("codes");

        const Change otherLeadersAndText = [](LentarDocument &d) {
            d.description = u"Другое описание"_s;
            d.leaders.removeLast();
            d.invoiceLeader = 0;
        };
        const Change authorsSwapped
            = [](LentarDocument &d) { std::swap(d.authors[0], d.authors[1]); };
        const Change titlePadded = [](LentarDocument &d) { d.title = u"  "_s + d.title + u"\t"_s; };
        const Change authorDropped = [](LentarDocument &d) { d.authors.removeLast(); };
        const Change titleChanged = [](LentarDocument &d) { d.title += u" (вторая часть)"_s; };
        // Seed 1's first author's identifier given to someone else.
        const Change borrowsId = [](LentarDocument &d) {
            d.authors[0].id = CompleteLentar(1).authors[0].id;
            d.authors[0].surname = u"Смирнов"_s;
        };
        const Change borrowsIdAndName
            = [](LentarDocument &d) { d.authors[0] = CompleteLentar(1).authors[0]; };
        const Change leaderIdChangedName = [](LentarDocument &d) {
            d.leaders[0] = CompleteLentar(1).leaders[0];
            d.leaders[0].patronymic = u"Ильинична"_s;
        };

        QTest::newRow("different works")
            << Works { { 1, {} }, { 2, {} } } << QList<QStringList> { kNone, kNone };
        QTest::newRow("same work, other leaders and text") << Works { { 1, {} },
            { 1, otherLeadersAndText } } << QList<QStringList> { kDuplicate, kDuplicate };
        QTest::newRow("same authors in another order") << Works { { 1, {} }, { 2, {} },
            { 1, authorsSwapped } } << QList<QStringList> { kDuplicate, kNone, kDuplicate };
        QTest::newRow("title with blanks around it") << Works { { 1, titlePadded },
            { 1, {} } } << QList<QStringList> { kDuplicate, kDuplicate };
        QTest::newRow("three copies") << Works { { 1, {} }, { 1, {} }, { 1, {} } }
                                      << QList<QStringList> { kDuplicate, kDuplicate, kDuplicate };
        QTest::newRow("one author fewer")
            << Works { { 1, {} }, { 1, authorDropped } } << QList<QStringList> { kNone, kNone };
        QTest::newRow("other title")
            << Works { { 1, {} }, { 1, titleChanged } } << QList<QStringList> { kNone, kNone };
        QTest::newRow("identifier with another name") << Works { { 1, {} }, { 3, {} },
            { 2, borrowsId } } << QList<QStringList> { kNames, kNone, kNames };
        QTest::newRow("identifier with the same name")
            << Works { { 1, {} }, { 2, borrowsIdAndName } } << QList<QStringList> { kNone, kNone };
        QTest::newRow("leader's patronymic differs") << Works { { 2, leaderIdChangedName },
            { 1, {} } } << QList<QStringList> { kNames, kNames };
        QTest::newRow("same work and a name differs")
            << Works { { 1, {} }, { 1, leaderIdChangedName } }
            << QList<QStringList> { kDuplicate + kNames, kDuplicate + kNames };
    }

    void clashes()
    {
        QFETCH(Works, works);
        QFETCH(QList<QStringList>, codes);
        QCOMPARE(CodesAcross(works), codes);
    }

    // The remark names the other file and both spellings, so the organisers know
    // where to look.
    void remarksNameTheOtherFileAndBothNames()
    {
        CrossFileIndex index;
        const QString id = CompleteLentar(1).authors[0].id;
        index.add(0, { u"Первая"_s, { id }, { { id, u"Иванов"_s, u"Иван"_s, u"Иванович"_s } } });
        index.add(1, { u"Вторая"_s, { id }, { { id, u"Иванов"_s, u"Иван"_s, u"Ивановичъ"_s } } });
        index.add(2, { u"Первая"_s, { id }, {} });
        const std::vector<CheckProblems> problems
            = index.problems({ u"a.lnr.xml"_s, u"b.lnr.xml"_s, u"c.lnr.xml"_s });
        QCOMPARE(problems.size(), std::size_t(3));
        QCOMPARE(problems[0].size(), 2);
        QVERIFY(problems[0][0].message.contains(u"c.lnr.xml"_s));
        QVERIFY(problems[0][1].message.contains(u"здесь «Иванов Иван Иванович»"_s));
        QVERIFY(problems[0][1].message.contains(u"b.lnr.xml — «Иванов Иван Ивановичъ»"_s));
        QVERIFY(problems[1][0].message.contains(u"a.lnr.xml — «Иванов Иван Иванович»"_s));
        QCOMPARE(problems[2].size(), 1);
        QVERIFY(problems[2][0].message.contains(u"a.lnr.xml"_s));
    }
};

QTEST_GUILESS_MAIN(CrossCheckTest)
#include "cross_check_test.moc"
