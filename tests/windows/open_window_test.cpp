// Opening lentars through the real window: the user presses "Открыть" or Ctrl+O, drops
// a file, or names it on the command line; the scripted platform plays the dialogs, a
// temporary folder the disk. What counts is what the fields then show and what the
// user is told.

#include "lentar_files.h"
#include "lentar_version.h"
#include "scripted_platform.h"
#include "window_driver.h"
#include "windows/command_line.h"
#include "windows/main_window.h"
#include "windows/memo_edit.h"
#include "windows/start.h"

#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString kCaption
    = u"Фестиваль «Ванторела» - Лентар (2010 / 2011) v."_s + QString::fromLatin1(kLentarVersion);

enum class Press { Button, Shortcut };

QStringList Items(const QListWidget *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

QStringList Ids(const QList<Participant> &people)
{
    QStringList ids;
    for (const Participant &p : people)
        ids << p.id;
    return ids;
}

} // namespace

class OpenWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void opensEveryFormOfALentar_data();
    void opensEveryFormOfALentar();
    void refusedFileLeavesTheWindowAsItWas();
    void faultyLentarOpensAsFarAsItGoes_data();
    void faultyLentarOpensAsFarAsItGoes();
    void cancelledDialogChangesNothing();
    void unsavedChangesAreAskedAbout_data();
    void unsavedChangesAreAskedAbout();
    void openAndSaveGivesTheSameFile();
    void titleNamesTheFileAndMarksChanges();
    void commandLineOpensTheFile();
    void droppedLentarOpens_data();
    void droppedLentarOpens();

private:
    QString write(const QByteArray &bytes, const QString &name = u"работа.lnr.xml"_s);
    void open(const QString &path, Press press = Press::Button);
    // Checks that the window shows doc, the way a user reads it.
    void verifyShown(const LentarDocument &doc);
    void typeTitle(const QString &text);

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<ScriptedPlatform> platform_;
    std::unique_ptr<MainWindow> window_;
};

void OpenWindowTest::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    platform_ = std::make_unique<ScriptedPlatform>(folder_->path());
    window_ = std::make_unique<MainWindow>(*platform_);
    window_->show();
    QApplication::setActiveWindow(window_.get());
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void OpenWindowTest::cleanup()
{
    window_.reset();
    platform_.reset();
    folder_.reset();
}

QString OpenWindowTest::write(const QByteArray &bytes, const QString &name)
{
    const QString path = folder_->filePath(name);
    if (!WriteFile(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void OpenWindowTest::open(const QString &path, Press press)
{
    platform_->openLentarAnswers.enqueue(path);
    if (press == Press::Button)
        Click(window_.get(), "OpenButton");
    else
        QTest::keyClick(window_.get(), Qt::Key_O, Qt::ControlModifier);
}

void OpenWindowTest::typeTitle(const QString &text)
{
    auto *title = Child<MemoEdit>(window_.get(), "title");
    title->selectAll();
    QTest::keyClicks(title, text);
}

void OpenWindowTest::verifyShown(const LentarDocument &doc)
{
    const MainWindow *w = window_.get();
    QCOMPARE(Child<MemoEdit>(w, "title")->text(), doc.title);
    QCOMPARE(Child<MemoEdit>(w, "description")->text(), doc.description);
    QCOMPARE(Child<MemoEdit>(w, "tech_request")->text(), doc.techRequest);
    QCOMPARE(Child<MemoEdit>(w, "manual")->text(), doc.manual);
    QCOMPARE(Child<QLineEdit>(w, "public_post_index")->text(), doc.publicPostIndex);
    QCOMPARE(Child<QLineEdit>(w, "public_post_address")->text(), doc.publicPostAddress);
    QCOMPARE(Child<QLineEdit>(w, "public_phone")->text(), doc.publicPhone);
    QCOMPARE(Child<QLineEdit>(w, "public_email")->text(), doc.publicEmail);
    QCOMPARE(Child<MemoEdit>(w, "Notes")->text(), doc.notes);
    for (int k = 0; k < kSubjectSlots; ++k) {
        const QString shown = Child<QLabel>(w, QStringLiteral("subj%1").arg(k + 1))->text();
        QCOMPARE(shown.isEmpty() || shown == u"[ Раздел не задан ]"_s, doc.subjectSlots[k] == 0);
    }
    QCOMPARE(Items(Child<QListWidget>(w, "AuthorsListBox")), Ids(doc.authors));
    QCOMPARE(Items(Child<QListWidget>(w, "TeachersListBox")), Ids(doc.leaders));
    if (!doc.authors.isEmpty())
        QCOMPARE(Child<QLineEdit>(w, "AuthorsLastname")->text(), doc.authors[0].surname);
    if (doc.invoiceLeader >= 0)
        QCOMPARE(Child<QComboBox>(w, "LeaderID")->currentText(), doc.leaders[doc.invoiceLeader].id);
    QCOMPARE(Child<QPushButton>(w, "DelImg")->isEnabled(), doc.picture.present);
    QCOMPARE(Child<QPushButton>(w, "AddImg")->isEnabled(), !doc.picture.present);
    QCOMPARE(Child<MemoEdit>(w, "WorkImgSign")->text(), doc.picture.caption);
    if (doc.picture.present) {
        const QImage shown = Child<QLabel>(w, "WorkImg")->pixmap().toImage();
        QCOMPARE(shown.size(), QSize(doc.picture.width, doc.picture.height));
        const DecodedFixture pixels = DecodeFixture(QByteArray::fromBase64(doc.picture.base64));
        for (const QPoint at : { QPoint(0, 0), QPoint(doc.picture.width / 2, 7),
                 QPoint(doc.picture.width - 1, doc.picture.height - 1) }) {
            const std::size_t i = std::size_t(at.y() * pixels.width + at.x()) * 3;
            QCOMPARE(shown.pixel(at),
                qRgb(pixels.samples[i], pixels.samples[i + 1], pixels.samples[i + 2]));
        }
    }
}

void OpenWindowTest::opensEveryFormOfALentar_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Press>("press");
    const QByteArray saved = LentarBytes(FullLentar());
    QByteArray lf = saved;
    lf.replace("\r\n", "\n");
    QTest::newRow("as saved, button") << saved << Press::Button;
    QTest::newRow("as saved, Ctrl+O") << saved << Press::Shortcut;
    QTest::newRow("without byte-order mark") << saved.mid(3) << Press::Shortcut;
    QTest::newRow("LF line ends") << lf << Press::Button;
    QTest::newRow("indented, CR LF") << IndentedLentar(saved, "\r\n") << Press::Shortcut;
    QTest::newRow("indented, LF") << IndentedLentar(lf, "\n") << Press::Button;
    QTest::newRow("attributes reversed") << AttributesReversedLentar(saved) << Press::Shortcut;
    QTest::newRow("preview, comment before the picture")
        << PreviewBytes(FullLentar()) << Press::Button;
}

void OpenWindowTest::opensEveryFormOfALentar()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Press, press);
    const QString path = write(bytes);
    open(path, press);
    QCOMPARE(platform_->openLentarRequests.size(), 1);
    QCOMPARE(platform_->openLentarRequests.front().second,
        u"Лентар Фестиваля «Ванторела» (*.lnr.xml)"_s);
    QVERIFY2(platform_->messages.isEmpty(), qPrintable(platform_->messages.value(0).text));
    verifyShown(FullLentar());
    QVERIFY(!window_->isWindowModified());
    QCOMPARE(window_->windowTitle(), u"работа.lnr.xml[*] - "_s + kCaption);
}

void OpenWindowTest::refusedFileLeavesTheWindowAsItWas()
{
    // A lentar opened before, then changed: all of it stays when the next file is refused.
    open(write(LentarBytes(FullLentar()), u"прежний.lnr.xml"_s));
    typeTitle(u"Fixed title"_s);
    LentarDocument before = FullLentar();
    before.title = u"Fixed title"_s;
    const QString windowTitle = window_->windowTitle();

    const QString path = write("Лентар, но не XML", u"чужой.lnr.xml"_s);
    platform_->messageAnswers.enqueue(MessageAnswer::Discard);
    open(path);
    QCOMPARE(platform_->messages.size(), 2);
    const ScriptedPlatform::Message &message = platform_->messages.back();
    QCOMPARE(message.icon, MessageIcon::Error);
    QCOMPARE(message.caption, u"Открытие файла лентара"_s);
    QVERIFY2(message.text.contains(u"«%1»"_s.arg(path)), qPrintable(message.text));
    verifyShown(before);
    QVERIFY(window_->isWindowModified());
    QCOMPARE(window_->windowTitle(), windowTitle);
}

void OpenWindowTest::faultyLentarOpensAsFarAsItGoes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<LentarDocument>("shown");
    QTest::addColumn<QStringList>("told");
    const LentarDocument full = FullLentar();
    const QByteArray saved = LentarBytes(full);

    LentarDocument withoutSubject = full;
    withoutSubject.subjectSlots = { 2, 24, 0, 0, 0 };
    QTest::newRow("unknown subject") << ReplacedOnce(saved, "sb_id=\"19\"", "sb_id=\"23\"")
                                     << withoutSubject << QStringList { u"номером «23»"_s };

    QString wrong = full.authors[1].id;
    wrong[10] = wrong[10] == u'0' ? u'1' : u'0';
    LentarDocument wrongDigits = full;
    wrongDigits.authors[1].id = wrong;
    QTest::newRow("wrong check digits")
        << ReplacedOnce(saved, full.authors[1].id.toLatin1(), wrong.toLatin1()) << wrongDigits
        << QStringList { u"Идентификатор %1 (автор 2) ошибочен"_s.arg(wrong) };

    LentarDocument damaged = full;
    const QByteArray jpeg = QByteArray::fromBase64(full.picture.base64);
    damaged.picture.base64 = PictureBase64(jpeg.left(jpeg.size() / 3));
    LentarDocument withoutPicture = full;
    withoutPicture.picture = WorkImage {};
    QTest::newRow("damaged picture")
        << LentarBytes(damaged) << withoutPicture << QStringList { u"Картинка не загружена"_s };

    LentarDocument markup = full;
    markup.notes = u"<script>alert(1)</script>&amp;"_s;
    markup.title = QString(Limits::title, u'Т');
    LentarDocument cut = markup;
    markup.title += u"ЩЩЩ"_s;
    QTest::newRow("markup kept as text, long title cut") << LentarBytes(
        markup) << cut << QStringList { u"«Название»: текст длиннее 250 символов"_s };
}

void OpenWindowTest::faultyLentarOpensAsFarAsItGoes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(LentarDocument, shown);
    QFETCH(QStringList, told);
    open(write(bytes), Press::Shortcut);
    QCOMPARE(platform_->messages.size(), 1);
    const ScriptedPlatform::Message &message = platform_->messages.front();
    QCOMPARE(message.icon, MessageIcon::Warning);
    for (const QString &part : told)
        QVERIFY2(message.text.contains(part), qPrintable(message.text));
    verifyShown(shown);
    QVERIFY(!window_->isWindowModified());
}

void OpenWindowTest::cancelledDialogChangesNothing()
{
    typeTitle(u"Draft"_s);
    platform_->messageAnswers.enqueue(MessageAnswer::Discard);
    Click(window_.get(), "OpenButton"); // no answer queued: the dialog is cancelled
    QCOMPARE(platform_->openLentarRequests.size(), 1);
    QCOMPARE(Child<MemoEdit>(window_.get(), "title")->text(), u"Draft"_s);
    QVERIFY(window_->isWindowModified());
}

void OpenWindowTest::unsavedChangesAreAskedAbout_data()
{
    QTest::addColumn<MessageAnswer>("answer");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("saveDialogs");
    QTest::newRow("cancel") << MessageAnswer::Cancel << false << 0;
    QTest::newRow("do not save") << MessageAnswer::Discard << true << 0;
    QTest::newRow("save, dialog cancelled") << MessageAnswer::Save << false << 1;
}

void OpenWindowTest::unsavedChangesAreAskedAbout()
{
    QFETCH(MessageAnswer, answer);
    QFETCH(bool, opens);
    QFETCH(int, saveDialogs);
    const QString path = write(LentarBytes(FullLentar()));
    // The whole lentar, then a changed title: complete, so saving reaches its dialog.
    open(path);
    typeTitle(u"Draft"_s);

    platform_->messageAnswers.enqueue(answer);
    open(path, Press::Shortcut);
    QCOMPARE(platform_->messages.size(), 1);
    QCOMPARE(platform_->messages[0].icon, MessageIcon::Question);
    QCOMPARE(platform_->messages[0].buttons, MessageButtons::SaveDiscardCancel);
    QCOMPARE(platform_->messages[0].text,
        u"Лентар не сохранен. Сохранить изменения перед открытием другого лентара?"_s);
    QCOMPARE(platform_->saveRequests.size(), saveDialogs);
    // The open dialog comes only once the changes may go.
    QCOMPARE(platform_->openLentarRequests.size(), opens ? 2 : 1);
    QCOMPARE(
        Child<MemoEdit>(window_.get(), "title")->text(), opens ? FullLentar().title : u"Draft"_s);
    QCOMPARE(window_->isWindowModified(), !opens);
    if (!opens)
        platform_->openLentarAnswers.clear();
}

void OpenWindowTest::openAndSaveGivesTheSameFile()
{
    const QString path = write(LentarBytes(FullLentar(), 1200000000));
    open(path);
    platform_->now = 1300000000;
    const QString copy = folder_->filePath(u"копия.lnr.xml"_s);
    platform_->saveFileAnswers.enqueue(copy);
    Click(window_.get(), "SaveButton");

    // The dialog proposed the opened file's folder and name.
    QCOMPARE(platform_->saveRequests.size(), 1);
    QCOMPARE(platform_->saveRequests[0].initialFileName, u"работа.lnr.xml"_s);
    QCOMPARE(platform_->saveRequests[0].initialFolder, folder_->path());
    QCOMPARE(platform_->messages.back().caption, u"Лентар сохранен"_s);
    // Byte for byte the same file apart from the time of writing; so the picture too.
    QByteArray expected = ReadFile(path);
    expected.replace("stored=\"1200000000\"", "stored=\"1300000000\"");
    QCOMPARE(ReadFile(copy), expected);

    // The saved file is now the lentar's file: named in the title, proposed next time.
    QCOMPARE(window_->windowTitle(), u"копия.lnr.xml[*] - "_s + kCaption);
    QVERIFY(!window_->isWindowModified());
    Click(window_.get(), "SaveButton");
    QCOMPARE(platform_->saveRequests.size(), 2);
    QCOMPARE(platform_->saveRequests[1].initialFileName, u"копия.lnr.xml"_s);
}

void OpenWindowTest::titleNamesTheFileAndMarksChanges()
{
    QCOMPARE(window_->windowTitle(), kCaption + u"[*]"_s);
    typeTitle(u"Draft"_s);
    QVERIFY(window_->isWindowModified());

    platform_->messageAnswers.enqueue(MessageAnswer::Discard);
    open(write(LentarBytes(FullLentar()), u"Моя работа.lnr.xml"_s));
    QCOMPARE(window_->windowTitle(), u"Моя работа.lnr.xml[*] - "_s + kCaption);
    QVERIFY(!window_->isWindowModified());

    // Any change marks the window again: a field, the picture, a participant.
    typeTitle(u"Other"_s);
    QVERIFY(window_->isWindowModified());
    window_->setWindowModified(false);
    ShowPage(window_.get(), 1);
    Click(window_.get(), "DelImg");
    QVERIFY(window_->isWindowModified());
}

void OpenWindowTest::commandLineOpensTheFile()
{
    const QString path = write(LentarBytes(FullLentar()));
    // What main does with its arguments.
    const CommandLine line = ParseCommandLine({ u"lentar"_s, path });
    QCOMPARE(line.action, CommandLine::Action::Start);
    MainWindow started(*platform_);
    ShowEditor(started, line.file);
    QVERIFY(started.isVisible());
    QCOMPARE(Child<MemoEdit>(&started, "title")->text(), FullLentar().title);
    QCOMPARE(Items(Child<QListWidget>(&started, "AuthorsListBox")), Ids(FullLentar().authors));
    QVERIFY(platform_->messages.isEmpty());
    QVERIFY(platform_->openLentarRequests.isEmpty());
    QCOMPARE(started.windowTitle(), u"работа.lnr.xml[*] - "_s + kCaption);

    // A file that is no lentar: the window shows, empty, and says why.
    const QString bad = write("<html/>", u"страница.lnr.xml"_s);
    MainWindow refused(*platform_);
    ShowEditor(refused, ParseCommandLine({ u"lentar"_s, bad }).file);
    QVERIFY(refused.isVisible());
    QCOMPARE(refused.document(), LentarDocument {});
    QCOMPARE(platform_->messages.size(), 1);
    QCOMPARE(platform_->messages[0].icon, MessageIcon::Error);
    QVERIFY(platform_->messages[0].text.contains(bad));

    // Without a file the window starts empty and says nothing.
    MainWindow plain(*platform_);
    ShowEditor(plain, ParseCommandLine({ u"lentar"_s }).file);
    QVERIFY(plain.isVisible());
    QCOMPARE(platform_->messages.size(), 1);
}

void OpenWindowTest::droppedLentarOpens_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("opens");
    QTest::newRow("on the window") << u"Lentar"_s << u"работа.lnr.xml"_s << true;
    QTest::newRow("on the title field") << u"title"_s << u"работа.lnr.xml"_s << true;
    QTest::newRow("on the comments") << u"Notes"_s << u"РАБОТА.LNR.XML"_s << true;
    QTest::newRow("another kind of file") << u"Lentar"_s << u"работа.xml"_s << false;
}

void OpenWindowTest::droppedLentarOpens()
{
    QFETCH(QString, target);
    QFETCH(QString, fileName);
    QFETCH(bool, opens);
    const QString path = write(LentarBytes(FullLentar()), fileName);
    QWidget *on
        = target == window_->objectName() ? window_.get() : Child<QWidget>(window_.get(), target);
    if (auto *memo = qobject_cast<MemoEdit *>(on))
        on = memo->viewport();

    QMimeData mime;
    mime.setUrls({ QUrl::fromLocalFile(path) });
    mime.setText(QUrl::fromLocalFile(path).toString());
    const QPoint at = on->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(on, &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(on, &drop);
    QCOMPARE(drop.isAccepted() && drop.dropAction() == Qt::CopyAction, opens);

    auto *title = Child<MemoEdit>(window_.get(), "title");
    if (opens) {
        QTRY_COMPARE(title->text(), FullLentar().title);
        verifyShown(FullLentar());
        QCOMPARE(window_->windowTitle(), fileName + u"[*] - "_s + kCaption);
    } else {
        QCoreApplication::processEvents();
        QCOMPARE(window_->document(), LentarDocument {});
    }
    QVERIFY(platform_->messages.isEmpty());
}

QTEST_MAIN(OpenWindowTest)
#include "open_window_test.moc"
