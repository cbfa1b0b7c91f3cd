#include "bench_photo.h"

#include <QFile>

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

// xorshift: fast enough to fill 24 megapixels in well under a second.
struct Random
{
    std::uint64_t state;
    explicit Random(unsigned seed)
        : state(0x9E3779B97F4A7C15ull ^ seed)
    {
        next();
    }
    std::uint32_t next()
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return std::uint32_t(state >> 32);
    }
    int below(int n) { return int(next() % unsigned(n)); }
};

// Smooth random relief: values on a grid of cell x cell pixels, bilinear between them.
class ValueNoise
{
public:
    ValueNoise(int width, int height, int cell, int amplitude, Random &random)
        : cell_(cell)
        , columns_(width / cell + 2)
    {
        const int rows = height / cell + 2;
        grid_.resize(std::size_t(columns_) * std::size_t(rows));
        for (int &v : grid_)
            v = random.below(2 * amplitude + 1) - amplitude;
    }

    // Fills line with the relief of row y, in 1/256 units.
    void row(int y, std::vector<int> &line) const
    {
        const int gy = y / cell_;
        const int fy = (y % cell_) * 256 / cell_;
        const int *top = grid_.data() + std::size_t(gy) * std::size_t(columns_);
        const int *bottom = top + columns_;
        for (std::size_t x = 0; x < line.size(); ++x) {
            const int gx = int(x) / cell_;
            const int fx = (int(x) % cell_) * 256 / cell_;
            const int upper = top[gx] * (256 - fx) + top[gx + 1] * fx;
            const int lower = bottom[gx] * (256 - fx) + bottom[gx + 1] * fx;
            line[x] = (upper * (256 - fy) + lower * fy) >> 8;
        }
    }

private:
    int cell_;
    int columns_;
    std::vector<int> grid_;
};

struct JpegError
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<JpegError *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

struct Encoder
{
    jpeg_compress_struct cinfo {};
    JpegError err {};
    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    ~Encoder()
    {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
};

bool RunEncode(Encoder &e, const std::vector<unsigned char> &rgb, int width, int height,
    int quality, bool progressive)
{
    if (setjmp(e.err.jump) != 0)
        return false;
    jpeg_create_compress(&e.cinfo);
    jpeg_mem_dest(&e.cinfo, &e.buffer, &e.size);
    e.cinfo.image_width = JDIMENSION(width);
    e.cinfo.image_height = JDIMENSION(height);
    e.cinfo.input_components = 3;
    e.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&e.cinfo);
    jpeg_set_quality(&e.cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&e.cinfo);
    jpeg_start_compress(&e.cinfo, TRUE);
    const std::size_t stride = std::size_t(width) * 3;
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE *>(rgb.data() + e.cinfo.next_scanline * stride);
        jpeg_write_scanlines(&e.cinfo, &row, 1);
    }
    jpeg_finish_compress(&e.cinfo);
    return true;
}

// libjpeg's own stdio source reads 4 KB at a time, which keeps its Huffman decoder
// off the fast path that needs a few kilobytes at hand; the references read 64 KB
// at a time, as the import does, so that they are the fastest decodes there are.
constexpr std::size_t kReadSize = 64 * 1024;

struct FileSource
{
    jpeg_source_mgr pub;
    std::FILE *file;
    JOCTET buffer[kReadSize];
};

void InitSource(j_decompress_ptr) { }

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto *src = reinterpret_cast<FileSource *>(cinfo->src);
    std::size_t count = std::fread(src->buffer, 1, kReadSize, src->file);
    if (count == 0) {
        // As libjpeg's own sources do: a fake end of image lets the decoder finish.
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        count = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = count;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    auto *src = reinterpret_cast<FileSource *>(cinfo->src);
    while (count > long(src->pub.bytes_in_buffer)) {
        count -= long(src->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    if (count > 0) {
        src->pub.next_input_byte += count;
        src->pub.bytes_in_buffer -= std::size_t(count);
    }
}

void TermSource(j_decompress_ptr) { }

struct Decoder
{
    jpeg_decompress_struct cinfo {};
    JpegError err {};
    std::FILE *file = nullptr;
    FileSource source {};
    std::vector<JSAMPLE> row;
    ~Decoder()
    {
        jpeg_destroy_decompress(&cinfo);
        if (file != nullptr)
            std::fclose(file);
    }
};

bool RunDecode(Decoder &d, int scaleDenominator, bool keepPicture, ReferenceDecode &out)
{
    if (setjmp(d.err.jump) != 0)
        return false;
    jpeg_create_decompress(&d.cinfo);
    d.source.pub.init_source = InitSource;
    d.source.pub.fill_input_buffer = FillInputBuffer;
    d.source.pub.skip_input_data = SkipInputData;
    d.source.pub.resync_to_restart = jpeg_resync_to_restart;
    d.source.pub.term_source = TermSource;
    d.source.file = d.file;
    d.cinfo.src = &d.source.pub;
    jpeg_read_header(&d.cinfo, TRUE);
    d.cinfo.out_color_space = JCS_RGB;
    d.cinfo.scale_num = 1;
    d.cinfo.scale_denom = unsigned(scaleDenominator);
    jpeg_start_decompress(&d.cinfo);
    out.width = int(d.cinfo.output_width);
    out.height = int(d.cinfo.output_height);
    const std::size_t stride
        = std::size_t(d.cinfo.output_width) * std::size_t(d.cinfo.output_components);
    d.row.resize(keepPicture ? stride * d.cinfo.output_height : stride);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        JSAMPROW row = d.row.data() + (keepPicture ? d.cinfo.output_scanline * stride : 0);
        jpeg_read_scanlines(&d.cinfo, &row, 1);
        out.checksum += row[d.cinfo.output_scanline % stride];
    }
    jpeg_finish_decompress(&d.cinfo);
    return true;
}

} // namespace

std::vector<unsigned char> PhotoLikeRgb(int width, int height, unsigned seed)
{
    Random random(seed);
    // Surfaces: broad shading, then a finer texture like foliage or fabric.
    const ValueNoise light(width, height, std::max(width / 6, 8), 70, random);
    const ValueNoise texture(width, height, 4, 40, random);
    const ValueNoise tint(width, height, std::max(width / 10, 8), 40, random);

    // Objects: rectangles of their own brightness and colour, added through a table of
    // corner steps that a running sum turns into flat patches with hard edges.
    const std::size_t stride = std::size_t(width) + 1;
    std::vector<int> steps(stride * std::size_t(height + 1) * 2, 0);
    for (int i = 0; i < 60; ++i) {
        const int x0 = random.below(width);
        const int y0 = random.below(height);
        const int x1 = std::min(width, x0 + 1 + random.below(std::max(width / 4, 1)));
        const int y1 = std::min(height, y0 + 1 + random.below(std::max(height / 4, 1)));
        const int brightness = random.below(81) - 40;
        const int colour = random.below(61) - 30;
        for (int c = 0; c < 2; ++c) {
            int *plane = steps.data() + std::size_t(c) * stride * std::size_t(height + 1);
            const int v = c == 0 ? brightness : colour;
            plane[std::size_t(y0) * stride + std::size_t(x0)] += v;
            plane[std::size_t(y0) * stride + std::size_t(x1)] -= v;
            plane[std::size_t(y1) * stride + std::size_t(x0)] -= v;
            plane[std::size_t(y1) * stride + std::size_t(x1)] += v;
        }
    }

    std::vector<unsigned char> rgb(std::size_t(width) * std::size_t(height) * 3);
    const auto columns = std::size_t(width);
    std::vector<int> lightRow(columns), textureRow(columns), tintRow(columns);
    std::vector<int> objectLight(columns, 0), objectColour(columns, 0);
    const int *lightSteps = steps.data();
    const int *colourSteps = steps.data() + stride * std::size_t(height + 1);
    unsigned char *out = rgb.data();
    for (int y = 0; y < height; ++y) {
        light.row(y, lightRow);
        texture.row(y, textureRow);
        tint.row(y, tintRow);
        int runLight = 0;
        int runColour = 0;
        for (int x = 0; x < width; ++x) {
            // Column sums accumulate down the rows, the running sum across the row.
            objectLight[std::size_t(x)] += lightSteps[std::size_t(y) * stride + std::size_t(x)];
            objectColour[std::size_t(x)] += colourSteps[std::size_t(y) * stride + std::size_t(x)];
            runLight += objectLight[std::size_t(x)];
            runColour += objectColour[std::size_t(x)];
            const int noise = random.below(15) - 7;
            const int luma = 120 + (lightRow[std::size_t(x)] + textureRow[std::size_t(x)]) / 256
                + runLight + noise + (y * 40) / height;
            const int chroma = tintRow[std::size_t(x)] / 256 + runColour;
            *out++ = static_cast<unsigned char>(std::clamp(luma + chroma, 0, 255));
            *out++ = static_cast<unsigned char>(std::clamp(luma - chroma / 3, 0, 255));
            *out++ = static_cast<unsigned char>(
                std::clamp(luma - chroma + random.below(3) - 1, 0, 255));
        }
    }
    return rgb;
}

QByteArray EncodePhotoJpeg(
    const std::vector<unsigned char> &rgb, int width, int height, int quality, bool progressive)
{
    auto e = std::make_unique<Encoder>();
    e->cinfo.err = jpeg_std_error(&e->err.pub);
    e->err.pub.error_exit = ErrorExit;
    if (!RunEncode(*e, rgb, width, height, quality, progressive))
        throw std::runtime_error(std::string("libjpeg: ") + e->err.message);
    return QByteArray(reinterpret_cast<const char *>(e->buffer), qsizetype(e->size));
}

ReferenceDecode DecodeReference(const QString &path, int scaleDenominator, bool keepPicture)
{
    auto d = std::make_unique<Decoder>();
    d->cinfo.err = jpeg_std_error(&d->err.pub);
    d->err.pub.error_exit = ErrorExit;
    d->file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (d->file == nullptr)
        throw std::runtime_error("cannot open " + path.toStdString());
    ReferenceDecode out;
    if (!RunDecode(*d, scaleDenominator, keepPicture, out))
        throw std::runtime_error(std::string("libjpeg: ") + d->err.message);
    return out;
}
