#include "picture/jpeg_codec.h"
#include "picture/jpeg_error.h"

#include "codec/error.h"

#include <jerror.h>

#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr int kPictureQuality = 90;
// A reduced picture at quality 90 takes 10 to 100 KB; the buffer starts below that and
// doubles as needed.
constexpr std::size_t kFirstOutputSize = 16 * 1024;

const char kOutOfMemory[] = "недостаточно памяти";

// Collects the encoded bytes in a buffer the job owns. libjpeg's own memory
// destination frees and replaces its buffer as it grows and tells the caller where
// it is only at the end, so after an error the caller holds a pointer that may
// already be freed, and the live buffer is lost.
struct BufferDestination
{
    jpeg_destination_mgr pub; // first, so libjpeg's pointer to it is a pointer to us
    std::vector<JOCTET> bytes;
    std::size_t size; // of the finished file
};

struct EncodeJob
{
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    BufferDestination destination;

    EncodeJob() = default;
    EncodeJob(const EncodeJob &) = delete;
    EncodeJob &operator=(const EncodeJob &) = delete;
    ~EncodeJob() { jpeg_destroy_compress(&cinfo); }
};

EncodeJob &Job(j_compress_ptr cinfo)
{
    return *static_cast<EncodeJob *>(cinfo->client_data);
}

// Makes the buffer count bytes long, keeping what it holds. No exception may cross
// libjpeg's C frames, so a failure leaves through the error handler instead.
void ResizeOutput(EncodeJob &job, std::size_t count)
{
    bool failed = false;
    try {
        job.destination.bytes.resize(count);
    } catch (const std::bad_alloc &) {
        failed = true;
    } catch (const std::length_error &) {
        failed = true;
    }
    if (failed)
        FailJpeg(job.err, kOutOfMemory);
}

void InitDestination(j_compress_ptr cinfo)
{
    EncodeJob &job = Job(cinfo);
    ResizeOutput(job, kFirstOutputSize);
    job.destination.pub.next_output_byte = job.destination.bytes.data();
    job.destination.pub.free_in_buffer = job.destination.bytes.size();
}

// Called when the buffer is full (libjpeg does not say how full it is otherwise).
boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    EncodeJob &job = Job(cinfo);
    const std::size_t used = job.destination.bytes.size();
    ResizeOutput(job, used * 2);
    job.destination.pub.next_output_byte = job.destination.bytes.data() + used;
    job.destination.pub.free_in_buffer = job.destination.bytes.size() - used;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    EncodeJob &job = Job(cinfo);
    job.destination.size = job.destination.bytes.size() - job.destination.pub.free_in_buffer;
}

// Returns false when libjpeg gave up; see RunDecode for why nothing here owns anything.
bool RunEncode(EncodeJob &job, const RgbImage &image, bool progressive)
{
    if (setjmp(job.err.jump) != 0)
        return false;

    jpeg_create_compress(&job.cinfo);
    job.cinfo.client_data = &job;
    job.destination.pub.init_destination = InitDestination;
    job.destination.pub.empty_output_buffer = EmptyOutputBuffer;
    job.destination.pub.term_destination = TermDestination;
    job.cinfo.dest = &job.destination.pub;
    job.cinfo.image_width = static_cast<JDIMENSION>(image.width);
    job.cinfo.image_height = static_cast<JDIMENSION>(image.height);
    job.cinfo.input_components = 3;
    job.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job.cinfo);
    jpeg_set_quality(&job.cinfo, kPictureQuality, TRUE);
    if (progressive)
        jpeg_simple_progression(&job.cinfo);

    jpeg_start_compress(&job.cinfo, TRUE);
    const std::size_t stride = std::size_t(image.width) * 3;
    while (job.cinfo.next_scanline < job.cinfo.image_height) {
        // libjpeg takes non-const rows but only reads them.
        JSAMPROW row = const_cast<JSAMPLE *>(image.rgb.data() + job.cinfo.next_scanline * stride);
        jpeg_write_scanlines(&job.cinfo, &row, 1);
    }
    jpeg_finish_compress(&job.cinfo);
    return true;
}

} // namespace

QByteArray EncodePictureJpeg(const RgbImage &image, bool progressive)
{
    if (image.width <= 0 || image.height <= 0
        || image.rgb.size() != std::size_t(image.width) * std::size_t(image.height) * 3)
        throw LentarError("Не удалось сжать изображение: неверный размер картинки");

    auto job = std::make_unique<EncodeJob>();
    job->cinfo.err = InstallJpegErrorManager(job->err);
    if (!RunEncode(*job, image, progressive)) {
        throw LentarError(
            ("Не удалось сжать изображение: " + JpegFailureText(job->err)).toStdString());
    }
    return QByteArray(reinterpret_cast<const char *>(job->destination.bytes.data()),
        qsizetype(job->destination.size));
}
