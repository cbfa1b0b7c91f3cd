#pragma once

// Participant identifiers: nine digits shown as XXX-XXX-XXX, the last two being
// check digits derived from the MD5 digest of the first seven.

#include <string>
#include <string_view>

// Trims characters of code 32 and below at both ends, then removes every "-" and " ".
std::string NormalizeParticipantId(std::string_view typed);

// The two check digits ("00".."99") of the first seven characters of id.
std::string ComputeIdCheckDigits(std::string_view normalizedId);

// True when characters 8 and 9 of id equal its check digits.
bool CheckParticipantId(std::string_view normalizedId);

// Inserts "-" after the third and the sixth character.
std::string FormatParticipantId(std::string_view normalizedId);

enum class IdShape {
    Valid,
    NotNineDigits, // what is left after normalising is not nine digits
    WrongCheckDigits, // nine digits whose last two are not the check digits of the rest
};

struct ParsedParticipantId
{
    IdShape shape = IdShape::NotNineDigits;
    std::string digits; // the nine digits; empty when the text holds no nine digits
    std::string formatted; // the same as XXX-XXX-XXX
};

// The one reading of an identifier, typed or written in a file: normalised, then
// checked for nine digits and for its check digits.
ParsedParticipantId ParseParticipantId(std::string_view text);
