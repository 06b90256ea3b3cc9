#pragma once
// The protected form of the camera's Wi-Fi password ("Wifi" / "ap_pw" in config.ini): the
// 32-byte plain form (UTF-8 bytes, zero-padded) encrypted with AES-128-CBC under the camera's
// fixed key and initial vector, without padding, written as 64 hexadecimal digits.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "camera/FixedText.h"

namespace kx {

inline constexpr std::size_t kPlainPasswordBytes = 32;
inline constexpr std::size_t kProtectedPasswordChars = 2 * kPlainPasswordBytes;

using PlainPassword = FixedText<kPlainPasswordBytes>;
using AesKey = std::array<unsigned char, 16>;
using AesVector = std::array<unsigned char, 16>;

// The value of one hexadecimal digit (either case); -1 for any other character.
constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Decodes the first 64 characters of text (digits and A-F in either case; anything after them
// is not looked at). Returns 0, or -1 when a character is not a hexadecimal digit, the text is
// shorter than 64 characters or the cipher fails; on failure plain is left untouched.
int DecodePassword(std::string_view text, const AesKey& key, const AesVector& vector,
                   PlainPassword& plain);

// Encodes all 32 bytes of plain as 64 upper-case hexadecimal digits into text. Returns 0, or -1
// when the cipher fails (text is then left untouched).
int EncodePassword(const PlainPassword& plain, const AesKey& key, const AesVector& vector,
                   std::string& text);

// The same with the key and vector this viewer was built with (CameraKey.h).
int DecodePassword(std::string_view text, PlainPassword& plain);
int EncodePassword(const PlainPassword& plain, std::string& text);

}  // namespace kx
