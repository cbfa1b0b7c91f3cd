#pragma once

// The two halves of the picture import: decoding a JPEG straight to its reduced size,
// and encoding the reduced picture again. Kept apart from the file handling so that
// benchmarks and fuzzing can drive them from memory.

#include "picture/picture_import.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

class QIODevice;

// Pictures above this many pixels are refused before decoding.
inline constexpr std::uint64_t kMaxPicturePixels = 100'000'000;

// What decoding a progressive (or other multi-scan) picture costs is counted in passes
// of the decoder over one block of 8 x 8 coefficients. Every scan passes over the
// blocks of its components. Holding the coefficients of the whole picture, which
// libjpeg must do for such a file (allocating, clearing and reading them back out),
// costs about as much as this many passes over each block.
inline constexpr std::uint64_t kCoefficientWeight = 16;
// The most a multi-scan picture may cost: a 32-megapixel photograph with colour
// subsampling and the ten scans of libjpeg's own progression (750 000 blocks, 5.3
// passes each on average) comes to this. On the build machine it takes about half a
// second; the coefficients then take 128 MB.
inline constexpr std::uint64_t kMaxDecodeWork = 16'000'000;
// Passes over the average block of the picture. libjpeg's progression makes 4.7 to 6,
// and even an encoder writing twenty-odd scans stays under this, since most scans
// cover one component; a file beyond it only serves to keep the decoder busy.
inline constexpr std::uint64_t kMaxPasses = 24;
// For pictures known to be small: honest progressive files have about ten scans;
// thousands only serve to make the decoder spin.
inline constexpr int kMaxScans = 500;

struct ScaledJpeg
{
    RgbImage image; // upright, reduced to ComputeScaledSize of the upright source
    bool multipleScans = false; // the source was progressive (or otherwise multi-scan)
    bool sideways = false; // its Exif orientation turned it a quarter: width and height swap
};

// Decodes the JPEG read from source (open for reading) to its reduced size, picking
// the nearest source pixel for every reduced one, turned upright as its Exif
// orientation says. Only the source rows that are picked are converted to colour; no
// whole-size image is ever held. Throws LentarError for anything that is not a
// whole, sane JPEG.
ScaledJpeg DecodeScaledJpeg(QIODevice &source);

// The same for a file.
ScaledJpeg DecodeScaledJpegFile(const QString &path);

// Encodes an RGB picture at quality 90 with baseline tables; progressive on request.
QByteArray EncodePictureJpeg(const RgbImage &image, bool progressive);
