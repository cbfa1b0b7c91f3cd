#pragma once

// A walk over the markers of a JPEG file, without decoding anything: the frame, every
// scan and whether the end marker is there. It tells how much work libjpeg would do
// before it does any, and whether a file that ends early has all its data.

#include <cstdint>

class QIODevice;

struct JpegOutline
{
    bool frame = false; // a frame header was found (the rest is only valid with one)
    int width = 0;
    int height = 0;
    bool progressive = false;
    bool arithmetic = false;
    // libjpeg keeps the whole picture's coefficients: progressive, or a first scan
    // that leaves out a component.
    bool multipleScans = false;
    int scans = 0;
    // Blocks of 8 x 8 coefficients the decoder goes through, summed over every scan.
    std::uint64_t scanBlocks = 0;
    // Blocks of the whole-picture coefficient buffer of a multi-scan file (libjpeg's
    // padding included).
    std::uint64_t pictureBlocks = 0;
    // The scans give every coefficient of every component down to its last bit, so a
    // file that ends after them lacks nothing.
    bool complete = false;
    bool endMarker = false;
};

// Reads source from its current position to the end marker (or the end of the data)
// and puts the position back. For a random-access device only.
JpegOutline ReadJpegOutline(QIODevice &source);
