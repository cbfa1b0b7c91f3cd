#include "picture/exif_orientation.h"
#include "picture/jpeg_codec.h"
#include "picture/jpeg_error.h"
#include "picture/jpeg_outline.h"

#include "codec/error.h"
#include "platform/files.h"

#include <QFile>
#include <QIODevice>

#include <jerror.h>
#ifdef LENTAR_HAVE_JPEGINT
// For the table of inverse DCTs libjpeg's coefficient controller calls; see
// SparseInverseDct. Where the header is missing (src/picture/CMakeLists.txt checks),
// every block is transformed: the same pixels, more slowly.
#include <jpegint.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr qint64 kSourceBufferSize = 64 * 1024;
// Room for the decoder's own buffers on top of the coefficients.
constexpr long kDecoderWorkingMemory = 32L << 20;

const QString kOpenFailed = QStringLiteral("Не удалось открыть изображение: ");

// A device that failed to read says why in English; the reason shown is the
// system's, in the program's words.
QString ReadFailureText(int code)
{
    return code != 0 ? SystemErrorText(code) : QStringLiteral("ошибка чтения файла");
}

// Feeds libjpeg from any QIODevice, so every path Qt can open works and the file is
// read piece by piece instead of being held whole.
struct DeviceSource
{
    jpeg_source_mgr pub; // first, so libjpeg's pointer to it is a pointer to us
    QIODevice *device;
    bool startOfFile;
    bool readFailed;
    int readErrno; // why the read failed, taken before anything else can change errno
    JOCTET buffer[kSourceBufferSize];
};

DeviceSource &Source(j_decompress_ptr cinfo)
{
    return *reinterpret_cast<DeviceSource *>(cinfo->src);
}

void InitSource(j_decompress_ptr cinfo)
{
    Source(cinfo).startOfFile = true;
}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    DeviceSource &src = Source(cinfo);
    qint64 count = src.device->read(reinterpret_cast<char *>(src.buffer), kSourceBufferSize);
    if (count < 0) {
        src.readFailed = true;
        src.readErrno = errno;
        ERREXIT(cinfo, JERR_FILE_READ);
    }
    if (count == 0) {
        if (src.startOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // Like libjpeg's own sources: a fake end-of-image marker lets the decoder
        // finish; our error manager decides whether the shortfall is fatal.
        src.buffer[0] = 0xFF;
        src.buffer[1] = JPEG_EOI;
        count = 2;
    }
    src.pub.next_input_byte = src.buffer;
    src.pub.bytes_in_buffer = static_cast<size_t>(count);
    src.startOfFile = false;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    DeviceSource &src = Source(cinfo);
    auto remaining = static_cast<size_t>(count);
    while (remaining > src.pub.bytes_in_buffer) {
        remaining -= src.pub.bytes_in_buffer;
        FillInputBuffer(cinfo);
    }
    src.pub.next_input_byte += remaining;
    src.pub.bytes_in_buffer -= remaining;
}

void TermSource(j_decompress_ptr) { }

void ProgressMonitor(j_common_ptr cinfo);

#ifdef LENTAR_HAVE_JPEGINT
// The blocks of one component whose samples some kept pixel is made from, and the
// state of SparseInverseDct for it.
struct SparseComponent
{
    inverse_DCT_method_ptr transform = nullptr; // libjpeg's own
    std::vector<unsigned char> neededRows; // by block row of the component
    std::vector<unsigned char> neededColumns; // by block column
    JDIMENSION iMcuRow = ~JDIMENSION(0); // the iMCU row being transformed
    JSAMPARRAY firstOutput = nullptr; // where its first block row goes
    JSAMPARRAY rowOutput = nullptr; // where the block row being transformed goes
    const unsigned char *rowColumns = nullptr; // its needed columns, or null for none
    bool wholeRow = true; // every block of that row is transformed
};
#endif

struct DecodeJob
{
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    DeviceSource source;
    jpeg_progress_mgr progress;
    const JpegOutline *outline; // null when the source could not be read ahead
    bool tooLarge;
    bool multipleScans;
    // Blocks the entropy decoder has gone through so far, and how many it may.
    std::uint64_t scanBlocks;
    std::uint64_t scanBlockBudget;
    int countedScan;
    bool arithmetic;
    bool sawEndMarker; // inside a scan's data, by the arithmetic decoder
    int orientation; // from the first Exif block; 0 until one is read
    std::vector<unsigned char> segment; // an APP1 segment being read
    PictureTurn turn;
    bool cmyk;
    std::vector<JSAMPLE> row; // one source row as libjpeg delivers it
    std::vector<std::size_t> columns; // offset in row of the sample each output column takes
    std::vector<JDIMENSION> keptRows; // the source row each output row takes
    std::vector<JDIMENSION> keptColumns; // the source column each output column takes
#ifdef LENTAR_HAVE_JPEGINT
    std::array<SparseComponent, MAX_COMPONENTS> sparse;
#endif
    RgbImage image;

    DecodeJob() = default;
    DecodeJob(const DecodeJob &) = delete;
    DecodeJob &operator=(const DecodeJob &) = delete;
    ~DecodeJob()
    {
        jpeg_destroy_decompress(&cinfo);
    }
};

DecodeJob &Job(j_common_ptr cinfo)
{
    return *static_cast<DecodeJob *>(cinfo->client_data);
}

JOCTET NextByte(j_decompress_ptr cinfo)
{
    jpeg_source_mgr &src = *cinfo->src;
    if (src.bytes_in_buffer == 0)
        src.fill_input_buffer(cinfo); // never suspends; fails or supplies bytes
    --src.bytes_in_buffer;
    return *src.next_input_byte++;
}

// Reads the orientation from the first APP1 segment that is an Exif block; the rest
// are skipped. Only one segment (64 KB at most) is held at a time, whatever the file.
boolean ReadApp1(j_decompress_ptr cinfo)
{
    DecodeJob &job = Job(reinterpret_cast<j_common_ptr>(cinfo));
    unsigned length = unsigned(NextByte(cinfo)) << 8;
    length |= NextByte(cinfo);
    if (length < 2)
        ERREXIT(cinfo, JERR_BAD_LENGTH);
    length -= 2;
    if (job.orientation != 0) {
        cinfo->src->skip_input_data(cinfo, long(length));
        return TRUE;
    }
    job.segment.resize(length);
    for (unsigned char &byte : job.segment)
        byte = NextByte(cinfo);
    job.orientation = ExifOrientation(job.segment.data(), job.segment.size());
    return TRUE;
}

const char kTooManyPasses[] = "слишком много проходов в файле";

// The arithmetic decoder takes the end marker for the end of the scan's data and
// decodes the rows still to come from zeros, without a word: a file cut short and
// closed with an end marker comes out with made-up rows. An encoder leaves out the
// zero bytes at the end of a scan, which in a picture with any detail code less than
// a row of blocks, and the whole of a scan that holds next to nothing (a picture of
// one colour, or a refinement of a flat one). So data that runs into the end marker
// after its first row of blocks and two rows or more before its last was cut off.
// Called before every row is read and while a multi-scan file is read in, row by row,
// it sees the first row read after the marker was met.
void RefuseCutArithmeticScan(DecodeJob &job)
{
    jpeg_decompress_struct &d = job.cinfo;
    if (!job.arithmetic || job.sawEndMarker || d.comps_in_scan == 0 || d.unread_marker != JPEG_EOI)
        return;
    job.sawEndMarker = true;
    const JDIMENSION rowsRead = d.input_iMCU_row;
    if (rowsRead >= 2 && rowsRead + 2 <= d.total_iMCU_rows)
        WARNMS(&d, JWRN_HIT_MARKER); // fatal, as for Huffman-coded data that ends early
}

// The outline has already turned away the files that would take too many passes; this
// holds the limit for a source that could not be read ahead, and should the outline
// ever count less than libjpeg goes through.
void ProgressMonitor(j_common_ptr cinfo)
{
    DecodeJob &job = Job(cinfo);
    RefuseCutArithmeticScan(job);
    const jpeg_decompress_struct &d = job.cinfo;
    if (d.input_scan_number == job.countedScan || d.comps_in_scan == 0)
        return;
    job.countedScan = d.input_scan_number;
    job.scanBlocks
        += std::uint64_t(d.MCUs_per_row) * d.MCU_rows_in_scan * unsigned(d.blocks_in_MCU);
    if (job.scanBlocks > job.scanBlockBudget)
        FailJpeg(job.err, kTooManyPasses);
}

// The blocks of the whole-image coefficient buffers of a multi-scan file, counted the
// way the decoder sizes them.
std::uint64_t CoefficientBlocks(const jpeg_decompress_struct &cinfo)
{
    std::uint64_t blocks = 0;
    for (int ci = 0; ci < cinfo.num_components; ++ci) {
        const jpeg_component_info &comp = cinfo.comp_info[ci];
        const std::uint64_t across = (comp.width_in_blocks + comp.h_samp_factor - 1)
            / comp.h_samp_factor * comp.h_samp_factor;
        const std::uint64_t down = (comp.height_in_blocks + comp.v_samp_factor - 1)
            / comp.v_samp_factor * comp.v_samp_factor;
        blocks += across * down;
    }
    return blocks;
}

// The blocks the scans of a multi-scan picture may go through; the whole budget for
// a picture whose coefficients alone would exceed it.
std::uint64_t ScanBlockBudget(std::uint64_t pictureBlocks)
{
    if (kCoefficientWeight * pictureBlocks > kMaxDecodeWork)
        return 0;
    return std::min(
        kMaxPasses * pictureBlocks, kMaxDecodeWork - kCoefficientWeight * pictureBlocks);
}

// The source row or column whose pixel lands at the centre of output position i of
// count, out of size: floor((i + 0.5) * size / count).
JDIMENSION NearestSource(int i, JDIMENSION size, int count)
{
    const auto pick = (std::uint64_t(2 * i + 1) * size) / (std::uint64_t(2) * unsigned(count));
    return static_cast<JDIMENSION>(std::min<std::uint64_t>(pick, size - 1));
}

void ReadRow(DecodeJob &job, JSAMPROW target)
{
    if (jpeg_read_scanlines(&job.cinfo, &target, 1) != 1)
        FailJpeg(job.err, "декодер не выдал строку изображения");
}

// Moves the decoder so that the next row read is row target. libjpeg-turbo's skip
// loses track of the upsampler when a skip starts inside a row group, so the few rows
// up to the group boundary are read instead. A single arithmetic-coded scan is read
// row by row, so that RefuseCutArithmeticScan sees where its data ends.
void AdvanceTo(DecodeJob &job, JDIMENSION target)
{
    jpeg_decompress_struct &cinfo = job.cinfo;
    const auto group = static_cast<JDIMENSION>(std::max(cinfo.max_v_samp_factor, 1));
    const bool rowByRow = job.arithmetic && !job.multipleScans;
    while (cinfo.output_scanline < target && (rowByRow || cinfo.output_scanline % group != 0))
        ReadRow(job, job.row.data());
    if (cinfo.output_scanline < target)
        jpeg_skip_scanlines(&cinfo, target - cinfo.output_scanline);
    if (cinfo.output_scanline != target)
        FailJpeg(job.err, "декодер пропустил не те строки изображения");
}

unsigned char Ink(unsigned a, unsigned b)
{
    return static_cast<unsigned char>((a * b + 127) / 255);
}

// Puts the pixels picked from the stored row just read into line i of the reduced
// picture: a row of it, or a column when the picture is turned a quarter.
void PickRow(DecodeJob &job, int i)
{
    const std::size_t width = std::size_t(job.image.width);
    const std::size_t step = job.turn.transposed ? width * 3 : 3;
    unsigned char *out
        = job.image.rgb.data() + std::size_t(i) * (job.turn.transposed ? 3 : width * 3);
    const JSAMPLE *row = job.row.data();
    if (!job.cmyk) {
        for (const std::size_t column : job.columns) {
            const JSAMPLE *p = row + column;
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
            out += step;
        }
        return;
    }
    // CMYK is read as Adobe stores it, inverted (255 is no ink), with or without
    // Adobe's marker: files without it are nearly all written that way, and browsers
    // and viewers read them so.
    for (const std::size_t column : job.columns) {
        const JSAMPLE *p = row + column;
        out[0] = Ink(p[0], p[3]);
        out[1] = Ink(p[1], p[3]);
        out[2] = Ink(p[2], p[3]);
        out += step;
    }
}

#ifdef LENTAR_HAVE_JPEGINT
// libjpeg runs the inverse DCT on every block of each iMCU row (8 or 16 source rows)
// it decodes, and with a row kept every 20 lines or so nearly every iMCU row of a
// large photograph gets decoded; the transform was a sixth of the import of a 24 MP
// photograph. Yet the kept pixels come from a small part of the blocks: about a sixth
// of the luminance blocks and two thirds of the chrominance ones. This function takes
// the place of libjpeg's transform in the table its coefficient controller calls for
// every block, and passes on only the blocks that matter. The others are left flat:
// their samples reach only pixels that are thrown away, and every kept pixel comes
// out exactly as in a full decode.
void SparseInverseDct(j_decompress_ptr cinfo, jpeg_component_info *component, JCOEFPTR coefficients,
    JSAMPARRAY output, JDIMENSION outputColumn)
{
    SparseComponent &sparse
        = Job(reinterpret_cast<j_common_ptr>(cinfo)).sparse[component->component_index];
    if (output != sparse.rowOutput || sparse.iMcuRow != cinfo->output_iMCU_row) {
        // Both of libjpeg's coefficient controllers transform an iMCU row component by
        // component from its top block row down, the block rows 8 output rows apart;
        // should that ever not hold, every block is transformed.
        if (sparse.iMcuRow != cinfo->output_iMCU_row) {
            sparse.iMcuRow = cinfo->output_iMCU_row;
            sparse.firstOutput = output;
        }
        sparse.rowOutput = output;
        const std::ptrdiff_t offset = output - sparse.firstOutput;
        const std::size_t row
            = std::size_t(cinfo->output_iMCU_row) * std::size_t(component->v_samp_factor)
            + std::size_t(offset / DCTSIZE);
        sparse.wholeRow = offset < 0 || offset % DCTSIZE != 0
            || offset >= component->v_samp_factor * DCTSIZE || row >= sparse.neededRows.size();
        sparse.rowColumns
            = !sparse.wholeRow && sparse.neededRows[row] ? sparse.neededColumns.data() : nullptr;
    }
    const std::size_t column = outputColumn / DCTSIZE;
    if (sparse.wholeRow || column >= sparse.neededColumns.size()
        || (sparse.rowColumns && sparse.rowColumns[column])) {
        sparse.transform(cinfo, component, coefficients, output, outputColumn);
        return;
    }
    // Flat, so that nothing reads memory never written.
    for (int y = 0; y < DCTSIZE; ++y)
        std::memset(output[y] + outputColumn, 0, DCTSIZE);
}

int BlockSize(const jpeg_component_info &component)
{
#if JPEG_LIB_VERSION >= 70
    return component.DCT_h_scaled_size == component.DCT_v_scaled_size ? component.DCT_h_scaled_size
                                                                      : 0;
#else
    return component.DCT_scaled_size;
#endif
}

// Marks the blocks of one component, along one direction, that hold the samples the
// kept source positions are made from. A component at full resolution gives the
// sample itself. One at half resolution is upsampled smoothly: an even position
// blends its sample with the one before, an odd position with the one after. At
// any other ratio libjpeg repeats samples, but both neighbours are kept to be safe.
std::vector<unsigned char> NeededBlocks(
    const std::vector<JDIMENSION> &kept, int factor, int maxFactor, JDIMENSION blocks)
{
    std::vector<unsigned char> needed(std::size_t(blocks), 0);
    auto mark = [&](long sample) {
        if (sample >= 0 && std::size_t(sample / DCTSIZE) < needed.size())
            needed[std::size_t(sample / DCTSIZE)] = 1;
    };
    for (const JDIMENSION position : kept) {
        const long sample = long(std::uint64_t(position) * unsigned(factor) / unsigned(maxFactor));
        mark(sample);
        if (maxFactor == 2 * factor) {
            mark(position % 2 == 0 ? sample - 1 : sample + 1);
        } else if (maxFactor != factor) {
            mark(sample - 1);
            mark(sample + 1);
        }
    }
    return needed;
}

// Call after jpeg_start_decompress, which fills the table of transforms.
void InstallSparseIdct(DecodeJob &job)
{
    jpeg_decompress_struct &cinfo = job.cinfo;
    for (int ci = 0; ci < cinfo.num_components; ++ci) {
        if (BlockSize(cinfo.comp_info[ci]) != DCTSIZE || !cinfo.idct->inverse_DCT[ci])
            return;
    }
    for (int ci = 0; ci < cinfo.num_components; ++ci) {
        const jpeg_component_info &component = cinfo.comp_info[ci];
        SparseComponent &sparse = job.sparse[ci];
        sparse.neededRows = NeededBlocks(job.keptRows, component.v_samp_factor,
            cinfo.max_v_samp_factor, component.height_in_blocks);
        sparse.neededColumns = NeededBlocks(job.keptColumns, component.h_samp_factor,
            cinfo.max_h_samp_factor, component.width_in_blocks);
        sparse.transform = cinfo.idct->inverse_DCT[ci];
        cinfo.idct->inverse_DCT[ci] = SparseInverseDct;
    }
}
#else
// libjpeg's public API has no way to skip blocks: every block is transformed.
void InstallSparseIdct(DecodeJob &) { }
#endif

// The source position (row or column) whose pixel lands at output position i of count
// along a side of size, counted from the far end when the side is flipped.
JDIMENSION PickedSource(int i, JDIMENSION size, int count, bool flipped)
{
    const JDIMENSION picked = NearestSource(i, size, count);
    return flipped ? size - 1 - picked : picked;
}

void ReadScaledRows(DecodeJob &job)
{
    jpeg_decompress_struct &cinfo = job.cinfo;
    const JDIMENSION sourceWidth = cinfo.output_width;
    const JDIMENSION sourceHeight = cinfo.output_height;
    const PictureTurn turn = job.turn;
    // The reduced picture is upright; a quarter turn makes the stored rows its columns.
    const ScaledSize size = turn.transposed
        ? ComputeScaledSize(int(sourceHeight), int(sourceWidth))
        : ComputeScaledSize(int(sourceWidth), int(sourceHeight));
    const int lines = turn.transposed ? size.width : size.height; // one stored row each
    const int across = turn.transposed ? size.height : size.width; // pixels of a line
    const auto components = static_cast<std::size_t>(cinfo.output_components);

    job.image.width = size.width;
    job.image.height = size.height;
    job.image.rgb.assign(std::size_t(size.width) * std::size_t(size.height) * 3, 0);
    job.row.assign(std::size_t(sourceWidth) * components, 0);
    job.keptColumns.resize(std::size_t(across));
    job.keptRows.resize(std::size_t(lines));
    job.columns.resize(std::size_t(across));
    for (int x = 0; x < across; ++x) {
        job.keptColumns[x] = PickedSource(x, sourceWidth, across, turn.flipColumns);
        job.columns[x] = job.keptColumns[x] * components;
    }
    for (int y = 0; y < lines; ++y)
        job.keptRows[y] = PickedSource(y, sourceHeight, lines, turn.flipRows);
    InstallSparseIdct(job);

    // The stored rows come top down; flipped, the lines take them bottom up.
    bool haveRow = false;
    JDIMENSION current = 0;
    for (int n = 0; n < lines; ++n) {
        const int line = turn.flipRows ? lines - 1 - n : n;
        const JDIMENSION wanted = job.keptRows[line];
        if (!haveRow || wanted != current) {
            AdvanceTo(job, wanted);
            ReadRow(job, job.row.data());
            current = wanted;
            haveRow = true;
        }
        PickRow(job, line);
    }
}

// Reads on to the end marker, so that damage below the last picked row and after the
// last scan is found too. The rows still to come are skipped but for the last, which
// is read: libjpeg skips to the end of the picture without reading anything.
void FinishDecode(DecodeJob &job)
{
    jpeg_decompress_struct &cinfo = job.cinfo;
    if (cinfo.output_scanline < cinfo.output_height) {
        AdvanceTo(job, cinfo.output_height - 1);
        ReadRow(job, job.row.data());
    }
    RefuseCutArithmeticScan(job);
    jpeg_finish_decompress(&cinfo);
}

// Drives libjpeg; returns false when it gave up (the reason is in job.err). Every
// object here and in the functions called lives in job, so the jump back from
// libjpeg's error handler leaves nothing undestroyed.
bool RunDecode(DecodeJob &job)
{
    if (setjmp(job.err.jump) != 0)
        return false;

    jpeg_create_decompress(&job.cinfo);
    job.cinfo.client_data = &job;
    job.cinfo.mem->max_memory_to_use
        = long(kMaxDecodeWork / kCoefficientWeight * sizeof(JBLOCK)) + kDecoderWorkingMemory;
    job.source.pub.init_source = InitSource;
    job.source.pub.fill_input_buffer = FillInputBuffer;
    job.source.pub.skip_input_data = SkipInputData;
    job.source.pub.resync_to_restart = jpeg_resync_to_restart;
    job.source.pub.term_source = TermSource;
    job.cinfo.src = &job.source.pub;
    job.progress.progress_monitor = ProgressMonitor;
    job.cinfo.progress = &job.progress;

    jpeg_set_marker_processor(&job.cinfo, JPEG_APP0 + 1, ReadApp1);
    jpeg_read_header(&job.cinfo, TRUE);
    job.turn = TurnForOrientation(job.orientation);

    const std::uint64_t pixels
        = std::uint64_t(job.cinfo.image_width) * std::uint64_t(job.cinfo.image_height);
    job.multipleScans = jpeg_has_multiple_scans(&job.cinfo);
    job.scanBlockBudget = std::numeric_limits<std::uint64_t>::max();
    if (job.multipleScans) {
        const std::uint64_t blocks = CoefficientBlocks(job.cinfo);
        job.tooLarge = kCoefficientWeight * blocks > kMaxDecodeWork;
        job.scanBlockBudget = ScanBlockBudget(blocks);
    }
    if (pixels > kMaxPicturePixels || job.tooLarge) {
        job.tooLarge = true;
        return true;
    }

    job.cmyk = job.cinfo.jpeg_color_space == JCS_CMYK || job.cinfo.jpeg_color_space == JCS_YCCK;
    job.cinfo.out_color_space = job.cmyk ? JCS_CMYK : JCS_RGB;

    // A file that ends without its end marker has lost nothing when every scan is
    // there: missing data within a scan makes the Huffman decoder complain, and the
    // outline tells whether the scans go down to the last bit of every coefficient. A
    // file that ends between two scans of a progressive picture would otherwise come
    // out blurred. The arithmetic decoder pads missing data with zeros without a
    // word, so for it the end of the file stays fatal, and so do leftover bytes after
    // a scan, which are the one trace damage to its data leaves.
    job.arithmetic = job.cinfo.arith_code;
    job.err.endOfFileTolerated
        = !job.arithmetic && (job.outline ? job.outline->complete : !job.multipleScans);
    job.err.extraneousDataFatal = job.arithmetic;

    jpeg_start_decompress(&job.cinfo);
    if (job.cinfo.output_components != (job.cmyk ? 4 : 3))
        FailJpeg(job.err, "неожиданное число цветовых составляющих");

    ReadScaledRows(job);
    FinishDecode(job);
    return true;
}

std::string TooLargeMessage(unsigned width, unsigned height)
{
    return QStringLiteral("Изображение слишком велико: %1 x %2 точек")
        .arg(width)
        .arg(height)
        .toStdString();
}

} // namespace

ScaledJpeg DecodeScaledJpeg(QIODevice &source)
{
    // What the scans will cost is known before libjpeg reads a byte: a file whose
    // decoding is out of all proportion to its picture is refused at once.
    std::optional<JpegOutline> outline;
    if (!source.isSequential()) {
        const qint64 start = source.pos();
        errno = 0;
        outline = ReadJpegOutline(source);
        if (source.pos() != start)
            throw LentarError((kOpenFailed + ReadFailureText(errno)).toStdString());
        if (outline->frame && outline->multipleScans) {
            if (outline->scanBlocks > kMaxPasses * outline->pictureBlocks)
                throw LentarError((kOpenFailed + QString::fromUtf8(kTooManyPasses)).toStdString());
            if (outline->scanBlocks + kCoefficientWeight * outline->pictureBlocks > kMaxDecodeWork)
                throw LentarError(TooLargeMessage(outline->width, outline->height));
        }
    }

    auto job = std::make_unique<DecodeJob>();
    job->cinfo.err = InstallJpegErrorManager(job->err);
    job->source.device = &source;
    job->outline = outline ? &*outline : nullptr;

    if (!RunDecode(*job)) {
        const QString reason = job->source.readFailed ? ReadFailureText(job->source.readErrno)
                                                      : JpegFailureText(job->err);
        throw LentarError((kOpenFailed + reason).toStdString());
    }
    if (job->tooLarge)
        throw LentarError(TooLargeMessage(job->cinfo.image_width, job->cinfo.image_height));
    return ScaledJpeg { std::move(job->image), job->multipleScans, job->turn.transposed };
}

ScaledJpeg DecodeScaledJpegFile(const QString &path)
{
    // Opening a named pipe waits for a writer that may never come, and a device may
    // never end: only a plain file can hold a picture, and OpenForReading opens no other.
    QFile file;
    try {
        OpenForReading(file, path);
    } catch (const FileError &error) {
        throw LentarError((kOpenFailed + error.reason()).toStdString());
    }
    return DecodeScaledJpeg(file);
}
