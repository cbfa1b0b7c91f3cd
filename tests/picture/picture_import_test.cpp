#include "picture/picture_import.h"

#include "codec/error.h"
#include "jpeg_fixtures.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <random>

Q_DECLARE_METATYPE(FixtureOptions)

namespace {

const QString kPreviewName = QStringLiteral("preview.lnr.jpg");
const QString kOpenFailed = QStringLiteral("Не удалось открыть изображение: ");
const QString kCut = QStringLiteral("данные изображения обрываются раньше времени");
const QString kWriteFailed
    = QStringLiteral("Ошибка записи файла изображения работы во временную папку: ");

QString Message(const LentarError &error)
{
    return QString::fromUtf8(error.what());
}

// The luminance table of the JPEG standard (Annex K), natural order.
constexpr unsigned kStandardLuminance[64] = {
    16,
    11,
    10,
    16,
    24,
    40,
    51,
    61,
    12,
    12,
    14,
    19,
    26,
    58,
    60,
    55,
    14,
    13,
    16,
    24,
    40,
    57,
    69,
    56,
    14,
    17,
    22,
    29,
    51,
    87,
    80,
    62,
    18,
    22,
    37,
    56,
    68,
    109,
    103,
    77,
    24,
    35,
    55,
    64,
    81,
    104,
    113,
    92,
    49,
    64,
    78,
    87,
    103,
    121,
    120,
    101,
    72,
    92,
    95,
    98,
    112,
    100,
    103,
    99,
};

QByteArray Photo(int width, int height, const FixtureOptions &options = {})
{
    return EncodeFixture(PhotoSamples(width, height, 11), width, height, options);
}

} // namespace

class PictureImportTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString source_;
    QString temp_;

private slots:
    void init()
    {
        QVERIFY(dir_.isValid());
        source_ = dir_.filePath(QStringLiteral("source.jpg"));
        temp_ = dir_.filePath(QStringLiteral("temp/"));
        QDir(temp_).removeRecursively();
        QVERIFY(QDir().mkpath(temp_));
    }

    void roundTrip_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("progressive");

        FixtureOptions progressive;
        progressive.progressive = true;
        FixtureOptions grey;
        grey.colour = FixtureColour::Grey;
        FixtureOptions greyProgressive = grey;
        greyProgressive.progressive = true;
        FixtureOptions componentScans;
        componentScans.componentScans = true;

        QTest::newRow("baseline 640x480") << Photo(640, 480) << 640 << 480 << false;
        QTest::newRow("progressive 640x480") << Photo(640, 480, progressive) << 640 << 480 << true;
        QTest::newRow("grey") << EncodeFixture(NoiseSamples(500, 120, 1, 5), 500, 120, grey) << 500
                              << 120 << false;
        QTest::newRow("grey progressive") << EncodeFixture(NoiseSamples(90, 700, 1, 5), 90, 700,
            greyProgressive) << 90 << 700 << true;
        QTest::newRow("one scan a component counts as several")
            << Photo(320, 200, componentScans) << 320 << 200 << true;
        QTest::newRow("odd 301x7") << Photo(301, 7) << 301 << 7 << false;
        QTest::newRow("557x300 one pixel over") << Photo(557, 300) << 557 << 300 << false;
        QTest::newRow("line 1x5000") << Photo(1, 5000) << 1 << 5000 << false;
        QTest::newRow("single pixel") << Photo(1, 1) << 1 << 1 << false;
        QTest::newRow("single pixel progressive") << Photo(1, 1, progressive) << 1 << 1 << true;

        FixtureOptions cmyk;
        cmyk.colour = FixtureColour::Cmyk;
        // Adobe's inverted inks with no black reproduce the RGB values as they are.
        std::vector<unsigned char> inks;
        const std::vector<unsigned char> rgb = PhotoSamples(400, 100, 2);
        for (std::size_t i = 0; i < rgb.size(); i += 3)
            inks.insert(inks.end(), { rgb[i], rgb[i + 1], rgb[i + 2], 255 });
        QTest::newRow("cmyk") << EncodeFixture(inks, 400, 100, cmyk) << 400 << 100 << false;
        // Turned upright, stored without its Exif block.
        QTest::newRow("phone photo, orientation 6")
            << WithApp1(Photo(400, 300), ExifBlock(6, false)) << 300 << 400 << false;
    }

    void roundTrip()
    {
        QFETCH(QByteArray, source);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, progressive);
        QVERIFY(WriteFileBytes(source_, source));

        const ImportedPicture picture = ImportPicture(source_, temp_);

        const ScaledSize size = ComputeScaledSize(width, height);
        QCOMPARE(picture.image.width, size.width);
        QCOMPARE(picture.image.height, size.height);
        QCOMPARE(picture.progressive, progressive);

        // What is on disk is what was returned, and the base64 text is exactly it.
        const QByteArray onDisk = ReadFileBytes(temp_ + kPreviewName);
        QCOMPARE(onDisk, picture.jpeg);
        QCOMPARE(FindMarker(onDisk, 0xE1), -1);
        QCOMPARE(QByteArray::fromBase64(picture.base64), onDisk);
        const QList<QByteArray> lines = picture.base64.split('\n');
        for (qsizetype i = 0; i + 1 < lines.size(); ++i)
            QCOMPARE(lines[i].size(), 76);
        QVERIFY(lines.last().size() < 76);
        QVERIFY(!picture.base64.contains('\r'));
        QCOMPARE(picture.base64.endsWith('\n'), onDisk.size() % 57 == 0);

        const DecodedFixture written = DecodeFixture(onDisk);
        QVERIFY2(written.ok, qPrintable(written.error));
        QCOMPARE(written.width, size.width);
        QCOMPARE(written.height, size.height);
        QCOMPARE(written.components, 3);
        QCOMPARE(written.colourSpace, JCS_YCbCr);
        QCOMPARE(written.progressive, progressive);
        // Quality 90 scales the standard table by 20 %, limited to baseline values.
        for (int i = 0; i < 64; ++i)
            QCOMPARE(written.firstQuantTable[i],
                std::clamp((kStandardLuminance[i] * 20 + 50) / 100, 1u, 255u));

        // The file shows the reduced picture, within what quality 90 loses.
        qint64 difference = 0;
        for (std::size_t i = 0; i < picture.image.rgb.size(); ++i)
            difference += std::abs(int(written.samples[i]) - int(picture.image.rgb[i]));
        QVERIFY2(difference <= qint64(picture.image.rgb.size()) * 12,
            qPrintable(QString::number(double(difference) / picture.image.rgb.size())));
    }

    void replacesALongerEarlierPicture()
    {
        QVERIFY(WriteFileBytes(temp_ + kPreviewName, QByteArray(700000, 'x')));
        QVERIFY(WriteFileBytes(source_, Photo(50, 40)));
        const ImportedPicture picture = ImportPicture(source_, temp_);
        QCOMPARE(ReadFileBytes(temp_ + kPreviewName), picture.jpeg);
    }

    void acceptsAnyFileName()
    {
        const QString path = dir_.filePath(QStringLiteral("Фото №1 (копия) 'ёж' & 100%.jpeg"));
        QVERIFY(WriteFileBytes(path, Photo(30, 20)));
        QCOMPARE(ImportPicture(path, temp_).image.width, 30);
    }

    // All the pixel data is there, only the closing marker is cut off: the picture is
    // whole, whatever the number of scans.
    void acceptsAMissingEndMarker_data()
    {
        QTest::addColumn<QByteArray>("whole");
        FixtureOptions progressive;
        progressive.progressive = true;
        FixtureOptions componentScans;
        componentScans.componentScans = true;
        FixtureOptions restarts;
        restarts.restartRows = 2;
        FixtureOptions manyScans;
        manyScans.scans = BandedScanScript(3, 2, 2);
        QTest::newRow("baseline") << Photo(640, 480);
        QTest::newRow("progressive") << Photo(640, 480, progressive);
        QTest::newRow("one scan a component") << Photo(320, 200, componentScans);
        QTest::newRow("restart markers") << Photo(200, 333, restarts);
        QTest::newRow("21 scans") << Photo(150, 100, manyScans);
    }

    void acceptsAMissingEndMarker()
    {
        QFETCH(QByteArray, whole);
        QVERIFY(whole.endsWith("\xff\xd9"));
        QVERIFY(WriteFileBytes(source_, whole));
        const RgbImage expected = ImportPicture(source_, temp_).image;
        QVERIFY(WriteFileBytes(source_, whole.chopped(2)));
        QCOMPARE(ImportPicture(source_, temp_).image.rgb, expected.rgb);
    }

    void refusesBadFiles_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("message");

        FixtureOptions progressive;
        progressive.progressive = true;
        FixtureOptions fullChroma;
        fullChroma.progressive = true;
        fullChroma.sampling = { { { 1, 1 }, { 1, 1 }, { 1, 1 } } };
        FixtureOptions arithmetic;
        arithmetic.arithmetic = true;
        FixtureOptions restarts;
        restarts.restartRows = 1;
        FixtureOptions scans;
        scans.scans = ExcessiveScanScript();

        const QByteArray baseline = Photo(640, 480);
        const QByteArray progressiveFile = Photo(640, 480, progressive);
        const qsizetype dataStart = FindMarker(baseline, 0xDA) + 14; // SOS of three components

        QTest::newRow("empty") << QByteArray() << kOpenFailed;
        QTest::newRow("png renamed")
            << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10\x08\x02\0\0\0", 29)
            << kOpenFailed;
        QTest::newRow("start marker only") << baseline.left(2) << kOpenFailed;
        QTest::newRow("headers only") << baseline.left(dataStart) << kOpenFailed;
        QTest::newRow("cut in the first rows") << baseline.left(dataStart + 300) << kOpenFailed;
        QTest::newRow("cut half way") << baseline.left(baseline.size() / 2) << kOpenFailed;
        QTest::newRow("cut near the end") << baseline.chopped(40) << kOpenFailed;
        QTest::newRow("progressive cut half way")
            << progressiveFile.left(progressiveFile.size() / 2) << kOpenFailed;
        // A progressive file cut between scans looks whole to the decoder, only blurred.
        const qsizetype lastScan = progressiveFile.lastIndexOf("\xff\xda");
        QTest::newRow("progressive without its last scan")
            << progressiveFile.left(lastScan) << kOpenFailed;
        FixtureOptions componentScans;
        componentScans.componentScans = true;
        const QByteArray componentFile = Photo(320, 200, componentScans);
        QTest::newRow("one scan a component, the last missing")
            << componentFile.left(componentFile.lastIndexOf("\xff\xda")) << kOpenFailed;
        const QByteArray arithmeticFile = Photo(640, 480, arithmetic);
        FixtureOptions arithmeticProgressive = progressive;
        arithmeticProgressive.arithmetic = true;
        const QByteArray arithmeticProgressiveFile = Photo(640, 480, arithmeticProgressive);
        QTest::newRow("arithmetic cut half way")
            << arithmeticFile.left(arithmeticFile.size() / 2) << kOpenFailed;
        for (const double kept : { 0.2, 0.5, 0.9 })
            QTest::addRow("arithmetic cut at %g and closed with an end marker", kept)
                << arithmeticFile.left(qsizetype(arithmeticFile.size() * kept)) + "\xff\xd9"
                << kOpenFailed + kCut;
        QTest::newRow("arithmetic progressive cut and closed with an end marker")
            << arithmeticProgressiveFile.left(arithmeticProgressiveFile.size() * 0.9) + "\xff\xd9"
            << kOpenFailed + kCut;
        // The arithmetic decoder reads zeros where data is missing, so a file that ends
        // early cannot be told from one that lacks only its end marker.
        QTest::newRow("arithmetic without end marker") << arithmeticFile.chopped(2) << kOpenFailed;
        QTest::newRow("arithmetic progressive without end marker")
            << arithmeticProgressiveFile.chopped(2) << kOpenFailed;
        // Damage to arithmetic-coded data: the decoder stops at the stray marker and
        // fills the rest of the scan with zeros, or decodes nonsense and ends early;
        // either way bytes are left over before the next marker.
        const auto damaged = [](QByteArray jpeg, double at, QByteArray bytes) {
            const qsizetype data = jpeg.indexOf("\xff\xda");
            const qsizetype where = data + qsizetype((jpeg.size() - data) * at);
            return jpeg.replace(where, bytes.size(), bytes);
        };
        QTest::newRow("arithmetic, a restart marker in the data")
            << damaged(arithmeticFile, 0.5, "\xff\xd3") << kOpenFailed;
        QTest::newRow("arithmetic, bytes overwritten")
            << damaged(arithmeticFile, 0.4, "\x55\x56\x57\x58\x59\x5a\x5b\x5c") << kOpenFailed;
        QTest::newRow("arithmetic progressive, a restart marker in the last scan")
            << damaged(arithmeticProgressiveFile, 0.97, "\xff\xd3") << kOpenFailed;
        // Below the last row the reduced picture takes: only reading on to the end
        // finds it.
        // (Of 12000 rows the reduced picture takes row 11980 last; the last 16 rows are
        // coded after it.)
        const QByteArray tall = EncodeFixture(PhotoSamples(40, 12000, 4), 40, 12000, arithmetic);
        QTest::newRow("arithmetic, damaged below the last kept row")
            << damaged(tall, 0.999, "\xff\xd5") << kOpenFailed;
        const QByteArray restartFile = Photo(640, 480, restarts);
        QTest::newRow("restarts cut half way")
            << restartFile.left(restartFile.size() / 2) << kOpenFailed;
        for (unsigned seed : { 1u, 2u, 3u }) {
            std::mt19937 random(seed);
            QByteArray garbage("\xff\xd8");
            for (int i = 0; i < 4000; ++i)
                garbage.append(char(random() & 0xFF));
            QTest::addRow("garbage after start marker %u", seed) << garbage << kOpenFailed;
        }
        QTest::newRow("header claims 65500x65500") << WithFrameSize(Photo(16, 16), 65500,
            65500) << QStringLiteral("Изображение слишком велико: 65500 x 65500 точек");
        QTest::newRow("header claims 12000x9000") << WithFrameSize(Photo(16, 16), 12000,
            9000) << QStringLiteral("Изображение слишком велико: 12000 x 9000 точек");
        // Under the pixel limit, but its coefficients would not fit the memory limit.
        QTest::newRow("progressive header claims 9000x9000")
            << WithFrameSize(Photo(16, 16, fullChroma), 9000, 9000)
            << QStringLiteral("Изображение слишком велико: 9000 x 9000 точек");
        // Within every limit, the data simply runs out.
        QTest::newRow("baseline header claims 9000x9000")
            << WithFrameSize(Photo(16, 16), 9000, 9000) << kOpenFailed;
        QTest::newRow("progressive header claims 4000x3000")
            << WithFrameSize(Photo(16, 16, progressive), 4000, 3000) << kOpenFailed;
        // Its coefficients alone would take longer to fill and read back than any
        // picture should make the user wait.
        QTest::newRow("progressive without colour subsampling, header claims 5000x3500")
            << WithFrameSize(Photo(16, 16, fullChroma), 5000, 3500)
            << QStringLiteral("Изображение слишком велико: 5000 x 3500 точек");
        QTest::newRow("thousands of scans") << EncodeFixture(NoiseSamples(16, 16, 3, 1), 16, 16,
            scans) << kOpenFailed + QStringLiteral("слишком много проходов в файле");
        QTest::newRow("499 scans") << ScanBomb(
            499, 512, 512) << kOpenFailed + QStringLiteral("слишком много проходов в файле");
    }

    void refusesBadFiles()
    {
        QFETCH(QByteArray, source);
        QFETCH(QString, message);
        QVERIFY(WriteFileBytes(source_, source));
        const QByteArray earlier = Photo(8, 8);
        QVERIFY(WriteFileBytes(temp_ + kPreviewName, earlier));

        try {
            ImportPicture(source_, temp_);
            QFAIL("imported");
        } catch (const LentarError &error) {
            QVERIFY2(Message(error).startsWith(message), qPrintable(Message(error)));
            QVERIFY2(Message(error).size() > message.size() || message != kOpenFailed,
                "no reason given");
        }
        QCOMPARE(ReadFileBytes(temp_ + kPreviewName), earlier);
        QCOMPARE(QDir(temp_).entryList(QDir::Files), QStringList { kPreviewName });
    }

    void refusesAMissingFile()
    {
        try {
            ImportPicture(dir_.filePath(QStringLiteral("нет такого.jpg")), temp_);
            QFAIL("imported");
        } catch (const LentarError &error) {
            QVERIFY2(Message(error).startsWith(kOpenFailed), qPrintable(Message(error)));
        }
    }

    void reportsAnUnwritableFolder()
    {
        QVERIFY(WriteFileBytes(source_, Photo(40, 30)));
        try {
            ImportPicture(source_, dir_.filePath(QStringLiteral("no such folder/")));
            QFAIL("imported");
        } catch (const LentarError &error) {
            QVERIFY2(Message(error).startsWith(kWriteFailed), qPrintable(Message(error)));
            QVERIFY(Message(error).size() > kWriteFailed.size());
        }
    }
};

QTEST_GUILESS_MAIN(PictureImportTest)
#include "picture_import_test.moc"
