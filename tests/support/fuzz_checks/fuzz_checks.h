#pragma once

// The properties the fuzzers hold the program to, one function per kind of outside
// input. Each returns an empty text when the input was handled soundly, and otherwise
// a description of what went wrong; the fuzzers abort on it, and the regression test
// runs the same checks over our seed corpora and every input a fuzzer ever caught.

#include <QString>

#include <string>
#include <string_view>

// Base64Decode on arbitrary text: stays inside its buffer, agrees with a plain
// reading of the decoding rules and with the string form; the encoder's output of the
// same bytes decodes back to them.
std::string FuzzBase64(std::string_view input);

// Participant identifiers typed as arbitrary text: normalisation, the check digits
// and the formatted form keep their promises.
std::string FuzzParticipantId(std::string_view input);

// The lentar writer on a record made from arbitrary bytes (see writer_input.h): the
// saved file and the preview document are well-formed XML, UTF-8, restricted to
// Windows-1251, and read back to exactly the values the record holds.
std::string FuzzLentarWriter(std::string_view input);

// The lentar reader on arbitrary bytes taken as a file: either a refusal with its
// reason, or a record that holds only what the editor could hold, with every
// identifier it could not normalise reported, and that saving and opening again
// leaves as it is.
std::string FuzzLentarReader(std::string_view input);

// The picture import on arbitrary bytes chosen as a JPEG file, in workFolder: either a
// picture that fits the frame and matches the file written, or a Russian message with
// the earlier working copy untouched.
std::string FuzzPictureImport(std::string_view input, const QString &workFolder);
