#include "picture/jpeg_codec.h"
#include "picture/jpeg_error.h"

#include "codec/error.h"

#include <cstdlib>
#include <memory>

namespace {

constexpr int kPictureQuality = 90;

struct EncodeJob
{
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    unsigned char *buffer; // grown by libjpeg with malloc, ours to free
    unsigned long size;

    EncodeJob() = default;
    EncodeJob(const EncodeJob &) = delete;
    EncodeJob &operator=(const EncodeJob &) = delete;
    ~EncodeJob()
    {
        jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
};

// Returns false when libjpeg gave up; see RunDecode for why nothing here owns anything.
bool RunEncode(EncodeJob &job, const RgbImage &image, bool progressive)
{
    if (setjmp(job.err.jump) != 0)
        return false;

    jpeg_create_compress(&job.cinfo);
    jpeg_mem_dest(&job.cinfo, &job.buffer, &job.size);
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
    if (!RunEncode(*job, image, progressive))
        throw LentarError(std::string("Не удалось сжать изображение: ") + job->err.message);
    return QByteArray(reinterpret_cast<const char *>(job->buffer), qsizetype(job->size));
}
