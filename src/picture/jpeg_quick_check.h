#pragma once

// A quick way to find that a JPEG is whole, for the pictures a lentar carries: the
// common kinds (8-bit, grey or three colour components with the usual sampling,
// Huffman-coded, baseline or progressive) are walked marker by marker and every
// coefficient of every scan is entropy-decoded, without storing a coefficient or
// making a pixel. It only ever says "whole"; anything it does not know, or any doubt
// (a code that means nothing, the data running out, a stray byte, an odd progression),
// leaves the verdict to libjpeg, which then decodes the file and names the fault.
// So what it calls whole is exactly what libjpeg would decode without a warning that
// loses data.

#include <QByteArray>

struct QuickJpegCheck
{
    bool whole = false; // false: not known, ask libjpeg
    int width = 0;
    int height = 0;
};

// Pictures with a side over maxSide, or with more than maxScans scans, are left to
// libjpeg too.
QuickJpegCheck CheckJpegQuickly(const QByteArray &jpeg, int maxSide, int maxScans);
