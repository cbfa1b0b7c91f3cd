#include "picture/jpeg_codec.h"

#include "jpeg_fixtures.h"

#include <QBuffer>
#include <QTest>

// The import next to what libjpeg itself needs for a photograph: a full decode, and
// the DCT-scaled decode to an eighth, which is fast but gives other pixels.
class PictureBenchmark : public QObject
{
    Q_OBJECT

private:
    QByteArray photo(bool progressive)
    {
        QByteArray &cached = progressive ? progressive_ : baseline_;
        if (cached.isEmpty()) {
            FixtureOptions options;
            options.progressive = progressive;
            cached = EncodeFixture(PhotoSamples(6000, 4000, 1), 6000, 4000, options);
        }
        return cached;
    }

    QByteArray baseline_;
    QByteArray progressive_;

private slots:
    void decode_data()
    {
        QTest::addColumn<bool>("progressive");
        QTest::newRow("24 MP baseline") << false;
        QTest::newRow("24 MP progressive") << true;
    }

    void fullDecode_data() { decode_data(); }
    void fullDecode()
    {
        QFETCH(bool, progressive);
        const QByteArray jpeg = photo(progressive);
        QBENCHMARK
        {
            QVERIFY(DecodeFixture(jpeg).ok);
        }
    }

    void eighthDecode_data() { decode_data(); }
    void eighthDecode()
    {
        QFETCH(bool, progressive);
        const QByteArray jpeg = photo(progressive);
        QBENCHMARK
        {
            QVERIFY(DecodeFixture(jpeg, 8).ok);
        }
    }

    void scaledDecode_data() { decode_data(); }
    void scaledDecode()
    {
        QFETCH(bool, progressive);
        QByteArray jpeg = photo(progressive);
        QBENCHMARK
        {
            QBuffer buffer(&jpeg);
            buffer.open(QIODevice::ReadOnly);
            QCOMPARE(DecodeScaledJpeg(buffer).image.width, 300);
        }
    }
};

QTEST_GUILESS_MAIN(PictureBenchmark)
#include "picture_benchmark.moc"
