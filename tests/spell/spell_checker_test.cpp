#include "spell/spell_checker.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

class SpellCheckerTest : public QObject
{
    Q_OBJECT

private slots:
    void checkedWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("checked");
        QTest::newRow("words and punctuation")
            << u"Слово, (дело)."_s << QStringList { u"Слово"_s, u"дело"_s };
        QTest::newRow("hyphen joins")
            << u"что-то -и- ещё"_s << QStringList { u"что-то"_s, u"и"_s, u"ещё"_s };
        QTest::newRow("digits") << u"5-й класс 7б"_s << QStringList { u"класс"_s };
        QTest::newRow("latin") << u"рисунок в Paint и Pаint"_s
                               << QStringList { u"рисунок"_s, u"в"_s, u"и"_s };
        QTest::newRow("e-mail") << u"пишите: иван@почта.рф"_s << QStringList { u"пишите"_s };
        QTest::newRow("web address") << u"сайт http://школа.рф/"_s << QStringList { u"сайт"_s };
        QTest::newRow("capitals") << u"МГУ и В"_s << QStringList { u"и"_s };
    }
    void checkedWords()
    {
        QFETCH(QString, text);
        QStringList words;
        for (const WordSpan &word : CheckedWords(text))
            words.append(text.sliced(word.start, word.length));
        QFETCH(QStringList, checked);
        QCOMPARE(words, checked);
    }

    void dictionary()
    {
        SpellChecker checker;
        QSignalSpy loaded(&checker, &SpellChecker::changed);
        checker.load();
        QVERIFY(loaded.wait());
        QVERIFY(checker.isReady());
        QVERIFY(checker.isMisspelt(u"слво"_s));
        QVERIFY(!checker.isMisspelt(u"слово"_s));
        QVERIFY(!checker.isMisspelt(u"Слово"_s));
        const QStringList suggestions = checker.suggestions(u"сабака"_s);
        QVERIFY(suggestions.contains(u"собака"_s));
        QCOMPARE(suggestions.size(), SpellChecker::kMaxSuggestions); // Hunspell offers more
    }
};

QTEST_GUILESS_MAIN(SpellCheckerTest)
#include "spell_checker_test.moc"
