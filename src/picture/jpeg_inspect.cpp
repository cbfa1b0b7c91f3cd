#include "picture/jpeg_inspect.h"
#include "picture/jpeg_codec.h"
#include "picture/jpeg_error.h"
#include "picture/jpeg_quick_check.h"

#include <jerror.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct InspectJob
{
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
    bool tooLarge = false;
    std::vector<JSAMPLE> rows;
    std::vector<JSAMPROW> pointers;

    InspectJob() = default;
    InspectJob(const InspectJob &) = delete;
    InspectJob &operator=(const InspectJob &) = delete;
    ~InspectJob() { jpeg_destroy_decompress(&cinfo); }
};

void ProgressMonitor(j_common_ptr cinfo)
{
    auto &job = *static_cast<InspectJob *>(cinfo->client_data);
    if (job.cinfo.input_scan_number > kMaxScans)
        FailJpeg(job.err, "слишком много проходов в файле");
}

// Everything that must survive the jump back from libjpeg's error handler lives in
// job: a local with a destructor would be skipped by the jump and leak. Returns false
// when libjpeg gave up.
bool RunInspect(InspectJob &job, const QByteArray &jpeg, int maxSide)
{
    if (setjmp(job.err.jump) != 0)
        return false;

    jpeg_create_decompress(&job.cinfo);
    job.cinfo.client_data = &job;
    job.progress.progress_monitor = ProgressMonitor;
    job.cinfo.progress = &job.progress;
    jpeg_mem_src(&job.cinfo, reinterpret_cast<const unsigned char *>(jpeg.constData()),
        static_cast<unsigned long>(jpeg.size()));

    jpeg_read_header(&job.cinfo, TRUE);
    if (job.cinfo.image_width > JDIMENSION(maxSide)
        || job.cinfo.image_height > JDIMENSION(maxSide)) {
        job.tooLarge = true;
        return true;
    }

    // Every coefficient of every scan is entropy-decoded whatever the output size:
    // that is where damage shows (a code that means nothing, a marker or the end of
    // the data where coefficients should be). So an eighth-size decode finds the same
    // damage as a full one at a fraction of the cost, and it still goes through the
    // colour conversion and upsampling set-up that refuses what the import could not
    // decode either.
    job.cinfo.scale_num = 1;
    job.cinfo.scale_denom = 8;
    jpeg_start_decompress(&job.cinfo);
    const auto rowSize
        = std::size_t(job.cinfo.output_width) * std::size_t(job.cinfo.output_components);
    const auto group = std::size_t(std::max(job.cinfo.rec_outbuf_height, 1));
    job.rows.assign(rowSize * group, 0);
    job.pointers.resize(group);
    for (std::size_t i = 0; i < group; ++i)
        job.pointers[i] = job.rows.data() + i * rowSize;
    while (job.cinfo.output_scanline < job.cinfo.output_height) {
        if (jpeg_read_scanlines(&job.cinfo, job.pointers.data(), JDIMENSION(group)) == 0)
            FailJpeg(job.err, "декодер не выдал строку изображения");
    }
    // Reads on to the end marker, so a file cut after its last scan is found as well.
    jpeg_finish_decompress(&job.cinfo);
    return true;
}

} // namespace

JpegInspection InspectJpeg(const QByteArray &jpeg, int maxSide)
{
    // Most pictures are of the common kinds the quick walk knows; it finds them whole
    // several times faster than a decode. Everything else, damage included, goes to
    // libjpeg, which also names the fault.
    const QuickJpegCheck quick = CheckJpegQuickly(jpeg, maxSide, kMaxScans);
    if (quick.whole) {
        JpegInspection result;
        result.ok = true;
        result.width = quick.width;
        result.height = quick.height;
        return result;
    }
    return InspectJpegFully(jpeg, maxSide);
}

JpegInspection InspectJpegFully(const QByteArray &jpeg, int maxSide)
{
    JpegInspection result;
    if (jpeg.isEmpty()) {
        result.reason = QStringLiteral("изображение пустое");
        return result;
    }
    auto job = std::make_unique<InspectJob>();
    job->cinfo.err = InstallJpegErrorManager(job->err);

    const bool finished = RunInspect(*job, jpeg, maxSide);
    // Zero until the frame header was read.
    result.width = int(job->cinfo.image_width);
    result.height = int(job->cinfo.image_height);
    if (!finished) {
        if (job->err.ownMessage != nullptr) {
            result.reason = QStringLiteral("изображение повреждено: ")
                + QString::fromUtf8(job->err.ownMessage);
        } else if (job->err.pub.msg_code == JERR_NO_SOI) {
            result.reason = QStringLiteral("это не изображение JPEG");
        } else if (job->err.pub.msg_code == JWRN_JPEG_EOF) {
            result.reason = QStringLiteral("изображение JPEG обрывается");
        } else {
            result.reason
                = QStringLiteral("изображение JPEG повреждено: ") + JpegFailureText(job->err);
        }
        return result;
    }
    if (job->tooLarge) {
        result.tooLarge = true;
        result.reason = QStringLiteral("изображение %1 x %2 точек, а допускается не больше %3 x %3")
                            .arg(result.width)
                            .arg(result.height)
                            .arg(maxSide);
        return result;
    }
    result.ok = true;
    return result;
}
