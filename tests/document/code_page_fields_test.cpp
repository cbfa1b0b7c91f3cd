// Which fields hold characters a lentar file cannot carry: the save asks the user about
// exactly those, so the answer must agree with what the writer turns into "?".

#include "document/completeness.h"
#include "document/lentar_xml.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Setter = void (*)(LentarDocument &, const QString &);

LentarDocument TwoOfEach()
{
    LentarDocument doc;
    doc.authors = { { u"123-456-789"_s, u"Иванов"_s, u"Иван"_s, u"Иванович"_s },
        { u"111-111-111"_s, u"Петров"_s, u"Пётр"_s, u"Петрович"_s } };
    doc.leaders = { { u"987-654-321"_s, u"Сидорова"_s, u"Анна"_s, u"Ильинична"_s } };
    doc.picture.present = true;
    return doc;
}

} // namespace

Q_DECLARE_METATYPE(Setter)

class CodePageFieldsTest : public QObject
{
    Q_OBJECT

private slots:
    void eachFieldByItsLabel_data();
    void eachFieldByItsLabel();
    void severalFieldsInWindowOrder();
    void captionOfAbsentPictureIsNotWritten();
    void agreesWithTheWriter_data();
    void agreesWithTheWriter();
};

void CodePageFieldsTest::eachFieldByItsLabel_data()
{
    QTest::addColumn<Setter>("set");
    QTest::addColumn<QString>("label");
    const auto row = [](const char *name, Setter set, const QString &label) {
        QTest::newRow(name) << set << label;
    };
    row(
        "title", [](LentarDocument &d, const QString &v) { d.title = v; }, u"Название"_s);
    row(
        "description", [](LentarDocument &d, const QString &v) { d.description = v; },
        u"Описание"_s);
    row(
        "tech_request", [](LentarDocument &d, const QString &v) { d.techRequest = v; },
        u"Технические требования"_s);
    row(
        "manual", [](LentarDocument &d, const QString &v) { d.manual = v; },
        u"Порядок знакомства"_s);
    row(
        "public_post_index", [](LentarDocument &d, const QString &v) { d.publicPostIndex = v; },
        u"Индекс"_s);
    row(
        "public_post_address", [](LentarDocument &d, const QString &v) { d.publicPostAddress = v; },
        u"Адрес"_s);
    row(
        "public_phone", [](LentarDocument &d, const QString &v) { d.publicPhone = v; },
        u"Телефон"_s);
    row(
        "public_email", [](LentarDocument &d, const QString &v) { d.publicEmail = v; },
        u"Эл. почта"_s);
    row(
        "caption", [](LentarDocument &d, const QString &v) { d.picture.caption = v; },
        u"Подпись к картинке"_s);
    row(
        "Notes", [](LentarDocument &d, const QString &v) { d.notes = v; }, u"Комментарии"_s);
    row(
        "first author's surname",
        [](LentarDocument &d, const QString &v) { d.authors[0].surname = v; },
        u"Фамилия (автор 1)"_s);
    row(
        "second author's name", [](LentarDocument &d, const QString &v) { d.authors[1].name = v; },
        u"Имя (автор 2)"_s);
    row(
        "leader's patronymic",
        [](LentarDocument &d, const QString &v) { d.leaders[0].patronymic = v; },
        u"Отчество (руководитель 1)"_s);
}

void CodePageFieldsTest::eachFieldByItsLabel()
{
    QFETCH(Setter, set);
    QFETCH(QString, label);
    LentarDocument doc = TwoOfEach();
    QCOMPARE(FieldsOutsideCp1251(doc), QStringList {});

    // Everything the code page holds passes, whatever the script or control character.
    set(doc, u"Ёж «№ 5» — € \u00A0\t\r\n\x01 ё"_s);
    QCOMPARE(FieldsOutsideCp1251(doc), QStringList {});

    for (const QString &foreign : { u"Łódź"_s, u"中"_s, u"😀"_s, u"x\u0301"_s }) {
        set(doc, u"Кот "_s + foreign);
        QCOMPARE(FieldsOutsideCp1251(doc), QStringList { label });
    }
}

void CodePageFieldsTest::severalFieldsInWindowOrder()
{
    LentarDocument doc = TwoOfEach();
    doc.notes = u"中"_s;
    doc.leaders[0].surname = u"中"_s;
    doc.authors[1].patronymic = u"中"_s;
    doc.authors[1].surname = u"中"_s;
    doc.picture.caption = u"中"_s;
    doc.publicEmail = u"中"_s;
    doc.title = u"中"_s;
    QCOMPARE(FieldsOutsideCp1251(doc),
        (QStringList { u"Название"_s, u"Эл. почта"_s, u"Подпись к картинке"_s,
            u"Фамилия (автор 2)"_s, u"Отчество (автор 2)"_s, u"Фамилия (руководитель 1)"_s,
            u"Комментарии"_s }));
}

void CodePageFieldsTest::captionOfAbsentPictureIsNotWritten()
{
    LentarDocument doc = TwoOfEach();
    doc.picture.present = false;
    doc.picture.caption = u"中"_s;
    QCOMPARE(FieldsOutsideCp1251(doc), QStringList {});
}

void CodePageFieldsTest::agreesWithTheWriter_data()
{
    QTest::addColumn<QString>("character");
    const char16_t units[] = { 0x0401, 0x0451, 0x00A0, 0x2116, 0x20AC, 0x2122, 0x0098, 0x00E9,
        0x0142, 0x0301, 0x4E2D, 0xFFFD, 0xFFFE, 0xFFFF, 0xD800, 0xDC00, 0x0009, 0x0001, 0x007F };
    for (char16_t unit : units)
        QTest::addRow("U+%04X", unsigned(unit)) << QString(QChar(unit));
    QTest::newRow("surrogate pair") << u"😀"_s;
}

void CodePageFieldsTest::agreesWithTheWriter()
{
    QFETCH(QString, character);
    LentarDocument doc;
    doc.description = u"a"_s + character + u"b"_s;
    const QString written = SerializeLentar(BuildLentarXml(doc, 0));
    const bool becameQuestionMark = written.contains(u"<description>a?b</description>"_s);
    QCOMPARE(FieldsOutsideCp1251(doc).contains(u"Описание"_s), becameQuestionMark);
}

QTEST_GUILESS_MAIN(CodePageFieldsTest)
#include "code_page_fields_test.moc"
