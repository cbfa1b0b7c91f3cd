#include "fuzz_seeds.h"
#include "writer_input.h"

#include "codec/base64.h"
#include "codec/participant_id.h"
#include "document/lentar_xml.h"
#include "jpeg_fixtures.h"

#include <random>

using namespace Qt::StringLiterals;

namespace {

QByteArray RandomBytes(int count, unsigned seed)
{
    std::mt19937 random(seed);
    QByteArray bytes(count, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(random() & 0xFF);
    return bytes;
}

QByteArray Encoded(const QByteArray &bytes, int n)
{
    return QByteArray::fromStdString(
        Base64EncodeString(std::string_view(bytes.constData(), std::size_t(bytes.size())), n));
}

// A valid identifier made from seven digits.
std::string ValidId(const std::string &body)
{
    return body + ComputeIdCheckDigits(body);
}

Participant Person(
    const std::string &id, const QString &surname, const QString &name, const QString &patronymic)
{
    return { QString::fromStdString(FormatParticipantId(id)), surname, name, patronymic };
}

QByteArray PictureBase64()
{
    const QByteArray jpeg = EncodeFixture(PhotoSamples(24, 16, 5), 24, 16);
    return Encoded(jpeg, 19);
}

} // namespace

QList<FuzzSeed> Base64Seeds()
{
    QList<FuzzSeed> seeds {
        { u"abc"_s, "YWJj" },
        { u"padded"_s, "YWJjZA==" },
        { u"unpadded"_s, "YWJjZA" },
        { u"pad-then-more"_s, "YQ==YWJj" },
        { u"pad-third"_s, "AB=C" },
        { u"only-pads"_s, "====" },
        { u"short-group"_s, "YWJjZ\n\nA" },
        { u"line-feeds"_s, "YWJj\n\n\n\n" },
        { u"blanks-between"_s, "Y W\r\nJ j\tZA==" },
        { u"high-bytes"_s, "\xC0\xFFYWJj\x80" },
    };
    for (const int n : { 19, 1, 0, -1 }) {
        for (const int count : { 1, 2, 3, 57, 58, 200 }) {
            // The first byte is also what the round trip takes for n.
            QByteArray bytes = RandomBytes(count, unsigned(count * 31 + n + 7));
            seeds.append({ u"encoded-%1-n%2"_s.arg(count).arg(n), Encoded(bytes, n) });
        }
    }
    seeds.append({ u"picture"_s, PictureBase64() });
    return seeds;
}

QList<FuzzSeed> ParticipantIdSeeds()
{
    const std::string id = ValidId("1234567");
    const std::string formatted = FormatParticipantId(id);
    QList<FuzzSeed> seeds {
        { u"plain"_s, QByteArray::fromStdString(id) },
        { u"dashed"_s, QByteArray::fromStdString(formatted) },
        { u"blanks"_s, QByteArray::fromStdString(id).insert(3, ' ').prepend(' ').append(' ') },
        { u"dots"_s, "123.456.789" },
        { u"wrong-digit"_s, QByteArray::fromStdString(id.substr(0, 8) + "x") },
        { u"short"_s, "12-34" },
        { u"long"_s, QByteArray::fromStdString(formatted + "-0042") },
        { u"controls"_s, QByteArray::fromStdString(id).prepend("\t\x01").append("\r\n") },
        { u"dash-exposes-control"_s, "-\x01-" },
        { u"cyrillic"_s, "\xD0\x98\xD0\x94 123-456-789" },
        { u"invalid-utf8"_s,
            "\xFF\xFE"
            "123-456-7\xC3" },
        { u"empty"_s, "" },
    };
    for (const char *body : { "0000000", "9999999", "1000000", "5550123" })
        seeds.append({ u"valid-%1"_s.arg(QLatin1StringView(body)),
            QByteArray::fromStdString(FormatParticipantId(ValidId(body))) });
    return seeds;
}

QList<FuzzSeed> LentarWriterSeeds()
{
    QList<FuzzSeed> seeds;
    const auto add = [&seeds](const QString &name, const LentarDocument &doc, qint64 stored) {
        seeds.append({ name, EncodeWriterInput({ doc, stored }) });
    };

    add(u"empty"_s, LentarDocument {}, 0);

    LentarDocument complete;
    complete.title = u"  Кот/Пёс? «Ванторела» №8  "_s;
    complete.description = u"Первая строка\r\nвторая\tстрока"_s;
    complete.techRequest = u"Windows XP"_s;
    complete.manual = u"Открыть index.html"_s;
    complete.subjectSlots = { 2, 19, 24, 0, 0 };
    complete.authors = { Person(ValidId("1234567"), u"Иванов"_s, u"Иван"_s, u"Иванович"_s),
        Person(ValidId("7654321"), u" Петрова "_s, u"Анна"_s, u""_s) };
    complete.leaders = { Person(ValidId("1112223"), u"Сидоров"_s, u"Пётр"_s, u"Ильич"_s),
        Person(ValidId("3332221"), u"Орлова"_s, u"Вера"_s, u"Павловна"_s) };
    complete.invoiceLeader = 1;
    complete.publicPostIndex = u"101000"_s;
    complete.publicPostAddress = u"Москва, ул. Мира, 1"_s;
    complete.publicPhone = u"+7 (495) 000-00-00"_s;
    complete.publicEmail = u"school@example.ru"_s;
    complete.notes = u"\r\nСпасибо!\r\n"_s;
    complete.picture = { true, PictureBase64(), 24, 16, u" "_s };
    add(u"complete"_s, complete, 1294000000);

    LentarDocument markup;
    markup.title = u"\"Я&<>'"_s;
    markup.description = QString(u"\x01\x08\x0B\x0C\x1F\xFFFE\xFFFF\u00A0\u4E2D"_s);
    markup.manual = QStringView(u"\xD800 \xDC00 \xD83D\xDE00").toString();
    markup.notes = u"]]> <!-- &amp; -->"_s;
    markup.authors = { { u"<id>"_s, u"\xD800"_s, u"\t"_s, u"&#10;"_s } };
    markup.leaders = { { u""_s, u""_s, u""_s, u""_s } };
    markup.invoiceLeader = 0;
    markup.subjectSlots = { -1, 23, 127, 0, 1 };
    markup.picture = { true, QByteArray("\x00\x80\xFF\"<\n", 6), -300, 0, u"\""_s };
    add(u"markup"_s, markup, -1);

    LentarDocument full;
    for (int i = 0; i < kMaxAuthors; ++i)
        full.authors.append(
            Person(ValidId(std::to_string(1000000 + i)), u"Автор"_s, QString::number(i), u""_s));
    for (int i = 0; i < kMaxLeaders; ++i)
        full.leaders.append(Person(
            ValidId(std::to_string(2000000 + i)), u"Руководитель"_s, QString::number(i), u""_s));
    full.invoiceLeader = 2;
    full.title = QString(Limits::title, u'Ж');
    full.notes = QString(Limits::notes / 2, u'\n');
    add(u"full-lists"_s, full, 2147483648LL);
    return seeds;
}

// Lentar files: the writer's seeds saved and previewed, in the other forms a lentar
// takes, and the files the reader refuses.
QList<FuzzSeed> LentarReaderSeeds()
{
    QList<FuzzSeed> seeds;
    for (const FuzzSeed &writerSeed : LentarWriterSeeds()) {
        const WriterInput input = DecodeWriterInput(
            std::string_view(writerSeed.bytes.constData(), std::size_t(writerSeed.bytes.size())));
        const QString saved = SerializeLentar(BuildLentarXml(input.doc, input.stored));
        const QByteArray file = LentarFileBytes(saved);
        seeds.append({ writerSeed.name + u".lnr.xml"_s, file });
        seeds.append(
            { writerSeed.name + u"-lf.lnr.xml"_s, QByteArray(file).replace("\r\n", "\n") });
        seeds.append({ writerSeed.name + u"-preview.lnr.xml"_s,
            PreviewFileBytes(SerializeLentar(
                BuildLentarXml(input.doc, input.stored, LentarVariant::Preview))) });
    }
    const QByteArray head = "<?xml version=\"1.0\"?>";
    seeds.append({ u"doctype.lnr.xml"_s,
        head
            + "<!DOCTYPE vantorela [<!ENTITY e SYSTEM "
              "\"/etc/hostname\">]><vantorela>&e;</vantorela>" });
    seeds.append({ u"wrong-season.lnr.xml"_s,
        head + "<vantorela><work sz_id=\"7\" version=\"2.1\"></work></vantorela>" });
    seeds.append({ u"bare-work.lnr.xml"_s,
        head
            + "<vantorela><work sz_id=\"8\" version=\"2.1\"><subjects><subject sb_id=\"23\"/>"
              "</subjects><img src=\"data:image/jpeg;base64,/9j/*\" width=\"x\"/></work>"
              "</vantorela>" });
    return seeds;
}

QList<FuzzSeed> PictureSeeds()
{
    const auto photo = [](int w, int h) { return PhotoSamples(w, h, unsigned(w * 7 + h)); };
    FixtureOptions progressive;
    progressive.progressive = true;
    FixtureOptions arithmetic;
    arithmetic.arithmetic = true;
    FixtureOptions restarts;
    restarts.restartRows = 1;
    FixtureOptions componentScans;
    componentScans.componentScans = true;
    FixtureOptions full;
    full.sampling = { { { 1, 1 }, { 1, 1 }, { 1, 1 }, { 1, 1 } } };
    FixtureOptions grey;
    grey.colour = FixtureColour::Grey;
    FixtureOptions cmyk;
    cmyk.colour = FixtureColour::Cmyk;
    FixtureOptions bareCmyk = cmyk;
    bareCmyk.adobeMarker = false;
    FixtureOptions ycck;
    ycck.colour = FixtureColour::Ycck;
    FixtureOptions coarse;
    coarse.quality = 30;
    FixtureOptions progressiveArithmetic = progressive;
    progressiveArithmetic.arithmetic = true;

    const QByteArray progressiveSeed = EncodeFixture(photo(33, 17), 33, 17, progressive);
    QList<FuzzSeed> seeds {
        { u"baseline.jpg"_s, EncodeFixture(photo(40, 30), 40, 30) },
        { u"reduced.jpg"_s, EncodeFixture(photo(330, 12), 330, 12, coarse) },
        { u"progressive.jpg"_s, progressiveSeed },
        { u"arithmetic.jpg"_s, EncodeFixture(photo(20, 20), 20, 20, arithmetic) },
        { u"progressive-arithmetic.jpg"_s,
            EncodeFixture(photo(16, 24), 16, 24, progressiveArithmetic) },
        { u"restarts.jpg"_s, EncodeFixture(photo(24, 40), 24, 40, restarts) },
        { u"component-scans.jpg"_s, EncodeFixture(photo(17, 9), 17, 9, componentScans) },
        { u"444.jpg"_s, EncodeFixture(photo(9, 17), 9, 17, full) },
        { u"grey.jpg"_s, EncodeFixture(NoiseSamples(21, 13, 1, 3), 21, 13, grey) },
        { u"cmyk.jpg"_s, EncodeFixture(NoiseSamples(12, 12, 4, 4), 12, 12, cmyk) },
        { u"cmyk-no-adobe.jpg"_s, EncodeFixture(NoiseSamples(8, 8, 4, 5), 8, 8, bareCmyk) },
        { u"ycck.jpg"_s, EncodeFixture(NoiseSamples(10, 6, 4, 6), 10, 6, ycck) },
        { u"one-pixel.jpg"_s, EncodeFixture({ 200, 10, 30 }, 1, 1) },
        { u"exif-orientation-6.jpg"_s,
            WithApp1(EncodeFixture(photo(14, 10), 14, 10), ExifBlock(6, false)) },
        { u"exif-orientation-7-big-endian.jpg"_s,
            WithApp1(EncodeFixture(photo(10, 14), 10, 14, progressive), ExifBlock(7, true)) },
        // A fuzzer finding: an IFD whose entries the block ends before.
        { u"exif-cut-after-entry-count.jpg"_s,
            WithApp1(EncodeFixture(photo(6, 6), 6, 6), ExifBlock(6, false).left(16)) },
        { u"large-header.jpg"_s, WithFrameSize(EncodeFixture(photo(16, 16), 16, 16), 4000, 3000) },
    };
    seeds.append({ u"truncated.jpg"_s, seeds.front().bytes.left(seeds.front().bytes.size() / 2) });
    seeds.append({ u"progressive-no-end-marker.jpg"_s, progressiveSeed.chopped(2) });
    FixtureOptions manyScans;
    manyScans.scans = BandedScanScript(3, 2, 2);
    seeds.append({ u"many-scans.jpg"_s, EncodeFixture(photo(19, 11), 19, 11, manyScans) });
    // Scans that pass over the picture far too often; the bigger ones, which kept the
    // window busy for seconds, are kept in fuzz_regressions/picture.
    seeds.append({ u"scan-bomb.jpg"_s, ScanBomb(300, 64, 64) });
    QByteArray damaged = EncodeFixture(photo(48, 40), 48, 40, arithmetic);
    damaged.replace(damaged.size() * 3 / 4, 2, "\xff\xd2");
    seeds.append({ u"arithmetic-damaged.jpg"_s, damaged });
    return seeds;
}
