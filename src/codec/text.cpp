#include "text.h"

std::string TrimControls(std::string_view text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsTrimmedChar(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && IsTrimmedChar(static_cast<unsigned char>(text[end - 1])))
        --end;
    return std::string(text.substr(begin, end - begin));
}
