#include "fault_places.h"

#include "codec/error.h"
#include "document/lentar_reader.h"
#include "document/lentar_xml.h"
#include "jpeg_fixtures.h"
#include "output/preview_command.h"
#include "output/preview_xslt.h"
#include "output/recovery.h"
#include "output/save_command.h"
#include "picture/picture_import.h"
#include "scripted_platform.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

// Every write the program makes, made where the disk refuses it: the user reads a
// Russian message, nothing claims success, the earlier file stays byte for byte, and
// no half-written file is left under the name or beside it.
class WriteFaultsTest : public QObject
{
    Q_OBJECT

public:
    enum class Fault {
        ReadOnlyFolder,
        ReadOnlyFile,
        ReadOnlyFileSystem,
        FullDisk,
        RoomForStylesheetOnly,
        RoomForLentarOnly,
        FolderVanishes,
        StylesheetIsFolder,
        StylesheetReadOnly,
        NameIsFolder,
    };

private slots:
    void save_data();
    void save();
    void pictureImport_data();
    void pictureImport();
    void preview_data();
    void preview();
    void recoveryCopy_data();
    void recoveryCopy();
};

Q_DECLARE_METATYPE(WriteFaultsTest::Fault)

namespace {

using Fault = WriteFaultsTest::Fault;

constexpr int kDiskKb = 256;
const QString kStylesheet = QString::fromLatin1(kStylesheetFileName);

// A scripted desktop whose save dialog can pull the floor away once it has answered.
class FaultyPlatform : public ScriptedPlatform
{
public:
    using ScriptedPlatform::ScriptedPlatform;
    std::function<void()> afterSaveDialog;

    std::optional<QString> askSaveFileName(const SaveDialogSettings &settings) override
    {
        std::optional<QString> answer = ScriptedPlatform::askSaveFileName(settings);
        if (afterSaveDialog)
            afterSaveDialog();
        return answer;
    }
};

LentarDocument CompleteLentar()
{
    LentarDocument doc;
    doc.title = u"Работа"_s;
    doc.description = u"Первое описание"_s;
    doc.subjectSlots = { 3, 0, 0, 0, 0 };
    doc.authors = { { u"123-456-789"_s, u"Иванов"_s, u"Иван"_s, u"Иванович"_s } };
    doc.leaders = { { u"987-654-321"_s, u"Петрова"_s, u"Анна"_s, u"Сергеевна"_s } };
    doc.invoiceLeader = 0;
    return doc;
}

// The message is Russian, and so is the reason in it: after the file or folder the
// message names in «», the words are the program's own, with no English from the
// system in them.
bool IsRussian(const QString &message)
{
    const qsizetype named = message.lastIndexOf(u"»: "_s);
    const QString reason = named < 0 ? message : message.mid(named + 3);
    const auto cyrillic = [](QChar c) { return c.unicode() >= 0x0410 && c.unicode() <= 0x044F; };
    const auto latin = [](QChar c) { return c.unicode() < 128 && c.isLetter(); };
    return std::any_of(reason.begin(), reason.end(), cyrillic)
        && std::none_of(reason.begin(), reason.end(), latin);
}

// The folder the case writes into: a plain folder, or a small file system of its own
// when the case needs one. Whatever was made unwritable is made writable again on the
// way out.
class Place
{
public:
    explicit Place(bool ownDisk)
        : path_(base_.path() + u"/place"_s)
    {
        QDir().mkpath(path_);
        if (ownDisk)
            mounted_ = FaultPlaces::MountSmallDisk(path_, kDiskKb);
    }
    ~Place()
    {
        if (QFileInfo::exists(path_))
            FaultPlaces::MakeWritable(path_);
        if (mounted_)
            FaultPlaces::Unmount(path_);
    }
    Place(const Place &) = delete;
    Place &operator=(const Place &) = delete;

    bool valid() const { return base_.isValid() && QFileInfo(path_).isDir(); }
    bool mounted() const { return mounted_; }
    const QString &path() const { return path_; }
    QString file(const QString &name) const { return path_ + u'/' + name; }

private:
    QTemporaryDir base_;
    QString path_;
    bool mounted_ = false;
};

bool NeedsOwnDisk(Fault fault)
{
    return fault == Fault::ReadOnlyFileSystem || fault == Fault::FullDisk
        || fault == Fault::RoomForStylesheetOnly || fault == Fault::RoomForLentarOnly;
}

bool NeedsPermissions(Fault fault)
{
    return fault == Fault::ReadOnlyFolder || fault == Fault::ReadOnlyFile
        || fault == Fault::StylesheetReadOnly;
}

bool SetMode(const QString &path, mode_t mode)
{
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

void AddFolderFaults()
{
    QTest::addColumn<Fault>("fault");
    QTest::newRow("read-only folder") << Fault::ReadOnlyFolder;
    QTest::newRow("read-only file system") << Fault::ReadOnlyFileSystem;
    QTest::newRow("full file system") << Fault::FullDisk;
    QTest::newRow("folder vanished") << Fault::FolderVanishes;
}

// Turns the prepared folder into one that refuses writes; false when the system
// cannot arrange it.
bool BreakFolder(Place &place, Fault fault)
{
    switch (fault) {
    case Fault::ReadOnlyFolder:
        return SetMode(place.path(), 0555);
    case Fault::ReadOnlyFileSystem:
        return FaultPlaces::RemountReadOnly(place.path(), kDiskKb);
    case Fault::FullDisk:
        return FaultPlaces::FillDisk(place.path(), 0);
    case Fault::FolderVanishes:
        return QDir(place.path()).removeRecursively();
    default:
        return false;
    }
}

// Skips the row, with the reason, when this system cannot produce the fault.
#define SKIP_UNLESS_POSSIBLE(fault, scratch)                                                       \
    do {                                                                                           \
        if (NeedsOwnDisk(fault) && !FaultPlaces::MountUnavailableReason().isEmpty())               \
            QSKIP(qPrintable(                                                                      \
                u"cannot mount a small file system: "_s + FaultPlaces::MountUnavailableReason())); \
        if (NeedsPermissions(fault)) {                                                             \
            const QString reason = FaultPlaces::PermissionsUnavailableReason(scratch);             \
            if (!reason.isEmpty())                                                                 \
                QSKIP(qPrintable(reason));                                                         \
        }                                                                                          \
    } while (false)

// The start of every row: the fault of the row, a scratch folder, the row skipped when
// this system cannot produce the fault, and the place where it is made (on a small file
// system of its own where the fault needs one).
#define FAULT_PLACE(fault, scratch, place)                                                         \
    QFETCH(Fault, fault);                                                                          \
    QTemporaryDir scratch;                                                                         \
    QVERIFY(scratch.isValid());                                                                    \
    SKIP_UNLESS_POSSIBLE(fault, scratch.path());                                                   \
    Place place(NeedsOwnDisk(fault));                                                              \
    QVERIFY(place.valid());                                                                        \
    QCOMPARE(place.mounted(), NeedsOwnDisk(fault))

// What must hold of a folder after a failed write: every file it held is still there
// with the same bytes (but for checkedApart, which the caller checks), and nothing
// else has appeared.
void VerifyUntouched(const QString &folder, const QMap<QString, QByteArray> &before,
    const QString &checkedApart = {})
{
    const QMap<QString, QByteArray> after = FaultPlaces::Snapshot(folder);
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (it.key() == checkedApart)
            continue;
        const QByteArray now = after.value(it.key(), QByteArrayLiteral("<missing>"));
        QVERIFY2(now == it.value(), qPrintable(u"changed: "_s + it.key()));
    }
    for (auto it = after.begin(); it != after.end(); ++it)
        QVERIFY2(before.contains(it.key()), qPrintable(u"left behind: "_s + it.key()));
}

void WriteEarlierPreviewFiles(const QString &temp)
{
    for (const char *name :
        { "preview.lnr.jpg", "preview.lnr.xml", "preview.lnr.xsl", "preview.lnr.html" })
        QVERIFY(WriteFileBytes(temp + QLatin1StringView(name), QByteArray("earlier ") + name));
}

} // namespace

void WriteFaultsTest::save_data()
{
    AddFolderFaults();
    QTest::newRow("read-only lentar file") << Fault::ReadOnlyFile;
    QTest::newRow("disk has room for the stylesheet only") << Fault::RoomForStylesheetOnly;
    QTest::newRow("disk has room for the lentar only") << Fault::RoomForLentarOnly;
    QTest::newRow("stylesheet name taken by a folder") << Fault::StylesheetIsFolder;
    QTest::newRow("read-only stylesheet") << Fault::StylesheetReadOnly;
    QTest::newRow("chosen name is a folder") << Fault::NameIsFolder;
}

void WriteFaultsTest::save()
{
    FAULT_PLACE(fault, scratch, place);
    const QString temp = scratch.path() + u"/temp/"_s;
    QVERIFY(QDir().mkpath(temp));
    const QString lentarName = u"Работа.lnr.xml"_s;
    const QString path = place.file(lentarName);

    // The earlier lentar, saved the ordinary way, with its stylesheet beside it.
    if (fault == Fault::NameIsFolder) {
        QVERIFY(QDir().mkpath(path));
        QVERIFY(WriteFileBytes(path + u"/inside.txt"_s, "a file in the folder"));
    } else {
        ScriptedPlatform first(temp);
        first.saveFileAnswers.enqueue(path);
        QVERIFY(SaveLentarFile(CompleteLentar(), first, {}).has_value());
        QVERIFY(QFileInfo(path).isFile());
    }
    WriteEarlierPreviewFiles(temp);

    LentarDocument later = CompleteLentar();
    later.description = u"Второе описание, которое не должно попасть на диск"_s;
    FaultyPlatform platform(temp);
    platform.now += 60;
    platform.saveFileAnswers.enqueue(path);

    switch (fault) {
    case Fault::ReadOnlyFile:
        QVERIFY(SetMode(path, 0444));
        break;
    case Fault::RoomForStylesheetOnly:
        // A lentar with a picture is bigger than the stylesheet.
        later.picture = { true, QByteArray(48 * 1024, 'Q'), 300, 200, {} };
        QVERIFY(FaultPlaces::FillDisk(place.path(), 4));
        QVERIFY(FaultPlaces::FreeBytes(place.path()) > PreviewStylesheetBytes().size());
        break;
    case Fault::RoomForLentarOnly:
        QVERIFY(FaultPlaces::FillDisk(place.path(), 2));
        QVERIFY(FaultPlaces::FreeBytes(place.path()) < PreviewStylesheetBytes().size());
        break;
    case Fault::FolderVanishes:
        // The user picked the folder; it is gone by the time the file is written.
        platform.afterSaveDialog = [&place] { QVERIFY(BreakFolder(place, Fault::FolderVanishes)); };
        break;
    case Fault::StylesheetIsFolder:
        QVERIFY(QFile::remove(place.file(kStylesheet)));
        QVERIFY(QDir().mkpath(place.file(kStylesheet)));
        QVERIFY(WriteFileBytes(place.file(kStylesheet + u"/inside.txt"_s), "kept"));
        break;
    case Fault::StylesheetReadOnly:
        QVERIFY(SetMode(place.file(kStylesheet), 0444));
        break;
    case Fault::NameIsFolder:
        break;
    default:
        QVERIFY(BreakFolder(place, fault));
        break;
    }
    const QMap<QString, QByteArray> before = FaultPlaces::Snapshot(place.path());
    const QMap<QString, QByteArray> tempBefore = FaultPlaces::Snapshot(temp);

    QString message;
    bool saved = false;
    try {
        saved = SaveLentarFile(later, platform, {}).has_value();
    } catch (const LentarError &error) {
        message = QString::fromUtf8(error.what());
    }

    qInfo().noquote() << "message:" << message;
    QVERIFY2(!saved, "the save reported success");
    QVERIFY2(!message.isEmpty(), "the save failed without an error");
    QVERIFY2(IsRussian(message), qPrintable(message));
    const QString lentarFailed
        = u"Не удалось записать файл «%1»"_s.arg(QDir::toNativeSeparators(path));
    const QString stylesheetFailed
        = u"Ошибка записи файла шаблона в папку «%1»"_s.arg(QDir::toNativeSeparators(place.path()));
    QVERIFY2(message.startsWith(lentarFailed) || message.startsWith(stylesheetFailed),
        qPrintable(message));
    for (const ScriptedPlatform::Message &shown : platform.messages)
        QVERIFY2(shown.caption != u"Лентар сохранен"_s, qPrintable(shown.text));

    if (fault == Fault::FolderVanishes) {
        QVERIFY2(!QFileInfo::exists(place.path()), "the vanished folder came back");
    } else {
        // Not even a stylesheet: beside no lentar, or a lentar other than the one it
        // came with, it would be a file the user never saved.
        VerifyUntouched(place.path(), before, lentarName);
        const QByteArray earlier = before.value(lentarName);
        const QByteArray now = FaultPlaces::Snapshot(place.path()).value(lentarName);
        const QByteArray replaced
            = LentarFileBytes(SerializeLentar(BuildLentarXml(later, platform.now)));
        QVERIFY2(now == earlier || now == replaced, "the lentar file is neither old nor new");
        QVERIFY2(now == earlier, "the earlier lentar was replaced");
    }
    // A failed save keeps the work in progress, so its preview files stay.
    VerifyUntouched(temp, tempBefore);
}

void WriteFaultsTest::pictureImport_data()
{
    AddFolderFaults();
}

void WriteFaultsTest::pictureImport()
{
    FAULT_PLACE(fault, scratch, place);
    const QString first = scratch.path() + u"/first.jpg"_s;
    const QString second = scratch.path() + u"/second.jpg"_s;
    QVERIFY(WriteFileBytes(first, EncodeFixture(PhotoSamples(64, 48, 1), 64, 48)));
    QVERIFY(WriteFileBytes(second, EncodeFixture(NoiseSamples(90, 60, 3, 2), 90, 60)));

    // The earlier picture's working copy is in the folder.
    ImportPicture(first, place.path() + u'/');
    QVERIFY(QFileInfo::exists(place.file(QString::fromLatin1(kPictureFileName))));
    const bool vanishes = fault == Fault::FolderVanishes;
    QVERIFY(BreakFolder(place, fault));
    const QMap<QString, QByteArray> before = FaultPlaces::Snapshot(place.path());

    QString message;
    try {
        ImportPicture(second, place.path() + u'/');
    } catch (const LentarError &error) {
        message = QString::fromUtf8(error.what());
    }
    qInfo().noquote() << "message:" << message;
    QVERIFY2(message.startsWith(u"Ошибка записи файла изображения работы во временную папку"_s),
        qPrintable(message));
    QVERIFY2(IsRussian(message), qPrintable(message));
    if (vanishes)
        QVERIFY2(!QFileInfo::exists(place.path()), "the vanished folder came back");
    else
        VerifyUntouched(place.path(), before);
}

void WriteFaultsTest::preview_data()
{
    AddFolderFaults();
}

void WriteFaultsTest::preview()
{
    FAULT_PLACE(fault, scratch, place);
    ScriptedPlatform platform(place.path());
    LentarDocument doc = CompleteLentar();
    PreviewLentar(doc, platform);
    QCOMPARE(platform.messages.size(), 0);
    QCOMPARE(platform.openedInBrowser.size(), 1);

    QVERIFY(BreakFolder(place, fault));
    const QMap<QString, QByteArray> before = FaultPlaces::Snapshot(place.path());
    doc.description = u"Изменённое описание"_s;
    PreviewLentar(doc, platform);

    // An earlier page opened as if it were the new one would show the user stale
    // content, so a preview that cannot be written is an error and opens nothing.
    QCOMPARE(platform.messages.size(), 1);
    const ScriptedPlatform::Message &shown = platform.messages.front();
    qInfo().noquote() << "message:" << shown.text;
    QCOMPARE(shown.caption, QString::fromUtf8(kApplicationTitle));
    QCOMPARE(shown.icon, MessageIcon::Error);
    QVERIFY2(IsRussian(shown.text), qPrintable(shown.text));
    QCOMPARE(platform.openedInBrowser.size(), 1);
    if (fault == Fault::FolderVanishes)
        QVERIFY2(!QFileInfo::exists(place.path()), "the vanished folder came back");
    else
        VerifyUntouched(place.path(), before);
}

void WriteFaultsTest::recoveryCopy_data()
{
    AddFolderFaults();
}

void WriteFaultsTest::recoveryCopy()
{
    FAULT_PLACE(fault, scratch, place);
    ScriptedPlatform platform(scratch.path());
    platform.state = place.path() + u'/';
    LentarDocument doc = CompleteLentar();
    RecoveryKeeper keeper(platform, [&doc] { return RecoveryContent { doc, {} }; }, { 0, 0 });
    // The open lock keeps a file system from being remounted read-only: that one is
    // read-only from the start.
    if (fault != Fault::ReadOnlyFileSystem) {
        keeper.changed();
        QTRY_VERIFY(QFileInfo::exists(keeper.copyPath()));
    }

    QVERIFY(BreakFolder(place, fault));
    const QMap<QString, QByteArray> before = FaultPlaces::Snapshot(place.path());
    doc.description = u"Изменённое описание"_s;
    keeper.changed();
    if (fault == Fault::FolderVanishes) {
        // Made again, with the lock, so that no other program takes the copy for a
        // crashed one.
        QTRY_COMPARE(ReadLentarFile(keeper.copyPath()).doc.description, doc.description);
        QCOMPARE(QDir(place.path()).entryList(QDir::Files).size(), 2);
        QCOMPARE(platform.messages.size(), 0);
        return;
    }
    // The user hears it once and types on; the earlier copy is still whole.
    QTRY_COMPARE(platform.messages.size(), 1);
    qInfo().noquote() << "message:" << platform.messages[0].text;
    QVERIFY2(IsRussian(platform.messages[0].text), qPrintable(platform.messages[0].text));
    VerifyUntouched(place.path(), before);
}

int main(int argc, char **argv)
{
    // Before QCoreApplication starts any thread: the mount namespace is per thread.
    FaultPlaces::Prepare();
    QCoreApplication app(argc, argv);
    WriteFaultsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "write_faults_test.moc"
