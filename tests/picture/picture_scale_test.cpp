#include "picture/picture_import.h"

#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

// The same single-precision result reached another way: the quotient and the product
// are formed exactly enough in double and rounded to float once, which gives the
// correctly rounded float result of each step.
ScaledSize ReferenceSize(int width, int height)
{
    const float a = static_cast<float>(300.0 / width);
    const float b = static_cast<float>(300.0 / height);
    const double r = (a >= 1.0f && b >= 1.0f) ? 1.0 : static_cast<double>(std::min(a, b));
    const float w = static_cast<float>(width * r);
    const float h = static_cast<float>(height * r);
    return { static_cast<int>(std::ceil(static_cast<double>(w))),
        static_cast<int>(std::ceil(static_cast<double>(h))) };
}

} // namespace

class PictureScaleTest : public QObject
{
    Q_OBJECT

private slots:
    void knownSizes_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("scaledWidth");
        QTest::addColumn<int>("scaledHeight");

        QTest::newRow("landscape 600x400") << 600 << 400 << 300 << 200;
        QTest::newRow("thin strip 1000x3") << 1000 << 3 << 300 << 1;
        QTest::newRow("tall line 1x5000") << 1 << 5000 << 1 << 300;
        QTest::newRow("small 200x100 not enlarged") << 200 << 100 << 200 << 100;
        QTest::newRow("exact frame 300x300") << 300 << 300 << 300 << 300;
        QTest::newRow("just over 301x301") << 301 << 301 << 300 << 300;
        QTest::newRow("one side over 400x100") << 400 << 100 << 300 << 75;
        QTest::newRow("1x1") << 1 << 1 << 1 << 1;
        // Single precision puts these one pixel over the frame.
        QTest::newRow("557x300 rounds over") << 557 << 300 << 301 << 162;
        QTest::newRow("300x557 rounds over") << 300 << 557 << 162 << 301;
        QTest::newRow("1083x1083 rounds over") << 1083 << 1083 << 301 << 301;
        QTest::newRow("585 wide") << 585 << 100 << 301 << 52;
        QTest::newRow("largest JPEG 65535x65535") << 65535 << 65535 << 300 << 300;
        QTest::newRow("65535x1 keeps a row") << 65535 << 1 << 300 << 1;
    }

    void knownSizes()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, scaledWidth);
        QFETCH(int, scaledHeight);
        QCOMPARE(ComputeScaledSize(width, height), (ScaledSize { scaledWidth, scaledHeight }));
    }

    void matchesSinglePrecisionOnGrid()
    {
        for (int w = 1; w <= 2000; ++w)
            for (int h = 1; h <= 2000; ++h)
                if (ComputeScaledSize(w, h) != ReferenceSize(w, h))
                    QFAIL(qPrintable(QStringLiteral("%1x%2").arg(w).arg(h)));
    }

    void matchesSinglePrecisionForEveryWidth()
    {
        for (int w = 1; w <= 65535; ++w) {
            for (int h : { 1, 2, 299, 300, 301, 557, 1083, 4000, 65535 }) {
                const ScaledSize size = ComputeScaledSize(w, h);
                if (size != ReferenceSize(w, h) || ComputeScaledSize(h, w) != ReferenceSize(h, w))
                    QFAIL(qPrintable(QStringLiteral("%1x%2").arg(w).arg(h)));
                // Never enlarged, never empty, never more than a pixel over the frame.
                QVERIFY(size.width >= 1 && size.width <= std::min(w, 301));
                QVERIFY(size.height >= 1 && size.height <= std::min(h, 301));
            }
        }
    }

    void noSizeForNoPicture()
    {
        QCOMPARE(ComputeScaledSize(0, 0), (ScaledSize { 0, 0 }));
        QCOMPARE(ComputeScaledSize(0, 100), (ScaledSize { 0, 0 }));
        QCOMPARE(ComputeScaledSize(100, -1), (ScaledSize { 0, 0 }));
    }
};

QTEST_GUILESS_MAIN(PictureScaleTest)
#include "picture_scale_test.moc"
