#include "base64.h"

#include <climits>
#include <stdexcept>

namespace {

constexpr char kAlphabet[65] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr int kPad = 80;
constexpr int kSkip = 100;

struct DecodeTable
{
    unsigned char code[256];
};

constexpr DecodeTable BuildDecodeTable()
{
    DecodeTable table {};
    for (int c = 0; c < 256; ++c)
        table.code[c] = kSkip;
    for (int v = 0; v < 64; ++v)
        table.code[static_cast<unsigned char>(kAlphabet[v])] = static_cast<unsigned char>(v);
    table.code[static_cast<unsigned char>('=')] = kPad;
    return table;
}

constexpr DecodeTable kDecode = BuildDecodeTable();

inline char *EncodeGroup(const unsigned char *in, char *out)
{
    const unsigned int w = (unsigned(in[0]) << 16) | (unsigned(in[1]) << 8) | in[2];
    out[0] = kAlphabet[w >> 18];
    out[1] = kAlphabet[(w >> 12) & 63];
    out[2] = kAlphabet[(w >> 6) & 63];
    out[3] = kAlphabet[w & 63];
    return out + 4;
}

struct DecodeResult
{
    int written;
    bool failed;
};

DecodeResult Decode(const char *in, int length, unsigned char *out)
{
    int i = 0;
    int written = 0;
    while (length - i > 3) {
        // Nearly every group is four symbols in a row.
        const unsigned a = kDecode.code[static_cast<unsigned char>(in[i])];
        const unsigned b = kDecode.code[static_cast<unsigned char>(in[i + 1])];
        const unsigned c = kDecode.code[static_cast<unsigned char>(in[i + 2])];
        const unsigned d = kDecode.code[static_cast<unsigned char>(in[i + 3])];
        if ((a | b | c | d) < 64) {
            const unsigned w = (a << 18) | (b << 12) | (c << 6) | d;
            out[written] = static_cast<unsigned char>(w >> 16);
            out[written + 1] = static_cast<unsigned char>(w >> 8);
            out[written + 2] = static_cast<unsigned char>(w);
            written += 3;
            i += 4;
            continue;
        }
        int s[4];
        for (int k = 0; k < 4; ++k) {
            int code = kSkip;
            while (i < length) {
                code = kDecode.code[static_cast<unsigned char>(in[i++])];
                if (code != kSkip)
                    break;
            }
            s[k] = code;
        }
        // The text ran out before the group was complete.
        if (s[3] == kSkip)
            return { written, true };
        if (s[0] < 64 && s[1] < 64) {
            out[written++] = static_cast<unsigned char>((s[0] << 2) + (s[1] >> 4));
            if (s[2] < 64) {
                out[written++] = static_cast<unsigned char>((s[1] << 4) + (s[2] >> 2));
                if (s[3] < 64)
                    out[written++] = static_cast<unsigned char>((s[2] << 6) + s[3]);
            }
        }
        if (s[3] == kPad)
            break;
    }
    return { written, false };
}

} // namespace

int Base64Value(int c)
{
    return kDecode.code[c & 0xFF];
}

char Base64Symbol(int value)
{
    return value >= 0 && value < 62 ? kAlphabet[value] : (value == 62 ? '+' : '/');
}

int Base64EncodedSize(int count, int n)
{
    if (count <= 0)
        return 0;
    const long long groups = count / 3;
    long long size = 4 * ((static_cast<long long>(count) + 2) / 3);
    if (n > 0)
        size += groups / n;
    // No buffer of that size can be addressed by the encoder's int result.
    return size > INT_MAX ? -1 : static_cast<int>(size);
}

int Base64Encode(const unsigned char *in, char *out, int count, int n)
{
    if (count <= 0)
        return 0;
    char *const start = out;
    int groups = count / 3;
    if (n > 0) {
        // Whole lines first: the inner loop carries no line-feed test per group.
        for (; groups >= n; groups -= n) {
            for (int g = 0; g < n; ++g, in += 3)
                out = EncodeGroup(in, out);
            *out++ = '\n';
        }
    }
    for (; groups > 0; --groups, in += 3)
        out = EncodeGroup(in, out);

    switch (count % 3) {
    case 2:
        out[0] = kAlphabet[in[0] >> 2];
        out[1] = kAlphabet[((in[0] & 3) << 4) | (in[1] >> 4)];
        out[2] = kAlphabet[(in[1] & 15) << 2];
        out[3] = '=';
        out += 4;
        break;
    case 1:
        out[0] = kAlphabet[in[0] >> 2];
        out[1] = kAlphabet[(in[0] & 3) << 4];
        out[2] = '=';
        out[3] = '=';
        out += 4;
        break;
    default:
        break;
    }
    return static_cast<int>(out - start);
}

int Base64Decode(const char *in, int length, unsigned char *out)
{
    const DecodeResult r = Decode(in, length, out);
    return r.failed ? -1 : r.written;
}

bool Base64IsStrict(std::string_view text)
{
    std::size_t symbols = 0;
    int pads = 0;
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        // Runs of eight symbols at once, as long as no "=" was seen.
        if (pads == 0 && size - i >= 8) {
            unsigned codes = 0;
            for (std::size_t k = 0; k < 8; ++k)
                codes |= kDecode.code[static_cast<unsigned char>(text[i + k])];
            if (codes < 64) {
                symbols += 8;
                i += 8;
                continue;
            }
        }
        const char ch = text[i++];
        if (ch == '\n' || ch == '\r')
            continue;
        const int code = kDecode.code[static_cast<unsigned char>(ch)];
        if (code == kSkip || (code < 64 && pads > 0) || (code == kPad && ++pads > 2))
            return false;
        ++symbols;
    }
    // With nothing but pads after the first pad, a whole number of groups puts them at
    // the end of the last one.
    return symbols % 4 == 0;
}

std::string Base64EncodeString(std::string_view bytes, int n)
{
    if (bytes.size() > static_cast<std::size_t>(INT_MAX) / 4 * 3 - 3)
        throw std::length_error("Base64EncodeString: input too long");
    const int size = Base64EncodedSize(static_cast<int>(bytes.size()), n);
    std::string text(size > 0 ? size : 0, '\0');
    if (size > 0) {
        const int written = Base64Encode(reinterpret_cast<const unsigned char *>(bytes.data()),
            text.data(), static_cast<int>(bytes.size()), n);
        text.resize(written);
    }
    return text;
}

std::string Base64DecodeString(std::string_view text, bool *ok)
{
    if (text.size() > static_cast<std::size_t>(INT_MAX))
        throw std::length_error("Base64DecodeString: input too long");
    const int length = static_cast<int>(text.size());
    std::string bytes(3 * (length / 4), '\0');
    const DecodeResult r
        = Decode(text.data(), length, reinterpret_cast<unsigned char *>(bytes.data()));
    bytes.resize(r.written);
    if (ok)
        *ok = !r.failed;
    return bytes;
}
