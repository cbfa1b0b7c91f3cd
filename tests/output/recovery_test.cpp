// The recovery copy without a window (the window's test kills a real program): when it
// is written, what the start asks and what each answer leaves, two programs side by
// side and the modes of their files, a damaged copy, a folder that refuses the copy.

#include "lentar_files.h"
#include "output/recovery.h"
#include "scripted_platform.h"

#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// Written as soon as the event loop turns, so that a test waits on the file alone.
constexpr RecoveryTiming kAtOnce { 0, 0 };
constexpr char kCaption[] = "Восстановление лентара";

int Mode(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

} // namespace

class RecoveryTest : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void scheduleWaitsForAPauseButNotForever_data();
    void scheduleWaitsForAPauseButNotForever();
    void answersAtStart_data();
    void answersAtStart();
    void twoProgramsKeepTheirOwnCopies();
    void damagedCopyIsSetAsideAndNamed();
    void refusedFolderIsToldOnceAndTypingGoesOn();

private:
    std::unique_ptr<RecoveryKeeper> keeper(const LentarDocument &doc, const QString &file = {});
    QString folder() const { return platform_->state; }

    std::unique_ptr<QTemporaryDir> temp_;
    std::unique_ptr<ScriptedPlatform> platform_;
};

void RecoveryTest::init()
{
    temp_ = std::make_unique<QTemporaryDir>();
    platform_ = std::make_unique<ScriptedPlatform>(temp_->path());
}

std::unique_ptr<RecoveryKeeper> RecoveryTest::keeper(const LentarDocument &doc, const QString &file)
{
    return std::make_unique<RecoveryKeeper>(
        *platform_,
        [doc, file] {
            return RecoveryContent { doc, file };
        },
        kAtOnce);
}

void RecoveryTest::scheduleWaitsForAPauseButNotForever_data()
{
    QTest::addColumn<QList<int>>("changes");
    QTest::addColumn<int>("due");
    QTest::newRow("nothing changed") << QList<int> {} << -1;
    QTest::newRow("one key: a pause later") << QList<int> { 100 } << 2100;
    QTest::newRow("a pause restarts after each key") << QList<int> { 100, 1500 } << 3500;
    QTest::newRow("steady typing: the longest wait")
        << QList<int> { 0, 1900, 3800, 5700, 7600, 9500 } << 10000;
}

void RecoveryTest::scheduleWaitsForAPauseButNotForever()
{
    QFETCH(QList<int>, changes);
    RecoverySchedule schedule;
    for (const int at : changes)
        schedule.changed(at);
    QFETCH(int, due);
    QCOMPARE(schedule.due(), qint64(due));
    schedule.written();
    QCOMPARE(schedule.due(), qint64(-1));
}

void RecoveryTest::answersAtStart_data()
{
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<bool>("restored");
    QTest::addColumn<int>("filesLeft");
    QTest::newRow("Восстановить") << MessageAnswer::Restore << true << 2; // copy and lock
    QTest::newRow("Удалить") << MessageAnswer::Delete << false << 0;
    QTest::newRow("Позже") << MessageAnswer::Later << false << 1; // no lock
}

void RecoveryTest::answersAtStart()
{
    QFETCH(MessageAnswer, answer);
    QFETCH(bool, restored);
    QFETCH(int, filesLeft);
    LentarDocument doc = FullLentar();
    {
        auto crashed = keeper(doc);
        crashed->changed();
        QTRY_VERIFY(QFileInfo::exists(crashed->copyPath()));
    }
    doc.title.clear();
    platform_->now += 60; // the later copy is asked about first
    auto untitled = keeper(doc);
    untitled->changed();
    QVERIFY(untitled->writeNow());
    untitled.reset();

    platform_->messageAnswers << MessageAnswer::Later << answer;
    std::optional<RestoredCopy> copy = OfferRecoveryCopies(*platform_);
    QCOMPARE(platform_->messages.size(), 2);
    QCOMPARE(platform_->messages[1].caption, QString::fromUtf8(kCaption));
    QCOMPARE(platform_->messages[1].buttons, MessageButtons::RestoreDeleteLater);
    const QString date = QLocale().toString(
        QDateTime::fromSecsSinceEpoch(platform_->now - 60).toLocalTime(), u"HH:mm"_s);
    QVERIFY(platform_->messages[0].text.contains(u"без названия"_s));
    QVERIFY(platform_->messages[1].text.contains(u"«"_s + FullLentar().title + u"»"_s));
    QVERIFY(platform_->messages[1].text.contains(date));
    QCOMPARE(copy.has_value(), restored);
    QCOMPARE(Entries(folder()).size(), filesLeft + 1); // and the copy answered "Позже"
    if (copy)
        QCOMPARE(copy->opened.doc, FullLentar());
}

void RecoveryTest::twoProgramsKeepTheirOwnCopies()
{
    LentarDocument other = FullLentar();
    other.title = u"Другая"_s;
    auto first = keeper(FullLentar(), u"/школа/Работа.lnr.xml"_s);
    auto second = keeper(other);
    first->changed();
    second->changed();
    QTRY_VERIFY(QFileInfo::exists(first->copyPath()) && QFileInfo::exists(second->copyPath()));
    QVERIFY(first->copyPath() != second->copyPath());
    QCOMPARE(Mode(folder()), 0700);
    for (const QString &name : Entries(folder()))
        QCOMPARE(Mode(folder() + name), 0600);
    QVERIFY(!OfferRecoveryCopies(*platform_));
    QVERIFY(platform_->messages.isEmpty());

    second.reset(); // the second program ends with unsaved changes
    platform_->messageAnswers << MessageAnswer::Restore;
    const std::optional<RestoredCopy> copy = OfferRecoveryCopies(*platform_);
    QVERIFY(copy);
    QCOMPARE(copy->opened.doc, other);
    QCOMPARE(platform_->messages.size(), 1);
}

void RecoveryTest::damagedCopyIsSetAsideAndNamed()
{
    auto kept = keeper(FullLentar());
    kept->changed();
    QTRY_VERIFY(QFileInfo::exists(kept->copyPath()));
    const QString path = kept->copyPath();
    kept.reset();
    const QByteArray whole = ReadFile(path);
    QVERIFY(WriteFile(path, whole.left(whole.size() / 2))); // cut by a failing disk
    QVERIFY(WriteFile(path + u".Ab12Cd"_s, "<?xml")); // a write cut short by a kill

    QVERIFY(!OfferRecoveryCopies(*platform_));
    QCOMPARE(platform_->messages.size(), 1);
    const QString aside = QString(path).replace(u"/copy-"_s, u"/damaged-"_s);
    QCOMPARE(platform_->messages[0].icon, MessageIcon::Warning);
    QVERIFY(platform_->messages[0].text.contains(u"«"_s + aside + u"»"_s));
    QCOMPARE(ReadFile(aside), whole.left(whole.size() / 2));
    QCOMPARE(Entries(folder()), QStringList { QFileInfo(aside).fileName() });
}

void RecoveryTest::refusedFolderIsToldOnceAndTypingGoesOn()
{
    const QString blocker = temp_->filePath(u"state"_s);
    QVERIFY(WriteFile(blocker, "x")); // the folder cannot be made where a file is
    platform_->state = blocker + u"/lentar/"_s;
    auto kept = keeper(FullLentar());
    QSignalSpy attempts(kept->findChild<QTimer *>(), &QTimer::timeout);
    kept->changed();
    QTRY_COMPARE(platform_->messages.size(), 1);
    kept->changed();
    QTRY_COMPARE(attempts.size(), 2);
    QCOMPARE(platform_->messages.size(), 1);
    QCOMPARE(platform_->messages[0].icon, MessageIcon::Warning);
    QVERIFY(platform_->messages[0].text.contains(
        u"«"_s + blocker + u"»: часть пути не является папкой"_s));
    QVERIFY(platform_->messages[0].text.contains(u"сохраните лентар"_s));

    QVERIFY(QFile::remove(blocker));
    kept->changed();
    QTRY_VERIFY(QFileInfo::exists(kept->copyPath()));
}

QTEST_GUILESS_MAIN(RecoveryTest)
#include "recovery_test.moc"
