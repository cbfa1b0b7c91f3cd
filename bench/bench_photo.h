#pragma once

// Photograph-like JPEG files for the benchmarks, and the two decodes libjpeg itself
// offers that the picture import is measured against.

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <vector>

// Pixels that compress like a camera photograph: smooth light, textured surfaces,
// hard edges and sensor noise. About 2.5 bits a pixel at quality 90.
std::vector<unsigned char> PhotoLikeRgb(int width, int height, unsigned seed);

// Encodes RGB rows with libjpeg's defaults (4:2:0) at the given quality; progressive
// with libjpeg's standard scan script on request.
QByteArray EncodePhotoJpeg(
    const std::vector<unsigned char> &rgb, int width, int height, int quality, bool progressive);

struct ReferenceDecode
{
    int width = 0; // of the decoded picture
    int height = 0;
    std::size_t checksum = 0; // keeps the compiler from dropping the work
};

// Decodes the file with libjpeg's default settings to RGB at full size
// (scaleDenominator 1) or reduced by the DCT scaling (8 for an eighth), into one row
// reused for every row, or with keepPicture into a buffer for the whole picture, as
// a naive import would hold it. Throws std::runtime_error when libjpeg gives up.
ReferenceDecode DecodeReference(
    const QString &path, int scaleDenominator, bool keepPicture = false);
