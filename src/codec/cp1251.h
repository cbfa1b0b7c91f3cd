#pragma once

// The Windows-1251 code page: everything the program writes passes through it, so
// only its characters reach a lentar file.

// The code point of a Windows-1251 byte; 0xFFFD for 0x98, which the code page leaves
// unassigned.
char32_t Cp1251ToUnicode(unsigned char byte);

// The Windows-1251 byte of a code point, or -1 when the code page lacks it.
int UnicodeToCp1251(char32_t codePoint);

inline bool IsInCp1251(char32_t codePoint) { return UnicodeToCp1251(codePoint) >= 0; }
