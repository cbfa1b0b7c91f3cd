#pragma once

// libjpeg reports errors by calling back into the program and must never return from
// error_exit. We jump back to the setjmp of the function that drove libjpeg; that
// function and everything between keep no objects that would need destroying, and
// the libjpeg state itself lives in a job struct owned by the caller.

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <QString>

struct JpegErrorManager
{
    jpeg_error_mgr pub; // first, so libjpeg's pointer to it is a pointer to us
    std::jmp_buf jump;
    // The library's own English text, for a developer; the user reads JpegFailureText.
    char message[JMSG_LENGTH_MAX];
    // Set instead of message when we refuse the data ourselves from inside a callback.
    const char *ownMessage;
    // A premature end of file is harmless in a single-scan image once its data is
    // being decoded: the entropy decoder itself then complains when bits are missing.
    bool endOfFileTolerated;
    // Bytes left over between the end of a scan's data and the next marker. Where the
    // entropy decoder cannot notice damage itself (arithmetic coding pads missing data
    // with zeros without a word), they are the only sign of it.
    bool extraneousDataFatal;
};

// Installs the handlers into err and returns the pointer to store in cinfo.err.
jpeg_error_mgr *InstallJpegErrorManager(JpegErrorManager &err);

// Leaves the libjpeg call in progress with a message of our own.
[[noreturn]] void FailJpeg(JpegErrorManager &err, const char *message);

// Why the libjpeg call failed, in Russian: our own refusal, or the library's error by
// its code. A code without a text of its own is named by its number.
QString JpegFailureText(const JpegErrorManager &err);

// The Russian text of one libjpeg error or warning code.
QString JpegCodeText(int code);
