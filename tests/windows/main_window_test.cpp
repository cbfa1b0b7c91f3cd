#include "codec/participant_id.h"
#include "lentar_version.h"
#include "scripted_platform.h"
#include "test_files.h"
#include "window_driver.h"
#include "windows/help_texts.h"
#include "windows/main_window.h"
#include "windows/memo_edit.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {

QString helpShown(const MainWindow &w)
{
    return Child<QPlainTextEdit>(&w, "HelpMemo")->toPlainText();
}

// Puts text into a field the way a user does with a long text: through the clipboard.
void paste(QWidget *field, const QString &text)
{
    QApplication::clipboard()->setText(text);
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
}

LentarDocument completeDocument()
{
    LentarDocument doc;
    doc.title = QStringLiteral("Сборник стихотворений «Весна»");
    doc.description = QStringLiteral("Первая строка\r\nВторая строка");
    doc.manual = QStringLiteral("Открыть index.html");
    doc.subjectSlots = { 2, 19, 24, 0, 0 };
    doc.authors = { { ValidParticipantId("1234567"), "Иванов", "Иван", "Иванович" } };
    doc.leaders = { { ValidParticipantId("7654321"), "Петрова", "Мария", "Сергеевна" },
        { ValidParticipantId("5555555"), "Сидоров", "Пётр", "Ильич" } };
    doc.invoiceLeader = 1;
    doc.publicEmail = QStringLiteral("school@example.org");
    doc.notes = QStringLiteral("Спасибо");
    return doc;
}

QString writeJpeg(const QString &folder, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(QColor(200, 30, 30));
    const QString path = folder + QStringLiteral("/source.jpg");
    if (!image.save(path, "JPEG", 95))
        return {};
    return path;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        platform = std::make_unique<ScriptedPlatform>();
        window = std::make_unique<MainWindow>(*platform);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup()
    {
        window->setWindowModified(false);
        window.reset();
    }

    void startState()
    {
        MainWindow &w = *window;
        QCOMPARE(w.windowTitle(),
            QStringLiteral("Фестиваль «Ванторела» - Лентар (2010 / 2011) v.")
                + QString::fromLatin1(kLentarVersion) + QStringLiteral("[*]"));
        QCOMPARE(w.size(), QSize(787, 502));
        auto *tabs = Child<QTabWidget>(&w, "SectionsTabs");
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->count(), 4);
        QCOMPARE(tabs->tabText(2), QStringLiteral("Авторы и руководители"));
        const auto enabled
            = [&](const char *name) { return Child<QWidget>(&w, name)->isEnabled(); };
        QVERIFY(enabled("AuthorAdd"));
        QVERIFY(enabled("TeacherAdd"));
        QVERIFY(enabled("AddImg"));
        for (const char *name : { "AuthorDelete", "TeacherDelete", "LeaderID", "LeaderID_Label",
                 "DelImg", "WorkImgSign" })
            QVERIFY2(!enabled(name), name);
        QCOMPARE(Child<QLabel>(&w, "subj1")->text(), QStringLiteral("[ Раздел не задан ]"));
        // The window starts with the title help, and typing starts in the title.
        QCOMPARE(helpShown(w), HelpText(kTitleHelp));
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(!w.isWindowModified());
        QCOMPARE(w.document(), LentarDocument {});
        QCOMPARE(QApplication::focusWidget(), Child<QWidget>(&w, "title"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Spring"));
        QCOMPARE(w.document().title, QStringLiteral("Spring"));

        // The placeholder frame: white with the size written in it.
        const QImage frame = Child<QLabel>(&w, "WorkImg")->pixmap().toImage();
        QCOMPARE(frame.size(), QSize(300, 300));
        QCOMPARE(frame.pixelColor(5, 5), QColor(Qt::white));
        bool hasText = false;
        for (int y = 148; y < 170 && !hasText; ++y)
            for (int x = 130; x < 190 && !hasText; ++x)
                hasText = frame.pixelColor(x, y) != QColor(Qt::white);
        QVERIFY(hasText);
    }

    void helpTextsKeepEveryCharacter()
    {
        // Only the line breaks after a trailing blank go; every character stays.
        const auto joined = [](const auto &lines) {
            QString all;
            for (const char *line : lines)
                all += QString::fromUtf8(line);
            return all;
        };
        QString picture = HelpText(kPictureHelp);
        QCOMPARE(picture.count(u'\n'), 9);
        QCOMPARE(picture.remove(u'\n'), joined(kPictureHelp));
        QVERIFY(HelpText(kPictureHelp)
                    .startsWith(QStringLiteral(
                        "Вы можете выбрать иллюстрацию, которая будет размещена на странице "
                        "описания работы на сайте «Ванторела». \n\nПожалуйста,")));
        QCOMPARE(HelpText(kCommentsHelp),
            QStringLiteral("Здесь вы можете оставить записку сотруднику оргкомитета, который "
                           "будет обрабатывать лентар вашей работы.\n\nЭта информация "
                           "предназначена исключительно для внутреннего пользования и, "
                           "разумеется, нигде не публикуется."));
    }

    void helpFollowsFocusAndClicks()
    {
        MainWindow &w = *window;
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(Child<QWidget>(&w, "title"), Qt::Key_Tab);
        QCOMPARE(helpShown(w), HelpText(kDescriptionHelp));
        Click(&w, "title");
        QCOMPARE(helpShown(w), HelpText(kTitleHelp));
        QTest::mouseClick(Child<QPlainTextEdit>(&w, "manual")->viewport(), Qt::LeftButton);
        QCOMPARE(helpShown(w), HelpText(kManualHelp));
        Click(&w, "public_email");
        QCOMPARE(helpShown(w), HelpText(kContactsHelp));
        // Backtab from the postal code lands in the viewing instructions.
        Click(&w, "public_post_index");
        QCOMPARE(helpShown(w), HelpText(kContactsHelp));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(helpShown(w), HelpText(kManualHelp));
        Click(&w, "tech_request");
        QCOMPARE(helpShown(w), HelpText(kTechRequestHelp));
        // Other pages leave the panel alone.
        ShowPage(&w, 3);
        Click(&w, "Notes");
        ShowPage(&w, 0);
        QCOMPARE(helpShown(w), HelpText(kTechRequestHelp));
    }

    // Every help text can be read from the keyboard: Tab reaches its panel, which takes
    // no typing, and Ctrl+End brings its last line into view.
    void helpPanelsReachableByKeyboard_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("group");
        QTest::addColumn<bool>("fits"); // no scroll bar then
        const auto row = [](const char *name, int page, const char *start, const char *panel,
                             const char *group, bool fits) {
            QTest::newRow(name) << page << QString::fromLatin1(start) << QString::fromLatin1(panel)
                                << QString::fromLatin1(group) << fits;
        };
        row("work", 0, "public_email", "HelpMemo", "Help", false);
        row("picture", 1, "AddImg", "Memo5", "GroupBox4", true);
        row("participants", 2, "AuthorsListBox", "Memo1", "GroupBox1", true);
        row("comments", 3, "Notes", "Memo2", "GroupBox2", true);
    }
    void helpPanelsReachableByKeyboard()
    {
        QFETCH(int, page);
        QFETCH(QString, start);
        QFETCH(QString, panel);
        QFETCH(QString, group);
        QFETCH(bool, fits);
        MainWindow &w = *window;
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        ShowPage(&w, page);
        auto *help = Child<QPlainTextEdit>(&w, panel);
        QCOMPARE(help->verticalScrollBar()->isVisible(), !fits);
        Child<QWidget>(&w, start)->setFocus();
        for (int presses = 0; presses < 30 && QApplication::focusWidget() != help; ++presses)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), help);

        const QString text = help->toPlainText();
        QTest::keyClicks(help, QStringLiteral("abc"));
        QTest::keyClick(help, Qt::Key_Delete);
        QCOMPARE(help->toPlainText(), text);
        QTest::keyClick(help, Qt::Key_End, Qt::ControlModifier);
        const QRect caret = help->cursorRect();
        QVERIFY(help->viewport()->rect().contains(caret));
        QCOMPARE(help->textCursor().position(), text.size());

        // The panel lets its group show through.
        auto *frame = Child<QWidget>(&w, group);
        const QImage shot = frame->grab().toImage();
        const QPoint middleLeft(help->x(), help->y() + help->height() / 2);
        const QPoint insidePanel = middleLeft + QPoint(1, 0); // in the text's margin
        const QPoint besidePanel = middleLeft - QPoint(3, 0);
        QCOMPARE(shot.pixelColor(insidePanel), shot.pixelColor(besidePanel));
    }

    void typingStopsAtTheLimits()
    {
        MainWindow &w = *window;
        QTest::keyClicks(Child<QWidget>(&w, "title"), QString(251, u'z'));
        QCOMPARE(w.document().title.size(), 250);
        QTest::keyClicks(Child<QWidget>(&w, "public_post_index"), QStringLiteral("12345678901"));
        QCOMPARE(w.document().publicPostIndex, QStringLiteral("1234567890"));

        // A line break counts as two characters.
        ShowPage(&w, 3);
        auto *notes = Child<QWidget>(&w, "Notes");
        paste(notes, QString(1998, u'a'));
        QTest::keyClick(notes, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(notes, Qt::Key_Return);
        QCOMPARE(w.document().notes, QString(1998, u'a') + QStringLiteral("\r\n"));
        QTest::keyClick(notes, Qt::Key_B);
        QCOMPARE(w.document().notes.size(), 2000);

        ShowPage(&w, 0);
        auto *description = Child<QWidget>(&w, "description");
        paste(description, QString(499, u'a'));
        QTest::keyClick(description, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClick(description, Qt::Key_Return);
        QCOMPARE(w.document().description, QString(499, u'a'));
        QTest::keyClick(description, Qt::Key_C);
        QCOMPARE(w.document().description, QString(499, u'a') + u'c');
    }

    void subjectsShowInCatalogueOrder()
    {
        MainWindow &w = *window;
        auto shown = WhenModal("Subjects", [](QWidget *d) {
            for (int id : { 11, 6, 22 })
                Tick(d, id);
            Click(d, "Button1");
        });
        Click(&w, "Button3");
        QVERIFY(*shown);
        QCOMPARE(Child<QLabel>(&w, "subj1")->text(),
            QStringLiteral("Лингвистика (русский и иностранные языки)"));
        QCOMPARE(Child<QLabel>(&w, "subj2")->text(), QStringLiteral("Физика"));
        QCOMPARE(Child<QLabel>(&w, "subj3")->text(), QStringLiteral("В помощь учителю"));
        QCOMPARE(Child<QLabel>(&w, "subj4")->text(), QString());
        QCOMPARE(w.document().subjectSlots, (std::array<int, 5> { 6, 11, 22, 0, 0 }));
        QVERIFY(w.isWindowModified());

        // Closing the dialog by its frame keeps the window's choice.
        shown = WhenModal("Subjects", [](QWidget *d) {
            Tick(d, 11);
            d->close();
        });
        Click(&w, "Button3");
        QVERIFY(*shown);
        QCOMPARE(w.document().subjectSlots, (std::array<int, 5> { 6, 11, 22, 0, 0 }));
        QCOMPARE(Child<QLabel>(&w, "subj2")->text(), QStringLiteral("Физика"));
    }

    void documentRoundTrip()
    {
        const LentarDocument doc = completeDocument();
        EnterLentar(window.get(), doc);
        QCOMPARE(window->document(), doc);
        QCOMPARE(Child<QLabel>(window.get(), "subj2")->text(),
            QStringLiteral("Литературное творчество"));
    }

    void pictureImportAndRemoval()
    {
        MainWindow &w = *window;
        QTemporaryDir dir;
        const QString source = writeJpeg(dir.path(), 600, 400);
        QVERIFY(!source.isEmpty());
        ShowPage(&w, 1);
        auto *addImg = Child<QPushButton>(&w, "AddImg");
        auto *delImg = Child<QPushButton>(&w, "DelImg");
        auto *sign = Child<MemoEdit>(&w, "WorkImgSign");
        auto *image = Child<QLabel>(&w, "WorkImg");

        platform->openPictureAnswers.enqueue(std::nullopt);
        QTest::mouseClick(addImg, Qt::LeftButton);
        QVERIFY(platform->openPictureAnswers.isEmpty());
        QVERIFY(addImg->isEnabled());
        QVERIFY(!w.document().picture.present);

        platform->openPictureAnswers.enqueue(source);
        QTest::mouseClick(addImg, Qt::LeftButton);
        QVERIFY(platform->messages.isEmpty());
        QVERIFY(!addImg->isEnabled());
        QVERIFY(delImg->isEnabled());
        QVERIFY(sign->isEnabled());
        QCOMPARE(image->size(), QSize(300, 200));
        QTest::keyClick(sign, Qt::Key_Space);
        const WorkImage picture = w.document().picture;
        QVERIFY(picture.present);
        QCOMPARE(picture.width, 300);
        QCOMPARE(picture.height, 200);
        QCOMPARE(picture.caption, QStringLiteral(" "));
        const QList<QByteArray> lines = picture.base64.split('\n');
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QCOMPARE(lines[i].size(), 76);
        const QString copy = platform->tempFolder() + QStringLiteral("preview.lnr.jpg");
        QFile written(copy);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(QByteArray::fromBase64(picture.base64), written.readAll());

        QTest::mouseClick(delImg, Qt::LeftButton);
        QVERIFY(addImg->isEnabled());
        QVERIFY(!delImg->isEnabled());
        QVERIFY(!sign->isEnabled());
        QCOMPARE(sign->text(), QString());
        QCOMPARE(image->size(), QSize(300, 300));
        const QImage frame = image->pixmap().toImage();
        for (int y = 140; y < 175; ++y)
            for (int x = 120; x < 200; ++x)
                QCOMPARE(frame.pixelColor(x, y), QColor(Qt::white));
        QCOMPARE(w.document().picture, WorkImage {});
        QVERIFY(QFile::exists(copy));
    }

    void badPictureChangesNothing()
    {
        MainWindow &w = *window;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.jpg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\x89PNG\r\n\x1a\n not a jpeg at all");
        file.close();
        platform->openPictureAnswers.enqueue(path);
        ShowPage(&w, 1);
        Click(&w, "AddImg");
        QCOMPARE(platform->messages.size(), 1);
        QCOMPARE(platform->messages[0].caption, QStringLiteral("Лентар"));
        QCOMPARE(platform->messages[0].icon, MessageIcon::Error);
        QVERIFY(platform->messages[0].text.endsWith(u'.'));
        QVERIFY(Child<QWidget>(&w, "AddImg")->isEnabled());
        QCOMPARE(Child<QWidget>(&w, "WorkImg")->size(), QSize(300, 300));
        QVERIFY(!w.document().picture.present);
    }

    void saveClearsTheUnsavedMarker()
    {
        MainWindow &w = *window;
        QTemporaryDir dir;
        EnterLentar(&w, completeDocument());
        QVERIFY(w.isWindowModified());
        const QString path = dir.filePath(QStringLiteral("работа.lnr.xml"));
        platform->saveFileAnswers.enqueue(path);
        Click(&w, "SaveButton");
        QVERIFY(QFile::exists(path));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("preview.lnr.xsl"))));
        QVERIFY(!w.isWindowModified());
        QCOMPARE(platform->messages.last().caption, QStringLiteral("Лентар сохранен"));
    }

    // Whatever the user changes marks the lentar unsaved (the close question then asks).
    void editsMarkTheLentarUnsaved_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("field");
        for (const char *name : { "title", "description", "tech_request", "manual",
                 "public_post_index", "public_post_address", "public_phone", "public_email" })
            QTest::newRow(name) << 0 << QString::fromLatin1(name);
        QTest::newRow("WorkImgSign") << 1 << QStringLiteral("WorkImgSign");
        QTest::newRow("AuthorsLastname") << 2 << QStringLiteral("AuthorsLastname");
        QTest::newRow("Notes") << 3 << QStringLiteral("Notes");
    }
    void editsMarkTheLentarUnsaved()
    {
        QFETCH(int, page);
        QFETCH(QString, field);
        MainWindow &w = *window;
        // The picture caption and the names take typing once there is something to name.
        LentarDocument doc;
        doc.authors = { { ValidParticipantId("1234567"), {}, {}, {} } };
        EnterLentar(&w, doc);
        QTemporaryDir dir;
        platform->openPictureAnswers.enqueue(writeJpeg(dir.path(), 40, 30));
        ShowPage(&w, 1);
        Click(&w, "AddImg");
        w.setWindowModified(false);

        ShowPage(&w, page);
        QTest::keyClicks(Child<QWidget>(&w, field), QStringLiteral("x"));
        QVERIFY(w.isWindowModified());
    }

    void commandsMarkTheLentarUnsaved_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("subject chosen") << QStringLiteral("Button3");
        QTest::newRow("picture added") << QStringLiteral("AddImg");
        QTest::newRow("picture removed") << QStringLiteral("DelImg");
        QTest::newRow("author added") << QStringLiteral("AuthorAdd");
    }
    void commandsMarkTheLentarUnsaved()
    {
        QFETCH(QString, command);
        MainWindow &w = *window;
        QTemporaryDir dir;
        if (command == u"DelImg") {
            platform->openPictureAnswers.enqueue(writeJpeg(dir.path(), 40, 30));
            ShowPage(&w, 1);
            Click(&w, "AddImg");
            w.setWindowModified(false);
        }
        platform->openPictureAnswers.enqueue(writeJpeg(dir.path(), 40, 30));
        auto subjects = WhenModal("Subjects", [](QWidget *d) {
            Tick(d, 3);
            Click(d, "Button1");
        });
        auto identifier = WhenModal("Form1", [](QWidget *d) {
            QTest::keyClicks(Child<QWidget>(d, "AddID"), ValidParticipantId("7654321"));
            Click(d, "Button1");
        });
        ShowPage(&w, command == u"Button3" ? 0 : command == u"AuthorAdd" ? 2 : 1);
        QVERIFY(!w.isWindowModified());
        QTest::mouseClick(Child<QPushButton>(&w, command), Qt::LeftButton);
        QVERIFY(w.isWindowModified());
        QCOMPARE(*subjects || *identifier, command == u"Button3" || command == u"AuthorAdd");
    }

    void closeGuard_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("savePathGiven");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("fileWritten");
        QTest::newRow("unchanged closes without asking") << false << -1 << false << true << false;
        QTest::newRow("discard") << true << int(MessageAnswer::Discard) << false << true << false;
        QTest::newRow("cancel") << true << int(MessageAnswer::Cancel) << false << false << false;
        QTest::newRow("save") << true << int(MessageAnswer::Save) << true << true << true;
        QTest::newRow("save cancelled in the dialog")
            << true << int(MessageAnswer::Save) << false << false << false;
    }
    void closeGuard()
    {
        QFETCH(bool, edited);
        QFETCH(int, answer);
        QFETCH(bool, savePathGiven);
        QFETCH(bool, closes);
        QFETCH(bool, fileWritten);
        MainWindow &w = *window;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("close.lnr.xml"));
        if (edited)
            EnterLentar(&w, completeDocument());
        if (answer >= 0)
            platform->messageAnswers.enqueue(MessageAnswer(answer));
        if (savePathGiven)
            platform->saveFileAnswers.enqueue(path);

        QCOMPARE(w.close(), closes);
        QCOMPARE(w.isVisible(), !closes);
        QCOMPARE(QFile::exists(path), fileWritten);
        if (edited) {
            QVERIFY(!platform->messages.isEmpty());
            const ScriptedPlatform::Message &question = platform->messages.first();
            QCOMPARE(question.text,
                QStringLiteral("Лентар не сохранен. Сохранить изменения перед выходом?"));
            QCOMPARE(question.caption, QStringLiteral("Лентар"));
            QCOMPARE(question.icon, MessageIcon::Question);
            QCOMPARE(question.buttons, MessageButtons::SaveDiscardCancel);
        } else {
            QVERIFY(platform->messages.isEmpty());
        }
    }

    void previewOpensThePage()
    {
        MainWindow &w = *window;
        Click(&w, "Preview");
        QVERIFY(platform->messages.isEmpty());
        QCOMPARE(platform->openedInBrowser,
            QStringList { platform->tempFolder() + QStringLiteral("preview.lnr.html") });
        QVERIFY(!w.isWindowModified());
    }

private:
    std::unique_ptr<ScriptedPlatform> platform;
    std::unique_ptr<MainWindow> window;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
