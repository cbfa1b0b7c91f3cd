#pragma once

// Whether a JPEG's own bytes show the picture as the program shows it, for a page
// description that embeds a JPEG as it is (a PDF's DCT-coded image): 8-bit and
// Huffman-coded (baseline or progressive), grey or three components in the usual
// YCbCr, and upright (no Exif turn). Readers of such a file agree with libjpeg on the
// picture; anything else is decoded and encoded again.

#include <QByteArray>

#include <optional>

struct StoredJpegFrame
{
    int width = 0;
    int height = 0;
    bool grey = false; // one component
};

// The picture's frame when jpeg may be embedded as it is; nothing otherwise. Reads only
// the markers before the first scan; jpeg is one libjpeg has found whole.
std::optional<StoredJpegFrame> JpegShownAsStored(const QByteArray &jpeg);
