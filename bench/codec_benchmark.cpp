#include "codec/base64.h"

#include <QCryptographicHash>
#include <QTest>

#include <random>
#include <vector>

namespace {

QByteArray Megabyte()
{
    std::mt19937 gen(42);
    QByteArray bytes(1 << 20, '\0');
    for (char &c : bytes)
        c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

} // namespace

// Throughput of our codecs next to Qt's on a megabyte; scripts/bench.sh runs it.
class CodecBenchmark : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { data_ = Megabyte(); }

    void base64Ours()
    {
        std::vector<char> out(std::size_t(Base64EncodedSize(int(data_.size()), 19)));
        int written = 0;
        QBENCHMARK
        {
            written = Base64Encode(reinterpret_cast<const unsigned char *>(data_.constData()),
                out.data(), int(data_.size()), 19);
        }
        QVERIFY(written > 0);
    }

    void base64Ours_noLineFeeds()
    {
        std::vector<char> out(std::size_t(Base64EncodedSize(int(data_.size()), 0)));
        int written = 0;
        QBENCHMARK
        {
            written = Base64Encode(reinterpret_cast<const unsigned char *>(data_.constData()),
                out.data(), int(data_.size()), 0);
        }
        QVERIFY(written > 0);
    }

    void base64Qt()
    {
        QByteArray text;
        QBENCHMARK
        {
            text = data_.toBase64();
        }
        QVERIFY(!text.isEmpty());
    }

    void base64DecodeOurs()
    {
        const std::string text = Base64EncodeString(data_.toStdString(), 19);
        std::vector<unsigned char> out(3 * (text.size() / 4));
        int written = 0;
        QBENCHMARK
        {
            written = Base64Decode(text.data(), int(text.size()), out.data());
        }
        QCOMPARE(written, int(data_.size()));
    }

private:
    QByteArray data_;
};

QTEST_GUILESS_MAIN(CodecBenchmark)
#include "codec_benchmark.moc"
