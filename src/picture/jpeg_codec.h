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
// Progressive and other multi-scan pictures keep all their coefficients in memory
// (two bytes per coefficient, 64 per block); above this they are refused.
inline constexpr std::size_t kMaxCoefficientBytes = std::size_t { 320 } << 20;
// Honest progressive files have about ten scans; thousands only serve to make the
// decoder spin.
inline constexpr int kMaxScans = 500;

struct ScaledJpeg
{
    RgbImage image; // reduced to ComputeScaledSize of the source
    bool multipleScans = false; // the source was progressive (or otherwise multi-scan)
};

// Decodes the JPEG read from source (open for reading) to its reduced size, picking
// the nearest source pixel for every reduced one. Only the source rows that are
// picked are converted to colour; no whole-size image is ever held. Throws
// LentarError for anything that is not a whole, sane JPEG.
ScaledJpeg DecodeScaledJpeg(QIODevice &source);

// The same for a file.
ScaledJpeg DecodeScaledJpegFile(const QString &path);

// Encodes an RGB picture at quality 90 with baseline tables; progressive on request.
QByteArray EncodePictureJpeg(const RgbImage &image, bool progressive);
