#include "picture/jpeg_error.h"

#include <jerror.h>

#include <cstddef>
#include <type_traits>

static_assert(std::is_standard_layout_v<JpegErrorManager>);
static_assert(offsetof(JpegErrorManager, pub) == 0);

namespace {

JpegErrorManager &Manager(j_common_ptr cinfo)
{
    return *reinterpret_cast<JpegErrorManager *>(cinfo->err);
}

[[noreturn]] void Leave(j_common_ptr cinfo)
{
    JpegErrorManager &err = Manager(cinfo);
    err.ownMessage = nullptr;
    (*cinfo->err->format_message)(cinfo, err.message);
    std::longjmp(err.jump, 1);
}

void ErrorExit(j_common_ptr cinfo)
{
    Leave(cinfo);
}

// Warnings that mean pixels were lost: the library would go on and fill the gap with
// grey, and a half-grey picture must not slip in as if it were the chosen one.
bool LosesData(const JpegErrorManager &err, int code)
{
    switch (code) {
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
        return true;
    case JWRN_JPEG_EOF:
        return !err.endOfFileTolerated;
    case JWRN_EXTRANEOUS_DATA:
        return err.extraneousDataFatal;
    default:
        return false;
    }
}

void EmitMessage(j_common_ptr cinfo, int level)
{
    if (level >= 0)
        return; // trace output
    if (LosesData(Manager(cinfo), cinfo->err->msg_code))
        Leave(cinfo);
    ++cinfo->err->num_warnings;
}

void OutputMessage(j_common_ptr) { }

} // namespace

jpeg_error_mgr *InstallJpegErrorManager(JpegErrorManager &err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.emit_message = EmitMessage;
    err.pub.output_message = OutputMessage;
    err.message[0] = '\0';
    err.ownMessage = nullptr;
    err.endOfFileTolerated = false;
    err.extraneousDataFatal = false;
    return &err.pub;
}

void FailJpeg(JpegErrorManager &err, const char *message)
{
    err.ownMessage = message;
    std::longjmp(err.jump, 1);
}
