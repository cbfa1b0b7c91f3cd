#pragma once

// Base64 with the standard alphabet. The encoder ends a line with a single line
// feed after every n groups of four symbols; the decoder skips anything that is not
// a symbol or "=", and stops at the first group whose fourth symbol is "=".
// Both work on caller-supplied buffers and allocate nothing.

#include <string>
#include <string_view>

// Code of a character for the decoder: 0..63 for a symbol, 80 for "=", 100 for any
// other byte (skipped). Only the low 8 bits of c count.
int Base64Value(int c);

// The alphabet character of value 0..63 (62 is "+", anything else above 61 is "/").
char Base64Symbol(int value);

// Room Base64Encode needs for count bytes at n groups per line.
int Base64EncodedSize(int count, int n);

// Encodes count bytes into out; a line feed follows every n complete groups
// (never when n <= 0). Returns the number of characters written; no terminator.
int Base64Encode(const unsigned char *in, char *out, int count, int n);

// Decodes length characters into out (room for 3 * (length / 4) bytes). Returns the
// number of bytes written, or -1 when the text ends inside a group.
int Base64Decode(const char *in, int length, unsigned char *out);

// True when text is base64 and nothing else: complete groups of four symbols, "=" only
// as the last one or two characters of the last group, and no other character than
// line feeds and carriage returns between them. The decoder skips anything else
// without a word; this tells whether it had anything to skip.
bool Base64IsStrict(std::string_view text);

// Convenience forms over strings.
std::string Base64EncodeString(std::string_view bytes, int n);
// Decoded bytes; sets *ok (when given) to false where Base64Decode returned -1, and
// then returns the bytes written before the failure.
std::string Base64DecodeString(std::string_view text, bool *ok = nullptr);
