// Reading lentars back: every form a lentar of this format may take opens to the same
// record, every kind of bad file is refused or loaded with a finding, and nothing in a
// file can make the reader expand an entity or read another file.

#include "codec/base64.h"
#include "document/lentar_reader.h"
#include "document/lentar_xml.h"
#include "lentar_compare.h"
#include "lentar_variations.h"
#include "test_files.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kStored = 1294000000;

QByteArray PictureBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 3000; ++i)
        bytes.append(char((i * 7919) >> 3));
    return bytes;
}

// A record as the editor holds it, with something of everything the format carries:
// markup characters, Cyrillic and typographic characters, a tab, blank lines and line
// breaks at the ends of multi-line fields, an unused leader before the invoice one.
LentarDocument Sample()
{
    LentarDocument doc;
    doc.title = u"\"Кот & <пёс>\" — 'этюд' №2"_s;
    doc.description = u"Первая строка\r\n\r\nтретья\tс табуляцией\r\n"_s;
    doc.techRequest = u"Windows XP, 1 ГБ"_s;
    doc.manual = u"\r\nОткрыть index.html"_s;
    doc.subjectSlots = { 2, 19, 24, 0, 0 };
    doc.authors = { { ValidParticipantId("1234567"), u"Иванов"_s, u"Иван"_s, u"Иванович"_s },
        { ValidParticipantId("7654321"), u"Петрова"_s, u"Анна"_s, QString() } };
    doc.leaders = { { ValidParticipantId("1112223"), u"Сидоров"_s, u"Пётр"_s, u"Ильич"_s },
        { ValidParticipantId("3332221"), u"Орлова"_s, u"Вера"_s, u"Павловна"_s } };
    doc.invoiceLeader = 1;
    doc.publicPostIndex = u"630090"_s;
    doc.publicPostAddress = u"Новосибирск, ул. Пирогова, 2"_s;
    doc.publicPhone = u"+7 (383) 330-00-00"_s;
    doc.publicEmail = u"school@example.ru"_s;
    const QByteArray jpeg = PictureBytes();
    doc.picture = { true,
        QByteArray::fromStdString(
            Base64EncodeString(std::string_view(jpeg.constData(), std::size_t(jpeg.size())), 19)),
        240, 180, u" Вид сбоку "_s };
    doc.notes = u"Спасибо!\r\n\r\nВопросы — по почте."_s;
    return doc;
}

QByteArray Saved(const LentarDocument &doc = Sample())
{
    return LentarFileBytes(SerializeLentar(BuildLentarXml(doc, kStored)));
}

QByteArray Preview(const LentarDocument &doc = Sample())
{
    return PreviewFileBytes(SerializeLentar(BuildLentarXml(doc, kStored, LentarVariant::Preview)));
}

QByteArray Replaced(QByteArray bytes, const QByteArray &from, const QByteArray &to)
{
    if (!bytes.contains(from))
        qFatal("test file lacks %s", from.constData());
    return bytes.replace(from, to);
}

QByteArray ReplacedInSample(const QByteArray &from, const QByteArray &to)
{
    return Replaced(Saved(), from, to);
}

// The sample's file with the persons replaced by the given ones.
QByteArray WithPersons(const QByteArray &persons)
{
    const QByteArray saved = Saved();
    const qsizetype from = saved.indexOf("<authors>") + 9;
    return QByteArray(saved).replace(from, saved.indexOf("</authors>") - from, persons);
}

QByteArray Person(const QString &id, const char *type, const char *extra = "")
{
    return "<person p_id_full=\"" + id.toUtf8() + "\" p_type=\"" + type
        + "\" surname=\"Ф\" name=\"И\" patronymic=\"О\"" + extra + "></person>";
}

QString Why(const LentarReadResult &result)
{
    return result.refusal ? result.refusal->code + u": "_s + result.refusal->message : QString();
}

QString FindingCodes(const LentarReadResult &result)
{
    QStringList codes;
    for (const ReadFinding &f : result.findings)
        codes.append(f.code + u'@' + f.field);
    return codes.join(u", "_s);
}

// External entities must never be fetched: every request is recorded and refused.
QStringList g_loaded;
xmlParserInputPtr RecordingLoader(const char *url, const char *, xmlParserCtxtPtr)
{
    g_loaded.append(QString::fromUtf8(url ? url : "(null)"));
    return nullptr;
}

int g_complaints = 0;
void CountGeneric(void *, const char *, ...)
{
    ++g_complaints;
}
void CountStructured(void *, xmlErrorPtr)
{
    ++g_complaints;
}

} // namespace

class LentarReaderTest : public QObject
{
    Q_OBJECT

private slots:
    void variations_data();
    void variations();
    void refusals_data();
    void refusals();
    void findings_data();
    void findings();
    void subjectsAndParticipants();
    void texts();
    void picture();
    void entitiesAreNeverExpanded_data();
    void entitiesAreNeverExpanded();
    void files();
    void libxmlHandlersAndThreads();
};

void LentarReaderTest::variations_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray saved = Saved();
    const QByteArray noBom = saved.mid(3);
    QByteArray lf = saved;
    lf.replace("\r\n", "\n"); // what a line-end converter makes of it: CR CR LF to CR LF
    QByteArray idsUndashed = saved;
    for (const Participant &p : Sample().authors + Sample().leaders)
        idsUndashed.replace(p.id.toLatin1(), QByteArray(p.id.toLatin1()).replace('-', ""));

    QTest::newRow("as saved") << saved;
    QTest::newRow("without byte-order mark") << noBom;
    QTest::newRow("LF line ends") << lf;
    QTest::newRow("indented, CR LF") << IndentedLentar(saved, "\r\n");
    QTest::newRow("indented, LF") << IndentedLentar(lf, "\n");
    QTest::newRow("attributes reversed") << AttributesReversedLentar(saved);
    QTest::newRow("single quotes") << QByteArray(saved).replace('"', '\'');
    QTest::newRow("preview: comment before img") << Preview();
    QTest::newRow("all at once") << AttributesReversedLentar(IndentedLentar(lf.mid(3), "\n"));
    QTest::newRow("identifiers without dashes") << idsUndashed;
}

void LentarReaderTest::variations()
{
    QFETCH(QByteArray, bytes);
    const LentarReadResult result = ReadLentarBytes(bytes);
    QVERIFY2(!result.refused(), qPrintable(Why(result)));
    QVERIFY2(result.findings.isEmpty(), qPrintable(FindingCodes(result)));
    const QString difference = FirstDifference(result.doc, Sample());
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    QCOMPARE(result.pictureJpeg, PictureBytes());
    QCOMPARE(result.stored, kStored);
    // Saved again, the file is the program's own form of the same lentar.
    QCOMPARE(Saved(result.doc), Saved());
}

void LentarReaderTest::refusals_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("reason"); // a part of the reason the user is told
    const QByteArray saved = Saved();
    const QString notXml = u"не содержит документа XML"_s;
    const QString broken = u"не является правильным документом XML"_s;
    QTest::newRow("empty") << QByteArray() << QString(ReadCode::NotXml) << notXml;
    QTest::newRow("plain text") << "Лентар"_ba << QString(ReadCode::NotXml) << notXml;
    QTest::newRow("cut in half") << saved.left(saved.size() / 2) << QString(ReadCode::NotXml)
                                 << broken + u" (ошибка в строке"_s;
    QTest::newRow("undeclared entity")
        << ReplacedInSample("<manual>", "<manual>&xxe;") << QString(ReadCode::NotXml) << broken;
    QTest::newRow("binary") << PictureBytes() << QString(ReadCode::NotXml) << notXml;
    QTest::newRow("web page") << "<html><body>vantorela</body></html>"_ba
                              << QString(ReadCode::WrongRoot) << u"корневой элемент «html»"_s;
    QTest::newRow("root in a namespace")
        << Replaced(Replaced(saved, "<vantorela>", "<v:vantorela xmlns:v=\"urn:v\">"),
               "</vantorela>", "</v:vantorela>")
        << QString(ReadCode::WrongRoot) << u"а не «vantorela»"_s;
    QTest::newRow("no work") << "<vantorela><works/></vantorela>"_ba << QString(ReadCode::NoWork)
                             << u"нет описания работы"_s;
    QTest::newRow("season 7") << ReplacedInSample("sz_id=\"8\"", "sz_id=\"7\"")
                              << QString(ReadCode::WrongSeason)
                              << u"другого сезона фестиваля (sz_id «7», а нужен 8)"_s;
    QTest::newRow("no season") << ReplacedInSample("sz_id=\"8\"", "")
                               << QString(ReadCode::WrongSeason) << u"(sz_id «», а нужен 8)"_s;
    QTest::newRow("version 2.0") << ReplacedInSample("version=\"2.1\"", "version=\"2.0\"")
                                 << QString(ReadCode::WrongVersion)
                                 << u"другой версии формата («2.0», а нужна 2.1)"_s;
    QTest::newRow("doctype") << Replaced(saved, "<vantorela>", "<!DOCTYPE vantorela><vantorela>")
                             << QString(ReadCode::Doctype) << u"(DOCTYPE)"_s;
    QTest::newRow("one byte over 16 MiB")
        << saved + QByteArray(kMaxLentarFileBytes + 1 - saved.size(), ' ')
        << QString(ReadCode::TooLarge) << u"слишком велик"_s;
    QTest::newRow("exactly 16 MiB")
        << saved + QByteArray(kMaxLentarFileBytes - saved.size(), ' ') << QString() << QString();
}

void LentarReaderTest::refusals()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, code);
    const LentarReadResult result = ReadLentarBytes(bytes);
    if (code.isEmpty()) {
        QVERIFY2(!result.refused(), qPrintable(Why(result)));
        return;
    }
    QVERIFY(result.refused());
    QCOMPARE(result.refusal->code, code);
    // The reason, and nothing loaded.
    QFETCH(QString, reason);
    QVERIFY2(result.refusal->message.contains(reason), qPrintable(result.refusal->message));
    QVERIFY(result.findings.isEmpty());
    QVERIFY(result.doc == LentarDocument {});
    QVERIFY(result.pictureJpeg.isEmpty());
}

void LentarReaderTest::findings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected"); // code@field of every finding
    QString wrongDigits = ValidParticipantId("1234567");
    wrongDigits[10] = wrongDigits[10] == u'0' ? u'1' : u'0';
    const QByteArray base64Tail = Sample().picture.base64.right(4) + "\" width";
    const QByteArray author = Person(ValidParticipantId("1000001"), "student");
    const QByteArray leader
        = Person(ValidParticipantId("2000001"), "teacher", " status=\"leader\"");

    QTest::newRow("subject 23") << ReplacedInSample("sb_id=\"2\"", "sb_id=\"23\"")
                                << u"unknown-subject@subject_slots"_s;
    QTest::newRow("subject not a number")
        << ReplacedInSample("sb_id=\"2\"", "sb_id=\"два\"") << u"unknown-subject@subject_slots"_s;
    QTest::newRow("subject twice")
        << ReplacedInSample("sb_id=\"19\"", "sb_id=\"2\"") << u"repeated-subject@subject_slots"_s;
    QTest::newRow("wrong check digits") << WithPersons(Person(wrongDigits, "student") + leader)
                                        << u"wrong-check-digits@author_list[0].id"_s;
    QTest::newRow("malformed identifier") << WithPersons(Person(u"12-34"_s, "student") + leader)
                                          << u"bad-identifier@author_list[0].id"_s;
    QTest::newRow("identifier twice") << WithPersons(
        author + Person(ValidParticipantId("1000001"), "teacher", " status=\"leader\""))
                                      << u"repeated-identifier@leader_list[0].id"_s;
    QTest::newRow("neither author nor leader")
        << WithPersons(author + Person(ValidParticipantId("3000001"), "parent") + leader)
        << u"bad-person-type@"_s;
    QTest::newRow("invoice mark on an author") << WithPersons(
        Person(ValidParticipantId("1000001"), "student", " status=\"leader\"") + leader)
                                               << u"bad-invoice-leader@InvoiceLeader"_s;
    QTest::newRow("second invoice leader") << WithPersons(
        author + leader + Person(ValidParticipantId("2000002"), "teacher", " status=\"leader\""))
                                           << u"bad-invoice-leader@InvoiceLeader"_s;
    QTest::newRow("picture from the web") << ReplacedInSample("src=\"data:image/jpeg;base64,",
        "src=\"http://example.ru/a.jpg?") << u"bad-picture-source@picture"_s;
    QTest::newRow("base64 with a stray character")
        << ReplacedInSample("src=\"data:image/jpeg;base64,", "src=\"data:image/jpeg;base64,*")
        << u"bad-base64@picture"_s;
    QTest::newRow("base64 with a tab")
        << ReplacedInSample("src=\"data:image/jpeg;base64,", "src=\"data:image/jpeg;base64,\t")
        << u"bad-base64@picture"_s;
    QTest::newRow("base64 with a blank")
        << ReplacedInSample(base64Tail, " " + base64Tail) << u"bad-base64@picture"_s;
    QTest::newRow("base64 cut short")
        << ReplacedInSample(base64Tail, base64Tail.mid(2)) << u"bad-base64@picture"_s;
    QTest::newRow("width not a number")
        << ReplacedInSample("width=\"240\"", "width=\"2x\"") << u"bad-picture-size@picture"_s;
    QTest::newRow("height too large")
        << ReplacedInSample("height=\"180\"", "height=\"5000\"") << u"bad-picture-size@picture"_s;
    QTest::newRow("character outside Windows-1251") << ReplacedInSample("surname=\"Иванов\"",
        "surname=\"Иванов中\"") << u"cp1251@author_list[0].surname"_s;
    QTest::newRow("surname too long")
        << ReplacedInSample("\"Иванов\"", '"' + QString(60, u'Щ').toUtf8() + '"')
        << u"text-cut@author_list[0].surname"_s;
    QTest::newRow("stored not a number")
        << ReplacedInSample("stored=\"1294000000\"", "stored=\"вчера\"") << u"bad-stored@"_s;
    QTest::newRow("no manual") << ReplacedInSample("<manual>\r\r\nОткрыть index.html</manual>", "")
                               << u"missing-element@"_s;
    QTest::newRow("unknown element")
        << ReplacedInSample("<comment>", "<extra>x</extra><comment>") << u"unexpected-content@"_s;
    QTest::newRow("text between elements")
        << ReplacedInSample("<subjects>", "слово<subjects>") << u"unexpected-content@"_s;
}

void LentarReaderTest::findings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const LentarReadResult result = ReadLentarBytes(bytes);
    QVERIFY2(!result.refused(), qPrintable(Why(result)));
    QCOMPARE(FindingCodes(result), expected);
    QVERIFY(result.findings.front().message.contains(QRegularExpression(u"[а-я]{4}"_s)));
    // The rest of the lentar is there all the same.
    QCOMPARE(result.doc.title, Sample().title);
    QCOMPARE(result.doc.notes, Sample().notes);
}

void LentarReaderTest::subjectsAndParticipants()
{
    QByteArray subjects;
    for (int sb_id : { 3, 23, 5, 3, 7, 9, 11, 13 })
        subjects += "<subject sb_id=\"" + QByteArray::number(sb_id) + "\"></subject>";
    QByteArray persons;
    for (int i = 0; i < 12; ++i)
        persons += Person(ValidParticipantId(std::to_string(1000000 + i)), "student");
    // Leaders may stand among the authors; the invoice mark goes with its leader.
    persons.insert(
        persons.indexOf("<person", 10), Person(ValidParticipantId("2000001"), "teacher"));
    for (int i = 2; i <= 4; ++i)
        persons += Person(ValidParticipantId(std::to_string(2000000 + i)), "teacher",
            i == 3 ? " status=\"leader\"" : "");
    QByteArray bytes = WithPersons(persons);
    const qsizetype from = bytes.indexOf("<subjects>") + 10;
    bytes.replace(from, bytes.indexOf("</subjects>") - from, subjects);

    const LentarReadResult result = ReadLentarBytes(bytes);
    QVERIFY(!result.refused());
    QCOMPARE(FindingCodes(result),
        u"unknown-subject@subject_slots, repeated-subject@subject_slots, "
        "too-many-subjects@subject_slots, too-many-authors@author_list, "
        "too-many-leaders@leader_list"_s);
    QCOMPARE(result.doc.subjectSlots, (std::array<int, 5> { 3, 5, 7, 9, 11 }));
    QCOMPARE(result.doc.authors.size(), kMaxAuthors);
    QCOMPARE(result.doc.authors.back().id, ValidParticipantId("1000009"));
    QCOMPARE(result.doc.leaders.size(), kMaxLeaders);
    QCOMPARE(result.doc.leaders.at(0).id, ValidParticipantId("2000001"));
    QCOMPARE(result.doc.invoiceLeader, 2);

    // Without any invoice mark none is chosen; a wrong check digit is kept as found,
    // and an undashed identifier is dashed as typing it would be.
    const QString wrong = ValidParticipantId("5550123").left(10)
        + (ValidParticipantId("5550123").endsWith(u'7') ? u'8' : u'7');
    const QString undashed = ValidParticipantId("5550124").remove(u'-');
    const LentarReadResult plain
        = ReadLentarBytes(WithPersons(Person(u' ' + wrong + u' ', "student")
            + Person(undashed, "teacher") + Person(u"  12-34 "_s, "teacher")));
    QCOMPARE(plain.doc.invoiceLeader, -1);
    QCOMPARE(plain.doc.authors.at(0).id, wrong);
    QCOMPARE(plain.doc.leaders.at(0).id, ValidParticipantId("5550124"));
    QCOMPARE(plain.doc.leaders.at(1).id, u"  12-34 "_s);
    QCOMPARE(FindingCodes(plain),
        u"wrong-check-digits@author_list[0].id, bad-identifier@leader_list[1].id"_s);
}

void LentarReaderTest::texts()
{
    // Long texts are cut at the field's limit, a line break counting two and never
    // split; characters the code page lacks become "?".
    LentarDocument doc = Sample();
    doc.description = QString(Limits::description - 1, u'а') + u"\r\nб"_s;
    doc.manual = QString(Limits::manual - 2, u'а') + u"\r\nб"_s;
    doc.title = QString(Limits::title, u'Т') + u"Щ"_s;
    doc.notes = u"Ура \U0001F600 и \u4E2D"_s;
    // The writer already reduces what it writes, so the characters outside the code
    // page are put into the file by hand.
    QByteArray bytes = Saved(doc);
    bytes.replace("Ура ? и ?", "Ура \xF0\x9F\x98\x80 и \xE4\xB8\xAD");
    const LentarReadResult read = ReadLentarBytes(bytes);
    QCOMPARE(read.doc.description, QString(Limits::description - 1, u'а'));
    QCOMPARE(read.doc.manual, QString(Limits::manual - 2, u'а') + u"\r\n"_s);
    QCOMPARE(read.doc.title, QString(Limits::title, u'Т'));
    QCOMPARE(read.doc.notes, u"Ура ? и ?"_s);
    QCOMPARE(FindingCodes(read),
        u"text-cut@title, text-cut@description, text-cut@manual, cp1251@Notes"_s);

    // A line break typed into a multi-line field is CR LF; a file written with bare line
    // feeds (by another program) has one line feed per line break.
    QByteArray foreign = Saved();
    foreign.replace("\r\r\n", "\n");
    QVERIFY(!foreign.contains("\r\r\n"));
    QCOMPARE(ReadLentarBytes(foreign).doc.description, Sample().description);
    // Line ends and tabs written as references read as the same characters written
    // plainly would: so they stay from one save to the next.
    const LentarReadResult references = ReadLentarBytes(Replaced(
        ReplacedInSample("<specification>Windows", "<specification>&#13;&#10;A&#9;B&#13;Windows"),
        "surname=\"Иванов\"", "surname=\"&#13;&#10;Ива&#9;нов\""));
    QCOMPARE(references.doc.techRequest, u"\nA\tB\nWindows XP, 1 ГБ"_s);
    QCOMPARE(references.doc.authors.at(0).surname, u"  Ива нов"_s);
}

void LentarReaderTest::picture()
{
    // Damaged base64 is decoded as far as it goes; the picture stays, re-encoded as the
    // import would, and its caption defaults to empty.
    QByteArray damaged = ReplacedInSample(" title=\" Вид сбоку \"", "");
    damaged.insert(damaged.indexOf("\r\n", damaged.indexOf("base64,")) + 2, '#');
    const LentarReadResult result = ReadLentarBytes(damaged);
    QCOMPARE(FindingCodes(result), u"bad-base64@picture"_s);
    QVERIFY(result.doc.picture.present);
    QCOMPARE(result.pictureJpeg, PictureBytes());
    QCOMPARE(result.doc.picture.base64, Sample().picture.base64);
    QCOMPARE(result.doc.picture.caption, QString());

    // A picture coming with lines of another length is kept byte for byte.
    const QByteArray jpeg = PictureBytes();
    const QByteArray mime = jpeg.toBase64();
    QByteArray wrapped;
    for (qsizetype i = 0; i < mime.size(); i += 64)
        wrapped += mime.mid(i, 64) + "\r\n";
    const qsizetype from = Saved().indexOf("base64,") + 7;
    QByteArray other = Saved();
    other.replace(from, other.indexOf("\" width") - from, wrapped);
    const LentarReadResult rewrapped = ReadLentarBytes(other);
    QVERIFY(rewrapped.findings.isEmpty());
    QCOMPARE(rewrapped.pictureJpeg, jpeg);
    QCOMPARE(rewrapped.doc.picture.base64, Sample().picture.base64);
}

void LentarReaderTest::entitiesAreNeverExpanded_data()
{
    QTest::addColumn<QByteArray>("doctype");
    QTest::addColumn<QByteArray>("reference");
    QTest::newRow("external entity") << "<!DOCTYPE vantorela [<!ENTITY xxe SYSTEM \"SECRET\">]>"_ba
                                     << "&xxe;"_ba;
    QTest::newRow("parameter entity")
        << "<!DOCTYPE vantorela [<!ENTITY % p SYSTEM \"SECRET\"> %p;]>"_ba << QByteArray();
    QTest::newRow("external DTD") << "<!DOCTYPE vantorela SYSTEM \"SECRET\">"_ba << QByteArray();
    QByteArray laughs = "<!DOCTYPE vantorela [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= 10; ++i)
        laughs += "<!ENTITY l" + QByteArray::number(i) + " \""
            + QByteArray("&l" + QByteArray::number(i - 1) + ";").repeated(10) + "\">";
    QTest::newRow("billion laughs") << laughs + "]>"
                                    << "&l10;"_ba;
}

void LentarReaderTest::entitiesAreNeverExpanded()
{
    QFETCH(QByteArray, doctype);
    QFETCH(QByteArray, reference);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QByteArray secret = "секретный-пароль-7f3a";
    const QString secretPath = folder.filePath(u"secret.txt"_s);
    QVERIFY(WriteFile(secretPath, secret));
    const QByteArray url = QUrl::fromLocalFile(secretPath).toEncoded();

    QByteArray bytes = Saved();
    bytes.insert(bytes.indexOf("<vantorela>"), QByteArray(doctype).replace("SECRET", url));
    bytes.replace("<manual>", "<manual>" + reference);

    g_loaded.clear();
    const xmlExternalEntityLoader previous = xmlGetExternalEntityLoader();
    xmlSetExternalEntityLoader(RecordingLoader);
    const LentarReadResult result = ReadLentarBytes(bytes);
    xmlSetExternalEntityLoader(previous);

    QVERIFY(g_loaded.isEmpty());
    QVERIFY(result.refused());
    QCOMPARE(result.refusal->code, QString(ReadCode::Doctype));
    QVERIFY(!result.refusal->message.contains(QString::fromUtf8(secret)));
    QVERIFY(result.doc == LentarDocument {});
}

void LentarReaderTest::files()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(u"работа.lnr.xml"_s);
    QVERIFY(WriteFile(path, Saved()));
    const LentarReadResult read = ReadLentarFile(path);
    QVERIFY(!read.refused());
    QVERIFY(FirstDifference(read.doc, Sample()).isEmpty());

    // A pipe would block a reader that opened it; it is refused by what it is.
    const QString fifo = folder.filePath(u"pipe.lnr.xml"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString large = folder.filePath(u"large.lnr.xml"_s);
    QFile file(large);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(kMaxLentarFileBytes + 1));
    file.close();
    const QList<std::pair<QString, QLatin1StringView>> refused {
        { folder.path(), ReadCode::NotAFile },
        { fifo, ReadCode::NotAFile },
        { folder.filePath(u"нет.lnr.xml"_s), ReadCode::ReadError },
        { large, ReadCode::TooLarge },
    };
    for (const auto &[refusedPath, code] : refused) {
        const LentarReadResult result = ReadLentarFile(refusedPath);
        QVERIFY2(result.refused(), qPrintable(refusedPath));
        QCOMPARE(result.refusal->code, QString(code));
    }
    if (::geteuid() != 0) {
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        QCOMPARE(ReadLentarFile(path).refusal->code, QString(ReadCode::ReadError));
    }
}

void LentarReaderTest::libxmlHandlersAndThreads()
{
    // Whatever error handlers the process has set stay set and hear nothing from us.
    g_complaints = 0;
    const xmlGenericErrorFunc previousGeneric = xmlGenericError;
    void *const previousGenericContext = xmlGenericErrorContext;
    const xmlStructuredErrorFunc previousStructured = xmlStructuredError;
    void *const previousStructuredContext = xmlStructuredErrorContext;
    xmlSetGenericErrorFunc(nullptr, CountGeneric);
    xmlSetStructuredErrorFunc(nullptr, CountStructured);
    const LentarReadResult broken = ReadLentarBytes("<vantorela><work>"_ba);
    const bool kept = xmlGenericError == CountGeneric && xmlStructuredError == CountStructured;
    xmlSetGenericErrorFunc(previousGenericContext, previousGeneric);
    xmlSetStructuredErrorFunc(previousStructuredContext, previousStructured);
    QCOMPARE(broken.refusal->code, QString(ReadCode::NotXml));
    QVERIFY(kept);
    QCOMPARE(g_complaints, 0);

    // Several files read at once, as the organisers' check does.
    const QByteArray bytes = Saved();
    std::vector<LentarReadResult> results(4);
    std::vector<std::thread> threads;
    for (LentarReadResult &result : results)
        threads.emplace_back([&result, &bytes] {
            for (int i = 0; i < 20; ++i)
                result = ReadLentarBytes(i % 2 ? bytes : bytes.left(100));
        });
    for (std::thread &thread : threads)
        thread.join();
    for (const LentarReadResult &result : results)
        QVERIFY(FirstDifference(result.doc, Sample()).isEmpty());
}

QTEST_GUILESS_MAIN(LentarReaderTest)
#include "lentar_reader_test.moc"
