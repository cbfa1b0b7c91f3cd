// The quick walk must only ever call whole what libjpeg decodes without a warning that
// loses data, and must take the common kinds the quick way.

#include "jpeg_fixtures.h"
#include "picture/jpeg_as_stored.h"
#include "picture/jpeg_codec.h"
#include "picture/jpeg_inspect.h"
#include "picture/jpeg_quick_check.h"

#include <QTest>

class JpegQuickCheckTest : public QObject
{
    Q_OBJECT

private slots:
    void kinds_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        const auto photo = [](FixtureOptions options, FixtureColour colour, int restartRows) {
            options.colour = colour;
            options.restartRows = restartRows;
            const int components = FixtureComponents(colour);
            std::vector<unsigned char> samples = PhotoSamples(37, 29, 7);
            if (components == 1) {
                for (std::size_t i = 0; i < samples.size() / 3; ++i)
                    samples[i] = samples[3 * i];
                samples.resize(samples.size() / 3);
            }
            return EncodeFixture(samples, 37, 29, options);
        };
        FixtureOptions progressive;
        progressive.progressive = true;
        FixtureOptions full;
        full.sampling[0] = { 1, 1 };
        FixtureOptions wide;
        wide.sampling[0] = { 2, 1 };
        QTest::newRow("baseline 4:2:0") << photo({}, FixtureColour::Rgb, 0);
        QTest::newRow("baseline 4:4:4, restarts") << photo(full, FixtureColour::Rgb, 1);
        QTest::newRow("baseline 4:2:2") << photo(wide, FixtureColour::Rgb, 0);
        QTest::newRow("baseline grey, restarts") << photo({}, FixtureColour::Grey, 1);
        QTest::newRow("progressive") << photo(progressive, FixtureColour::Rgb, 0);
        QTest::newRow("progressive, restarts") << photo(progressive, FixtureColour::Rgb, 1);
        QTest::newRow("progressive grey") << photo(progressive, FixtureColour::Grey, 0);
    }

    void kinds()
    {
        QFETCH(QByteArray, jpeg);
        const QuickJpegCheck quick = CheckJpegQuickly(jpeg, kMaxStoredPictureSide, kMaxScans);
        QVERIFY(quick.whole);
        QCOMPARE(quick.width, 37);
        QCOMPARE(quick.height, 29);
        QVERIFY(!CheckJpegQuickly(jpeg, 36, kMaxScans).whole);
    }

    // Every byte changed in a few ways and the file cut at every length: whatever the
    // walk calls whole, libjpeg decodes whole, at the same size.
    void damage_data() { kinds_data(); }

    void damage()
    {
        QFETCH(QByteArray, jpeg);
        int judged = 0;
        const auto compare = [&judged](const QByteArray &bytes) {
            const QuickJpegCheck quick = CheckJpegQuickly(bytes, kMaxStoredPictureSide, kMaxScans);
            if (!quick.whole)
                return true;
            ++judged;
            const JpegInspection full = InspectJpegFully(bytes);
            return full.ok && full.width == quick.width && full.height == quick.height;
        };
        for (qsizetype at = 0; at < jpeg.size(); ++at) {
            QVERIFY2(compare(jpeg.left(at)), qPrintable(QStringLiteral("cut at %1").arg(at)));
            for (const char change : { '\x01', '\x10', '\x80', '\xFF' }) {
                QByteArray changed = jpeg;
                changed[at] = char(changed[at] ^ change);
                QVERIFY2(compare(changed),
                    qPrintable(QStringLiteral("byte %1 xor %2").arg(at).arg(int(uchar(change)))));
            }
        }
        QVERIFY(judged > 0); // some changes (in the coefficients' values) keep a file whole
    }

    // Which pictures a page description may embed as their own bytes: readers show
    // those as libjpeg does.
    void shownAsStored_data()
    {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<bool>("asStored");
        QTest::addColumn<bool>("grey");
        const std::vector<unsigned char> colour = PhotoSamples(37, 29, 3);
        const auto encoded = [&colour](FixtureColour kind, bool progressive, bool arithmetic) {
            FixtureOptions options;
            options.colour = kind;
            options.progressive = progressive;
            options.arithmetic = arithmetic;
            const int components = FixtureComponents(kind);
            std::vector<unsigned char> samples(std::size_t(37 * 29 * components));
            for (std::size_t i = 0; i < samples.size(); ++i)
                samples[i] = colour[i % colour.size()];
            return EncodeFixture(samples, 37, 29, options);
        };
        const QByteArray baseline = encoded(FixtureColour::Rgb, false, false);
        QTest::newRow("baseline") << baseline << true << false;
        QTest::newRow("progressive grey")
            << encoded(FixtureColour::Grey, true, false) << true << true;
        QTest::newRow("Exif, upright") << WithApp1(baseline, ExifBlock(1, true)) << true << false;
        QTest::newRow("Exif, turned") << WithApp1(baseline, ExifBlock(6, false)) << false << false;
        QTest::newRow("CMYK") << encoded(FixtureColour::Cmyk, false, false) << false << false;
        QTest::newRow("arithmetic") << encoded(FixtureColour::Rgb, false, true) << false << false;
        QTest::newRow("no frame") << baseline.left(FindMarker(baseline, 0xC0)) << false << false;
    }

    void shownAsStored()
    {
        QFETCH(QByteArray, jpeg);
        QFETCH(bool, asStored);
        QFETCH(bool, grey);
        const std::optional<StoredJpegFrame> frame = JpegShownAsStored(jpeg);
        QCOMPARE(frame.has_value(), asStored);
        if (frame) {
            QCOMPARE(frame->width, 37);
            QCOMPARE(frame->height, 29);
            QCOMPARE(frame->grey, grey);
        }
    }
};

QTEST_GUILESS_MAIN(JpegQuickCheckTest)
#include "picture_quick_check_test.moc"
