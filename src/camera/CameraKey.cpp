#include "camera/CameraKey.h"

#include <string_view>

namespace kx {
namespace {

constexpr bool IsHex128(std::string_view text) {
    if (text.size() != 32) return false;
    for (char c : text)
        if (HexValue(c) < 0) return false;
    return true;
}

constexpr std::string_view kKeyHex = KX_CAMERA_AES_KEY_HEX;
constexpr std::string_view kVectorHex = KX_CAMERA_AES_IV_HEX;
static_assert(IsHex128(kKeyHex), "KX_CAMERA_AES_KEY must be 32 hexadecimal digits");
static_assert(IsHex128(kVectorHex), "KX_CAMERA_AES_IV must be 32 hexadecimal digits");

std::array<unsigned char, 16> FromHex(std::string_view text) {
    std::array<unsigned char, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] =
            static_cast<unsigned char>(HexValue(text[2 * i]) * 16 + HexValue(text[2 * i + 1]));
    return bytes;
}

}  // namespace

AesKey CameraPasswordKey() {
    return FromHex(kKeyHex);
}

AesVector CameraPasswordVector() {
    return FromHex(kVectorHex);
}

bool CameraKeyIsDevelopmentDefault() {
    return KX_CAMERA_AES_IS_DEVELOPMENT != 0;
}

}  // namespace kx
