#include "fuzz_checks.h"

#include "codec/participant_id.h"

#include <QString>

#include <algorithm>
#include <string>

namespace {

bool IsDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// True when every character of part occurs in whole in the same order.
bool IsSubsequence(std::string_view part, std::string_view whole)
{
    std::size_t at = 0;
    for (char c : part) {
        at = whole.find(c, at);
        if (at == std::string_view::npos)
            return false;
        ++at;
    }
    return true;
}

std::string CheckNormalized(std::string_view typed, const std::string &id)
{
    if (id.find('-') != std::string::npos || id.find(' ') != std::string::npos)
        return "the normalised identifier still holds a dash or a blank";
    // Only removing a dash or a blank from between them can bring a control character
    // to an end.
    if (!id.empty()
        && (static_cast<unsigned char>(id.front()) <= 32
            || static_cast<unsigned char>(id.back()) <= 32)
        && typed.find_first_of("- ") == std::string_view::npos)
        return "the normalised identifier starts or ends with a control character";
    if (!IsSubsequence(id, typed))
        return "normalisation invented characters";

    const std::string digits = ComputeIdCheckDigits(id);
    if (digits.size() != 2 || !IsDigits(digits))
        return "the check text is not two digits";
    const bool valid = CheckParticipantId(id);
    if (valid && (id.size() < 9 || id.substr(7, 2) != digits))
        return "an identifier without its check digits passed the check";

    const std::string formatted = FormatParticipantId(id);
    std::string withoutDashes = formatted;
    std::erase(withoutDashes, '-');
    if (withoutDashes != id)
        return "formatting changed more than the dashes";
    if (id.size() == 9 && IsDigits(id)) {
        if (formatted.size() != 11 || formatted[3] != '-' || formatted[7] != '-')
            return "a nine-digit identifier is not formatted as XXX-XXX-XXX";
        if (NormalizeParticipantId(formatted) != id)
            return "the formatted identifier does not normalise back";
    }
    return {};
}

// Any seven characters with their own check digits pass; changing one check digit
// always fails.
std::string CheckDigitsOfBody(std::string_view input)
{
    std::string body(input.substr(0, 7));
    body.resize(7, '0');
    const std::string digits = ComputeIdCheckDigits(body);
    if (!CheckParticipantId(body + digits))
        return "an identifier with its own check digits was refused";
    std::string wrong = body + digits;
    wrong[8] = wrong[8] == '9' ? '0' : char(wrong[8] + 1);
    if (CheckParticipantId(wrong))
        return "an identifier with a changed check digit was accepted";
    if (ComputeIdCheckDigits(body + "xx") != digits)
        return "characters after the seventh changed the check digits";
    return {};
}

} // namespace

std::string FuzzParticipantId(std::string_view input)
{
    // Typed text reaches the check as the UTF-8 bytes of what the edit field holds.
    std::string problem = CheckNormalized(input, NormalizeParticipantId(input));
    if (problem.empty()) {
        const std::string typed
            = QString::fromUtf8(input.data(), qsizetype(input.size())).toStdString();
        problem = CheckNormalized(typed, NormalizeParticipantId(typed));
    }
    if (problem.empty())
        problem = CheckDigitsOfBody(input);
    return problem;
}
