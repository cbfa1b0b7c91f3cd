#include "picture/exif_orientation.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr unsigned kOrientationTag = 0x0112;
constexpr unsigned kShortType = 3;
constexpr std::size_t kEntrySize = 12;

// The TIFF structure inside the block, read in its own byte order; every read is
// checked against the end of the block by the caller.
struct Tiff
{
    const unsigned char *bytes;
    std::size_t size;
    bool bigEndian;

    unsigned Read16(std::size_t at) const
    {
        return bigEndian ? unsigned(bytes[at]) << 8 | bytes[at + 1]
                         : unsigned(bytes[at + 1]) << 8 | bytes[at];
    }
    std::uint32_t Read32(std::size_t at) const
    {
        return bigEndian ? std::uint32_t(Read16(at)) << 16 | Read16(at + 2)
                         : std::uint32_t(Read16(at + 2)) << 16 | Read16(at);
    }
};

} // namespace

int ExifOrientation(const unsigned char *segment, std::size_t size)
{
    static constexpr unsigned char kExif[] = { 'E', 'x', 'i', 'f', 0, 0 };
    if (size < sizeof kExif || std::memcmp(segment, kExif, sizeof kExif) != 0)
        return 0;
    Tiff tiff { segment + sizeof kExif, size - sizeof kExif, false };
    if (tiff.size < 8)
        return 1;
    if (tiff.bytes[0] == 'M' && tiff.bytes[1] == 'M')
        tiff.bigEndian = true;
    else if (tiff.bytes[0] != 'I' || tiff.bytes[1] != 'I')
        return 1;
    if (tiff.Read16(2) != 42)
        return 1;
    const std::uint32_t ifd = tiff.Read32(4);
    if (ifd < 8 || ifd > tiff.size - 2)
        return 1;
    const unsigned entries = tiff.Read16(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t entry = ifd + 2 + i * kEntrySize;
        if (entry + kEntrySize > tiff.size)
            return 1;
        if (tiff.Read16(entry) != kOrientationTag)
            continue;
        if (tiff.Read16(entry + 2) != kShortType || tiff.Read32(entry + 4) != 1)
            return 1;
        const unsigned value = tiff.Read16(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

PictureTurn TurnForOrientation(int orientation)
{
    // Where the stored picture's first row and first column are seen: 2 mirrors it, 3
    // turns it half round, 4 flips it upside down, 5 mirrors it across its diagonal,
    // 6 turns it a quarter clockwise, 7 across the other diagonal, 8 a quarter back.
    switch (orientation) {
    case 2:
        return { false, false, true };
    case 3:
        return { false, true, true };
    case 4:
        return { false, true, false };
    case 5:
        return { true, false, false };
    case 6:
        return { true, true, false };
    case 7:
        return { true, true, true };
    case 8:
        return { true, false, true };
    default:
        return {};
    }
}
