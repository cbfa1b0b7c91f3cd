#pragma once

// The byte form in which the writer's fuzzer receives a lentar record, so that any
// bytes make a record and every record can be written as bytes for a seed corpus.
//
// A header of 21 bytes: the number of authors (modulo 11) and of leaders (modulo 4),
// the invoice leader (a signed byte), five subject slots (signed bytes), a flags byte
// (1: a picture is present), the picture's width and height (signed 16-bit, little
// endian) and the storing time (signed 64-bit, little endian). Then the texts, each a
// 16-bit little-endian count of UTF-16 units followed by those units, so unpaired
// surrogates and every control character can occur: title, description, technical
// requirements, viewing instructions, the four contacts, the note, the picture's
// caption, its base64 text (one unit per byte, low byte taken), and then identifier,
// surname, name and patronymic of each author and each leader. Whatever the bytes run
// out before is empty.

#include "document/lentar_document.h"

#include <QByteArray>

#include <string_view>

struct WriterInput
{
    LentarDocument doc;
    qint64 stored = 0;
};

WriterInput DecodeWriterInput(std::string_view bytes);
QByteArray EncodeWriterInput(const WriterInput &input);
