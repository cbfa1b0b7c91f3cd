#pragma once

#include <string>
#include <string_view>

// True for the characters that trimming removes: code 32 and below.
inline bool IsTrimmedChar(unsigned char c) { return c <= 32; }

// Removes all leading and trailing characters of code 32 and below.
std::string TrimControls(std::string_view text);
