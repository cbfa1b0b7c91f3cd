#include "picture/jpeg_outline.h"

#include "jpeg_fixtures.h"

#include <QBuffer>
#include <QTest>

Q_DECLARE_METATYPE(FixtureOptions)

namespace {

JpegOutline Outline(QByteArray jpeg, qsizetype from = 0)
{
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::ReadOnly);
    buffer.seek(from);
    const JpegOutline outline = ReadJpegOutline(buffer);
    if (buffer.pos() != from)
        qWarning("the outline moved the device from %lld to %lld", qlonglong(from),
            qlonglong(buffer.pos()));
    return buffer.pos() == from ? outline : JpegOutline {};
}

// The file with bytes put in at the given offset.
QByteArray Inserted(QByteArray jpeg, qsizetype at, QByteArrayView bytes)
{
    return jpeg.insert(at, bytes);
}

} // namespace

// The outline counts, without decoding, the scans and blocks that libjpeg's decoder
// goes through: the budget of the import rests on it.
class PictureOutlineTest : public QObject
{
    Q_OBJECT

private slots:
    void countsWhatLibjpegReads_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<bool>("arithmetic");

        const auto photo = [](int width, int height, FixtureOptions options) {
            const int components = FixtureComponents(options.colour);
            return EncodeFixture(
                NoiseSamples(width, height, components, 3), width, height, options);
        };
        FixtureOptions baseline;
        FixtureOptions progressive;
        progressive.progressive = true;
        QTest::newRow("baseline 4:2:0") << photo(333, 777, baseline) << false;
        QTest::newRow("progressive 4:2:0") << photo(601, 301, progressive) << false;
        const struct
        {
            const char *name;
            std::array<std::array<int, 2>, 4> sampling;
        } layouts[] = {
            { "4:4:4", { { { 1, 1 }, { 1, 1 }, { 1, 1 } } } },
            { "4:2:2", { { { 2, 1 }, { 1, 1 }, { 1, 1 } } } },
            { "4:1:1", { { { 4, 1 }, { 1, 1 }, { 1, 1 } } } },
            { "3x1 luma", { { { 3, 1 }, { 1, 1 }, { 1, 1 } } } },
            { "2x2 over 1x2", { { { 2, 2 }, { 1, 2 }, { 1, 2 } } } },
        };
        for (const auto &layout : layouts) {
            FixtureOptions options = progressive;
            options.sampling = layout.sampling;
            QTest::addRow("progressive %s", layout.name) << photo(255, 97, options) << false;
            options.progressive = false;
            options.componentScans = true;
            QTest::addRow("one scan a component %s", layout.name)
                << photo(97, 255, options) << false;
        }
        FixtureOptions grey = progressive;
        grey.colour = FixtureColour::Grey;
        QTest::newRow("grey progressive") << photo(123, 45, grey) << false;
        FixtureOptions cmyk = progressive;
        cmyk.colour = FixtureColour::Cmyk;
        QTest::newRow("CMYK progressive") << photo(40, 41, cmyk) << false;
        FixtureOptions arithmetic = progressive;
        arithmetic.arithmetic = true;
        QTest::newRow("arithmetic progressive") << photo(200, 150, arithmetic) << true;
        FixtureOptions restarts = progressive;
        restarts.restartRows = 1;
        QTest::newRow("progressive with restart markers") << photo(200, 150, restarts) << false;
        FixtureOptions manyScans;
        manyScans.scans = BandedScanScript(3, 3, 2);
        QTest::newRow("28 scans") << photo(160, 90, manyScans) << false;
        QTest::newRow("704 scans") << ScanBomb(704, 24, 40) << true;

        // Whatever a segment holds is skipped by its length, and the outline ends where
        // libjpeg does: at the first end marker, whatever follows it.
        const QByteArray file = photo(64, 48, progressive);
        QTest::newRow("markers inside a comment")
            << Inserted(file, 2, QByteArrayView("\xff\xfe\x00\x08\xff\xda\xff\xd9", 8)) << false;
        QTest::newRow("a second picture after the end")
            << file + photo(300, 200, baseline) << false;
        QTest::newRow("stray bytes before a scan")
            << Inserted(file, file.lastIndexOf("\xff\xda"), "stray") << false;
    }

    void countsWhatLibjpegReads()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(bool, arithmetic);
        const LibjpegScans reference = CountLibjpegScans(jpeg);
        QVERIFY(reference.ok);
        const DecodedFixture decoded = DecodeFixture(jpeg);
        QVERIFY2(decoded.ok, qPrintable(decoded.error));

        const JpegOutline outline = Outline(jpeg);
        QVERIFY(outline.frame);
        QCOMPARE(outline.width, decoded.width);
        QCOMPARE(outline.height, decoded.height);
        QCOMPARE(outline.progressive, decoded.progressive);
        QCOMPARE(outline.arithmetic, arithmetic);
        QCOMPARE(outline.multipleScans, decoded.multipleScans);
        QCOMPARE(outline.scans, reference.scans);
        QCOMPARE(outline.scanBlocks, reference.blocks);
        QCOMPARE(outline.pictureBlocks, reference.pictureBlocks);
        QVERIFY(outline.complete);
        QVERIFY(outline.endMarker);

        // From a position other than the start, and put back there.
        const QByteArray prefix(1000, '\xff');
        const JpegOutline later = Outline(prefix + jpeg, prefix.size());
        QCOMPARE(later.scans, outline.scans);
        QCOMPARE(later.scanBlocks, outline.scanBlocks);
    }

    void tellsWhatIsMissing_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<int>("scans");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<bool>("endMarker");

        FixtureOptions progressive;
        progressive.progressive = true;
        FixtureOptions componentScans;
        componentScans.componentScans = true;
        const QByteArray baseline = EncodeFixture(PhotoSamples(80, 60, 1), 80, 60);
        const QByteArray byScans = EncodeFixture(PhotoSamples(80, 60, 1), 80, 60, progressive);
        const QByteArray byComponent
            = EncodeFixture(PhotoSamples(80, 60, 1), 80, 60, componentScans);
        const auto beforeLastScan
            = [](const QByteArray &jpeg) { return jpeg.left(jpeg.lastIndexOf("\xff\xda")); };

        QTest::newRow("baseline, whole") << baseline << 1 << true << true;
        QTest::newRow("baseline, no end marker") << baseline.chopped(2) << 1 << true << false;
        QTest::newRow("baseline, no scan") << beforeLastScan(baseline) << 0 << false << false;
        QTest::newRow("progressive, no end marker") << byScans.chopped(2) << 10 << true << false;
        QTest::newRow("progressive, last scan missing")
            << beforeLastScan(byScans) << 9 << false << false;
        QTest::newRow("progressive, cut inside the last scan header")
            << byScans.left(byScans.lastIndexOf("\xff\xda") + 5) << 9 << false << false;
        QTest::newRow("one scan a component, no end marker")
            << byComponent.chopped(2) << 3 << true << false;
        QTest::newRow("one scan a component, last scan missing")
            << beforeLastScan(byComponent) << 2 << false << false;
        QTest::newRow("first scans of the longest script")
            << ScanBomb(100, 16, 16) << 100 << false << true;
    }

    void tellsWhatIsMissing()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(int, scans);
        QFETCH(bool, complete);
        QFETCH(bool, endMarker);
        const JpegOutline outline = Outline(jpeg);
        QVERIFY(outline.frame);
        QCOMPARE(outline.scans, scans);
        QCOMPARE(outline.complete, complete);
        QCOMPARE(outline.endMarker, endMarker);
    }

    void findsNoFrameInWhatIsNoJpeg_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray photo = EncodeFixture(PhotoSamples(16, 16, 2), 16, 16);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("PNG signature") << QByteArray("\x89PNG\r\n\x1a\n", 8);
        QTest::newRow("start marker only") << photo.left(2);
        QTest::newRow("no start marker") << photo.mid(2);
        QTest::newRow("frame cut short") << photo.left(FindMarker(photo, 0xC0) + 9);
        QTest::newRow("width 0") << WithFrameSize(photo, 0, 16);
    }

    void findsNoFrameInWhatIsNoJpeg()
    {
        QFETCH(QByteArray, bytes);
        const JpegOutline outline = Outline(bytes);
        QVERIFY(!outline.frame);
        QCOMPARE(outline.scans, 0);
        QVERIFY(!outline.complete);
    }
};

QTEST_GUILESS_MAIN(PictureOutlineTest)
#include "picture_outline_test.moc"
