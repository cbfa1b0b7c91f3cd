#include "jpeg_fixtures.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <memory>
#include <random>

namespace {

struct FixtureError
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void FixtureErrorExit(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<FixtureError *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void Silent(j_common_ptr, int) { }

jpeg_error_mgr *InstallFixtureError(FixtureError &err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = FixtureErrorExit;
    err.pub.emit_message = Silent;
    err.message[0] = '\0';
    return &err.pub;
}

struct EncodeState
{
    jpeg_compress_struct cinfo;
    FixtureError err;
    unsigned char *buffer;
    unsigned long size;
    std::vector<jpeg_scan_info> scans;
    ~EncodeState()
    {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
};

bool RunEncode(EncodeState &s, const std::vector<unsigned char> &samples, int width, int height,
    const FixtureOptions &options)
{
    if (setjmp(s.err.jump) != 0)
        return false;
    jpeg_create_compress(&s.cinfo);
    jpeg_mem_dest(&s.cinfo, &s.buffer, &s.size);
    s.cinfo.image_width = JDIMENSION(width);
    s.cinfo.image_height = JDIMENSION(height);
    s.cinfo.input_components = FixtureComponents(options.colour);
    switch (options.colour) {
    case FixtureColour::Rgb:
        s.cinfo.in_color_space = JCS_RGB;
        break;
    case FixtureColour::Grey:
        s.cinfo.in_color_space = JCS_GRAYSCALE;
        break;
    case FixtureColour::Cmyk:
    case FixtureColour::Ycck:
        s.cinfo.in_color_space = JCS_CMYK;
        break;
    }
    jpeg_set_defaults(&s.cinfo);
    if (options.colour == FixtureColour::Ycck)
        jpeg_set_colorspace(&s.cinfo, JCS_YCCK);
    if (options.colour == FixtureColour::Cmyk)
        s.cinfo.write_Adobe_marker = options.adobeMarker ? TRUE : FALSE;
    for (int ci = 0; ci < s.cinfo.num_components; ++ci) {
        s.cinfo.comp_info[ci].h_samp_factor = options.sampling[ci][0];
        s.cinfo.comp_info[ci].v_samp_factor = options.sampling[ci][1];
    }
    jpeg_set_quality(&s.cinfo, options.quality, TRUE);
    s.cinfo.arith_code = options.arithmetic ? TRUE : FALSE;
    s.cinfo.restart_in_rows = options.restartRows;

    s.scans = options.scans;
    if (s.scans.empty() && options.componentScans)
        for (int ci = 0; ci < s.cinfo.num_components; ++ci)
            s.scans.push_back({ 1, { ci, 0, 0, 0 }, 0, 63, 0, 0 });
    if (!s.scans.empty()) {
        s.cinfo.scan_info = s.scans.data();
        s.cinfo.num_scans = int(s.scans.size());
    } else if (options.progressive) {
        jpeg_simple_progression(&s.cinfo);
    }

    jpeg_start_compress(&s.cinfo, TRUE);
    const std::size_t stride = std::size_t(width) * std::size_t(s.cinfo.input_components);
    while (s.cinfo.next_scanline < s.cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE *>(samples.data() + s.cinfo.next_scanline * stride);
        jpeg_write_scanlines(&s.cinfo, &row, 1);
    }
    jpeg_finish_compress(&s.cinfo);
    return true;
}

struct DecodeState
{
    jpeg_decompress_struct cinfo;
    FixtureError err;
    ~DecodeState() { jpeg_destroy_decompress(&cinfo); }
};

bool RunDecode(DecodeState &s, const QByteArray &jpeg, int scaleDenominator, DecodedFixture &out)
{
    if (setjmp(s.err.jump) != 0)
        return false;
    jpeg_create_decompress(&s.cinfo);
    jpeg_mem_src(&s.cinfo, reinterpret_cast<const unsigned char *>(jpeg.constData()),
        static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&s.cinfo, TRUE);
    out.width = int(s.cinfo.image_width);
    out.height = int(s.cinfo.image_height);
    out.components = s.cinfo.num_components;
    out.colourSpace = s.cinfo.jpeg_color_space;
    out.progressive = s.cinfo.progressive_mode;
    out.multipleScans = jpeg_has_multiple_scans(&s.cinfo);
    out.adobeMarker = s.cinfo.saw_Adobe_marker;
    if (s.cinfo.quant_tbl_ptrs[0] != nullptr)
        for (int i = 0; i < 64; ++i)
            out.firstQuantTable[i] = s.cinfo.quant_tbl_ptrs[0]->quantval[i];
    const bool fourComponents
        = s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK;
    s.cinfo.out_color_space = fourComponents ? JCS_CMYK : JCS_RGB;
    s.cinfo.scale_num = 1;
    s.cinfo.scale_denom = unsigned(scaleDenominator);
    jpeg_start_decompress(&s.cinfo);
    out.width = int(s.cinfo.output_width);
    out.height = int(s.cinfo.output_height);
    out.outComponents = s.cinfo.output_components;
    const std::size_t stride = std::size_t(out.width) * std::size_t(out.outComponents);
    out.samples.assign(stride * std::size_t(out.height), 0);
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        JSAMPROW row = out.samples.data() + s.cinfo.output_scanline * stride;
        jpeg_read_scanlines(&s.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&s.cinfo);
    return true;
}

} // namespace

int FixtureComponents(FixtureColour colour)
{
    switch (colour) {
    case FixtureColour::Grey:
        return 1;
    case FixtureColour::Rgb:
        return 3;
    case FixtureColour::Cmyk:
    case FixtureColour::Ycck:
        return 4;
    }
    return 3;
}

QByteArray EncodeFixture(
    const std::vector<unsigned char> &samples, int width, int height, const FixtureOptions &options)
{
    auto state = std::make_unique<EncodeState>();
    state->cinfo.err = InstallFixtureError(state->err);
    if (!RunEncode(*state, samples, width, height, options))
        return {};
    return QByteArray(reinterpret_cast<const char *>(state->buffer), qsizetype(state->size));
}

std::vector<unsigned char> NoiseSamples(int width, int height, int components, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<unsigned char> samples(
        std::size_t(width) * std::size_t(height) * std::size_t(components));
    for (unsigned char &sample : samples)
        sample = static_cast<unsigned char>(random() & 0xFF);
    return samples;
}

std::vector<unsigned char> PhotoSamples(int width, int height, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<unsigned char> samples(std::size_t(width) * std::size_t(height) * 3);
    std::size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int noise = int(random() % 9) - 4;
            samples[i++] = static_cast<unsigned char>(
                std::clamp(255 * x / std::max(width, 1) + noise, 0, 255));
            samples[i++] = static_cast<unsigned char>(
                std::clamp(255 * y / std::max(height, 1) + noise, 0, 255));
            samples[i++]
                = static_cast<unsigned char>(std::clamp(128 + ((x ^ y) & 63) + noise, 0, 255));
        }
    }
    return samples;
}

std::vector<unsigned char> SolidSamples(
    int width, int height, const std::vector<unsigned char> &pixel)
{
    std::vector<unsigned char> samples;
    samples.reserve(std::size_t(width) * std::size_t(height) * pixel.size());
    for (int i = 0; i < width * height; ++i)
        samples.insert(samples.end(), pixel.begin(), pixel.end());
    return samples;
}

DecodedFixture DecodeFixture(const QByteArray &jpeg, int scaleDenominator)
{
    DecodedFixture out;
    auto state = std::make_unique<DecodeState>();
    state->cinfo.err = InstallFixtureError(state->err);
    out.ok = RunDecode(*state, jpeg, scaleDenominator, out);
    if (!out.ok)
        out.error = QString::fromLatin1(state->err.message);
    return out;
}

qsizetype FindMarker(const QByteArray &jpeg, unsigned char code)
{
    for (qsizetype i = 0; i + 1 < jpeg.size(); ++i)
        if (static_cast<unsigned char>(jpeg[i]) == 0xFF
            && static_cast<unsigned char>(jpeg[i + 1]) == code)
            return i;
    return -1;
}

QByteArray ExifBlock(int orientation, bool bigEndian)
{
    QByteArray block("Exif\0\0", 6);
    const auto put = [&](unsigned value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            block.append(char(value >> 8 * (bigEndian ? bytes - 1 - i : i)));
    };
    block.append(bigEndian ? "MM" : "II");
    put(42, 2);
    put(8, 4); // the first IFD right after the header
    put(3, 2);
    // Compression, orientation and resolution unit, each a SHORT held in its entry.
    for (const unsigned tag : { 0x0103u, 0x0112u, 0x0128u }) {
        put(tag, 2);
        put(3, 2);
        put(1, 4);
        put(tag == 0x0112 ? unsigned(orientation) : 2u, 2);
        put(0, 2);
    }
    put(0, 4); // no next IFD
    return block;
}

QByteArray WithApp1(QByteArray jpeg, const QByteArray &payload)
{
    const qsizetype length = payload.size() + 2;
    return jpeg.insert(
        2, QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload);
}

QByteArray WithFrameSize(QByteArray jpeg, int width, int height)
{
    for (unsigned char sof : { 0xC0, 0xC1, 0xC2, 0xC9, 0xCA }) {
        const qsizetype at = FindMarker(jpeg, sof);
        if (at < 0)
            continue;
        // FF Cn, length (2), precision (1), height (2), width (2)
        jpeg[at + 5] = char(height >> 8);
        jpeg[at + 6] = char(height & 0xFF);
        jpeg[at + 7] = char(width >> 8);
        jpeg[at + 8] = char(width & 0xFF);
        break;
    }
    return jpeg;
}

std::vector<jpeg_scan_info> ExcessiveScanScript()
{
    std::vector<jpeg_scan_info> scans;
    // DC of all three components, then refined bit by bit.
    scans.push_back({ 3, { 0, 1, 2, 0 }, 0, 0, 0, 3 });
    for (int bit = 3; bit > 0; --bit)
        scans.push_back({ 3, { 0, 1, 2, 0 }, 0, 0, bit, bit - 1 });
    // Every AC coefficient of every component on its own, first with its top bits
    // and then refined one bit at a time.
    for (int ci = 0; ci < 3; ++ci) {
        for (int k = 1; k < 64; ++k) {
            scans.push_back({ 1, { ci, 0, 0, 0 }, k, k, 0, 2 });
            scans.push_back({ 1, { ci, 0, 0, 0 }, k, k, 2, 1 });
            scans.push_back({ 1, { ci, 0, 0, 0 }, k, k, 1, 0 });
        }
    }
    return scans;
}

std::vector<jpeg_scan_info> BandedScanScript(int components, int bands, int bits)
{
    std::vector<jpeg_scan_info> scans;
    jpeg_scan_info dc { components, { 0, 1, 2, 3 }, 0, 0, 0, bits };
    scans.push_back(dc);
    for (int bit = bits; bit > 0; --bit)
        scans.push_back({ components, { 0, 1, 2, 3 }, 0, 0, bit, bit - 1 });
    for (int ci = 0; ci < components; ++ci) {
        for (int band = 0; band < bands; ++band) {
            const int first = 1 + band * 63 / bands;
            const int last = (band + 1) * 63 / bands;
            scans.push_back({ 1, { ci, 0, 0, 0 }, first, last, 0, bits });
            for (int bit = bits; bit > 0; --bit)
                scans.push_back({ 1, { ci, 0, 0, 0 }, first, last, bit, bit - 1 });
        }
    }
    return scans;
}

std::vector<jpeg_scan_info> LongestGreyScanScript(int count)
{
    // libjpeg allows successive approximation from bit 10 of an 8-bit picture.
    constexpr int kTopBit = 10;
    std::vector<jpeg_scan_info> scans;
    for (int k = 0; k < 64; ++k) {
        scans.push_back({ 1, { 0, 0, 0, 0 }, k, k, 0, kTopBit });
        for (int bit = kTopBit; bit > 0; --bit)
            scans.push_back({ 1, { 0, 0, 0, 0 }, k, k, bit, bit - 1 });
    }
    scans.resize(std::min(scans.size(), std::size_t(count)));
    return scans;
}

QByteArray ScanBomb(int scans, int width, int height)
{
    FixtureOptions options;
    options.colour = FixtureColour::Grey;
    options.arithmetic = true;
    options.scans = LongestGreyScanScript(scans);
    return EncodeFixture(SolidSamples(width, height, { 128 }), width, height, options);
}

namespace {

struct ScanCountState
{
    jpeg_decompress_struct cinfo;
    FixtureError err;
    ~ScanCountState() { jpeg_destroy_decompress(&cinfo); }
};

bool RunScanCount(ScanCountState &s, const QByteArray &jpeg, LibjpegScans &out)
{
    if (setjmp(s.err.jump) != 0)
        return false;
    jpeg_create_decompress(&s.cinfo);
    jpeg_mem_src(&s.cinfo, reinterpret_cast<const unsigned char *>(jpeg.constData()),
        static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&s.cinfo, TRUE);
    s.cinfo.buffered_image = TRUE;
    jpeg_start_decompress(&s.cinfo);
    for (int ci = 0; ci < s.cinfo.num_components; ++ci) {
        const jpeg_component_info &c = s.cinfo.comp_info[ci];
        const auto roundUp = [](unsigned blocks, int factor) {
            return std::uint64_t(
                (blocks + unsigned(factor) - 1) / unsigned(factor) * unsigned(factor));
        };
        out.pictureBlocks += roundUp(c.width_in_blocks, c.h_samp_factor)
            * roundUp(c.height_in_blocks, c.v_samp_factor);
    }
    const auto addScan = [&] {
        ++out.scans;
        out.blocks += std::uint64_t(s.cinfo.MCUs_per_row) * s.cinfo.MCU_rows_in_scan
            * unsigned(s.cinfo.blocks_in_MCU);
    };
    addScan();
    for (;;) {
        const int status = jpeg_consume_input(&s.cinfo);
        if (status == JPEG_REACHED_EOI || status == JPEG_SUSPENDED)
            break;
        if (status == JPEG_REACHED_SOS)
            addScan();
    }
    return true;
}

} // namespace

LibjpegScans CountLibjpegScans(const QByteArray &jpeg)
{
    LibjpegScans out;
    auto state = std::make_unique<ScanCountState>();
    state->cinfo.err = InstallFixtureError(state->err);
    out.ok = RunScanCount(*state, jpeg, out);
    return out;
}

bool WriteFileBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
