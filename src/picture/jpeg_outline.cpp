#include "picture/jpeg_outline.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr qint64 kChunkSize = 64 * 1024;
// libjpeg refuses frames of more components.
constexpr int kMaxComponents = 10;
constexpr int kBlockSize = 8;

// Reads a device in chunks; every call answers -1 or false once the data has ended.
class ByteReader
{
public:
    explicit ByteReader(QIODevice &device)
        : device_(device)
        , buffer_(std::size_t(kChunkSize))
    { }

    int next()
    {
        if (at_ == size_ && !refill())
            return -1;
        return static_cast<unsigned char>(buffer_[std::size_t(at_++)]);
    }

    int word()
    {
        const int high = next();
        const int low = next();
        return high < 0 || low < 0 ? -1 : high << 8 | low;
    }

    bool read(std::vector<unsigned char> &out, int count)
    {
        out.resize(std::size_t(count));
        for (unsigned char &byte : out) {
            const int value = next();
            if (value < 0)
                return false;
            byte = static_cast<unsigned char>(value);
        }
        return true;
    }

    bool skip(qint64 count)
    {
        while (count > 0) {
            if (at_ == size_ && !refill())
                return false;
            const qint64 step = std::min(count, size_ - at_);
            at_ += step;
            count -= step;
        }
        return true;
    }

    // The code of the next marker, skipping whatever is not one, as libjpeg does
    // between segments.
    int nextMarker()
    {
        for (;;) {
            int code = next();
            while (code >= 0 && code != 0xFF)
                code = next();
            do
                code = next();
            while (code == 0xFF);
            if (code != 0)
                return code;
        }
    }

    // Skips the entropy-coded data of a scan, with its stuffed zeros and restart
    // markers, and returns the code of the marker that ends it.
    int skipEntropyData()
    {
        for (;;) {
            if (at_ == size_ && !refill())
                return -1;
            const char *start = buffer_.data() + at_;
            const void *mark = std::memchr(start, 0xFF, std::size_t(size_ - at_));
            if (mark == nullptr) {
                at_ = size_;
                continue;
            }
            at_ += static_cast<const char *>(mark) - start + 1;
            int code;
            do
                code = next();
            while (code == 0xFF);
            if (code < 0)
                return -1;
            if (code != 0 && (code < 0xD0 || code > 0xD7))
                return code;
        }
    }

private:
    bool refill()
    {
        size_ = std::max<qint64>(device_.read(buffer_.data(), kChunkSize), 0);
        at_ = 0;
        return size_ > 0;
    }

    QIODevice &device_;
    std::vector<char> buffer_;
    qint64 size_ = 0;
    qint64 at_ = 0;
};

struct Frame
{
    int count = 0;
    std::array<int, kMaxComponents> ids {};
    std::array<int, kMaxComponents> h {};
    std::array<int, kMaxComponents> v {};
    int maxH = 1;
    int maxV = 1;
    // The bit each coefficient of each component has come down to; -1 before its
    // first scan.
    std::array<std::array<int, 64>, kMaxComponents> bits {};
};

std::uint64_t DivideUp(std::uint64_t a, std::uint64_t b)
{
    return (a + b - 1) / b;
}

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b)
{
    return a > std::numeric_limits<std::uint64_t>::max() - b
        ? std::numeric_limits<std::uint64_t>::max()
        : a + b;
}

// Component c's size in blocks, as libjpeg computes it.
std::uint64_t WidthInBlocks(const JpegOutline &outline, const Frame &frame, int c)
{
    return DivideUp(std::uint64_t(outline.width) * unsigned(frame.h[c]),
        std::uint64_t(frame.maxH) * kBlockSize);
}

std::uint64_t HeightInBlocks(const JpegOutline &outline, const Frame &frame, int c)
{
    return DivideUp(std::uint64_t(outline.height) * unsigned(frame.v[c]),
        std::uint64_t(frame.maxV) * kBlockSize);
}

bool IsFrameMarker(int code)
{
    return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
}

// False for a frame libjpeg would refuse; the outline then stays without one.
bool ReadFrame(
    int code, const std::vector<unsigned char> &segment, JpegOutline &outline, Frame &frame)
{
    if (segment.size() < 6)
        return false;
    const int count = segment[5];
    if (count < 1 || count > kMaxComponents || segment.size() < std::size_t(6 + 3 * count))
        return false;
    outline.height = segment[1] << 8 | segment[2];
    outline.width = segment[3] << 8 | segment[4];
    if (outline.width == 0 || outline.height == 0)
        return false;
    frame.count = count;
    for (int c = 0; c < count; ++c) {
        frame.ids[c] = segment[std::size_t(6 + 3 * c)];
        frame.h[c] = segment[std::size_t(7 + 3 * c)] >> 4;
        frame.v[c] = segment[std::size_t(7 + 3 * c)] & 0x0F;
        if (frame.h[c] < 1 || frame.h[c] > 4 || frame.v[c] < 1 || frame.v[c] > 4)
            return false;
        frame.maxH = std::max(frame.maxH, frame.h[c]);
        frame.maxV = std::max(frame.maxV, frame.v[c]);
        frame.bits[c].fill(-1);
    }
    outline.frame = true;
    outline.progressive = code == 0xC2 || code == 0xC6 || code == 0xCA || code == 0xCE;
    outline.arithmetic = code >= 0xC9;
    for (int c = 0; c < count; ++c) {
        // The whole-picture buffer rounds every component up to whole MCUs.
        const std::uint64_t across
            = DivideUp(WidthInBlocks(outline, frame, c), unsigned(frame.h[c]))
            * unsigned(frame.h[c]);
        const std::uint64_t down = DivideUp(HeightInBlocks(outline, frame, c), unsigned(frame.v[c]))
            * unsigned(frame.v[c]);
        outline.pictureBlocks += across * down;
    }
    return true;
}

// False for a scan libjpeg would refuse.
bool AddScan(const std::vector<unsigned char> &segment, JpegOutline &outline, Frame &frame)
{
    if (!outline.frame || segment.empty())
        return false;
    const int count = segment[0];
    if (count < 1 || count > 4 || segment.size() < std::size_t(1 + 2 * count + 3))
        return false;
    std::array<int, 4> components {};
    for (int i = 0; i < count; ++i) {
        const int id = segment[std::size_t(1 + 2 * i)];
        const auto found = std::find(frame.ids.begin(), frame.ids.begin() + frame.count, id);
        if (found == frame.ids.begin() + frame.count)
            return false;
        components[std::size_t(i)] = int(found - frame.ids.begin());
    }
    const int first = segment[std::size_t(1 + 2 * count)];
    const int last = std::min<int>(segment[std::size_t(2 + 2 * count)], 63);
    const int low = segment[std::size_t(3 + 2 * count)] & 0x0F;

    if (outline.scans == 0)
        outline.multipleScans = outline.progressive || count < frame.count;
    std::uint64_t blocks = 0;
    if (count == 1) {
        const int c = components[0];
        blocks = WidthInBlocks(outline, frame, c) * HeightInBlocks(outline, frame, c);
    } else {
        std::uint64_t perMcu = 0;
        for (int i = 0; i < count; ++i)
            perMcu += unsigned(
                frame.h[components[std::size_t(i)]] * frame.v[components[std::size_t(i)]]);
        blocks = DivideUp(unsigned(outline.width), std::uint64_t(frame.maxH) * kBlockSize)
            * DivideUp(unsigned(outline.height), std::uint64_t(frame.maxV) * kBlockSize) * perMcu;
    }
    outline.scanBlocks = SaturatingAdd(outline.scanBlocks, blocks);
    ++outline.scans;

    for (int i = 0; i < count; ++i) {
        std::array<int, 64> &bits = frame.bits[std::size_t(components[std::size_t(i)])];
        if (!outline.progressive)
            bits.fill(0);
        else
            for (int k = first; k <= last; ++k)
                bits[std::size_t(k)] = low;
    }
    return true;
}

bool Complete(const Frame &frame)
{
    for (int c = 0; c < frame.count; ++c)
        for (const int bit : frame.bits[std::size_t(c)])
            if (bit != 0)
                return false;
    return frame.count > 0;
}

void Walk(ByteReader &in, JpegOutline &outline, Frame &frame)
{
    if (in.next() != 0xFF || in.next() != 0xD8)
        return;
    std::vector<unsigned char> segment;
    int marker = -1;
    for (;;) {
        const int code = marker >= 0 ? marker : in.nextMarker();
        marker = -1;
        if (code < 0 || code == 0xD8)
            return;
        if (code == 0xD9) {
            outline.endMarker = true;
            return;
        }
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7))
            continue; // markers without a segment
        const int length = in.word();
        if (length < 2)
            return;
        if (code == 0xDA) {
            if (!in.read(segment, length - 2) || !AddScan(segment, outline, frame))
                return;
            marker = in.skipEntropyData();
        } else if (IsFrameMarker(code)) {
            // libjpeg refuses a second frame
            if (outline.frame || !in.read(segment, length - 2)
                || !ReadFrame(code, segment, outline, frame))
                return;
        } else if (!in.skip(length - 2)) {
            return;
        }
    }
}

} // namespace

JpegOutline ReadJpegOutline(QIODevice &source)
{
    const qint64 start = source.pos();
    JpegOutline outline;
    Frame frame;
    ByteReader in(source);
    Walk(in, outline, frame);
    outline.complete = outline.frame && Complete(frame);
    source.seek(start);
    return outline;
}
