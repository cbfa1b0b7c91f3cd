#include "codec/cp1251.h"
#include "document/completeness.h"
#include "document/lentar_document.h"
#include "document/subject_catalogue.h"

#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(LentarDocument)

namespace {

Participant Person(const QString &surname, const QString &name, const QString &patronymic)
{
    return { u"123-456-789"_s, surname, name, patronymic };
}

LentarDocument CompleteDocument()
{
    LentarDocument doc;
    doc.title = u"Т"_s;
    doc.description = u"Описание"_s;
    doc.subjectSlots = { 24, 0, 0, 0, 0 }; // any subject in the first slot will do
    doc.authors = { Person(u"Иванов"_s, u"Иван"_s, u"Иванович"_s) };
    doc.leaders = { Person(u"Петров"_s, u"Пётр"_s, u"Петрович"_s) };
    return doc;
}

} // namespace

class RecordTest : public QObject
{
    Q_OBJECT

private slots:
    void catalogueOrder();
    void captions_data();
    void captions();
    void groupCaptions();
    void trimControls_data();
    void trimControls();
    void reduceToCp1251_data();
    void reduceToCp1251();
    void reduceKeepsEveryCodePageCharacter();
    void completeness_data();
    void completeness();
    void freshRecordMessage();
};

void RecordTest::catalogueOrder()
{
    const QList<Subject> &all = SubjectCatalogue::all();
    QCOMPARE(all.size(), 23);
    QList<int> ids;
    QList<int> groupSizes(3);
    for (const Subject &subject : all) {
        ids << subject.sb_id;
        ++groupSizes[int(subject.group)];
        QVERIFY(!subject.caption.isEmpty());
        if (subject.sb_id != 6)
            QCOMPARE(subject.dialogCaption, subject.caption);
    }
    QCOMPARE(ids,
        QList<int>(
            { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 24 }));
    QCOMPARE(groupSizes, QList<int>({ 15, 6, 2 }));
    QCOMPARE(all.at(14).group, SubjectGroup::Research); // 15, the last research subject
    QCOMPARE(all.at(15).group, SubjectGroup::Other); // 16
    QCOMPARE(all.at(21).group, SubjectGroup::Additional); // 22
    QCOMPARE(all.at(5).dialogCaption, u"Лингвистика (русский и ин. языки)"_s);
}

void RecordTest::captions_data()
{
    QTest::addColumn<int>("sb_id");
    QTest::addColumn<QString>("caption");
    QTest::newRow("0") << 0 << QString();
    QTest::newRow("1") << 1 << u"Астрономия, космонавтика и авиация"_s;
    QTest::newRow("6") << 6 << u"Лингвистика (русский и иностранные языки)"_s;
    QTest::newRow("22") << 22 << u"В помощь учителю"_s;
    QTest::newRow("23") << 23 << QString();
    QTest::newRow("24") << 24 << u"Конкурс «Учебный проект»"_s;
    QTest::newRow("25") << 25 << QString();
    QTest::newRow("-1") << -1 << QString();
}

void RecordTest::captions()
{
    QFETCH(int, sb_id);
    QFETCH(QString, caption);
    QCOMPARE(SubjectCatalogue::caption(sb_id), caption);
}

void RecordTest::groupCaptions()
{
    QCOMPARE(SubjectCatalogue::groupCaption(SubjectGroup::Research),
        u"Научно-исследовательский раздел"_s);
    QCOMPARE(SubjectCatalogue::groupCaption(SubjectGroup::Other), u"Другие разделы"_s);
    QCOMPARE(SubjectCatalogue::groupCaption(SubjectGroup::Additional), u"Дополнительные разделы"_s);
}

void RecordTest::trimControls_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trimmed");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("blanks only") << u"   "_s << QString();
    QTest::newRow("controls both ends") << u"\r\n\t\x01 а б \x1F\x00 "_s << u"а б"_s;
    QTest::newRow("inner kept") << u"a\r\nb"_s << u"a\r\nb"_s;
    // A no-break space (160) and DEL (127) are above 32 and stay.
    QTest::newRow("nbsp and DEL stay") << u"\u00A0x\x7F"_s << u"\u00A0x\x7F"_s;
}

void RecordTest::trimControls()
{
    QFETCH(QString, text);
    QFETCH(QString, trimmed);
    QCOMPARE(TrimControls(text), trimmed);
}

void RecordTest::reduceToCp1251_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reduced");
    QTest::newRow("ascii and controls") << u"a\x01\r\n\t~"_s << u"a\x01\r\n\t~"_s;
    QTest::newRow("cyrillic and signs") << u"Ёё «Я» №\u00A0€—"_s << u"Ёё «Я» №\u00A0€—"_s;
    QTest::newRow("chinese") << u"a\u4E2Db"_s << u"a?b"_s;
    QTest::newRow("latin with diacritic") << u"é"_s << u"?"_s;
    QTest::newRow("astral pair is one character") << u"x\U0001F600y"_s << u"x?y"_s;
    QTest::newRow("unpaired high") << u"a"_s + QChar(0xD83D) + u"b"_s << u"a?b"_s;
    QTest::newRow("unpaired low at end") << u"a"_s + QChar(0xDE00) << u"a?"_s;
    QTest::newRow("low before high") << QString(QChar(0xDE00)) + QChar(0xD83D) << u"??"_s;
    QTest::newRow("unassigned 0x98 of the code page") << u"\u0098"_s << u"?"_s;
}

void RecordTest::reduceToCp1251()
{
    QFETCH(QString, text);
    QFETCH(QString, reduced);
    QCOMPARE(ReduceToCp1251(text), reduced);
}

void RecordTest::reduceKeepsEveryCodePageCharacter()
{
    QString all;
    for (int byte = 0; byte < 256; ++byte) {
        if (byte != 0x98)
            all.append(QChar(char16_t(Cp1251ToUnicode(static_cast<unsigned char>(byte)))));
    }
    QCOMPARE(all.size(), 255);
    QCOMPARE(ReduceToCp1251(all), all);
}

void RecordTest::completeness_data()
{
    QTest::addColumn<LentarDocument>("doc");
    QTest::addColumn<QString>("missing");

    QTest::newRow("complete") << CompleteDocument() << QString();

    LentarDocument doc = CompleteDocument();
    doc.title = u" \t\r\n"_s;
    QTest::newRow("blank title") << doc << u" - Название работы\n"_s;

    doc = CompleteDocument();
    doc.title = u"Я"_s;
    doc.description = u"\r\n\r\n"_s;
    QTest::newRow("one-letter title, empty-lines description") << doc << u" - Описание работы\n"_s;

    doc = CompleteDocument();
    doc.subjectSlots = { 0, 5, 0, 0, 0 };
    QTest::newRow("only the first slot counts") << doc << u" - Не задан ни один раздел\n"_s;

    doc = CompleteDocument();
    doc.authors = { Person(u"А"_s, u"Б"_s, u" "_s), Person(u""_s, u"Б"_s, u"В"_s) };
    QTest::newRow("first author's gap wins") << doc << u" - Отчества у всех авторов\n"_s;

    doc = CompleteDocument();
    doc.authors = { Person(u"А"_s, u"Б"_s, u"В"_s), Person(u"Г"_s, u""_s, u""_s) };
    QTest::newRow("second author without name") << doc << u" - Имена у всех авторов\n"_s;

    doc = CompleteDocument();
    doc.authors.clear();
    doc.leaders = { Person(u"\t"_s, u""_s, u""_s) };
    QTest::newRow("no author, leader without surname")
        << doc << u" - Не указан ни один автор\n - Фамилии у всех руководителей\n"_s;

    doc = CompleteDocument();
    doc.leaders.append(Person(u"А"_s, u"Б"_s, u""_s));
    doc.leaders.append(Person(u"А"_s, u""_s, u"В"_s));
    QTest::newRow("third leader ignored after second's gap")
        << doc << u" - Отчества у всех руководителей\n"_s;

    doc = CompleteDocument();
    doc.leaders = { Person(u"А"_s, u" "_s, u"В"_s) };
    QTest::newRow("leader without name") << doc << u" - Имена у всех руководителей\n"_s;

    doc = CompleteDocument();
    doc.leaders.clear();
    doc.authors = { Person(u"А"_s, u"Б"_s, u"В"_s), Person(u" "_s, u" "_s, u" "_s) };
    QTest::newRow("second author blank, no leader")
        << doc << u" - Фамилии у всех авторов\n - Не указан ни один руководитель\n"_s;
}

void RecordTest::completeness()
{
    QFETCH(LentarDocument, doc);
    QFETCH(QString, missing);
    const LentarDocument before = doc;
    QCOMPARE(CheckCompleteness(doc), missing);
    QCOMPARE(doc, before);
}

void RecordTest::freshRecordMessage()
{
    QCOMPARE(IncompleteMessageText(CheckCompleteness(LentarDocument())),
        u"Для записи лентара в файл необходимо заполнить следующие поля:\n"
        "\n"
        " - Название работы\n"
        " - Описание работы\n"
        " - Не задан ни один раздел\n"
        " - Не указан ни один автор\n"
        " - Не указан ни один руководитель\n"
        "\n"
        "Лентар не сохранен."_s);
    QCOMPARE(QString::fromUtf8(kIncompleteCaption), u"Неполная информация"_s);
}

QTEST_GUILESS_MAIN(RecordTest)
#include "record_test.moc"
