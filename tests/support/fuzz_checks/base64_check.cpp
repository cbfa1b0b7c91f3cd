#include "fuzz_checks.h"

#include "codec/base64.h"

#include <climits>
#include <memory>
#include <string>

namespace {

// The decoding rules read word for word, without the table or any shortcut, as the
// reference the real decoder must agree with.
int ReferenceCode(unsigned char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return c == '=' ? 80 : 100;
}

std::string ReferenceDecode(std::string_view text, bool &failed)
{
    std::string out;
    std::size_t i = 0;
    failed = false;
    while (text.size() - i > 3) {
        int s[4];
        for (int &code : s) {
            code = 100;
            while (i < text.size() && code == 100)
                code = ReferenceCode(static_cast<unsigned char>(text[i++]));
        }
        if (s[3] == 100) {
            failed = true;
            return out;
        }
        if (s[0] < 64 && s[1] < 64) {
            out.push_back(static_cast<char>(((s[0] << 2) + (s[1] >> 4)) & 0xFF));
            if (s[2] < 64) {
                out.push_back(static_cast<char>(((s[1] << 4) + (s[2] >> 2)) & 0xFF));
                if (s[3] < 64)
                    out.push_back(static_cast<char>(((s[2] << 6) + s[3]) & 0xFF));
            }
        }
        if (s[3] == 80)
            break;
    }
    return out;
}

// Exactly the room the decoder is promised, on the heap, so that AddressSanitizer
// sees the first byte written past it.
std::string DecodeInExactBuffer(std::string_view text, int &result)
{
    const int length = static_cast<int>(text.size());
    const std::size_t room = 3 * std::size_t(length / 4);
    std::unique_ptr<unsigned char[]> out(new unsigned char[room]);
    result = Base64Decode(text.data(), length, out.get());
    if (result < 0)
        return {};
    return std::string(reinterpret_cast<const char *>(out.get()), std::size_t(result));
}

std::string CheckDecode(std::string_view text)
{
    int result = 0;
    const std::string decoded = DecodeInExactBuffer(text, result);
    if (result < -1 || result > 3 * int(text.size() / 4))
        return "Base64Decode returned " + std::to_string(result) + " for "
            + std::to_string(text.size()) + " characters";

    bool referenceFailed = false;
    const std::string reference = ReferenceDecode(text, referenceFailed);
    if (referenceFailed != (result == -1))
        return "Base64Decode disagrees with the rules about failing";
    if (!referenceFailed && decoded != reference)
        return "Base64Decode gives other bytes than the rules";

    bool ok = true;
    const std::string asString = Base64DecodeString(text, &ok);
    if (ok != (result != -1))
        return "Base64DecodeString disagrees with Base64Decode about failing";
    if (ok && asString != decoded)
        return "Base64DecodeString gives other bytes than Base64Decode";
    if (!ok && asString != reference)
        return "Base64DecodeString keeps other bytes before the failure than the rules";
    return {};
}

// The input's first byte picks the groups per line (-2 to 21); the rest is encoded.
std::string CheckRoundTrip(std::string_view input)
{
    if (input.empty())
        return {};
    const int n = static_cast<unsigned char>(input[0]) % 24 - 2;
    const std::string_view bytes = input.substr(1);
    const int count = static_cast<int>(bytes.size());
    const int size = Base64EncodedSize(count, n);
    if (size < 0)
        return "Base64EncodedSize refuses a small input";
    std::unique_ptr<char[]> text(new char[std::size_t(size)]);
    const int written
        = Base64Encode(reinterpret_cast<const unsigned char *>(bytes.data()), text.get(), count, n);
    if (written != size)
        return "Base64Encode wrote " + std::to_string(written) + " characters, promised "
            + std::to_string(size);
    const std::string_view encoded(text.get(), std::size_t(written));
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const bool lineEnd = encoded[i] == '\n';
        const int code = ReferenceCode(static_cast<unsigned char>(encoded[i]));
        if (!lineEnd && code > 80)
            return "Base64Encode wrote a character outside the alphabet";
        if (lineEnd && n <= 0)
            return "Base64Encode broke a line although no lines were asked for";
    }
    int result = 0;
    const std::string decoded = DecodeInExactBuffer(encoded, result);
    if (result != count || decoded != bytes)
        return "the encoder's text does not decode back to its bytes (n = " + std::to_string(n)
            + ")";
    if (Base64EncodeString(bytes, n) != encoded)
        return "Base64EncodeString differs from Base64Encode";
    return {};
}

} // namespace

std::string FuzzBase64(std::string_view input)
{
    if (input.size() > std::size_t(INT_MAX / 2))
        return {};
    std::string problem = CheckDecode(input);
    if (problem.empty())
        problem = CheckRoundTrip(input);
    return problem;
}
