// Saving through the real window: the user fills the fields, presses "Сохранить" and
// answers the dialogs; the scripted platform plays the dialogs, a temporary folder the
// disk.

#include "codec/participant_id.h"
#include "output/preview_xslt.h"
#include "scripted_platform.h"
#include "test_files.h"
#include "window_driver.h"
#include "windows/main_window.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QStringList kPreviewFiles { u"preview.lnr.html"_s, u"preview.lnr.jpg"_s, u"preview.lnr.xml"_s,
    u"preview.lnr.xsl"_s };

LentarDocument completeDocument()
{
    LentarDocument doc;
    doc.title = u"Работа"_s;
    doc.description = u"Описание работы"_s;
    doc.subjectSlots = { 4, 0, 0, 0, 0 };
    doc.authors = { { ValidParticipantId("1234567"), u"Иванов"_s, u"Иван"_s, u"Иванович"_s } };
    doc.leaders = { { ValidParticipantId("7654321"), u"Петрова"_s, u"Мария"_s, u"Сергеевна"_s } };
    doc.invoiceLeader = 0;
    return doc;
}

// A desktop whose save dialog, when no answer is queued, is confirmed with the name
// the program proposed, in the folder the test chose.
class AcceptingPlatform : public ScriptedPlatform
{
public:
    using ScriptedPlatform::ScriptedPlatform;
    QString folder;

    std::optional<QString> askSaveFileName(const SaveDialogSettings &settings) override
    {
        if (!saveFileAnswers.isEmpty() || folder.isEmpty())
            return ScriptedPlatform::askSaveFileName(settings);
        saveRequests.append(settings);
        return folder + u'/' + settings.initialFileName;
    }
};

bool IsSavedMessage(const ScriptedPlatform::Message &message)
{
    return message.caption == u"Лентар сохранен"_s;
}

} // namespace

class SaveWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void extensionIsAppended_data();
    void extensionIsAppended();
    void appendedNameAsksBeforeReplacing_data();
    void appendedNameAsksBeforeReplacing();
    void longTitleIsCutToFit_data();
    void longTitleIsCutToFit();
    void savingIntoTheTemporaryFolder_data();
    void savingIntoTheTemporaryFolder();
    void failedSaveLeavesNoStylesheet_data();
    void failedSaveLeavesNoStylesheet();
    void charactersOutsideTheCodePage_data();
    void charactersOutsideTheCodePage();

private:
    // Replaces the text of a field the way a user does: select all, paste.
    QStringList savedFiles() const;

    std::unique_ptr<QTemporaryDir> temp;
    std::unique_ptr<QTemporaryDir> target;
    std::unique_ptr<AcceptingPlatform> platform;
    std::unique_ptr<MainWindow> window;
};

void SaveWindowTest::init()
{
    temp = std::make_unique<QTemporaryDir>();
    target = std::make_unique<QTemporaryDir>();
    QVERIFY(temp->isValid() && target->isValid());
    for (const QString &name : kPreviewFiles)
        QVERIFY(WriteFile(temp->filePath(name), "earlier preview"));
    platform = std::make_unique<AcceptingPlatform>(temp->path());
    platform->folder = target->path();
    window = std::make_unique<MainWindow>(*platform);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    EnterLentar(window.get(), completeDocument());
}

void SaveWindowTest::cleanup()
{
    window->setWindowModified(false);
    window.reset();
    platform.reset();
}

QStringList SaveWindowTest::savedFiles() const
{
    return Entries(target->path());
}

void SaveWindowTest::extensionIsAppended_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("typed"); // empty: the proposed name is accepted
    QTest::addColumn<QString>("saved");
    QTest::newRow("title with a dot") << u"Версия 2.0"_s << QString() << u"Версия 2.0.lnr.xml"_s;
    QTest::newRow("title ending in the extension")
        << u"Итог.lnr.xml"_s << QString() << u"Итог.lnr.xml"_s;
    // The desktop's dialog adds its default suffix only to a name without a dot.
    QTest::newRow("typed name with a dot")
        << u"Работа"_s << u"Отчёт v1.5"_s << u"Отчёт v1.5.lnr.xml"_s;
    QTest::newRow("typed name with the extension")
        << u"Работа"_s << u"Моя работа.lnr.xml"_s << u"Моя работа.lnr.xml"_s;
    QTest::newRow("typed name with another extension")
        << u"Работа"_s << u"работа.xml"_s << u"работа.xml.lnr.xml"_s;
}

void SaveWindowTest::extensionIsAppended()
{
    QFETCH(QString, title);
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    PasteInto(window.get(), "title", title);
    if (!typed.isEmpty())
        platform->saveFileAnswers.enqueue(target->filePath(typed));

    Click(window.get(), "SaveButton");

    QCOMPARE(platform->saveRequests.size(), 1);
    QVERIFY(platform->saveRequests.first().initialFileName.endsWith(u".lnr.xml"_s));
    QStringList expected { saved, u"preview.lnr.xsl"_s };
    expected.sort();
    QCOMPARE(savedFiles(), expected);
    QVERIFY(ReadFile(target->filePath(saved)).startsWith("\xEF\xBB\xBF<?xml"));
    QCOMPARE(platform->messages.size(), 1);
    QCOMPARE(platform->messages.first().text,
        u"Лентар успешно сохранен как: "_s + target->filePath(saved));
}

void SaveWindowTest::appendedNameAsksBeforeReplacing_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("yes replaces") << int(MessageAnswer::Yes) << true;
    QTest::newRow("no keeps the file") << int(MessageAnswer::No) << false;
}

void SaveWindowTest::appendedNameAsksBeforeReplacing()
{
    QFETCH(int, answer);
    QFETCH(bool, replaced);
    const QString path = target->filePath(u"Версия 2.0.lnr.xml"_s);
    QVERIFY(WriteFile(path, "the earlier lentar"));
    // The dialog asked about "Версия 2.0", which does not exist; the name that does
    // exist is only known once the extension is added.
    platform->saveFileAnswers.enqueue(target->filePath(u"Версия 2.0"_s));
    platform->messageAnswers.enqueue(MessageAnswer(answer));

    Click(window.get(), "SaveButton");

    QVERIFY(!platform->messages.isEmpty());
    const ScriptedPlatform::Message &question = platform->messages.first();
    QCOMPARE(question.icon, MessageIcon::Question);
    QCOMPARE(question.buttons, MessageButtons::YesNo);
    QVERIFY2(question.text.contains(path), qPrintable(question.text));
    QVERIFY2(question.text.contains(u"Заменить"_s), qPrintable(question.text));
    QCOMPARE(ReadFile(path) == "the earlier lentar", !replaced);
    QCOMPARE(std::any_of(platform->messages.begin(), platform->messages.end(), IsSavedMessage),
        replaced);
    QCOMPARE(QFile::exists(target->filePath(u"preview.lnr.xsl"_s)), replaced);
    QCOMPARE(window->isWindowModified(), !replaced);
}

void SaveWindowTest::longTitleIsCutToFit_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("saved");
    // A Cyrillic letter takes two bytes of a file name, ".lnr.xml" eight, and replacing
    // an earlier file needs seven more for the new file's temporary name.
    QTest::newRow("Cyrillic letters") << QString(200, u'Я') << QString(120, u'Я') + u".lnr.xml"_s;
    QTest::newRow("one byte short")
        << u"a"_s + QString(200, u'Я') << u"a"_s + QString(119, u'Я') + u".lnr.xml"_s;
    QTest::newRow("a blank where the cut falls")
        << QString(119, u'Я') + u" и ещё"_s << QString(119, u'Я') + u".lnr.xml"_s;
    QTest::newRow("Latin letters") << QString(250, u'z') << QString(240, u'z') + u".lnr.xml"_s;
}

void SaveWindowTest::longTitleIsCutToFit()
{
    QFETCH(QString, title);
    QFETCH(QString, saved);
    PasteInto(window.get(), "title", title);

    // The second save replaces the file the first one wrote.
    Click(window.get(), "SaveButton");
    Click(window.get(), "SaveButton");

    QCOMPARE(platform->saveRequests.size(), 2);
    QCOMPARE(platform->saveRequests.first().initialFileName, saved);
    QVERIFY(QFile::encodeName(saved).size() <= 255);
    QVERIFY2(QFile::exists(target->filePath(saved)), qPrintable(platform->messages.value(0).text));
    QCOMPARE(
        std::count_if(platform->messages.begin(), platform->messages.end(), IsSavedMessage), 2);
    QCOMPARE(platform->messages.size(), 2);
}

void SaveWindowTest::savingIntoTheTemporaryFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("throughLink");
    QTest::newRow("a lentar beside the preview files") << u"Работа.lnr.xml"_s << false;
    QTest::newRow("saved as the preview document") << u"preview.lnr.xml"_s << false;
    QTest::newRow("the same folder under another name") << u"preview.lnr.xml"_s << true;
}

void SaveWindowTest::savingIntoTheTemporaryFolder()
{
    QFETCH(QString, name);
    QFETCH(bool, throughLink);
    QString folder = temp->path();
    if (throughLink) {
        folder = target->filePath(u"link"_s);
        QVERIFY(QFile::link(temp->path(), folder));
    }
    platform->saveFileAnswers.enqueue(folder + u'/' + name);

    Click(window.get(), "SaveButton");

    QVERIFY(std::any_of(platform->messages.begin(), platform->messages.end(), IsSavedMessage));
    const QByteArray lentar = ReadFile(temp->filePath(name));
    QVERIFY(lentar.startsWith("\xEF\xBB\xBF<?xml"));
    QVERIFY(lentar.contains("title=\"Работа\""));
    QCOMPARE(ReadFile(temp->filePath(u"preview.lnr.xsl"_s)), PreviewStylesheetBytes());
    // The preview files this save did not write are gone as before.
    QStringList expected { name, u"preview.lnr.xsl"_s };
    expected.removeDuplicates();
    expected.sort();
    QCOMPARE(Entries(temp->path()), expected);
}

void SaveWindowTest::failedSaveLeavesNoStylesheet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("nameIsFolder");
    QTest::newRow("chosen name is a folder") << u"Работа.lnr.xml"_s << true;
    QTest::newRow("typed name too long") << QString(250, u'a') << false;
}

void SaveWindowTest::failedSaveLeavesNoStylesheet()
{
    QFETCH(QString, name);
    QFETCH(bool, nameIsFolder);
    if (nameIsFolder)
        QVERIFY(QDir(target->path()).mkdir(name));
    platform->saveFileAnswers.enqueue(target->filePath(name));

    Click(window.get(), "SaveButton");

    QCOMPARE(platform->messages.size(), 1);
    const ScriptedPlatform::Message &shown = platform->messages.first();
    QCOMPARE(shown.caption, u"Лентар"_s);
    QCOMPARE(shown.icon, MessageIcon::Error);
    QVERIFY2(shown.text.startsWith(u"Не удалось записать файл"_s), qPrintable(shown.text));
    QCOMPARE(savedFiles(), nameIsFolder ? QStringList { name } : QStringList {});
    QVERIFY(window->isWindowModified());
    // Nothing was saved, so the preview files of the work in progress stay.
    QCOMPARE(Entries(temp->path()), kPreviewFiles);
}

void SaveWindowTest::charactersOutsideTheCodePage_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("saved");
    QTest::newRow("the user goes on") << int(MessageAnswer::Yes) << true;
    QTest::newRow("the user stops") << int(MessageAnswer::No) << false;
}

void SaveWindowTest::charactersOutsideTheCodePage()
{
    QFETCH(int, answer);
    QFETCH(bool, saved);
    PasteInto(window.get(), "title", u"Кот 中"_s);
    PasteInto(window.get(), "public_email", u"школа@пример.рф 😀"_s);
    PasteInto(
        window.get(), "public_phone", u"+7 «123» № 45"_s); // all of these are in the code page
    platform->messageAnswers.enqueue(MessageAnswer(answer));

    Click(window.get(), "SaveButton");

    QVERIFY(!platform->messages.isEmpty());
    const ScriptedPlatform::Message &question = platform->messages.first();
    QCOMPARE(question.icon, MessageIcon::Question);
    QCOMPARE(question.buttons, MessageButtons::YesNo);
    QVERIFY2(question.text.contains(u" - Название\n - Эл. почта\n"_s), qPrintable(question.text));
    QVERIFY2(!question.text.contains(u"Телефон"_s), qPrintable(question.text));
    QVERIFY2(question.text.contains(u"«?»"_s), qPrintable(question.text));

    QCOMPARE(platform->saveRequests.size(), saved ? 1 : 0);
    QCOMPARE(savedFiles().isEmpty(), !saved);
    if (saved) {
        const QByteArray lentar = ReadFile(target->filePath(u"Кот -.lnr.xml"_s));
        QVERIFY(lentar.contains("title=\"Кот ?\""));
        QVERIFY(lentar.contains("<email>школа@пример.рф ?</email>"));
    } else {
        QCOMPARE(platform->messages.size(), 1);
        QVERIFY(window->isWindowModified());
    }
}

QTEST_MAIN(SaveWindowTest)
#include "save_window_test.moc"
