#pragma once

// MD5 message digest (RFC 1321), our own implementation.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class Md5
{
public:
    Md5();
    void update(const void *data, std::size_t length);
    // Finishes the digest; the object must be reset before it is used again.
    void finish(unsigned char digest[16]);
    void reset();

private:
    void transform(const unsigned char block[64]);

    std::uint32_t state_[4];
    std::uint32_t count_[2]; // bit count, low half first
    unsigned char buffer_[64];
};

// The 32 lowercase hexadecimal digits of the MD5 digest of text.
std::string Md5HexDigest(std::string_view text);
