#include "picture/jpeg_codec.h"
#include "picture/jpeg_error.h"

#include "codec/error.h"
#include "jpeg_fixtures.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QTest>

#include <jerror.h>

#include <cerrno>
#include <cstdlib>

Q_DECLARE_METATYPE(FixtureOptions)

namespace {

using Sampling = std::array<std::array<int, 2>, 4>;

// A device that can only be read from front to back, like a pipe.
class SequentialBuffer : public QBuffer
{
public:
    explicit SequentialBuffer(const QByteArray &bytes)
    {
        setData(bytes);
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
};

ScaledJpeg DecodeBytes(QByteArray jpeg)
{
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::ReadOnly);
    return DecodeScaledJpeg(buffer);
}

// A file whose every read fails the way a failing disk's does.
class FailingDevice : public QIODevice
{
public:
    FailingDevice(int error, bool sequential)
        : error_(error)
        , sequential_(sequential)
    {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return sequential_; }
    qint64 size() const override { return sequential_ ? 0 : 1 << 20; }

protected:
    qint64 readData(char *, qint64) override
    {
        errno = error_;
        return -1;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    int error_;
    bool sequential_;
};

QString RefusalOf(QIODevice &device)
{
    try {
        DecodeScaledJpeg(device);
    } catch (const LentarError &error) {
        return QString::fromUtf8(error.what());
    }
    return QStringLiteral("decoded");
}

// Position i of count taken from size: the source pixel whose span holds the centre
// of the reduced one.
int Nearest(int i, int size, int count)
{
    return int((2 * qint64(i) + 1) * size / (2 * qint64(count)));
}

bool Near(const unsigned char *pixel, std::array<int, 3> expected, int tolerance)
{
    for (int c = 0; c < 3; ++c)
        if (std::abs(pixel[c] - expected[c]) > tolerance)
            return false;
    return true;
}

} // namespace

class PictureDecodeTest : public QObject
{
    Q_OBJECT

private slots:
    // The reduced picture must be exactly the pixels a full decode shows at the picked
    // places, whatever the sampling, scan structure and skip pattern.
    void matchesFullDecode_data()
    {
        QTest::addColumn<FixtureOptions>("options");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");

        const struct
        {
            const char *name;
            FixtureColour colour;
            Sampling sampling;
        } layouts[] = {
            { "4:4:4", FixtureColour::Rgb, { { { 1, 1 }, { 1, 1 }, { 1, 1 } } } },
            { "4:2:2", FixtureColour::Rgb, { { { 2, 1 }, { 1, 1 }, { 1, 1 } } } },
            { "4:4:0", FixtureColour::Rgb, { { { 1, 2 }, { 1, 1 }, { 1, 1 } } } },
            { "4:2:0", FixtureColour::Rgb, { { { 2, 2 }, { 1, 1 }, { 1, 1 } } } },
            { "4:1:1", FixtureColour::Rgb, { { { 4, 1 }, { 1, 1 }, { 1, 1 } } } },
            { "4:1:0", FixtureColour::Rgb, { { { 4, 2 }, { 1, 1 }, { 1, 1 } } } },
            { "1x4 luma", FixtureColour::Rgb, { { { 1, 4 }, { 1, 1 }, { 1, 1 } } } },
            { "3x1 luma", FixtureColour::Rgb, { { { 3, 1 }, { 1, 1 }, { 1, 1 } } } },
            // Every component at 1x2 or 2x1: row groups of two rows, nothing to upsample.
            { "all 1x2", FixtureColour::Rgb, { { { 1, 2 }, { 1, 2 }, { 1, 2 } } } },
            { "all 2x1", FixtureColour::Rgb, { { { 2, 1 }, { 2, 1 }, { 2, 1 } } } },
            { "2x2 over 1x2", FixtureColour::Rgb, { { { 2, 2 }, { 1, 2 }, { 1, 2 } } } },
            { "grey", FixtureColour::Grey, { { { 1, 1 } } } },
            { "grey 2x2", FixtureColour::Grey, { { { 2, 2 } } } },
        };
        const std::array<int, 2> sizes[] = { { 48, 1000 }, { 40, 4999 }, { 1999, 21 }, { 333, 777 },
            { 601, 301 }, { 17, 2399 }, { 300, 300 }, { 557, 300 }, { 7, 9 }, { 1, 1 } };
        for (const auto &layout : layouts) {
            for (const auto &size : sizes) {
                for (bool progressive : { false, true }) {
                    FixtureOptions options;
                    options.colour = layout.colour;
                    options.sampling = layout.sampling;
                    options.progressive = progressive;
                    options.quality = 80;
                    QTest::addRow("%s %dx%d%s", layout.name, size[0], size[1],
                        progressive ? " progressive" : "")
                        << options << size[0] << size[1];
                }
            }
        }

        // Wide enough that most blocks across, chrominance ones too, hold no kept pixel,
        // so the decoder leaves their inverse DCT out (40x4999 above does it down).
        for (const auto &layout : layouts) {
            FixtureOptions options;
            options.colour = layout.colour;
            options.sampling = layout.sampling;
            options.quality = 80;
            QTest::addRow("%s 4999x43", layout.name) << options << 4999 << 43;
        }
        FixtureOptions sparseProgressive;
        sparseProgressive.progressive = true;
        QTest::newRow("4:2:0 4999x43 progressive") << sparseProgressive << 4999 << 43;

        FixtureOptions restarts;
        restarts.restartRows = 1;
        QTest::newRow("restart every row") << restarts << 64 << 1500;
        FixtureOptions arithmetic;
        arithmetic.arithmetic = true;
        QTest::newRow("arithmetic") << arithmetic << 64 << 1500;
        arithmetic.progressive = true;
        QTest::newRow("arithmetic progressive") << arithmetic << 64 << 1500;
        FixtureOptions componentScans;
        componentScans.componentScans = true;
        QTest::newRow("one scan a component") << componentScans << 1000 << 64;
        // Encoders that like many scans: these must decode like any other.
        FixtureOptions manyScans;
        manyScans.scans = BandedScanScript(3, 2, 2);
        QTest::newRow("21 scans") << manyScans << 333 << 777;
        FixtureOptions manyGreyScans;
        manyGreyScans.colour = FixtureColour::Grey;
        manyGreyScans.scans = BandedScanScript(1, 4, 3);
        QTest::newRow("grey, 20 scans") << manyGreyScans << 601 << 301;
    }

    void matchesFullDecode()
    {
        QFETCH(FixtureOptions, options);
        QFETCH(int, width);
        QFETCH(int, height);

        const int components = FixtureComponents(options.colour);
        const QByteArray jpeg
            = EncodeFixture(NoiseSamples(width, height, components, 7), width, height, options);
        QVERIFY(!jpeg.isEmpty());
        const DecodedFixture full = DecodeFixture(jpeg);
        QVERIFY2(full.ok, qPrintable(full.error));

        const ScaledJpeg scaled = DecodeBytes(jpeg);
        const ScaledSize size = ComputeScaledSize(width, height);
        QCOMPARE(scaled.image.width, size.width);
        QCOMPARE(scaled.image.height, size.height);
        QCOMPARE(scaled.image.rgb.size(), std::size_t(size.width) * std::size_t(size.height) * 3);
        QCOMPARE(scaled.multipleScans, full.multipleScans);

        for (int y = 0; y < size.height; ++y) {
            const int sy = Nearest(y, height, size.height);
            for (int x = 0; x < size.width; ++x) {
                const int sx = Nearest(x, width, size.width);
                const unsigned char *got = &scaled.image.rgb[(std::size_t(y) * size.width + x) * 3];
                const unsigned char *want
                    = &full.samples[(std::size_t(sy) * std::size_t(width) + sx) * 3];
                if (got[0] != want[0] || got[1] != want[1] || got[2] != want[2])
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2 is not source pixel %3,%4")
                                         .arg(x)
                                         .arg(y)
                                         .arg(sx)
                                         .arg(sy)));
            }
        }
    }

    // Columns alternating between two colours, halved: every reduced pixel must be one
    // of them, not their blend.
    void picksWithoutBlending()
    {
        const int width = 600;
        const int height = 4;
        std::vector<unsigned char> samples;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                samples.insert(samples.end(),
                    { x % 2 ? (unsigned char)(250) : (unsigned char)(10), (unsigned char)(40),
                        (unsigned char)(200) });
        FixtureOptions options;
        options.quality = 100;
        options.sampling = { { { 1, 1 }, { 1, 1 }, { 1, 1 } } };
        const ScaledJpeg scaled = DecodeBytes(EncodeFixture(samples, width, height, options));

        QCOMPARE(scaled.image.width, 300);
        QCOMPARE(scaled.image.height, 2);
        // Output column x sits over source columns 2x and 2x + 1; its centre is in the
        // odd one.
        for (std::size_t i = 0; i < scaled.image.rgb.size(); i += 3)
            QVERIFY2(Near(&scaled.image.rgb[i], { 250, 40, 200 }, 6),
                qPrintable(QStringLiteral("pixel %1 is %2").arg(i / 3).arg(scaled.image.rgb[i])));
    }

    void fourColourPictures_data()
    {
        QTest::addColumn<FixtureOptions>("options");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("blue");

        FixtureOptions adobe;
        adobe.colour = FixtureColour::Cmyk;
        adobe.quality = 100;
        adobe.sampling = { { { 1, 1 }, { 1, 1 }, { 1, 1 }, { 1, 1 } } };
        FixtureOptions plain = adobe;
        plain.adobeMarker = false;
        FixtureOptions ycck = adobe;
        ycck.colour = FixtureColour::Ycck;

        // The inks are stored inverted, 255 meaning no ink, with Adobe's marker or
        // without it.
        QTest::newRow("adobe red") << adobe << QByteArray("\xff\x00\x00\xff", 4) << 255 << 0 << 0;
        QTest::newRow("adobe half black")
            << adobe << QByteArray("\xff\xff\xff\x80", 4) << 128 << 128 << 128;
        QTest::newRow("adobe orange under black")
            << adobe << QByteArray("\xff\x80\x00\x80", 4) << 128 << 64 << 0;
        QTest::newRow("no marker, red")
            << plain << QByteArray("\xff\x00\x00\xff", 4) << 255 << 0 << 0;
        QTest::newRow("no marker, orange under black")
            << plain << QByteArray("\xff\x80\x00\x80", 4) << 128 << 64 << 0;
        QTest::newRow("ycck red") << ycck << QByteArray("\xff\x00\x00\xff", 4) << 255 << 0 << 0;
    }

    void fourColourPictures()
    {
        QFETCH(FixtureOptions, options);
        QFETCH(QByteArray, stored);
        QFETCH(int, red);
        QFETCH(int, green);
        QFETCH(int, blue);

        const std::vector<unsigned char> pixel(stored.begin(), stored.end());
        const QByteArray jpeg = EncodeFixture(SolidSamples(32, 24, pixel), 32, 24, options);
        QVERIFY(!jpeg.isEmpty());
        QCOMPARE(DecodeFixture(jpeg).adobeMarker, options.adobeMarker);
        const ScaledJpeg scaled = DecodeBytes(jpeg);
        QCOMPARE(scaled.image.width, 32);
        QCOMPARE(scaled.image.height, 24);
        for (std::size_t i = 0; i < scaled.image.rgb.size(); i += 3)
            QVERIFY2(Near(&scaled.image.rgb[i], { red, green, blue }, 4),
                qPrintable(QStringLiteral("%1 %2 %3")
                               .arg(scaled.image.rgb[i])
                               .arg(scaled.image.rgb[i + 1])
                               .arg(scaled.image.rgb[i + 2])));
    }

    // A 400 x 300 file stored as the camera took it, turned upright by its Exif
    // orientation, or left as it is when the block cannot say.
    void exifOrientation_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<int>("orientation");
        for (int orientation = 1; orientation <= 8; ++orientation)
            for (const bool bigEndian : { false, true })
                QTest::addRow("%d, %s", orientation, bigEndian ? "big-endian" : "little-endian")
                    << ExifBlock(orientation, bigEndian) << orientation;
        QTest::newRow("value 9") << ExifBlock(9, false) << 1;
        QByteArray farIfd = ExifBlock(6, true);
        farIfd[12] = char(0x7F); // the first IFD's offset, far past the block
        QTest::newRow("IFD past the end") << farIfd << 1;
        QTest::newRow("cut after the entry count") << ExifBlock(6, false).left(6 + 8 + 2) << 1;
        QTest::newRow("cut in the tag's entry") << ExifBlock(6, true).left(6 + 8 + 2 + 12 + 6) << 1;
        QTest::newRow("XMP only") << QByteArray("http://ns.adobe.com/xap/1.0/\0<x:xmpmeta "
                                                "tiff:Orientation=\"6\"/>")
                                  << 1;
    }

    void exifOrientation()
    {
        QFETCH(QByteArray, block);
        QFETCH(int, orientation);
        const int width = 400, height = 300;
        const QByteArray plain = EncodeFixture(NoiseSamples(width, height, 3, 9), width, height);
        const DecodedFixture full = DecodeFixture(plain);
        QVERIFY2(full.ok, qPrintable(full.error));

        const ScaledJpeg scaled = DecodeBytes(WithApp1(plain, block));
        const bool quarter = orientation >= 5;
        QCOMPARE(scaled.image.width, quarter ? 225 : 300);
        QCOMPARE(scaled.image.height, quarter ? 300 : 225);
        const int lastX = width - 1, lastY = height - 1;
        for (int y = 0; y < scaled.image.height; ++y)
            for (int x = 0; x < scaled.image.width; ++x) {
                const int ux = Nearest(x, quarter ? height : width, scaled.image.width);
                const int uy = Nearest(y, quarter ? width : height, scaled.image.height);
                // The stored pixel seen at upright (ux, uy), by orientation.
                const std::pair<int, int> stored[] = { {}, { ux, uy }, { lastX - ux, uy },
                    { lastX - ux, lastY - uy }, { ux, lastY - uy }, { uy, ux }, { uy, lastY - ux },
                    { lastX - uy, lastY - ux }, { lastX - uy, ux } };
                const auto [sx, sy] = stored[orientation];
                const auto got = &scaled.image.rgb[(std::size_t(y) * scaled.image.width + x) * 3];
                const auto want = &full.samples[(std::size_t(sy) * width + sx) * 3];
                if (!std::equal(got, got + 3, want))
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
    }

    // Valid files whose scans pass over the picture far more often than any encoder
    // needs. They are refused before decoding when the source can be read ahead, and
    // as soon as the passes go over the limit when it cannot.
    void refusesEndlessProgression_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        FixtureOptions everyBit;
        everyBit.scans = ExcessiveScanScript();
        QTest::newRow("571 scans") << EncodeFixture(NoiseSamples(16, 16, 3, 3), 16, 16, everyBit);
        QTest::newRow("499 scans") << ScanBomb(499, 512, 512);
        QTest::newRow("704 scans") << ScanBomb(704, 128, 128);
        // Over the limit by one pass: a single-component picture passes over every
        // block in every scan.
        QTest::newRow("25 scans, grey") << ScanBomb(int(kMaxPasses) + 1, 64, 64);
    }

    void refusesEndlessProgression()
    {
        QFETCH(QByteArray, jpeg);
        const LibjpegScans scans = CountLibjpegScans(jpeg);
        QVERIFY(scans.ok); // valid files, only absurd ones
        const QString expected
            = QStringLiteral("Не удалось открыть изображение: слишком много проходов в файле");
        try {
            DecodeBytes(jpeg);
            QFAIL("decoded");
        } catch (const LentarError &error) {
            QCOMPARE(QString::fromUtf8(error.what()), expected);
        }
        SequentialBuffer stream(jpeg);
        try {
            DecodeScaledJpeg(stream);
            QFAIL("decoded from a stream");
        } catch (const LentarError &error) {
            QCOMPARE(QString::fromUtf8(error.what()), expected);
        }
    }

    void decodesTheMostPassesAllowed()
    {
        const QByteArray jpeg = ScanBomb(int(kMaxPasses), 64, 64);
        QVERIFY(DecodeFixture(jpeg).ok);
        QCOMPARE(DecodeBytes(jpeg).image.width, 64);
        SequentialBuffer stream(jpeg);
        QCOMPARE(DecodeScaledJpeg(stream).image.width, 64);
    }

    void refusalsSayWhyInRussian_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray baseline = EncodeFixture(PhotoSamples(64, 48, 1), 64, 48);
        const QString kCut = QStringLiteral("данные изображения обрываются раньше времени");
        QByteArray twelveBit = baseline;
        const qsizetype frame = FindMarker(twelveBit, 0xC0);
        twelveBit[frame + 1] = char(0xC1);
        twelveBit[frame + 4] = 12;
        QTest::newRow("not a JPEG") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
                                    << QStringLiteral("это не изображение JPEG");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("файл пуст");
        QTest::newRow("12-bit samples")
            << twelveBit
            << QStringLiteral("неподдерживаемая точность данных: поддерживается только 8 бит");
        QTest::newRow("cut in the data") << baseline.left(baseline.size() / 2) << kCut;
        QTest::newRow("headers only") << baseline.left(FindMarker(baseline, 0xDA) + 14) << kCut;
        QByteArray badTable = baseline;
        badTable[FindMarker(badTable, 0xC4) + 5] = char(0xFF);
        QTest::newRow("broken Huffman table")
            << badTable << QStringLiteral("неверная таблица кодов Хаффмана");
    }

    void refusalsSayWhyInRussian()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        for (const bool sequential : { false, true }) {
            SequentialBuffer stream(bytes);
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            const QString message
                = RefusalOf(sequential ? static_cast<QIODevice &>(stream) : buffer);
            QVERIFY2(message.startsWith(QStringLiteral("Не удалось открыть изображение: ")),
                qPrintable(message));
            QCOMPARE(message.section(QStringLiteral(": "), 1), reason);
            // libjpeg's own texts are English; the format's name is the one Latin word.
            QVERIFY2(!QString(message)
                          .remove(QStringLiteral("JPEG"))
                          .contains(QRegularExpression(QStringLiteral("[A-Za-z]{2}"))),
                qPrintable(message));
        }
    }

    void failedReadsSayWhyInRussian_data()
    {
        QTest::addColumn<bool>("sequential");
        QTest::newRow("file") << false;
        QTest::newRow("stream") << true;
    }

    void failedReadsSayWhyInRussian()
    {
        QFETCH(bool, sequential);
        FailingDevice device(EIO, sequential);
        QCOMPARE(RefusalOf(device),
            QStringLiteral("Не удалось открыть изображение: ошибка ввода-вывода"));
    }

    void unknownLibraryCodesAreNumbered()
    {
        QCOMPARE(JpegCodeText(JERR_NO_SOI), QStringLiteral("это не изображение JPEG"));
        QCOMPARE(JpegCodeText(100000), QStringLiteral("ошибка библиотеки JPEG номер 100000"));
    }
};

QTEST_GUILESS_MAIN(PictureDecodeTest)
#include "picture_decode_test.moc"
