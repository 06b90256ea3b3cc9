#include "camera/CredentialProtection.h"

#include <openssl/evp.h>

#include <memory>

#include "camera/CameraKey.h"

namespace kx {
namespace {

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* context) const noexcept { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

using Block32 = std::array<unsigned char, kPlainPasswordBytes>;

// Runs AES-128-CBC over exactly 32 bytes in a context made for this one call, so no chaining
// state carries over from one value to the next.
bool Crypt(bool encrypt, const AesKey& key, const AesVector& vector, const Block32& in,
           Block32& out) {
    CipherContext context(EVP_CIPHER_CTX_new());
    if (!context) return false;
    if (EVP_CipherInit_ex(context.get(), EVP_aes_128_cbc(), nullptr, key.data(), vector.data(),
                          encrypt ? 1 : 0) != 1)
        return false;
    // The plain form is always two whole blocks: nothing is added or removed.
    if (EVP_CIPHER_CTX_set_padding(context.get(), 0) != 1) return false;
    int written = 0;
    if (EVP_CipherUpdate(context.get(), out.data(), &written, in.data(),
                         static_cast<int>(in.size())) != 1)
        return false;
    int finalWritten = 0;
    if (EVP_CipherFinal_ex(context.get(), out.data() + written, &finalWritten) != 1) return false;
    return static_cast<std::size_t>(written + finalWritten) == out.size();
}

}  // namespace

int DecodePassword(std::string_view text, const AesKey& key, const AesVector& vector,
                   PlainPassword& plain) {
    Block32 cipher{};
    for (std::size_t i = 0; i < cipher.size(); ++i) {
        if (2 * i + 1 >= text.size()) return -1;
        int high = HexValue(text[2 * i]);
        int low = HexValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return -1;
        cipher[i] = static_cast<unsigned char>(high * 16 + low);
    }
    Block32 decrypted{};
    if (!Crypt(false, key, vector, cipher, decrypted)) return -1;
    plain.SetRawBytes(decrypted);
    return 0;
}

int EncodePassword(const PlainPassword& plain, const AesKey& key, const AesVector& vector,
                   std::string& text) {
    Block32 cipher{};
    if (!Crypt(true, key, vector, plain.RawBytes(), cipher)) return -1;
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(kProtectedPasswordChars);
    for (unsigned char byte : cipher) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    text = std::move(hex);
    return 0;
}

int DecodePassword(std::string_view text, PlainPassword& plain) {
    return DecodePassword(text, CameraPasswordKey(), CameraPasswordVector(), plain);
}

int EncodePassword(const PlainPassword& plain, std::string& text) {
    return EncodePassword(plain, CameraPasswordKey(), CameraPasswordVector(), text);
}

}  // namespace kx
