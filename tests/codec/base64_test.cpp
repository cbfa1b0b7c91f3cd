#include "codec/base64.h"

#include <QByteArray>
#include <QTest>

#include <random>
#include <vector>

namespace {

QByteArray RandomBytes(int size, unsigned seed)
{
    std::mt19937 gen(seed);
    QByteArray bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

const unsigned char *Bytes(const QByteArray &a)
{
    return reinterpret_cast<const unsigned char *>(a.constData());
}

// Encodes into a buffer of exactly Base64EncodedSize bytes followed by a guard zone,
// and fails when the encoder touched the guard.
QByteArray Encode(const QByteArray &bytes, int n)
{
    const int size = Base64EncodedSize(int(bytes.size()), n);
    constexpr int kGuard = 16;
    std::vector<char> buffer(std::size_t(size + kGuard), '\x5A');
    const int written = Base64Encode(Bytes(bytes), buffer.data(), int(bytes.size()), n);
    for (int i = size; i < size + kGuard; ++i) {
        if (buffer[std::size_t(i)] != '\x5A') {
            qWarning("encoder wrote past the room it asked for");
            return QByteArray("<overrun>");
        }
    }
    if (written != size) {
        qWarning("written %d, reserved %d", written, size);
        return QByteArray("<size mismatch>");
    }
    return QByteArray(buffer.data(), written);
}

struct Decoded
{
    int result;
    QByteArray bytes;
};

Decoded Decode(const QByteArray &text)
{
    std::vector<unsigned char> out(std::size_t(3 * (text.size() / 4)) + 1);
    const int result = Base64Decode(text.constData(), int(text.size()), out.data());
    return { result,
        QByteArray(reinterpret_cast<const char *>(out.data()), result > 0 ? result : 0) };
}

} // namespace

class Base64Test : public QObject
{
    Q_OBJECT

private slots:
    void encodeMatchesQtAndBreaksLines_data()
    {
        QTest::addColumn<int>("n");
        for (int n : { -1, 0, 1, 2, 19, 100 })
            QTest::newRow(qPrintable(QString("n=%1").arg(n))) << n;
    }

    void encodeMatchesQtAndBreaksLines()
    {
        QFETCH(int, n);
        std::vector<int> lengths;
        for (int length = 0; length <= 300; ++length)
            lengths.push_back(length);
        for (int length : { 1000, 4095, 4096, 57 * 1000, 300000, 300001 })
            lengths.push_back(length);

        for (int length : lengths) {
            const QByteArray bytes = RandomBytes(length, unsigned(length));
            const QByteArray text = Encode(bytes, n);
            const QString where = QString("length %1").arg(length);

            QByteArray symbols = text;
            symbols.replace('\n', QByteArray());
            QVERIFY2(symbols == bytes.toBase64(), qPrintable(where));

            const QList<QByteArray> lines = text.split('\n');
            const int groups = length / 3;
            const int expectedFeeds = n > 0 ? groups / n : 0;
            QVERIFY2(lines.size() - 1 == expectedFeeds, qPrintable(where));
            for (int i = 0; i + 1 < lines.size(); ++i)
                QVERIFY2(lines[i].size() == 4 * n, qPrintable(where));
            const bool endsWithFeed = n > 0 && length > 0 && length % (3 * n) == 0;
            QVERIFY2(text.endsWith('\n') == endsWithFeed, qPrintable(where));

            const Decoded back = Decode(text);
            QVERIFY2(back.result == length, qPrintable(where));
            QVERIFY2(back.bytes == bytes, qPrintable(where));
        }
    }

    void encodeExamples_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("empty") << QByteArray() << 19 << QByteArray();
        QTest::newRow("abc") << QByteArray("abc") << 0 << QByteArray("YWJj");
        QTest::newRow("abc, line of one group") << QByteArray("abc") << 1 << QByteArray("YWJj\n");
        QTest::newRow("two groups, one per line")
            << QByteArray("abcdef") << 1 << QByteArray("YWJj\nZGVm\n");
        QTest::newRow("padded group after a full line")
            << QByteArray("abcd") << 1 << QByteArray("YWJj\nZA==");
        QTest::newRow("two left over") << QByteArray("ab") << 1 << QByteArray("YWI=");
        QTest::newRow("all symbol values")
            << QByteArray::fromHex(
                   "00108310518720928b30d38f41149351559761969b71d79f8218a39259a7a29aab"
                   "b2dbafc31cb3d35db7e39ebbf3dfbfffff")
            << 0
            << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
                          "//8=");
    }

    void encodeExamples()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, n);
        QFETCH(QByteArray, text);
        QCOMPARE(Encode(bytes, n), text);
        QCOMPARE(QByteArray::fromStdString(Base64EncodeString(bytes.toStdString(), n)), text);
    }

    void pictureLines()
    {
        const QByteArray full = Encode(RandomBytes(57, 1), 19);
        QCOMPARE(full.size(), 77);
        QVERIFY(full.endsWith('\n'));
        const QByteArray more = Encode(RandomBytes(58, 1), 19);
        QCOMPARE(more.size(), 81);
        QCOMPARE(more.left(77), full);
        QVERIFY(more.endsWith("=="));
    }

    void encodedSize_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("n");
        QTest::addColumn<int>("size");
        QTest::newRow("nothing") << 0 << 19 << 0;
        QTest::newRow("negative count") << -5 << 19 << 0;
        QTest::newRow("one byte") << 1 << 1 << 4;
        QTest::newRow("one group, own line") << 3 << 1 << 5;
        QTest::newRow("one line of the picture") << 57 << 19 << 77;
        QTest::newRow("a line and a byte") << 58 << 19 << 81;
        QTest::newRow("no line feeds") << 58 << 0 << 80;
        QTest::newRow("largest picture") << 300000 << 19 << 400000 + 100000 / 19;
        QTest::newRow("beyond int") << 2000000000 << 0 << -1;
    }

    void encodedSize()
    {
        QFETCH(int, count);
        QFETCH(int, n);
        QFETCH(int, size);
        QCOMPARE(Base64EncodedSize(count, n), size);
    }

    void decodeRules_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("result");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("padded to the end") << QByteArray("YWJjZA==") << 4 << QByteArray("abcd");
        QTest::newRow("unpadded tail ignored") << QByteArray("YWJjZA") << 3 << QByteArray("abc");
        QTest::newRow("one pad of two") << QByteArray("YWJjZA=") << 3 << QByteArray("abc");
        QTest::newRow("single pad") << QByteArray("YWI=") << 2 << QByteArray("ab");
        QTest::newRow("one trailing feed") << QByteArray("YWJj\n") << 3 << QByteArray("abc");
        QTest::newRow("three trailing junk") << QByteArray("YWJj\n*%") << 3 << QByteArray("abc");
        QTest::newRow("four trailing feeds")
            << QByteArray("YWJj\n\n\n\n") << -1 << QByteArray("abc");
        QTest::newRow("group broken by feeds")
            << QByteArray("YWJjZ\n\nA") << -1 << QByteArray("abc");
        QTest::newRow("pad group ends with a feed")
            << QByteArray("YWJjZA=\n") << -1 << QByteArray("abc");
        QTest::newRow("stop at first pad group") << QByteArray("YQ==YWJj") << 1 << QByteArray("a");
        QTest::newRow("pad third goes on") << QByteArray("AB=CYWJj") << 4 << QByteArray("\0abc", 4);
        QTest::newRow("pad third alone") << QByteArray("AB=C") << 1 << QByteArray("\0", 1);
        QTest::newRow("pad first goes on") << QByteArray("=AAAYWJj") << 3 << QByteArray("abc");
        QTest::newRow("pad second yields nothing")
            << QByteArray("A=AAYWJj") << 3 << QByteArray("abc");
        QTest::newRow("pads only") << QByteArray("====") << 0 << QByteArray();
        QTest::newRow("pads after data") << QByteArray("YWJj====") << 3 << QByteArray("abc");
        QTest::newRow("empty") << QByteArray() << 0 << QByteArray();
        QTest::newRow("three symbols") << QByteArray("YWJ") << 0 << QByteArray();
        QTest::newRow("three skipped") << QByteArray("\n\r ") << 0 << QByteArray();
        QTest::newRow("four feeds") << QByteArray("\n\n\n\n") << -1 << QByteArray();
        QTest::newRow("mixed skipped") << QByteArray(" \r\n\t*.") << -1 << QByteArray();
        QTest::newRow("breaks between symbols")
            << QByteArray("Y\r\nW J\tj\nZGVm") << 6 << QByteArray("abcdef");
        QTest::newRow("high bytes skipped") << QByteArray("\x80YW\xffJj") << 3 << QByteArray("abc");
        QTest::newRow("MIME line breaks")
            << QByteArray("YWJj\r\nZGVm\r\n") << 6 << QByteArray("abcdef");
        QTest::newRow("highest values") << QByteArray("////") << 3 << QByteArray("\xff\xff\xff");
    }

    void decodeRules()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, result);
        QFETCH(QByteArray, bytes);
        const Decoded decoded = Decode(text);
        QCOMPARE(decoded.result, result);
        if (result >= 0)
            QCOMPARE(decoded.bytes, bytes);

        // The string form reports the failure and keeps what came before it.
        bool ok = true;
        const std::string viaString = Base64DecodeString(text.toStdString(), &ok);
        QCOMPARE(ok, result >= 0);
        QCOMPARE(QByteArray::fromStdString(viaString), bytes);
    }

    void valueOfEveryByte()
    {
        for (int c = 0; c < 256; ++c) {
            int expected = 100;
            if (c >= 'A' && c <= 'Z')
                expected = c - 'A';
            else if (c >= 'a' && c <= 'z')
                expected = c - 'a' + 26;
            else if (c >= '0' && c <= '9')
                expected = c - '0' + 52;
            else if (c == '+')
                expected = 62;
            else if (c == '/')
                expected = 63;
            else if (c == '=')
                expected = 80;
            QCOMPARE(Base64Value(c), expected);
            // Only the low eight bits count.
            QCOMPARE(Base64Value(c + 256), expected);
            QCOMPARE(Base64Value(c - 256), expected);
        }
        QCOMPARE(Base64Value(static_cast<char>('\xFF')), 100);
    }

    void symbolOfEveryValue()
    {
        for (int v = 0; v < 64; ++v) {
            // Qt's first symbol of a byte whose top six bits are v.
            const char expected = QByteArray(1, char(v << 2)).toBase64().at(0);
            QCOMPARE(Base64Symbol(v), expected);
        }
        for (int v : { 64, 65, 255, 1000, -1, -62 })
            QCOMPARE(Base64Symbol(v), '/');
    }
};

QTEST_GUILESS_MAIN(Base64Test)
#include "base64_test.moc"
