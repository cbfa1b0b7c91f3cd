#include "picture/jpeg_codec.h"

#include "codec/error.h"
#include "jpeg_fixtures.h"

#include <QTest>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>

// libjpeg allocates with malloc, so the only way to make an allocation inside the
// encoder fail is to stand in for malloc itself. This test program does, and keeps an
// account of every block handed out while the encoder runs: nothing may be freed twice
// and nothing left over when the encoder gives up. The sanitizers bring their own
// malloc, so there the test is left out.
#if defined(__SANITIZE_ADDRESS__)
#define LENTAR_OWN_MALLOC 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define LENTAR_OWN_MALLOC 0
#endif
#endif
#ifndef LENTAR_OWN_MALLOC
#define LENTAR_OWN_MALLOC 1
#endif

#if LENTAR_OWN_MALLOC
extern "C" {
void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *block, std::size_t size);
void __libc_free(void *block);
}

namespace {

struct Ledger
{
    bool open = false;
    std::size_t refuseFrom = 0; // allocations of this size and more fail; 0 for none
    std::array<void *, 4096> live {};
    std::size_t liveCount = 0;
    std::array<void *, 4096> freed {};
    std::size_t freedCount = 0;
    int doubleFrees = 0;
    int refused = 0;
    bool overflow = false;
};

Ledger ledger;

bool Refuse(std::size_t size)
{
    if (!ledger.open || ledger.refuseFrom == 0 || size < ledger.refuseFrom)
        return false;
    ++ledger.refused;
    return true;
}

void Remember(void *block)
{
    if (!ledger.open || block == nullptr)
        return;
    for (std::size_t i = 0; i < ledger.freedCount; ++i)
        if (ledger.freed[i] == block)
            ledger.freed[i] = ledger.freed[--ledger.freedCount];
    if (ledger.liveCount == ledger.live.size()) {
        ledger.overflow = true;
        return;
    }
    ledger.live[ledger.liveCount++] = block;
}

// False when the block was already freed while the ledger was open.
bool Forget(void *block)
{
    if (!ledger.open || block == nullptr)
        return true;
    for (std::size_t i = 0; i < ledger.liveCount; ++i) {
        if (ledger.live[i] == block) {
            ledger.live[i] = ledger.live[--ledger.liveCount];
            if (ledger.freedCount < ledger.freed.size())
                ledger.freed[ledger.freedCount++] = block;
            return true;
        }
    }
    for (std::size_t i = 0; i < ledger.freedCount; ++i) {
        if (ledger.freed[i] == block) {
            ++ledger.doubleFrees;
            return false;
        }
    }
    return true; // handed out before the ledger opened
}

} // namespace

extern "C" void *malloc(std::size_t size) noexcept
{
    if (Refuse(size))
        return nullptr;
    void *block = __libc_malloc(size);
    Remember(block);
    return block;
}

extern "C" void *calloc(std::size_t count, std::size_t size) noexcept
{
    if (Refuse(count * size))
        return nullptr;
    void *block = __libc_calloc(count, size);
    Remember(block);
    return block;
}

extern "C" void *realloc(void *block, std::size_t size) noexcept
{
    if (Refuse(size))
        return nullptr;
    if (!Forget(block))
        return nullptr;
    void *moved = __libc_realloc(block, size);
    Remember(moved);
    return moved;
}

extern "C" void free(void *block) noexcept
{
    // A second free is counted, not passed on: the C library would abort, or worse.
    if (Forget(block))
        __libc_free(block);
}
#endif

class PictureEncodeMemoryTest : public QObject
{
    Q_OBJECT

private slots:
    // The reduced picture at its noisiest: the encoder's output grows through
    // several buffers before the one that cannot be had.
    void failedAllocationIsReported_data()
    {
        QTest::addColumn<bool>("progressive");
        QTest::addColumn<int>("refuseFrom");
        QTest::newRow("baseline, output past 64 KB") << false << 64 * 1024;
        QTest::newRow("baseline, output past 32 KB") << false << 32 * 1024;
        QTest::newRow("progressive, coefficient buffer") << true << 64 * 1024;
    }

    void failedAllocationIsReported()
    {
#if LENTAR_OWN_MALLOC
        QFETCH(bool, progressive);
        QFETCH(int, refuseFrom);
        RgbImage image;
        image.width = 301;
        image.height = 301;
        image.rgb = NoiseSamples(image.width, image.height, 3, 9);
        // Once without a limit, so that nothing the first encoding sets up for good
        // (Qt's and the C library's own caches) counts against the encoder.
        QVERIFY(EncodePictureJpeg(image, progressive).size() > 64 * 1024);

        // Nothing may be allocated here that outlives the encoder.
        char message[200] = {};
        ledger = Ledger {};
        ledger.refuseFrom = std::size_t(refuseFrom);
        ledger.open = true;
        try {
            EncodePictureJpeg(image, progressive);
        } catch (const LentarError &error) {
            std::strncpy(message, error.what(), sizeof message - 1);
        }
        ledger.open = false;

        QVERIFY(ledger.refused > 0);
        QVERIFY(!ledger.overflow);
        QCOMPARE(ledger.doubleFrees, 0);
        QCOMPARE(ledger.liveCount, std::size_t(0));
        QCOMPARE(QString::fromUtf8(message),
            QStringLiteral("Не удалось сжать изображение: недостаточно памяти"));
#else
        QSKIP("the sanitizers' allocator cannot be made to fail on demand");
#endif
    }
};

QTEST_GUILESS_MAIN(PictureEncodeMemoryTest)
#include "picture_encode_memory_test.moc"
