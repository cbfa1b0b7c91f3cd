#include "codec/md5.h"

#include <QCryptographicHash>
#include <QTest>

#include <random>
#include <string>

namespace {

std::string RandomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes)
        c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

QByteArray QtHex(const std::string &bytes)
{
    return QCryptographicHash::hash(
        QByteArrayView(bytes.data(), qsizetype(bytes.size())), QCryptographicHash::Md5)
        .toHex();
}

QByteArray Hex(const unsigned char digest[16])
{
    return QByteArray(reinterpret_cast<const char *>(digest), 16).toHex();
}

} // namespace

class Md5Test : public QObject
{
    Q_OBJECT

private slots:
    void rfcSuite_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("digest");
        QTest::newRow("empty") << QByteArray("") << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
        QTest::newRow("a") << QByteArray("a") << QByteArray("0cc175b9c0f1b6a831c399e269772661");
        QTest::newRow("abc") << QByteArray("abc") << QByteArray("900150983cd24fb0d6963f7d28e17f72");
        QTest::newRow("message digest")
            << QByteArray("message digest") << QByteArray("f96b697d7cb7938d525a2f31aaf161d0");
        QTest::newRow("alphabet") << QByteArray("abcdefghijklmnopqrstuvwxyz")
                                  << QByteArray("c3fcd3d76192e4007dfb496cca67e13b");
        QTest::newRow("alphanumeric")
            << QByteArray("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789")
            << QByteArray("d174ab98d277d9f5a5611c2c9f419d9f");
        QTest::newRow("digits x8") << QByteArray("1234567890").repeated(8)
                                   << QByteArray("57edf4a22be3c955ac49da2e2107b67a");
    }

    void rfcSuite()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, digest);
        QCOMPARE(QByteArray::fromStdString(Md5HexDigest(message.toStdString())), digest);
    }

    // Every length up to a little over three blocks covers each padding layout: the
    // count fitting into the last block, spilling into a new one, and exact blocks.
    void matchesQtForEveryShortLength()
    {
        for (int length = 0; length <= 200; ++length) {
            const std::string bytes = RandomBytes(std::size_t(length), 1000u + unsigned(length));
            const std::string hex = Md5HexDigest(bytes);
            QCOMPARE(hex.size(), std::size_t(32));
            QVERIFY2(QByteArray::fromStdString(hex) == QtHex(bytes),
                qPrintable(QString("length %1").arg(length)));
        }
    }

    void chunkedUpdateMatchesOneCall_data()
    {
        QTest::addColumn<int>("chunk");
        for (int chunk : { 1, 2, 7, 55, 56, 63, 64, 65, 127, 128, 129, 1000, 4096 })
            QTest::newRow(qPrintable(QString("chunk %1").arg(chunk))) << chunk;
    }

    void chunkedUpdateMatchesOneCall()
    {
        QFETCH(int, chunk);
        const std::string bytes = RandomBytes(5003, 7);
        Md5 md5;
        for (std::size_t pos = 0; pos < bytes.size(); pos += std::size_t(chunk))
            md5.update(bytes.data() + pos, std::min(std::size_t(chunk), bytes.size() - pos));
        unsigned char digest[16];
        md5.finish(digest);
        QCOMPARE(Hex(digest), QtHex(bytes));
    }

    void unevenChunksAndEmptyUpdates()
    {
        const std::string bytes = RandomBytes(3000, 11);
        Md5 md5;
        std::size_t pos = 0;
        for (std::size_t step = 0; pos < bytes.size(); ++step) {
            const std::size_t size = std::min(step * 13 % 150, bytes.size() - pos);
            md5.update(bytes.data() + pos, size);
            md5.update(bytes.data(), 0);
            pos += size;
        }
        unsigned char digest[16];
        md5.finish(digest);
        QCOMPARE(Hex(digest), QtHex(bytes));
    }

    void reuseAfterReset()
    {
        Md5 md5;
        unsigned char first[16];
        md5.update("unrelated text", 14);
        md5.finish(first);
        md5.reset();
        md5.update("abc", 3);
        unsigned char second[16];
        md5.finish(second);
        QCOMPARE(Hex(second), QByteArray("900150983cd24fb0d6963f7d28e17f72"));
    }

    // Above 2^32 bits (512 MiB) the bit count carries into its high half.
    void bitCountCarriesIntoHighHalf()
    {
        const std::string block = RandomBytes(1 << 20, 3);
        constexpr int kBlocks = 513;
        Md5 md5;
        QCryptographicHash qt(QCryptographicHash::Md5);
        for (int i = 0; i < kBlocks; ++i) {
            md5.update(block.data(), block.size());
            qt.addData(QByteArrayView(block.data(), qsizetype(block.size())));
        }
        md5.update("xyz", 3);
        qt.addData(QByteArrayView("xyz"));
        unsigned char digest[16];
        md5.finish(digest);
        QCOMPARE(Hex(digest), qt.result().toHex());
    }
};

QTEST_GUILESS_MAIN(Md5Test)
#include "md5_test.moc"
