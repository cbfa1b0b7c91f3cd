#include "spell/spell_checker.h"
#include "spell/spell_highlighter.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

using namespace Qt::StringLiterals;

// Run with data folders that hold no dictionary: the fields look as without a spell check.
class SpellMissingTest : public QObject
{
    Q_OBJECT

private slots:
    void noDictionaryNoUnderline()
    {
        QPlainTextEdit edit(u"слво сабака"_s);
        SpellChecker checker;
        SpellHighlighter highlighter(&edit, checker);
        QSignalSpy loaded(&checker, &SpellChecker::changed);
        checker.load();
        QVERIFY(loaded.wait());
        QVERIFY(!checker.isReady());
        QVERIFY(edit.document()->firstBlock().layout()->formats().isEmpty());
        QVERIFY(checker.suggestions(u"слво"_s).isEmpty());
    }
};

QTEST_MAIN(SpellMissingTest)
#include "spell_missing_test.moc"
