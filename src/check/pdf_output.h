#pragma once

// What QPdfWriter writes, passed on in pieces, with pictures embedded as their own
// JPEG bytes. The writer can only embed pixels, which it encodes as JPEG again: slow,
// and a second loss of quality. So the book draws a one-pixel stand-in for each
// picture, this device puts the picture's JPEG in place of the image object the writer
// wrote for it, and moves the cross-reference table's offsets by what that added.

#include "picture/jpeg_as_stored.h"
#include "platform/files.h"

#include <QByteArray>
#include <QIODevice>

#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

class PdfOutput : public QIODevice
{
public:
    // sink takes each piece in turn; it may throw FileError, which is kept and told by
    // error() (it cannot pass through the writer).
    using Sink = std::function<void(const QByteArray &)>;
    explicit PdfOutput(Sink sink);

    // What the writer writes from here to endPicture() is the image object of a
    // stand-in drawn with QPainter::LosslessImageRendering, or nothing when it has
    // drawn that image before.
    void beginPicture();
    // Puts jpeg in place of that image object. False when what was written is not one
    // image object and its length, or jpeg is null and something was written.
    bool endPicture(const QByteArray &jpeg, const StoredJpegFrame &frame);

    // From here on the writer finishes the file; nothing is passed on until finish().
    void beginTail();
    // Moves the offsets of the cross-reference table and passes the rest on. False
    // when no table is found.
    bool finish();

    const std::optional<FileError> &error() const { return error_; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override;

private:
    void pass(qsizetype upTo);
    qint64 moved(qint64 offset) const; // where a byte the writer wrote at offset now is

    Sink sink_;
    QByteArray pending_;
    qint64 written_ = 0; // by the writer
    qint64 passed_ = 0; // on to the sink, before pending_
    qsizetype held_ = -1; // in pending_: nothing from here on is passed; -1: not held
    std::optional<FileError> error_;
    // (the writer's offset at the end of a replaced object, how far what follows moved)
    std::vector<std::pair<qint64, qint64>> shifts_;
    std::unordered_map<qint64, qint64> lengthObjects_; // inside replaced stretches
};

// Whether this Qt's PDF writer writes the image objects PdfOutput can replace: tried
// once on a small file.
bool PdfOutputEmbedsJpeg();
