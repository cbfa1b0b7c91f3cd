#include "spell/spell_checker.h"
#include "spell/spell_highlighter.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <memory>

namespace {

constexpr qsizetype kNoteLength = 2000;

// A note of 2,000 characters in one paragraph, the worst case for a recheck, which
// goes over the whole paragraph; some words are misspelt, as in a real draft.
QString Note()
{
    const QString sentences[] = {
        QStringLiteral("Наша работа посвящена истории родного города и его жителей. "),
        QStringLiteral(
            "Мы собрали воспоминания ветеранов, фотографии и письма из семейных архивов. "),
        QStringLiteral("Для просмотра нужен компьютер с браузером и колонки для звука. "),
        QStringLiteral("Учитель помогал нам выбирать источники и праверять даты событий. "),
        QStringLiteral("В приложении есть карта улиц, на которой отмечены старые здания. "),
        QStringLiteral("Ученики седьмого класса записали рассказы бабушек и дедушек на диктофон. "),
    };
    QString note;
    for (int k = 0; note.size() < kNoteLength; ++k)
        note += sentences[k % std::size(sentences)];
    note.truncate(kNoteLength);
    return note;
}

} // namespace

// One keystroke typed into the middle of a long note and taken back, with the spell
// check underlining the field and without; scripts/bench.sh runs it.
class SpellBenchmark : public QObject
{
    Q_OBJECT

private:
    void typeInto(QPlainTextEdit &edit)
    {
        edit.setPlainText(Note());
        QTextCursor cursor = edit.textCursor();
        cursor.setPosition(int(kNoteLength / 2));
        edit.setTextCursor(cursor);
        QBENCHMARK
        {
            QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_unknown, QStringLiteral("о"), {});
            QTest::keyClick(&edit, Qt::Key_Backspace);
        }
    }

private slots:
    void keystrokeWithSpellCheck()
    {
        QPlainTextEdit edit;
        SpellChecker checker;
        SpellHighlighter highlighter(&edit, checker);
        QSignalSpy loaded(&checker, &SpellChecker::changed);
        checker.load();
        QVERIFY2(loaded.wait(10000), "no ru_RU dictionary");
        typeInto(edit);
        // The misspelt words of the note are underlined, or nothing was measured.
        QVERIFY(!edit.document()->firstBlock().layout()->formats().isEmpty());
    }

    void keystrokeWithout()
    {
        QPlainTextEdit edit;
        typeInto(edit);
    }
};

QTEST_MAIN(SpellBenchmark)
#include "spell_benchmark.moc"
