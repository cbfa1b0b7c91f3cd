#include "codec/participant_id.h"
#include "platform/scripted_platform.h"
#include "test_files.h"
#include "windows/add.h"
#include "windows/form.h"
#include "windows/help_texts.h"
#include "windows/memo_edit.h"
#include "windows/participants_page.h"
#include "windows/subj.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// Runs action on the modal dialog as soon as it is shown.
template<typename Dialog, typename Action> void whenModal(Action action)
{
    QTimer::singleShot(0, [action] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        action(dialog);
    });
}

LentarDocument completeDocument()
{
    LentarDocument doc;
    doc.title = QStringLiteral("Сборник стихотворений «Весна»");
    doc.description = QStringLiteral("Первая строка\r\nВторая строка");
    doc.manual = QStringLiteral("Открыть index.html");
    doc.subject_slots = { 2, 19, 24, 0, 0 };
    doc.author_list = { { ValidParticipantId("1234567"), "Иванов", "Иван", "Иванович" } };
    doc.leader_list = { { ValidParticipantId("7654321"), "Петрова", "Мария", "Сергеевна" },
        { ValidParticipantId("5555555"), "Сидоров", "Пётр", "Ильич" } };
    doc.InvoiceLeader = 1;
    doc.public_email = QStringLiteral("school@example.org");
    doc.Notes = QStringLiteral("Спасибо");
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

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        platform = std::make_unique<ScriptedPlatform>();
        window = std::make_unique<TLentar>(*platform);
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
        TLentar &w = *window;
        QCOMPARE(w.windowTitle(),
            QStringLiteral("Фестиваль «Ванторела» - Лентар (2010 / 2011) v.2.1.0[*]"));
        QCOMPARE(w.size(), QSize(787, 502));
        QCOMPARE(w.SectionsTabs->currentIndex(), 0);
        QCOMPARE(w.SectionsTabs->count(), 4);
        QCOMPARE(w.SectionsTabs->tabText(2), QStringLiteral("Авторы и руководители"));
        const auto enabled = [&](const char *name) {
            auto *widget = w.findChild<QWidget *>(QString::fromLatin1(name));
            return widget ? widget->isEnabled() : false;
        };
        QVERIFY(enabled("AuthorAdd"));
        QVERIFY(enabled("TeacherAdd"));
        QVERIFY(enabled("AddImg"));
        for (const char *name : { "AuthorDelete", "TeacherDelete", "LeaderID", "LeaderID_Label",
                 "DelImg", "WorkImgSign" })
            QVERIFY2(!enabled(name), name);
        QCOMPARE(w.subj[0]->text(), QStringLiteral("[ Раздел не задан ]"));
        // The window starts with the title help; its lines broken for a narrower font
        // flow together again.
        QCOMPARE(w.HelpMemo->toPlainText(), HelpText(kTitleHelp));
        QCOMPARE(HelpText(kInitialTitleHelp), HelpText(kTitleHelp));
        QVERIFY(!w.isWindowModified());
        QCOMPARE(w.document(), LentarDocument {});

        // The placeholder frame: white with the size written in it.
        const QImage frame = w.WorkImg->pixmap().toImage();
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
        TLentar &w = *window;
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.title->setFocus();
        QTest::keyClick(w.title, Qt::Key_Tab);
        QCOMPARE(w.HelpMemo->toPlainText(), HelpText(kDescriptionHelp));
        QTest::mouseClick(w.title, Qt::LeftButton);
        QCOMPARE(w.HelpMemo->toPlainText(), HelpText(kTitleHelp));
        QTest::mouseClick(w.manual->viewport(), Qt::LeftButton);
        QCOMPARE(w.HelpMemo->toPlainText(), HelpText(kManualHelp));
        w.public_email->setFocus();
        QCOMPARE(w.HelpMemo->toPlainText(), HelpText(kContactsHelp));
        w.tech_request->setFocus();
        QCOMPARE(w.HelpMemo->toPlainText(), HelpText(kTechRequestHelp));
        // Other pages leave the panel alone.
        w.SectionsTabs->setCurrentIndex(3);
        w.Notes->setFocus();
        w.SectionsTabs->setCurrentIndex(0);
        QCOMPARE(w.HelpMemo->toPlainText(), HelpText(kTechRequestHelp));
    }

    void typingStopsAtTheLimits()
    {
        TLentar &w = *window;
        QTest::keyClicks(w.title, QString(251, u'z'));
        QCOMPARE(w.title->text().size(), 250);
        QTest::keyClicks(w.public_post_index, QStringLiteral("12345678901"));
        QCOMPARE(w.public_post_index->text(), QStringLiteral("1234567890"));

        // A line break counts as two characters.
        w.SectionsTabs->setCurrentIndex(3);
        w.Notes->setText(QString(1998, u'a'));
        w.Notes->moveCursor(QTextCursor::End);
        QTest::keyClick(w.Notes, Qt::Key_Return);
        QCOMPARE(w.Notes->text(), QString(1998, u'a') + QStringLiteral("\r\n"));
        QTest::keyClick(w.Notes, Qt::Key_B);
        QCOMPARE(w.Notes->text().size(), 2000);

        w.SectionsTabs->setCurrentIndex(0);
        w.description->setText(QString(499, u'a'));
        w.description->moveCursor(QTextCursor::End);
        QTest::keyClick(w.description, Qt::Key_Return);
        QCOMPARE(w.description->text(), QString(499, u'a'));
        QTest::keyClick(w.description, Qt::Key_C);
        QCOMPARE(w.description->text(), QString(499, u'a') + u'c');
    }

    void subjectsShowInCatalogueOrder()
    {
        TLentar &w = *window;
        whenModal<TSubjects>([](TSubjects *d) {
            for (int id : { 11, 6, 22 })
                d->box(id)->click();
            d->findChild<QPushButton *>(QStringLiteral("Button1"))->click();
        });
        w.Button3Click();
        QCOMPARE(w.subj[0]->text(), QStringLiteral("Лингвистика (русский и иностранные языки)"));
        QCOMPARE(w.subj[1]->text(), QStringLiteral("Физика"));
        QCOMPARE(w.subj[2]->text(), QStringLiteral("В помощь учителю"));
        QCOMPARE(w.subj[3]->text(), QString());
        QCOMPARE(w.document().subject_slots, (std::array<int, 5> { 6, 11, 22, 0, 0 }));
        QVERIFY(w.isWindowModified());

        // Closing the dialog by its frame keeps the window's choice.
        whenModal<TSubjects>([](TSubjects *d) {
            d->box(11)->click();
            d->reject();
        });
        w.Button3Click();
        QCOMPARE(w.document().subject_slots, (std::array<int, 5> { 6, 11, 22, 0, 0 }));
    }

    void documentRoundTrip()
    {
        const LentarDocument doc = completeDocument();
        window->setDocument(doc);
        QCOMPARE(window->document(), doc);
        QCOMPARE(window->subj[1]->text(), QStringLiteral("Литературное творчество"));
    }

    void pictureImportAndRemoval()
    {
        TLentar &w = *window;
        QTemporaryDir dir;
        const QString source = writeJpeg(dir.path(), 600, 400);
        QVERIFY(!source.isEmpty());

        platform->openPictureAnswers.enqueue(std::nullopt);
        w.AddImgClick();
        QVERIFY(w.AddImg->isEnabled());
        QVERIFY(!w.document().picture.present);

        platform->openPictureAnswers.enqueue(source);
        w.AddImgClick();
        QVERIFY(platform->messages.isEmpty());
        QVERIFY(!w.AddImg->isEnabled());
        QVERIFY(w.DelImg->isEnabled());
        QVERIFY(w.WorkImgSign->isEnabled());
        QCOMPARE(w.WorkImg->size(), QSize(300, 200));
        w.WorkImgSign->setText(QStringLiteral(" "));
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

        w.DelImgClick();
        QVERIFY(w.AddImg->isEnabled());
        QVERIFY(!w.DelImg->isEnabled());
        QVERIFY(!w.WorkImgSign->isEnabled());
        QCOMPARE(w.WorkImgSign->text(), QString());
        QCOMPARE(w.WorkImg->size(), QSize(300, 300));
        const QImage frame = w.WorkImg->pixmap().toImage();
        for (int y = 140; y < 175; ++y)
            for (int x = 120; x < 200; ++x)
                QCOMPARE(frame.pixelColor(x, y), QColor(Qt::white));
        QCOMPARE(w.document().picture, WorkImage {});
        QVERIFY(QFile::exists(copy));
    }

    void badPictureChangesNothing()
    {
        TLentar &w = *window;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.jpg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\x89PNG\r\n\x1a\n not a jpeg at all");
        file.close();
        platform->openPictureAnswers.enqueue(path);
        w.AddImgClick();
        QCOMPARE(platform->messages.size(), 1);
        QCOMPARE(platform->messages[0].caption, QStringLiteral("Лентар"));
        QCOMPARE(platform->messages[0].icon, MessageIcon::Error);
        QVERIFY(platform->messages[0].text.endsWith(u'.'));
        QVERIFY(w.AddImg->isEnabled());
        QCOMPARE(w.WorkImg->size(), QSize(300, 300));
        QVERIFY(!w.document().picture.present);
    }

    void saveClearsTheUnsavedMarker()
    {
        TLentar &w = *window;
        QTemporaryDir dir;
        w.setDocument(completeDocument());
        QVERIFY(w.isWindowModified());
        const QString path = dir.filePath(QStringLiteral("работа.lnr.xml"));
        platform->saveFileAnswers.enqueue(path);
        QVERIFY(w.SaveButtonClick());
        QVERIFY(QFile::exists(path));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("preview.lnr.xsl"))));
        QVERIFY(!w.isWindowModified());
        QCOMPARE(platform->messages.last().caption, QStringLiteral("Лентар сохранен"));
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
        TLentar &w = *window;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("close.lnr.xml"));
        if (edited)
            w.setDocument(completeDocument());
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
        TLentar &w = *window;
        w.PreviewClick();
        QVERIFY(platform->messages.isEmpty());
        QCOMPARE(platform->openedInBrowser,
            QStringList { platform->tempFolder() + QStringLiteral("preview.lnr.html") });
        QVERIFY(!w.isWindowModified());
    }

private:
    std::unique_ptr<ScriptedPlatform> platform;
    std::unique_ptr<TLentar> window;
};

QTEST_MAIN(FormTest)
#include "form_test.moc"
