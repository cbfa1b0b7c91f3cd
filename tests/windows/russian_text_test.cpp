// Every window, dialog, message box and menu the user can open speaks Russian, also
// where the texts are Qt's own, whatever the locale the program was started in.

#include "platform/qt_platform.h"
#include "visible_texts.h"
#include "window_driver.h"
#include "windows/application.h"
#include "windows/main_window.h"

#include <QClipboard>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

#define VERIFY_RUSSIAN(widget)                                                                     \
    do {                                                                                           \
        const QStringList texts = VisibleTexts(widget);                                            \
        QVERIFY2(!texts.isEmpty(), "nothing to read");                                             \
        const QStringList english = EnglishWords(texts);                                           \
        QVERIFY2(english.isEmpty(), qPrintable(english.join(u"; ")));                              \
    } while (false)

} // namespace

Q_DECLARE_METATYPE(MessageButtons)
Q_DECLARE_METATYPE(MessageIcon)

class RussianTextTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void englishIsFound_data();
    void englishIsFound();
    void messageBoxes_data();
    void messageBoxes();
    void pictureDialog();
    void saveDialogAndItsOverwriteQuestion();
    void mainWindowPages();
    void identifierAndSubjectDialogs_data();
    void identifierAndSubjectDialogs();
    void contextMenus_data();
    void contextMenus();

private:
    std::unique_ptr<QtPlatform> platform;
    std::unique_ptr<MainWindow> window;
};

void RussianTextTest::init()
{
    platform = std::make_unique<QtPlatform>();
    window = std::make_unique<MainWindow>(*platform);
    platform->setOwner(window.get());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void RussianTextTest::cleanup()
{
    window->setWindowModified(false);
    window.reset();
    platform.reset();
}

void RussianTextTest::englishIsFound_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("english");
    QTest::newRow("Russian") << u"Сохранение файла лентара"_s << 0;
    QTest::newRow("formats and extensions") << u"Изображения JPEG (*.jpg *.jpeg)"_s << 0;
    QTest::newRow("lentar filter") << u"Лентар (*.lnr.xml)"_s << 0;
    QTest::newRow("identifier pattern") << u"Идентификатор (в формате XXX-XXX-XXX):"_s << 0;
    QTest::newRow("mnemonic") << u"&Look in:"_s << 2;
    QTest::newRow("system reason") << u"Не удалось записать файл «a»: File name too long"_s << 4;
    QTest::newRow("single letters") << u"Размер 300 x 300"_s << 0;
}

// The check below finds what it is meant to find.
void RussianTextTest::englishIsFound()
{
    QFETCH(QString, text);
    QFETCH(int, english);
    QCOMPARE(EnglishWords({ text }).size(), english);
}

void RussianTextTest::messageBoxes_data()
{
    QTest::addColumn<MessageButtons>("buttons");
    QTest::addColumn<MessageIcon>("icon");
    QTest::addColumn<int>("buttonCount");
    QTest::newRow("error, OK") << MessageButtons::Ok << MessageIcon::Error << 1;
    QTest::newRow("warning, OK") << MessageButtons::Ok << MessageIcon::Warning << 1;
    QTest::newRow("question, yes or no") << MessageButtons::YesNo << MessageIcon::Question << 2;
    QTest::newRow("save, discard or cancel")
        << MessageButtons::SaveDiscardCancel << MessageIcon::Warning << 3;
}

void RussianTextTest::messageBoxes()
{
    QFETCH(MessageButtons, buttons);
    QFETCH(MessageIcon, icon);
    QFETCH(int, buttonCount);
    const auto shown = WhenModal("", [&](QWidget *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        QCOMPARE(box->buttons().size(), buttonCount);
        VERIFY_RUSSIAN(box);
        // Escape answers the way the box allows it to be left.
        QTest::keyClick(box, Qt::Key_Escape);
    });
    platform->showMessage(
        u"Файл «Работа.lnr.xml» уже существует.\nЗаменить его?"_s, u"Лентар"_s, icon, buttons);
    QVERIFY(*shown);
}

void RussianTextTest::pictureDialog()
{
    const auto shown = WhenModal("OpenPictureDialog", [](QWidget *dialog) {
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        VERIFY_RUSSIAN(dialog);
        // The detailed view adds the column headers.
        Click(dialog, "detailModeButton");
        VERIFY_RUSSIAN(dialog);
        Click(dialog, "listModeButton");
        // The list of files has a menu of its own, which waits for an answer.
        bool inspected = false;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY2(menu, "no context menu opened");
            inspected = true;
            const auto close = qScopeGuard([menu] { menu->close(); });
            VERIFY_RUSSIAN(menu);
        });
        auto *files = Child<QWidget>(dialog, "listView");
        QVERIFY(RightClick(files) == nullptr); // returns once the menu is closed
        QVERIFY(inspected);
    });
    ShowPage(window.get(), 1);
    Click(window.get(), "AddImg");
    QVERIFY(*shown);
}

void RussianTextTest::saveDialogAndItsOverwriteQuestion()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString existing = folder.filePath(u"Работа.lnr.xml"_s);
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    bool asked = false;
    std::optional<QString> answer = u"not asked"_s;
    const auto shown = WhenModal("SaveDialog", [&](QWidget *dialog) {
        // The desktop gives the new dialog the keyboard; the offscreen one needs telling.
        QApplication::setActiveWindow(dialog);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        VERIFY_RUSSIAN(dialog);
        Click(dialog, "detailModeButton");
        VERIFY_RUSSIAN(dialog);
        // Choosing a file that exists asks before replacing it.
        auto *name = Child<QLineEdit>(dialog, "fileNameEdit");
        QApplication::clipboard()->setText(existing);
        QTest::mouseClick(name, Qt::LeftButton);
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(name, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(name->text(), existing);
        const auto question = WhenModal("", [&](QWidget *box) {
            asked = qobject_cast<QMessageBox *>(box) != nullptr;
            VERIFY_RUSSIAN(box);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(*question);
        QVERIFY2(dialog->isVisible(), "the dialog closed though the user did not replace the file");
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    SaveDialogSettings settings;
    settings.title = u"Сохранение файла лентара"_s;
    settings.filterDescription = u"Лентар Фестиваля «Ванторела»"_s;
    settings.filterPattern = u"*.lnr.xml"_s;
    settings.defaultSuffix = u"lnr.xml"_s;
    settings.initialFileName = u"Работа.lnr.xml"_s;
    answer = platform->askSaveFileName(settings);
    QVERIFY(*shown);
    QVERIFY(asked);
    QCOMPARE(answer, std::nullopt);
}

void RussianTextTest::mainWindowPages()
{
    auto *tabs = Child<QTabWidget>(window.get(), "SectionsTabs");
    for (int page = 0; page < tabs->count(); ++page) {
        ShowPage(window.get(), page);
        QCOMPARE(tabs->currentIndex(), page);
        VERIFY_RUSSIAN(window.get());
    }
}

void RussianTextTest::identifierAndSubjectDialogs_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("dialog");
    QTest::newRow("subjects") << 0 << u"Button3"_s << u"Subjects"_s;
    QTest::newRow("author's identifier") << 2 << u"AuthorAdd"_s << u"Form1"_s;
    QTest::newRow("leader's identifier") << 2 << u"TeacherAdd"_s << u"Form1"_s;
}

void RussianTextTest::identifierAndSubjectDialogs()
{
    QFETCH(int, page);
    QFETCH(QString, button);
    QFETCH(QString, dialog);
    const QByteArray name = dialog.toLatin1();
    const auto shown = WhenModal(name.constData(), [](QWidget *opened) {
        VERIFY_RUSSIAN(opened);
        QTest::keyClick(opened, Qt::Key_Escape);
    });
    ShowPage(window.get(), page);
    QTest::mouseClick(Child<QWidget>(window.get(), button), Qt::LeftButton);
    QVERIFY(*shown);
}

void RussianTextTest::contextMenus_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("field");
    QTest::newRow("line edit") << 0 << u"title"_s;
    QTest::newRow("multi-line edit") << 0 << u"description"_s;
    QTest::newRow("note") << 3 << u"Notes"_s;
}

void RussianTextTest::contextMenus()
{
    QFETCH(int, page);
    QFETCH(QString, field);
    ShowPage(window.get(), page);
    auto *edit = Child<QWidget>(window.get(), field);
    QVERIFY(edit->isVisible());
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClicks(QApplication::focusWidget(), u"text"_s);
    QMenu *menu = RightClick(edit);
    QVERIFY2(menu, "no context menu opened");
    VERIFY_RUSSIAN(menu);
    // The menu offers the usual editing commands, in Russian.
    QVERIFY(menu->actions().size() >= 6);
    menu->close();
}

int main(int argc, char **argv)
{
    // Started in an English locale, as on a machine set up in English.
    qputenv("LC_ALL", "en_US.UTF-8");
    qputenv("LANG", "en_US.UTF-8");
    qputenv("LANGUAGE", "en");
    LentarApplication app(argc, argv);
    RussianTextTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "russian_text_test.moc"
