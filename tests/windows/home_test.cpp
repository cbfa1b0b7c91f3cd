// A run of the editor leaves nothing in the user's home folder: the main flows, with the
// real file dialogs and message boxes, run with HOME at an empty folder, which is
// still empty afterwards, also once the application object is gone.

#include "document/lentar_document.h"
#include "platform/qt_platform.h"
#include "test_files.h"
#include "window_driver.h"
#include "windows/application.h"
#include "windows/main_window.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDirIterator>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Everything in the folder but the one exception: the state folder, once empty, where
// the recovery copy was kept while the changes were unsaved.
QStringList Everything(const QString &folder)
{
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    const QString state = folder + u"/.local/state/lentar"_s;
    while (it.hasNext())
        if (const QString path = it.next(); !state.startsWith(path) || !QDir(state).isEmpty())
            found.append(path);
    return found;
}

// Runs action on the modal window named name once it is up, however many other modal
// windows come and go before it; returns a flag that tells whether it did.
std::shared_ptr<bool> OnceModal(const QString &name, std::function<void(QWidget *)> action)
{
    auto done = std::make_shared<bool>(false);
    auto *poll = new QTimer(qApp);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, name, action, done] {
        QWidget *window = QApplication::activeModalWidget();
        if (!window || window->objectName() != name || !window->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        *done = true;
        QApplication::setActiveWindow(window);
        action(window);
        if (window->isVisible())
            window->close();
    });
    poll->start();
    return done;
}

// Types a path into a file dialog's name field as a user pastes it, and presses Enter.
void ChooseInDialog(QWidget *dialog, const QString &path)
{
    auto *name = Child<QLineEdit>(dialog, "fileNameEdit");
    QApplication::clipboard()->setText(path);
    QTest::mouseClick(name, Qt::LeftButton);
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(name, Qt::Key_Return);
}

QString DialogFolder(QWidget *dialog)
{
    auto *files = qobject_cast<QFileDialog *>(dialog);
    return files ? files->directory().absolutePath() : QString();
}

} // namespace

// Takes the page the preview opens in the browser.
class Browser : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened.append(url); }
};

class HomeTest : public QObject
{
    Q_OBJECT

public:
    explicit HomeTest(const QString &home)
        : home_(home)
    { }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void pictureDialogStartsAtHomeAndCancels();
    void importPicture();
    void identifierAndSubjectDialogs();
    void preview();
    void save();
    void homeIsStillEmpty();

private:
    QString home_;
    QTemporaryDir work_;
    Browser browser_;
    std::unique_ptr<QtPlatform> platform_;
    std::unique_ptr<MainWindow> window_;
};

void HomeTest::initTestCase()
{
    QVERIFY(work_.isValid());
    QVERIFY(!work_.path().startsWith(home_));
    QVERIFY(Everything(home_).isEmpty());
    QDesktopServices::setUrlHandler(u"file"_s, &browser_, "open");
    platform_ = std::make_unique<QtPlatform>();
    window_ = std::make_unique<MainWindow>(*platform_);
    platform_->setOwner(window_.get());
    static_cast<LentarApplication *>(qApp)->setPlatform(platform_.get());
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void HomeTest::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(u"file"_s);
    static_cast<LentarApplication *>(qApp)->setPlatform(nullptr);
    window_->setWindowModified(false);
    window_.reset();
}

void HomeTest::pictureDialogStartsAtHomeAndCancels()
{
    QString folder;
    const auto shown = OnceModal(u"OpenPictureDialog"_s, [&](QWidget *dialog) {
        folder = DialogFolder(dialog);
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    ShowPage(window_.get(), 1);
    Click(window_.get(), "AddImg");
    QVERIFY(*shown);
    // No documents folder in this home: the dialog starts in the home folder itself.
    QCOMPARE(folder, QDir(home_).absolutePath());
    QVERIFY(Child<QPushButton>(window_.get(), "AddImg")->isEnabled());
}

void HomeTest::importPicture()
{
    const QString picture = work_.filePath(u"фото.jpg"_s);
    QImage image(640, 480, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QVERIFY(image.save(picture, "JPG"));

    const auto shown = OnceModal(
        u"OpenPictureDialog"_s, [&](QWidget *dialog) { ChooseInDialog(dialog, picture); });
    ShowPage(window_.get(), 1);
    Click(window_.get(), "AddImg");
    QVERIFY(*shown);
    QVERIFY(!Child<QPushButton>(window_.get(), "AddImg")->isEnabled());
    QVERIFY(Child<QPushButton>(window_.get(), "DelImg")->isEnabled());
}

void HomeTest::identifierAndSubjectDialogs()
{
    const auto subjects = OnceModal(
        u"Subjects"_s, [](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    ShowPage(window_.get(), 0);
    Click(window_.get(), "Button3");
    QVERIFY(*subjects);
    const auto identifier
        = OnceModal(u"Form1"_s, [](QWidget *dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    ShowPage(window_.get(), 2);
    Click(window_.get(), "AuthorAdd");
    QVERIFY(*identifier);
}

void HomeTest::preview()
{
    Click(window_.get(), "Preview");
    QCOMPARE(browser_.opened.size(), 1);
    QVERIFY(QFileInfo::exists(browser_.opened.front().toLocalFile()));
}

void HomeTest::save()
{
    LentarDocument doc = window_->document();
    doc.title = u"Работа"_s;
    doc.description = u"Описание"_s;
    doc.subjectSlots = { 4, 0, 0, 0, 0 };
    doc.authors = { { ValidParticipantId("1234567"), u"Иванов"_s, u"Иван"_s, u"Иванович"_s } };
    doc.leaders = { { ValidParticipantId("7654321"), u"Петрова"_s, u"Мария"_s, u"Сергеевна"_s } };
    doc.invoiceLeader = 0;
    EnterLentar(window_.get(), doc);
    const QString target = work_.filePath(u"сохранено/Работа.lnr.xml"_s);
    QVERIFY(QDir().mkpath(QFileInfo(target).path()));

    QString folder;
    QString proposed;
    const auto dialog = OnceModal(u"SaveDialog"_s, [&](QWidget *shown) {
        folder = DialogFolder(shown);
        proposed = Child<QLineEdit>(shown, "fileNameEdit")->text();
        ChooseInDialog(shown, target);
    });
    QString confirmation;
    const auto saved = OnceModal(QString(), [&](QWidget *box) {
        if (auto *message = qobject_cast<QMessageBox *>(box))
            confirmation = message->windowTitle();
        QTest::keyClick(box, Qt::Key_Return);
    });
    Click(window_.get(), "SaveButton");
    QVERIFY(*dialog);
    QVERIFY(*saved);
    QCOMPARE(folder, QDir(home_).absolutePath());
    QCOMPARE(proposed, u"Работа.lnr.xml"_s);
    QCOMPARE(confirmation, u"Лентар сохранен"_s);
    QVERIFY(QFileInfo(target).isFile());
}

void HomeTest::homeIsStillEmpty()
{
    QCOMPARE(Everything(home_), QStringList());
}

int main(int argc, char **argv)
{
    // An empty home folder of its own, with the desktop's folders for settings, caches
    // and data at their places inside it.
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    qputenv("HOME", QFile::encodeName(home.path()));
    for (const char *name :
        { "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME" })
        qunsetenv(name);

    int result = 0;
    {
        LentarApplication app(argc, argv);
        HomeTest test(home.path());
        result = QTest::qExec(&test, argc, argv);
    }
    // What the application writes as it ends counts too.
    const QStringList left = Everything(home.path());
    for (const QString &path : left)
        std::fprintf(stderr, "FAIL: left in the home folder at exit: %s\n", qPrintable(path));
    return left.isEmpty() ? result : 1;
}

#include "home_test.moc"
