// The one write path and the reading beside it: what a failure says, what it leaves,
// and what a replaced file keeps.

#include "platform/files.h"
#include "platform/scratch_file.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

bool Put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

mode_t Mode(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

bool IsRussianSentence(const QString &text)
{
    static const QRegularExpression latin(u"[A-Za-z]"_s);
    static const QRegularExpression cyrillic(u"[а-яА-ЯёЁ]"_s);
    return text.contains(cyrillic) && !text.contains(latin);
}

} // namespace

Q_DECLARE_METATYPE(Durability)

class FilesTest : public QObject
{
    Q_OBJECT

private slots:
    void systemErrorTexts_data();
    void systemErrorTexts();
    void failedWrites_data();
    void failedWrites();
    void folderThatCannotBeMade();
    void replacedFileKeepsItsModeAndLink_data();
    void replacedFileKeepsItsModeAndLink();
    void uncommittedWriteLeavesNothing();
    void appendedPiecesTakeTheNameTogether();
    void scratchFileGivesPiecesBack();
    void failedReads_data();
    void failedReads();
};

void FilesTest::systemErrorTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("ENOENT") << ENOENT << u"нет такого файла или папки"_s;
    QTest::newRow("EACCES") << EACCES << u"нет прав доступа"_s;
    QTest::newRow("EROFS") << EROFS << u"файловая система доступна только для чтения"_s;
    QTest::newRow("ENOSPC") << ENOSPC << u"на диске не осталось места"_s;
    QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << u"слишком длинное имя файла"_s;
    QTest::newRow("unknown code") << 4242 << u"системная ошибка номер 4242"_s;
}

void FilesTest::systemErrorTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(SystemErrorText(code), text);

    // Every reason a file operation commonly meets has a text of its own, in Russian.
    const QList<int> common { ENOENT, EACCES, EPERM, EROFS, ENOSPC, EDQUOT, ENAMETOOLONG, EISDIR,
        ENOTDIR, EEXIST, EBUSY, ETXTBSY, EMFILE, ENFILE, EIO, EFBIG, EINVAL, ELOOP, EXDEV, ENOMEM };
    QSet<QString> texts;
    for (const int each : common) {
        const QString reason = SystemErrorText(each);
        QVERIFY2(IsRussianSentence(reason), qPrintable(reason));
        QVERIFY2(!reason.contains(u"номер"_s), qPrintable(reason));
        texts.insert(reason);
    }
    QCOMPARE(texts.size(), common.size());
}

void FilesTest::failedWrites_data()
{
    QTest::addColumn<QString>("name"); // below the scratch folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder missing") << u"нет/файл.lnr.xml"_s << SystemErrorText(ENOENT);
    QTest::newRow("name too long") << QString(300, u'я') << SystemErrorText(ENAMETOOLONG);
    QTest::newRow("name taken by a folder") << u"папка"_s << SystemErrorText(EISDIR);
    QTest::newRow("folder is a file") << u"файл/новый.lnr.xml"_s << SystemErrorText(ENOTDIR);
    QTest::newRow("links in a circle") << u"петля"_s << SystemErrorText(ELOOP);
    QTest::newRow("no name at all") << QString() << SystemErrorText(ENOENT);
}

void FilesTest::failedWrites()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    QVERIFY(QDir(scratch.path()).mkdir(u"папка"_s));
    QVERIFY(Put(scratch.filePath(u"файл"_s), "earlier"));
    QVERIFY(QFile::link(scratch.filePath(u"петля"_s), scratch.filePath(u"петля"_s)));
    const QStringList before = Entries(scratch.path());
    const QString path = name.isEmpty() ? QString() : scratch.filePath(name);

    for (const Durability durability : { Durability::Durable, Durability::Working }) {
        try {
            WriteFileAtomically(path, "new bytes", durability);
            QFAIL("the write reported success");
        } catch (const FileError &error) {
            QCOMPARE(error.action(), FileError::Action::Write);
            QCOMPARE(error.path(), path);
            QCOMPARE(error.reason(), reason);
            QCOMPARE(QString::fromUtf8(error.what()),
                u"Не удалось записать файл «%1»: %2"_s.arg(QDir::toNativeSeparators(path), reason));
        }
        QCOMPARE(Entries(scratch.path()), before);
        QCOMPARE(Bytes(scratch.filePath(u"файл"_s)), QByteArray("earlier"));
    }
}

void FilesTest::folderThatCannotBeMade()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    QVERIFY(Put(scratch.filePath(u"файл"_s), "earlier"));
    const QString folder = scratch.filePath(u"файл/состояние"_s);
    try {
        MakePrivateFolder(folder);
        QFAIL("the folder was reported made");
    } catch (const FileError &error) {
        QCOMPARE(QString::fromUtf8(error.what()),
            u"Не удалось создать папку «%1»: %2"_s.arg(
                QDir::toNativeSeparators(scratch.filePath(u"файл"_s)), SystemErrorText(ENOTDIR)));
    }
}

void FilesTest::replacedFileKeepsItsModeAndLink_data()
{
    QTest::addColumn<Durability>("durability");
    QTest::addColumn<bool>("earlier");
    QTest::addColumn<bool>("throughLink");
    QTest::addColumn<int>("mode"); // expected; -1 for what a new file gets
    QTest::newRow("new saved file") << Durability::Durable << false << false << -1;
    QTest::newRow("new working file") << Durability::Working << false << false << 0600;
    QTest::newRow("replaced saved file") << Durability::Durable << true << false << 0640;
    QTest::newRow("replaced working file") << Durability::Working << true << false << 0640;
    QTest::newRow("replaced through a link") << Durability::Durable << true << true << 0640;
    QTest::newRow("new file through a dangling link") << Durability::Durable << false << true << -1;
}

void FilesTest::replacedFileKeepsItsModeAndLink()
{
    QFETCH(Durability, durability);
    QFETCH(bool, earlier);
    QFETCH(bool, throughLink);
    QFETCH(int, mode);
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString file = scratch.filePath(u"Работа.lnr.xml"_s);
    const QString link = scratch.filePath(u"ссылка.lnr.xml"_s);
    if (earlier) {
        QVERIFY(Put(file, "earlier"));
        QVERIFY(::chmod(QFile::encodeName(file).constData(), 0640) == 0);
    }
    if (throughLink)
        QVERIFY(QFile::link(file, link));
    const mode_t mask = ::umask(0);
    ::umask(mask);

    WriteFileAtomically(throughLink ? link : file, "new bytes", durability);

    QCOMPARE(Bytes(file), QByteArray("new bytes"));
    QCOMPARE(int(Mode(file)), mode >= 0 ? mode : int(0666 & ~mask));
    QCOMPARE(QFileInfo(link).isSymLink(), throughLink);
    QCOMPARE(Entries(scratch.path()).size(), throughLink ? 2 : 1);
}

// The save writes its lentar, then its stylesheet, and only then puts the lentar in
// place; a save that fails in between must leave the folder as it was.
void FilesTest::uncommittedWriteLeavesNothing()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString path = scratch.filePath(u"Работа.lnr.xml"_s);
    QVERIFY(Put(path, "earlier"));
    {
        AtomicFile file(path, Durability::Durable);
        file.write("new bytes");
        QCOMPARE(Entries(scratch.path()).size(), 2);
        QCOMPARE(Bytes(path), QByteArray("earlier"));
    }
    QCOMPARE(Entries(scratch.path()), QStringList { u"Работа.lnr.xml"_s });
    QCOMPARE(Bytes(path), QByteArray("earlier"));

    AtomicFile file(path, Durability::Durable);
    file.write("new bytes");
    file.commit();
    QCOMPARE(Bytes(path), QByteArray("new bytes"));
    QCOMPARE(Entries(scratch.path()), QStringList { u"Работа.lnr.xml"_s });
    // A second commit has nothing to put in place.
    QVERIFY_THROWS_EXCEPTION(FileError, file.commit());
    QCOMPARE(Bytes(path), QByteArray("new bytes"));
}

// lentar-check's book is written piece by piece: the name holds the earlier file until
// the last piece is in, and an unfinished file leaves nothing.
void FilesTest::appendedPiecesTakeTheNameTogether()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString path = scratch.filePath(u"книга.html"_s);
    QVERIFY(Put(path, "earlier"));
    {
        AtomicFile file(path, Durability::Durable);
        file.append("first ");
        file.append("second");
        QCOMPARE(Bytes(path), QByteArray("earlier"));
    }
    QCOMPARE(Entries(scratch.path()), QStringList { u"книга.html"_s });
    AtomicFile file(path, Durability::Durable);
    file.append("first ");
    file.append("second");
    file.commit();
    QCOMPARE(Bytes(path), QByteArray("first second"));
    QCOMPARE(Entries(scratch.path()), QStringList { u"книга.html"_s });
}

void FilesTest::scratchFileGivesPiecesBack()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    std::optional<ScratchFile> file(std::in_place, scratch.path() + u'/');
    const ScratchFile::Piece first = file->add("first");
    const ScratchFile::Piece second = file->add(QByteArray(100000, 'x'));
    QCOMPARE(file->read(second), QByteArray(100000, 'x'));
    QCOMPARE(file->read(first), QByteArray("first"));
    QCOMPARE(file->read({}), QByteArray());
    QCOMPARE(file->failure(), QString());
    QCOMPARE(Entries(scratch.path()), QStringList()); // nobody else sees it
    QVERIFY_THROWS_EXCEPTION(FileError, ScratchFile(scratch.path() + u"/нет/"_s));
}

void FilesTest::failedReads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << u"нет.jpg"_s << SystemErrorText(ENOENT);
    QTest::newRow("folder") << u"папка"_s << SystemErrorText(EISDIR);
    // Opening a named pipe would wait for a writer that never comes.
    QTest::newRow("named pipe") << u"канал"_s << u"это не обычный файл"_s;
    QTest::newRow("name too long") << QString(300, u'я') << SystemErrorText(ENAMETOOLONG);
}

void FilesTest::failedReads()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    QVERIFY(QDir(scratch.path()).mkdir(u"папка"_s));
    QVERIFY(::mkfifo(QFile::encodeName(scratch.filePath(u"канал"_s)).constData(), 0600) == 0);
    const QString path = scratch.filePath(name);
    try {
        ReadWholeFile(path);
        QFAIL("the read reported success");
    } catch (const FileError &error) {
        QCOMPARE(error.action(), FileError::Action::Read);
        QCOMPARE(error.reason(), reason);
        QCOMPARE(QString::fromUtf8(error.what()),
            u"Не удалось прочитать файл «%1»: %2"_s.arg(QDir::toNativeSeparators(path), reason));
    }
}

QTEST_GUILESS_MAIN(FilesTest)
#include "files_test.moc"
