#include "picture/jpeg_as_stored.h"

#include "picture/exif_orientation.h"

#include <cstring>

std::optional<StoredJpegFrame> JpegShownAsStored(const QByteArray &jpeg)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(jpeg.constData());
    const std::size_t size = std::size_t(jpeg.size());
    if (size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8)
        return std::nullopt;
    std::optional<StoredJpegFrame> frame;
    bool jfif = false;
    int adobeTransform = -1; // none: no Adobe block
    bool rgbIds = false; // components named R, G, B: libjpeg takes them for RGB
    std::size_t at = 2;
    for (;;) {
        while (at < size && bytes[at] == 0xFF && at + 1 < size && bytes[at + 1] == 0xFF)
            ++at; // fill bytes
        if (at + 4 > size || bytes[at] != 0xFF)
            return std::nullopt;
        const unsigned marker = bytes[at + 1];
        const std::size_t length = std::size_t(bytes[at + 2]) << 8 | bytes[at + 3];
        if (length < 2 || at + 2 + length > size)
            return std::nullopt;
        const unsigned char *segment = bytes + at + 4;
        const std::size_t segmentSize = length - 2;
        if (marker == 0xDA) // the first scan: every marker that matters came before it
            break;
        if (marker == 0xE0 && segmentSize >= 5 && std::memcmp(segment, "JFIF\0", 5) == 0)
            jfif = true;
        if (marker == 0xE1 && ExifOrientation(segment, segmentSize) > 1)
            return std::nullopt; // shown turned
        if (marker == 0xEE && segmentSize >= 12 && std::memcmp(segment, "Adobe", 5) == 0)
            adobeTransform = segment[11];
        if (marker == 0xC0 || marker == 0xC1 || marker == 0xC2) {
            if (frame || segmentSize < 6 || segment[0] != 8)
                return std::nullopt;
            const int components = segment[5];
            if ((components != 1 && components != 3)
                || segmentSize < 6 + 3 * std::size_t(components))
                return std::nullopt;
            frame = StoredJpegFrame { segment[3] << 8 | segment[4], segment[1] << 8 | segment[2],
                components == 1 };
            rgbIds
                = components == 3 && segment[6] == 'R' && segment[9] == 'G' && segment[12] == 'B';
        } else if (marker >= 0xC3 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8
            && marker != 0xCC) {
            return std::nullopt; // lossless, hierarchical or arithmetic-coded
        }
        at += 2 + length;
    }
    if (!frame || frame->width == 0 || frame->height == 0)
        return std::nullopt;
    if (!frame->grey && (adobeTransform == 0 || (rgbIds && !jfif && adobeTransform < 0)))
        return std::nullopt; // RGB as stored: readers differ on it
    return frame;
}
