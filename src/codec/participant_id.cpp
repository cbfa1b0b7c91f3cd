#include "participant_id.h"

#include "text.h"

#include <QCryptographicHash>

#include <algorithm>

std::string NormalizeParticipantId(std::string_view typed)
{
    std::string id = TrimControls(typed);
    std::erase(id, '-');
    std::erase(id, ' ');
    return id;
}

std::string ComputeIdCheckDigits(std::string_view normalizedId)
{
    const std::string_view body
        = normalizedId.substr(0, std::min<std::size_t>(7, normalizedId.size()));
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(body.data(), qsizetype(body.size())), QCryptographicHash::Md5);
    // The first digest byte scaled to 0..99 and rounded to nearest: round(99v / 255)
    // in integers. It never ties, since 99v / 255 = 33v / 85.
    const int v = static_cast<unsigned char>(digest[0]);
    const int c = (198 * v + 255) / 510;
    return { static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10) };
}

bool CheckParticipantId(std::string_view normalizedId)
{
    if (normalizedId.size() < 9)
        return false;
    return normalizedId.substr(7, 2) == ComputeIdCheckDigits(normalizedId);
}

std::string FormatParticipantId(std::string_view normalizedId)
{
    // A dash goes in front of the 4th and the 7th character only where that character
    // exists, so a short text gains no dangling dash.
    std::string formatted(normalizedId);
    if (formatted.size() > 6)
        formatted.insert(6, 1, '-');
    if (formatted.size() > 3)
        formatted.insert(3, 1, '-');
    return formatted;
}

ParsedParticipantId ParseParticipantId(std::string_view text)
{
    ParsedParticipantId parsed;
    std::string digits = NormalizeParticipantId(text);
    if (digits.size() != 9
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return parsed;
    parsed.shape = CheckParticipantId(digits) ? IdShape::Valid : IdShape::WrongCheckDigits;
    parsed.formatted = FormatParticipantId(digits);
    parsed.digits = std::move(digits);
    return parsed;
}
