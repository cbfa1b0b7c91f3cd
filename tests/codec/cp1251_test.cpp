#include "codec/cp1251.h"

#include <QTest>

#include <iconv.h>

namespace {

// A glibc iconv converter that is closed with the test.
class Converter
{
public:
    Converter(const char *to, const char *from)
        : cd_(iconv_open(to, from))
    { }
    ~Converter()
    {
        if (valid())
            iconv_close(cd_);
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts in to out; returns the number of output bytes, or -1 when iconv rejects
    // the input.
    int convert(const void *in, std::size_t inSize, void *out, std::size_t outSize)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char *inPtr = static_cast<char *>(const_cast<void *>(in));
        char *outPtr = static_cast<char *>(out);
        std::size_t outLeft = outSize;
        if (iconv(cd_, &inPtr, &inSize, &outPtr, &outLeft) == static_cast<std::size_t>(-1))
            return -1;
        return int(outSize - outLeft);
    }

private:
    iconv_t cd_;
};

char32_t FromLe32(const unsigned char *p)
{
    return char32_t(p[0]) | char32_t(p[1]) << 8 | char32_t(p[2]) << 16 | char32_t(p[3]) << 24;
}

} // namespace

class Cp1251Test : public QObject
{
    Q_OBJECT

private slots:
    void everyByteMatchesIconv()
    {
        Converter toUtf32("UTF-32LE", "CP1251");
        QVERIFY(toUtf32.valid());
        for (int b = 0; b < 256; ++b) {
            const unsigned char byte = static_cast<unsigned char>(b);
            unsigned char out[8] = {};
            const int size = toUtf32.convert(&byte, 1, out, sizeof out);
            if (size < 0) {
                // The one hole of the code page.
                QCOMPARE(b, 0x98);
                QCOMPARE(Cp1251ToUnicode(byte), char32_t(0xFFFD));
                continue;
            }
            QCOMPARE(size, 4);
            QVERIFY2(Cp1251ToUnicode(byte) == FromLe32(out), qPrintable(QString::number(b, 16)));
        }
    }

    void everyBmpCodePointMatchesIconv()
    {
        Converter fromUtf32("CP1251", "UTF-32LE");
        QVERIFY(fromUtf32.valid());
        int encodable = 0;
        for (char32_t cp = 0; cp <= 0xFFFF; ++cp) {
            const unsigned char in[4]
                = { static_cast<unsigned char>(cp), static_cast<unsigned char>(cp >> 8), 0, 0 };
            unsigned char out[8] = {};
            const int size = fromUtf32.convert(in, 4, out, sizeof out);
            int expected = -1;
            if (size >= 0) {
                QCOMPARE(size, 1);
                expected = out[0];
                ++encodable;
            }
            QVERIFY2(UnicodeToCp1251(cp) == expected,
                qPrintable(QString("U+%1").arg(uint(cp), 4, 16, QChar('0'))));
            QCOMPARE(IsInCp1251(cp), expected >= 0);
        }
        // 255 bytes carry a character; nothing maps onto 0x98.
        QCOMPARE(encodable, 255);
    }

    void outsideTheBmp_data()
    {
        QTest::addColumn<uint>("codePoint");
        QTest::newRow("first supplementary") << 0x10000u;
        QTest::newRow("Cyrillic offset by a plane") << 0x10410u;
        QTest::newRow("ASCII offset by a plane") << 0x10041u;
        QTest::newRow("last code point") << 0x10FFFFu;
        QTest::newRow("beyond Unicode") << 0x110000u;
        QTest::newRow("all bits set") << 0xFFFFFFFFu;
    }

    void outsideTheBmp()
    {
        QFETCH(uint, codePoint);
        QCOMPARE(UnicodeToCp1251(char32_t(codePoint)), -1);
    }
};

QTEST_GUILESS_MAIN(Cp1251Test)
#include "cp1251_test.moc"
