#include "jpeg_fixtures.h"

#include "picture/jpeg_codec.h"

#include <QBuffer>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

// Pictures nobody should have to open, each imported by a process of its own: nothing
// crashes or hangs, each is imported or refused with a Russian message, and memory
// stays bounded. The table of outcomes, peak memory and time is printed at the end.
class HostilePicturesTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void import_data();
    void import();
    void cleanupTestCase();

private:
    QTemporaryDir folder_;
    QStringList table_;
};

namespace {

const QString kOpenFailed = u"Не удалось открыть изображение: "_s;
// Far above what an honest picture needs, far below what an unbounded decoder takes.
constexpr int kMemoryBoundMb = 200;
// A hang shows as a probe still running after this long.
constexpr int kHangMs = 120'000;

enum class Source { Bytes, DevZero, Folder, NamedPipe };

QByteArray Photo(int width, int height, const FixtureOptions &options = {})
{
    return EncodeFixture(
        PhotoSamples(width, height, unsigned(width + height)), width, height, options);
}

QByteArray Png()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// The file with its frame marker replaced and its sample precision set.
QByteArray WithFrame(QByteArray jpeg, unsigned char marker, int precision)
{
    const qsizetype at = FindMarker(jpeg, 0xC0);
    if (at < 0)
        return {};
    jpeg[at + 1] = char(marker);
    jpeg[at + 4] = char(precision);
    return jpeg;
}

QByteArray Uniform(int width, int height, FixtureColour colour, const FixtureOptions &base)
{
    FixtureOptions options = base;
    options.colour = colour;
    const std::vector<unsigned char> pixel(std::size_t(FixtureComponents(colour)), 90);
    return EncodeFixture(SolidSamples(width, height, pixel), width, height, options);
}

struct Probe
{
    bool finished = false;
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QMap<QString, QString> values;
    QString errors;
};

Probe RunProbe(const QString &picture, const QString &work)
{
    Probe probe;
    QProcess process;
    process.start(QStringLiteral(LENTAR_PICTURE_PROBE), { picture, work });
    probe.finished = process.waitForFinished(kHangMs);
    if (!probe.finished) {
        process.kill();
        process.waitForFinished();
        return probe;
    }
    probe.exitCode = process.exitCode();
    probe.exitStatus = process.exitStatus();
    probe.errors = QString::fromUtf8(process.readAllStandardError());
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split(u'\n')) {
        const qsizetype colon = line.indexOf(u": ");
        if (colon > 0)
            probe.values.insert(line.left(colon), line.mid(colon + 2));
    }
    return probe;
}

} // namespace

Q_DECLARE_METATYPE(Source)

void HostilePicturesTest::initTestCase()
{
    QVERIFY(folder_.isValid());
    table_ << u"| Picture | Outcome | Peak memory above start | Time |"_s << u"|---|---|---|---|"_s;
}

void HostilePicturesTest::import_data()
{
    QTest::addColumn<Source>("source");
    QTest::addColumn<QByteArray>("bytes");
    // "imported", "refused", or "either" where both are sound.
    QTest::addColumn<QString>("outcome");
    // The size for an imported picture, the start of the message for a refused one.
    QTest::addColumn<QString>("detail");

    const auto bytes = [](const char *name, const QByteArray &data, const char *outcome,
                           const QString &detail) {
        QVERIFY2(!data.isEmpty() || QByteArrayView(name) == "0 bytes", name);
        QTest::newRow(name) << Source::Bytes << data << QString::fromLatin1(outcome) << detail;
    };
    const QByteArray photo = Photo(600, 400);
    FixtureOptions progressive;
    progressive.progressive = true;
    const QByteArray progressivePhoto = Photo(600, 400, progressive);
    const qsizetype scanStart = FindMarker(photo, 0xDA);
    const qsizetype scanHeader
        = scanStart + 2 + (uchar(photo[scanStart + 2]) << 8) + uchar(photo[scanStart + 3]);

    bytes("0 bytes", {}, "refused", kOpenFailed);
    bytes("PNG named .jpg", Png(), "refused", kOpenFailed);
    bytes("text named .jpg", "<html><body>not a picture</body></html>\n", "refused", kOpenFailed);
    bytes("cut after the start marker", photo.left(2), "refused", kOpenFailed);
    bytes("cut inside the quantisation table", photo.left(FindMarker(photo, 0xDB) + 12), "refused",
        kOpenFailed);
    bytes("cut before the scan", photo.left(scanStart), "refused", kOpenFailed);
    bytes("cut after the scan header", photo.left(scanHeader), "refused", kOpenFailed);
    bytes("cut in the middle of the scan", photo.left((scanHeader + photo.size()) / 2), "refused",
        kOpenFailed);
    bytes("end marker missing", photo.chopped(2), "imported", u"300 x 200"_s);
    bytes("progressive, cut in the middle", progressivePhoto.left(progressivePhoto.size() / 2),
        "refused", kOpenFailed);
    bytes(
        "progressive, end marker missing", progressivePhoto.chopped(2), "imported", u"300 x 200"_s);
    bytes("header claims 65500 x 65500", WithFrameSize(Photo(64, 64), 65500, 65500), "refused",
        u"Изображение слишком велико: 65500 x 65500 точек"_s);
    bytes("header claims 10000 x 10000 over 64 x 64 of data",
        WithFrameSize(Photo(64, 64), 10000, 10000), "refused", kOpenFailed);
    bytes("progressive header claims 10000 x 10000",
        WithFrameSize(Photo(64, 64, progressive), 10000, 10000), "refused",
        u"Изображение слишком велико: 10000 x 10000 точек"_s);
    // Under the pixel limit, but its coefficients would need more memory than the
    // decoder may take.
    FixtureOptions progressiveFull = progressive;
    progressiveFull.sampling = { { { 1, 1 }, { 1, 1 }, { 1, 1 }, { 1, 1 } } };
    bytes("progressive header claims 8000 x 8000, no colour subsampling",
        WithFrameSize(Photo(64, 64, progressiveFull), 8000, 8000), "refused",
        u"Изображение слишком велико: 8000 x 8000 точек"_s);
    bytes(
        "header claims a width of 0", WithFrameSize(Photo(64, 64), 0, 64), "refused", kOpenFailed);

    FixtureOptions arithmetic;
    arithmetic.arithmetic = true;
    FixtureOptions arithmeticProgressive = progressive;
    arithmeticProgressive.arithmetic = true;
    bytes("arithmetic-coded", Photo(600, 400, arithmetic), "imported", u"300 x 200"_s);
    bytes("arithmetic-coded progressive", Photo(600, 400, arithmeticProgressive), "imported",
        u"300 x 200"_s);
    QByteArray damaged = Photo(600, 400, arithmetic);
    damaged.replace(damaged.size() / 2, 2, "\xff\xd3");
    bytes("arithmetic-coded, a marker in the middle of its data", damaged, "refused", kOpenFailed);
    bytes("arithmetic-coded, end marker missing", Photo(600, 400, arithmetic).chopped(2), "refused",
        kOpenFailed);
    bytes("arithmetic-coded, cut and closed with an end marker",
        Photo(600, 400, arithmetic).chopped(3000) + "\xff\xd9", "refused", kOpenFailed);
    bytes("arithmetic-coded 9000 x 9000 grey, a few kilobytes",
        Uniform(9000, 9000, FixtureColour::Grey, arithmetic), "imported", u"301 x 301"_s);
    bytes("progressive 6000 x 4000", Uniform(6000, 4000, FixtureColour::Rgb, progressive),
        "imported", u"300 x 200"_s);

    bytes("12-bit samples (SOF1)", WithFrame(Photo(64, 64), 0xC1, 12), "refused", kOpenFailed);
    bytes("lossless (SOF3)", WithFrame(Photo(64, 64), 0xC3, 8), "refused", kOpenFailed);
    FixtureOptions cmyk;
    cmyk.colour = FixtureColour::Cmyk;
    FixtureOptions bareCmyk = cmyk;
    bareCmyk.adobeMarker = false;
    FixtureOptions ycck;
    ycck.colour = FixtureColour::Ycck;
    FixtureOptions grey;
    grey.colour = FixtureColour::Grey;
    bytes("CMYK with Adobe marker", EncodeFixture(NoiseSamples(400, 300, 4, 1), 400, 300, cmyk),
        "imported", u"300 x 225"_s);
    bytes("CMYK without Adobe marker",
        EncodeFixture(NoiseSamples(400, 300, 4, 2), 400, 300, bareCmyk), "imported",
        u"300 x 225"_s);
    bytes("YCCK", EncodeFixture(NoiseSamples(300, 400, 4, 3), 300, 400, ycck), "imported",
        u"225 x 300"_s);
    bytes("grey", EncodeFixture(NoiseSamples(200, 100, 1, 4), 200, 100, grey), "imported",
        u"200 x 100"_s);
    bytes("1 x 1", EncodeFixture({ 250, 20, 20 }, 1, 1), "imported", u"1 x 1"_s);
    bytes("1 x 5000", Photo(1, 5000), "imported", u"1 x 300"_s);
    FixtureOptions scans;
    scans.scans = ExcessiveScanScript();
    bytes("thousands of scans", Photo(32, 32, scans), "refused",
        kOpenFailed + u"слишком много проходов"_s);
    // Two files of about 10 KB that kept the window frozen for seconds: uniform grey
    // 6000 x 6000, arithmetic-coded, with 499 and with 704 scans.
    for (const char *name : { "scan-bomb-499-scans-decoded-for-seconds.jpg",
             "scan-bomb-704-scans-refused-after-seconds.jpg" })
        bytes(name,
            ReadFileBytes(QStringLiteral(LENTAR_PICTURE_REGRESSIONS "/") + QLatin1StringView(name)),
            "refused", kOpenFailed + u"слишком много проходов"_s);
    // The most a picture may cost: at the limit of passes and of the decoding work.
    bytes("24 scans over 4900 x 4900 grey", ScanBomb(24, 4900, 4900), "imported", u"300 x 300"_s);
    FixtureOptions wideChroma = progressive;
    wideChroma.sampling = { { { 1, 1 }, { 1, 1 }, { 1, 1 }, { 1, 1 } } };
    bytes("progressive 4600 x 3500, no colour subsampling",
        Uniform(4600, 3500, FixtureColour::Rgb, wideChroma), "imported", u"300 x 229"_s);

    // Every sample black or white, independently in each colour, at full quality and
    // reduced to 301 x 301: the largest re-encoded file we could make a picture give.
    FixtureOptions sharp;
    sharp.quality = 100;
    sharp.sampling = { { { 1, 1 }, { 1, 1 }, { 1, 1 }, { 1, 1 } } };
    std::vector<unsigned char> blackOrWhite = NoiseSamples(1083, 1083, 3, 10);
    for (unsigned char &sample : blackOrWhite)
        sample = sample & 1 ? 255 : 0;
    bytes("largest re-encoding: 1083 x 1083 black-and-white noise",
        EncodeFixture(blackOrWhite, 1083, 1083, sharp), "imported", u"301 x 301"_s);

    QTest::newRow("endless zeros (/dev/zero)")
        << Source::DevZero << QByteArray() << u"refused"_s << kOpenFailed;
    QTest::newRow("a named pipe nobody writes to")
        << Source::NamedPipe << QByteArray() << u"refused"_s << kOpenFailed;
    QTest::newRow("a folder named .jpg")
        << Source::Folder << QByteArray() << u"refused"_s << kOpenFailed;
}

void HostilePicturesTest::import()
{
    QFETCH(Source, source);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, outcome);
    QFETCH(QString, detail);

    const QString tag = QString::fromUtf8(QTest::currentDataTag());
    const QString work = folder_.path() + u"/work-"_s + QString::number(table_.size());
    QVERIFY(QDir().mkpath(work));
    QString picture = work + u"/picture.jpg"_s;
    switch (source) {
    case Source::Bytes:
        QVERIFY(WriteFileBytes(picture, bytes));
        break;
    case Source::DevZero:
        picture = u"/dev/zero"_s;
        break;
    case Source::Folder:
        QVERIFY(QDir().mkpath(picture));
        break;
    case Source::NamedPipe:
        QVERIFY(::mkfifo(QFile::encodeName(picture).constData(), 0644) == 0);
        break;
    }

    const Probe probe = RunProbe(picture, work);
    QVERIFY2(probe.finished, "the import hangs");
    QVERIFY2(probe.exitStatus == QProcess::NormalExit && probe.exitCode == 0,
        qPrintable(u"the import crashed:\n"_s + probe.errors));

    const QString got = probe.values.value(u"outcome"_s);
    const QString message = probe.values.value(u"message"_s);
    const double peakMb = (probe.values.value(u"peak_kb"_s).toLong()
                              - probe.values.value(u"baseline_kb"_s).toLong())
        / 1024.0;
    const QString shown = got == u"imported" ? u"imported, %1, %2 bytes"_s.arg(
                              probe.values.value(u"size"_s), probe.values.value(u"jpeg_bytes"_s))
                                             : u"refused: «%1»"_s.arg(message);
    table_ << u"| %1 | %2 | %3 MB | %4 ms |"_s.arg(
        tag, shown, QString::number(peakMb, 'f', 1), probe.values.value(u"ms"_s));

    if (outcome != u"either")
        QCOMPARE(got, outcome);
    QVERIFY2(got == u"imported" || got == u"refused", qPrintable(got));
    if (got == u"imported") {
        QCOMPARE(probe.values.value(u"consistent"_s), u"yes"_s);
        if (!detail.isEmpty())
            QCOMPARE(probe.values.value(u"size"_s), detail);
    } else {
        QVERIFY2(message.startsWith(detail), qPrintable(message));
        QVERIFY2(message.contains(QRegularExpression(u"[А-Яа-я]"_s)), qPrintable(message));
        // The reason is the program's own words, not the library's English; the
        // format's name is the one Latin word in it.
        QVERIFY2(!QString(message).remove(u"JPEG"_s).contains(QRegularExpression(u"[A-Za-z]{2}"_s)),
            qPrintable(message));
    }
    QVERIFY2(peakMb < kMemoryBoundMb, qPrintable(QString::number(peakMb) + u" MB"_s));
}

void HostilePicturesTest::cleanupTestCase()
{
    qInfo().noquote() << u"\n"_s + table_.join(u'\n');
}

QTEST_GUILESS_MAIN(HostilePicturesTest)
#include "hostile_pictures_test.moc"
