#pragma once

// Reading a lentar file back into a LentarDocument, for the editor's Open command and
// for the organisers' check of received files.
//
// The file is parsed by libxml2 without network access, without loading any DTD and
// without expanding any entity: a file with a DOCTYPE (and so with any entity
// declaration) is refused before a single declaration in it is read. Everything a file
// holds passes the same normalisation as typing: identifiers are normalised and
// checked, texts are reduced to Windows-1251 and cut to the field limits, and whatever
// had to be changed or left out is reported as a finding.

#include "document/lentar_document.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QList>
#include <QString>

#include <optional>

// Files above this size are refused unread.
inline constexpr qint64 kMaxLentarFileBytes = 16 * 1024 * 1024;

// The stable codes of refusals and findings, for programs that sort them.
namespace ReadCode {
// Refusals: the file is not loaded at all.
inline constexpr QLatin1StringView NotAFile { "not-a-file" }; // a folder, a device...
inline constexpr QLatin1StringView ReadError { "read-error" };
inline constexpr QLatin1StringView TooLarge { "too-large" };
inline constexpr QLatin1StringView NotXml { "not-xml" }; // not well-formed XML
inline constexpr QLatin1StringView Doctype { "doctype" }; // DOCTYPE, hence entity declarations
inline constexpr QLatin1StringView WrongRoot { "wrong-root" };
inline constexpr QLatin1StringView NoWork { "no-work" };
inline constexpr QLatin1StringView WrongSeason { "wrong-season" };
inline constexpr QLatin1StringView WrongVersion { "wrong-version" };

// Findings: the file is loaded as far as possible.
inline constexpr QLatin1StringView BadIdentifier { "bad-identifier" }; // not nine digits
inline constexpr QLatin1StringView WrongCheckDigits { "wrong-check-digits" };
inline constexpr QLatin1StringView RepeatedIdentifier { "repeated-identifier" };
inline constexpr QLatin1StringView UnknownSubject { "unknown-subject" };
inline constexpr QLatin1StringView RepeatedSubject { "repeated-subject" };
inline constexpr QLatin1StringView TooManySubjects { "too-many-subjects" };
inline constexpr QLatin1StringView TooManyAuthors { "too-many-authors" };
inline constexpr QLatin1StringView TooManyLeaders { "too-many-leaders" };
inline constexpr QLatin1StringView BadPersonType { "bad-person-type" };
inline constexpr QLatin1StringView BadInvoiceLeader { "bad-invoice-leader" };
inline constexpr QLatin1StringView BadPictureSource { "bad-picture-source" };
inline constexpr QLatin1StringView BadBase64 { "bad-base64" };
inline constexpr QLatin1StringView BadPictureSize { "bad-picture-size" };
inline constexpr QLatin1StringView TextCut { "text-cut" };
inline constexpr QLatin1StringView Cp1251 { "cp1251" }; // characters replaced by "?"
inline constexpr QLatin1StringView BadStored { "bad-stored" };
inline constexpr QLatin1StringView MissingElement { "missing-element" };
inline constexpr QLatin1StringView UnexpectedContent { "unexpected-content" };
} // namespace ReadCode

struct ReadFinding
{
    QString code; // one of ReadCode
    QString message; // Russian, names what was wrong; the caller adds the file's name
    QString field; // the LentarDocument field, e.g. "title", "author_list[2].id"; may be empty

    friend bool operator==(const ReadFinding &, const ReadFinding &) = default;
};

struct LentarReadResult
{
    // Set when the file is refused as a whole; doc is then a fresh document.
    std::optional<ReadFinding> refusal;
    LentarDocument doc;
    // What had to be changed or left out while loading, in document order.
    QList<ReadFinding> findings;
    // The picture exactly as stored in the file (doc.picture.base64 is its encoding at
    // 76 characters a line, as the picture import makes it). Whether it is a JPEG at
    // all is for the picture layer to judge.
    QByteArray pictureJpeg;
    // The file's time of writing, seconds since 1970; 0 when absent or not a number.
    qint64 stored = 0;

    bool refused() const { return refusal.has_value(); }
};

// Whether doc.picture.base64 is filled in. A program that looks only at the picture's
// bytes (pictureJpeg) is spared encoding them again.
enum class PictureBase64 { Encoded, Omitted };

// Reads a lentar from its bytes. Safe to call from several threads at once.
LentarReadResult ReadLentarBytes(
    const QByteArray &bytes, PictureBase64 base64 = PictureBase64::Encoded);

// Reads the lentar file at path; refuses anything but a regular file, and a file over
// kMaxLentarFileBytes before reading it.
LentarReadResult ReadLentarFile(const QString &path);
