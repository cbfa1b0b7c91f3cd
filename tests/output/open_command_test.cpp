// The open command without a window: what a refused file, a lentar with faults and a
// damaged picture make the user hear, and what reaches the record.

#include "lentar_files.h"
#include "output/open_command.h"
#include "scripted_platform.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class OpenCommandTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wholeLentarOpensSilently();
    void sidewaysPictureHasItsUprightSize();
    void refusedFileIsNamedWithItsReason();
    void faultsAreToldInOneMessage_data();
    void faultsAreToldInOneMessage();
    void damagedPictureIsLeftOut_data();
    void damagedPictureIsLeftOut();
    void manyFaultsAreCounted();
    void dialogAsksForLentars();

private:
    QString write(const QByteArray &bytes, const QString &name = u"работа.lnr.xml"_s);

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ScriptedPlatform> platform_;
};

void OpenCommandTest::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    platform_ = std::make_unique<ScriptedPlatform>(folder_->path());
}

void OpenCommandTest::cleanup()
{
    platform_.reset();
    folder_.reset();
}

QString OpenCommandTest::write(const QByteArray &bytes, const QString &name)
{
    const QString path = folder_->filePath(name);
    if (!WriteFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void OpenCommandTest::wholeLentarOpensSilently()
{
    const QByteArray jpeg = TestPicture(133, 77);
    const LentarDocument doc = FullLentar(jpeg);
    // A relative path is taken from the working folder, as the command line gives it.
    const QString path = write(LentarBytes(doc));
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder_->path()));
    const std::optional<OpenedLentar> opened = OpenLentar(u"работа.lnr.xml"_s, *platform_);
    QDir::setCurrent(before);

    QVERIFY(opened);
    QVERIFY(platform_->messages.isEmpty());
    QCOMPARE(opened->path, path);
    QCOMPARE(opened->doc, doc);
    QCOMPARE(QByteArray::fromBase64(opened->doc.picture.base64), jpeg);
    // The pixels are the picture's own, for the picture surface.
    QCOMPARE(opened->pixels.width, 133);
    QCOMPARE(opened->pixels.height, 77);
    const DecodedFixture reference = DecodeFixture(jpeg);
    QCOMPARE(opened->pixels.rgb, reference.samples);
}

// A stored photo that its Exif block turns a quarter is shown upright, by the editor as
// by a browser; its size is the upright one.
void OpenCommandTest::sidewaysPictureHasItsUprightSize()
{
    LentarDocument doc = FullLentar(WithApp1(TestPicture(40, 30), ExifBlock(6, false)));
    doc.picture.width = 30;
    doc.picture.height = 40;
    const std::optional<OpenedLentar> opened = OpenLentar(write(LentarBytes(doc)), *platform_);
    QVERIFY(opened);
    QVERIFY(platform_->messages.isEmpty());
    QCOMPARE(opened->doc.picture, doc.picture);
    QCOMPARE(opened->pixels.width, 30);
    QCOMPARE(opened->pixels.height, 40);
}

// The reader's reasons for each kind of refused file are its own tests'; here, how one
// is told.
void OpenCommandTest::refusedFileIsNamedWithItsReason()
{
    const QString path
        = write(ReplacedOnce(LentarBytes(FullLentar()), "sz_id=\"8\"", "sz_id=\"7\""),
            u"чужой файл.lnr.xml"_s);
    QVERIFY(!OpenLentar(path, *platform_));
    QCOMPARE(platform_->messages.size(), 1);
    const ScriptedPlatform::Message &message = platform_->messages.front();
    QCOMPARE(message.icon, MessageIcon::Error);
    QCOMPARE(message.buttons, MessageButtons::Ok);
    QCOMPARE(message.caption, u"Открытие файла лентара"_s);
    QCOMPARE(message.text,
        u"Файл «%1» не открыт: лентар другого сезона фестиваля (sz_id «7», а нужен 8)."_s.arg(
            path));
}

void OpenCommandTest::faultsAreToldInOneMessage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("told");
    const QByteArray saved = LentarBytes(FullLentar());
    QString wrongDigits = ValidParticipantId("1234567");
    wrongDigits[10] = wrongDigits[10] == u'0' ? u'1' : u'0';

    QTest::newRow("unknown subject")
        << ReplacedOnce(saved, "sb_id=\"19\"", "sb_id=\"23\"") << QStringList { u"номером «23»"_s };
    QTest::newRow("wrong check digits")
        << ReplacedOnce(saved, ValidParticipantId("1234567").toLatin1(), wrongDigits.toLatin1())
        << QStringList { u"Идентификатор %1 (автор 1) ошибочен"_s.arg(wrongDigits) };
    QTest::newRow("text cut") << ReplacedOnce(
        saved, "\"Иванов\"", '"' + QString(60, u'Щ').toUtf8() + '"')
                              << QStringList { u"лишнее отрезано"_s };
    QTest::newRow("outside Windows-1251") << ReplacedOnce(saved, "\"Иванов\"",
        "\"Иванов\xE4\xB8\xAD\"") << QStringList { u"Windows-1251"_s };
    QTest::newRow("all at once") << ReplacedOnce(
        ReplacedOnce(saved, "sb_id=\"19\"", "sb_id=\"23\""),
        ValidParticipantId("1234567").toLatin1(), wrongDigits.toLatin1())
                                 << QStringList { u"номером «23»"_s, u"ошибочен"_s };
}

void OpenCommandTest::faultsAreToldInOneMessage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, told);
    const QString path = write(bytes);
    const std::optional<OpenedLentar> opened = OpenLentar(path, *platform_);
    QVERIFY(opened);
    QCOMPARE(platform_->messages.size(), 1);
    const ScriptedPlatform::Message &message = platform_->messages.front();
    QCOMPARE(message.icon, MessageIcon::Warning);
    QCOMPARE(message.caption, u"Открытие файла лентара"_s);
    QVERIFY(message.text.startsWith(u"Лентар «%1» открыт"_s.arg(path)));
    for (const QString &part : told)
        QVERIFY2(message.text.contains(part), qPrintable(message.text));
    QCOMPARE(message.text.count(u"\n - "_s), told.size());
    // Everything else is there.
    QCOMPARE(opened->doc.title, FullLentar().title);
    QVERIFY(opened->doc.picture.present);
}

void OpenCommandTest::damagedPictureIsLeftOut_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<QString>("told");
    const QByteArray jpeg = TestPicture();
    QTest::newRow("cut in half") << jpeg.left(jpeg.size() / 2) << u"обрывается"_s;
    QTest::newRow("not a JPEG") << QByteArray(2000, 'x') << u"не изображение JPEG"_s;
    QTest::newRow("too large") << TestPicture(400, 20) << u"не больше 301 x 301"_s;
}

void OpenCommandTest::damagedPictureIsLeftOut()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(QString, told);
    LentarDocument doc = FullLentar();
    doc.picture.base64 = PictureBase64(jpeg);
    const std::optional<OpenedLentar> opened = OpenLentar(write(LentarBytes(doc)), *platform_);
    QVERIFY(opened);
    QCOMPARE(opened->doc.picture, WorkImage {});
    QVERIFY(opened->pixels.rgb.empty());
    QCOMPARE(opened->doc.title, doc.title);
    QCOMPARE(platform_->messages.size(), 1);
    const QString text = platform_->messages.front().text;
    QCOMPARE(platform_->messages.front().icon, MessageIcon::Warning);
    QVERIFY2(text.contains(u"Картинка не загружена вместе с подписью к ней: "_s), qPrintable(text));
    QVERIFY2(text.contains(told), qPrintable(text));
}

void OpenCommandTest::manyFaultsAreCounted()
{
    QByteArray bytes = LentarBytes(FullLentar());
    QByteArray extra;
    for (int i = 0; i < 40; ++i)
        extra += "<extra" + QByteArray::number(i) + "/>";
    bytes = ReplacedOnce(bytes, "<comment>", extra + "<comment>");
    QVERIFY(OpenLentar(write(bytes), *platform_));
    QCOMPARE(platform_->messages.size(), 1);
    const QString text = platform_->messages.front().text;
    QCOMPARE(text.count(u"\n - "_s), 15);
    QVERIFY2(text.contains(u"и ещё замечаний: 25"_s), qPrintable(text));
}

void OpenCommandTest::dialogAsksForLentars()
{
    platform_->openLentarAnswers.enqueue(u"/где-то/работа.lnr.xml"_s);
    QCOMPARE(ChooseLentar(*platform_), u"/где-то/работа.lnr.xml"_s);
    QCOMPARE(ChooseLentar(*platform_), std::nullopt);
    QCOMPARE(platform_->openLentarRequests.size(), 2);
    QCOMPARE(platform_->openLentarRequests.front().first, u"Открытие файла лентара"_s);
    QCOMPARE(platform_->openLentarRequests.front().second,
        u"Лентар Фестиваля «Ванторела» (*.lnr.xml)"_s);
}

QTEST_GUILESS_MAIN(OpenCommandTest)
#include "open_command_test.moc"
