#pragma once

// The orientation a camera records in a JPEG's Exif block: phones store nearly every
// photo sideways and say in the Exif block how it is to be turned. Read from the
// bytes of one APP1 segment, which may be anything.

#include <cstddef>

// How the stored picture is turned to stand upright: 1 to 8 as TIFF tag 0x0112 of the
// first IFD gives it, 1 (as it is) when the tag is missing, damaged or out of range;
// 0 when the segment is no Exif block at all (XMP, for instance).
int ExifOrientation(const unsigned char *segment, std::size_t size);

// How a picture with that orientation is read to stand upright: an upright row is a
// stored column when transposed; flipped rows are taken bottom up, flipped columns
// right to left.
struct PictureTurn
{
    bool transposed = false;
    bool flipRows = false;
    bool flipColumns = false;
};
PictureTurn TurnForOrientation(int orientation);
