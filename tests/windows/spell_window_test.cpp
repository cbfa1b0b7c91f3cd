#include "scripted_platform.h"
#include "spell/spell_checker.h"
#include "window_driver.h"
#include "windows/main_window.h"
#include "windows/memo_edit.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextLayout>

using namespace Qt::StringLiterals;

namespace {

// The words of a field that carry the spell check's red wavy underline.
QStringList underlined(const MemoEdit *field)
{
    QStringList words;
    for (QTextBlock block = field->document()->begin(); block.isValid(); block = block.next()) {
        for (const QTextLayout::FormatRange &range : block.layout()->formats()) {
            if (range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline
                && range.format.underlineColor() == Qt::red)
                words.append(block.text().mid(range.start, range.length));
        }
    }
    return words;
}

// Right-clicks the word that starts at position and returns the context menu it opens.
QMenu *rightClick(MemoEdit *field, int position)
{
    QTextCursor cursor(field->document());
    cursor.setPosition(position + 1);
    return RightClick(field->viewport(), field->cursorRect(cursor).center());
}

void choose(QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return QTest::mouseClick(
                menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    }
    QFAIL(qPrintable(u"no menu item "_s + text));
}

} // namespace

class SpellWindowTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScriptedPlatform> platform;
    std::unique_ptr<MainWindow> window;
    const QString wordFolder = qEnvironmentVariable("XDG_DATA_HOME") + u"/lentar"_s;
    const QString wordList = wordFolder + u"/words.txt"_s;

    MemoEdit *field(const QString &name) { return Child<MemoEdit>(window.get(), name); }

private slots:
    // The fields share the one dictionary of the process: loaded once, here.
    void initTestCase()
    {
        SpellChecker dictionary;
        QSignalSpy loaded(&dictionary, &SpellChecker::changed);
        dictionary.load();
        QVERIFY(loaded.wait());
        QVERIFY2(dictionary.isReady(), "the ru_RU dictionary (hunspell-ru) is not installed");
    }
    void init()
    {
        QDir(wordFolder).removeRecursively();
        QFile::remove(wordFolder); // where a test put a file in the folder's way
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

    void underlinedOnceTheCursorLeaves_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("name");
        for (const char *name : { "title", "description", "tech_request", "manual" })
            QTest::newRow(name) << 0 << QString::fromLatin1(name);
        QTest::newRow("Notes") << 3 << u"Notes"_s;
    }
    void underlinedOnceTheCursorLeaves()
    {
        QFETCH(int, page);
        QFETCH(QString, name);
        ShowPage(window.get(), page);
        MemoEdit *edit = field(name);
        QTest::mouseClick(edit->viewport(), Qt::LeftButton);
        TypeText(edit, u"Сабака 5-й МГУ Paint слво"_s);
        QTRY_COMPARE(underlined(edit), QStringList { u"Сабака"_s });
        QTest::keyClick(edit, Qt::Key_Home);
        QCOMPARE(underlined(edit), (QStringList { u"Сабака"_s, u"слво"_s }));
        QVERIFY(platform->messages.isEmpty());
    }

    void suggestionReplacesTheWordAndUndoes()
    {
        MemoEdit *edit = field(u"description"_s);
        edit->setFocus();
        TypeText(edit, u"Моя сабака лает."_s);
        QTRY_COMPARE(underlined(edit), QStringList { u"сабака"_s });
        QMenu *menu = rightClick(edit, 4);
        QVERIFY(menu);
        QStringList items;
        for (QAction *action : menu->actions())
            items.append(action->text());
        const qsizetype suggestions = items.indexOf(QString());
        QVERIFY(suggestions > 0 && suggestions <= SpellChecker::kMaxSuggestions);
        QVERIFY(items.first(suggestions).contains(u"собака"_s));
        QCOMPARE(items.sliced(suggestions, 4),
            (QStringList { QString(), u"Пропустить"_s, u"Добавить в словарь"_s, QString() }));
        QCOMPARE(
            items.size(), suggestions + 4 + edit->createStandardContextMenu()->actions().size());

        choose(menu, u"собака"_s);
        QCOMPARE(edit->text(), u"Моя собака лает."_s);
        QVERIFY(underlined(edit).isEmpty());
        QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(edit->text(), u"Моя сабака лает."_s);
        QVERIFY(window->isWindowModified());
    }

    void skipOrAdd_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("listAfter");
        QTest::newRow("skip") << u"Пропустить"_s << QByteArray();
        QTest::newRow("add") << u"Добавить в словарь"_s << "кракозяблик\n"_ba;
    }
    void skipOrAdd()
    {
        QFETCH(QString, item);
        QFETCH(QByteArray, listAfter);
        MemoEdit *title = field(u"title"_s);
        MemoEdit *manual = field(u"manual"_s);
        manual->setText(u"кракозяблик"_s);
        TypeText(title, u"кракозяблик "_s);
        QTRY_COMPARE(underlined(title), QStringList { u"кракозяблик"_s });
        QCOMPARE(underlined(manual), QStringList { u"кракозяблик"_s });
        window->setWindowModified(false);
        choose(rightClick(title, 0), item);
        QVERIFY(!window->isWindowModified()); // underlining changes no text
        QVERIFY(underlined(title).isEmpty());
        QVERIFY(underlined(manual).isEmpty()); // everywhere
        QFile list(wordList);
        QCOMPARE(list.open(QIODevice::ReadOnly) ? list.readAll() : QByteArray(), listAfter);
    }

    void failedAddIsShown()
    {
        QDir().mkpath(QFileInfo(wordFolder).path());
        QFile blocker(wordFolder);
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        MemoEdit *title = field(u"title"_s);
        TypeText(title, u"кракозяблик "_s);
        QTRY_COMPARE(underlined(title), QStringList { u"кракозяблик"_s });
        choose(rightClick(title, 0), u"Добавить в словарь"_s);
        QCOMPARE(platform->messages.size(), 1);
        QVERIFY2(
            platform->messages[0].text.contains(wordList), qPrintable(platform->messages[0].text));
        QCOMPARE(underlined(title), QStringList { u"кракозяблик"_s });
    }

    void titleStaysOneLine()
    {
        MemoEdit *title = field(u"title"_s);
        QApplication::clipboard()->setText(u"Первая\r\nвторая\nтретья\rчетвёртая"_s);
        QTest::keyClick(title, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(title, Qt::Key_Return);
        QCOMPARE(title->text(), u"Первая вторая третья четвёртая"_s);
        QCOMPARE(title->document()->blockCount(), 1);
    }
};

QTEST_MAIN(SpellWindowTest)
#include "spell_window_test.moc"
