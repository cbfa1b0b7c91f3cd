#pragma once

// JPEG files made on the spot with libjpeg for the picture tests, and for benchmarks
// and fuzzing later: every kind of file the import must take or refuse, without
// sample files of unknown origin in the tree.

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

enum class FixtureColour {
    Rgb, // 3 samples a pixel, stored as YCbCr
    Grey, // 1 sample a pixel
    Cmyk, // 4 samples a pixel, stored as given
    Ycck, // 4 CMYK samples a pixel, stored transformed to YCCK
};

struct FixtureOptions
{
    FixtureColour colour = FixtureColour::Rgb;
    int quality = 90;
    bool progressive = false;
    bool componentScans = false; // sequential, but one scan for each component
    bool arithmetic = false;
    int restartRows = 0;
    bool adobeMarker = true; // CMYK only; YCCK needs it
    // Horizontal and vertical sampling factor of each component.
    std::array<std::array<int, 2>, 4> sampling = { { { 2, 2 }, { 1, 1 }, { 1, 1 }, { 1, 1 } } };
    // A progressive scan script of our own; empty for libjpeg's.
    std::vector<jpeg_scan_info> scans;
};

// Encodes interleaved samples (1, 3 or 4 a pixel, as the colour says). Empty when
// libjpeg refuses the options.
QByteArray EncodeFixture(const std::vector<unsigned char> &samples, int width, int height,
    const FixtureOptions &options = {});

int FixtureComponents(FixtureColour colour);

// Pseudo-random samples: every row and column differs from its neighbours, so a pixel
// taken from the wrong place shows.
std::vector<unsigned char> NoiseSamples(int width, int height, int components, unsigned seed);
// Gradients with a little noise: compresses like a photograph.
std::vector<unsigned char> PhotoSamples(int width, int height, unsigned seed);
std::vector<unsigned char> SolidSamples(
    int width, int height, const std::vector<unsigned char> &pixel);

struct DecodedFixture
{
    bool ok = false;
    QString error;
    int width = 0; // of the decoded samples
    int height = 0;
    int components = 0; // in the file
    J_COLOR_SPACE colourSpace = JCS_UNKNOWN; // in the file
    bool progressive = false;
    bool multipleScans = false;
    bool adobeMarker = false;
    std::array<unsigned, 64> firstQuantTable {}; // natural order
    int outComponents = 0; // 3 (RGB) for grey and colour files, 4 (raw CMYK) otherwise
    std::vector<unsigned char> samples; // the whole picture at full size
};

// Full-size decode with libjpeg's default settings: the reference the import is
// measured against. A scale denominator of 2, 4 or 8 decodes reduced instead.
DecodedFixture DecodeFixture(const QByteArray &jpeg, int scaleDenominator = 1);

// Offset of the first marker FF code, or -1.
qsizetype FindMarker(const QByteArray &jpeg, unsigned char code);
// The file with the size in its frame header replaced.
QByteArray WithFrameSize(QByteArray jpeg, int width, int height);
// An Exif block ("Exif\0\0" and its TIFF structure, in either byte order) whose first
// IFD holds the orientation tag between two others.
QByteArray ExifBlock(int orientation, bool bigEndian);
// The file with an APP1 segment holding payload put right after its start marker.
QByteArray WithApp1(QByteArray jpeg, const QByteArray &payload);
// A progressive scan script of three components that refines every coefficient of
// every component one bit at a time: valid, and far over a sane number of scans.
std::vector<jpeg_scan_info> ExcessiveScanScript();
// A progressive script: the DC coefficients of all components and then each of bands
// AC bands of every component, each first without its low bits bits and then refined
// one bit at a time. 1 + bits + components x bands x (1 + bits) scans, all valid: what
// an encoder that likes many scans might write.
std::vector<jpeg_scan_info> BandedScanScript(int components, int bands, int bits);
// The first count scans of the longest valid script for one component (704 scans):
// every coefficient sent on its own from its tenth bit, then refined bit by bit.
std::vector<jpeg_scan_info> LongestGreyScanScript(int count);
// A valid file that makes a decoder go over its picture again and again: uniform grey,
// arithmetic-coded (so every scan takes next to no bytes) with the first scans of the
// longest script. Encoding takes as long as decoding, so keep it small in tests.
QByteArray ScanBomb(int scans, int width, int height);

struct LibjpegScans
{
    bool ok = false;
    int scans = 0;
    std::uint64_t blocks = 0; // the blocks of every scan, as libjpeg sets each scan up
    // The blocks of the components, each rounded up to whole MCUs.
    std::uint64_t pictureBlocks = 0;
};
// Reads the file scan by scan in libjpeg's buffered-image mode.
LibjpegScans CountLibjpegScans(const QByteArray &jpeg);

bool WriteFileBytes(const QString &path, const QByteArray &bytes);
QByteArray ReadFileBytes(const QString &path);
