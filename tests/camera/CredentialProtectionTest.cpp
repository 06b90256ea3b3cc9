#include <gtest/gtest.h>

#include <string>

#include "camera/CameraKey.h"
#include "camera/CredentialProtection.h"

namespace kx {
namespace {

// NIST SP 800-38A, F.2.1 (CBC-AES128.Encrypt) and F.2.2 (CBC-AES128.Decrypt).
constexpr AesKey kNistKey = {0x2b, 0x7e, 0x15, 0x16, 0x28, 0xae, 0xd2, 0xa6,
                             0xab, 0xf7, 0x15, 0x88, 0x09, 0xcf, 0x4f, 0x3c};
constexpr AesVector kNistVector = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
                                   0x08, 0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f};
// Blocks 1 and 2 of the example, then blocks 3 and 4 (whose chaining value is block 2's
// ciphertext).
constexpr std::string_view kNistPlain12 =
    "6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51";
constexpr std::string_view kNistCipher12 =
    "7649ABAC8119B246CEE98E9B12E9197D5086CB9B507219EE95DB113A917678B2";
constexpr AesVector kNistCipherBlock2 = {0x50, 0x86, 0xcb, 0x9b, 0x50, 0x72, 0x19, 0xee,
                                         0x95, 0xdb, 0x11, 0x3a, 0x91, 0x76, 0x78, 0xb2};
constexpr std::string_view kNistPlain34 =
    "30c81c46a35ce411e5fbc1191a0a52eff69f2445df4f9b17ad2b417be66c3710";
constexpr std::string_view kNistCipher34 =
    "73BED6B8E3C1743B7116E69E222295163FF1CAA1681FAC09120ECA307586E1A7";

PlainPassword FromHex(std::string_view hex) {
    std::array<unsigned char, kPlainPasswordBytes> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] =
            static_cast<unsigned char>(std::stoi(std::string(hex.substr(2 * i, 2)), nullptr, 16));
    PlainPassword plain;
    plain.SetRawBytes(bytes);
    return plain;
}

PlainPassword Plain(std::string_view text) {
    PlainPassword plain;
    plain.Assign(text);
    return plain;
}

std::string Encode(std::string_view password) {
    std::string text;
    EXPECT_EQ(EncodePassword(Plain(password), kNistKey, kNistVector, text), 0);
    return text;
}

TEST(CredentialProtection, MatchesTheNistCbcVectorsBothWays) {
    struct Case {
        AesVector vector;
        std::string_view plain;
        std::string_view cipher;
    };
    for (const Case& c : {Case{kNistVector, kNistPlain12, kNistCipher12},
                          Case{kNistCipherBlock2, kNistPlain34, kNistCipher34}}) {
        std::string text;
        ASSERT_EQ(EncodePassword(FromHex(c.plain), kNistKey, c.vector, text), 0);
        EXPECT_EQ(text, c.cipher);

        PlainPassword decoded;
        ASSERT_EQ(DecodePassword(c.cipher, kNistKey, c.vector, decoded), 0);
        EXPECT_EQ(decoded, FromHex(c.plain));
    }
}

TEST(CredentialProtection, EveryCallStartsFromTheSameVector) {
    // A context that carried its chaining state over would give a different second text.
    EXPECT_EQ(Encode("password1"), Encode("password1"));
    EXPECT_NE(Encode("password1"), Encode("password2"));
}

TEST(CredentialProtection, SharedFirstBlockGivesSharedFirstHalf) {
    const std::string a = Encode("0123456789abcdefXYZ");
    const std::string b = Encode("0123456789abcdef-other");
    EXPECT_EQ(a.substr(0, 32), b.substr(0, 32));
    EXPECT_NE(a.substr(32), b.substr(32));
}

TEST(CredentialProtection, LowerCaseDigitsDecodeLikeUpperCase) {
    std::string upper = Encode("Lower?");
    std::string lower = upper;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_NE(lower, upper);
    PlainPassword fromUpper, fromLower;
    ASSERT_EQ(DecodePassword(upper, kNistKey, kNistVector, fromUpper), 0);
    ASSERT_EQ(DecodePassword(lower, kNistKey, kNistVector, fromLower), 0);
    EXPECT_EQ(fromLower.view(), "Lower?");
    EXPECT_EQ(fromLower, fromUpper);
}

TEST(CredentialProtection, ThirtyTwoBytePasswordRoundTripsWithoutTerminator) {
    const std::string password = "abcdefghijklmnopqrstuvwxyz012345";
    ASSERT_EQ(password.size(), kPlainPasswordBytes);
    PlainPassword decoded;
    ASSERT_EQ(DecodePassword(Encode(password), kNistKey, kNistVector, decoded), 0);
    EXPECT_EQ(decoded.view(), password);
    EXPECT_EQ(decoded.RawBytes()[31], '5');
}

TEST(CredentialProtection, SixtyFourZerosAreACipherTextNotAnEmptyValue) {
    // AES-128-CBC decryption of 32 zero bytes under the NIST key and vector (openssl enc -d
    // -aes-128-cbc -nopad gives the same bytes).
    PlainPassword decoded;
    ASSERT_EQ(DecodePassword(std::string(64, '0'), kNistKey, kNistVector, decoded), 0);
    EXPECT_EQ(decoded, FromHex("ADB7355248CF3F952C25D2BC51B004DAADB637514CCA3992242CD8B75DBD0AD5"));
    std::string again;
    ASSERT_EQ(EncodePassword(decoded, kNistKey, kNistVector, again), 0);
    EXPECT_EQ(again, std::string(64, '0'));
}

TEST(CredentialProtection, BadTextFailsAndLeavesThePasswordUntouched) {
    const std::string good = std::string(kNistCipher12);
    for (std::string bad :
         {good.substr(0, 63), std::string(), good.substr(0, 10) + "G" + good.substr(11),
          good.substr(0, 40) + " " + good.substr(41), "0x" + good.substr(2),
          good.substr(0, 30) + std::string(1, '\0') + good.substr(31)}) {
        PlainPassword plain = Plain("unchanged");
        EXPECT_EQ(DecodePassword(bad, kNistKey, kNistVector, plain), -1) << bad;
        EXPECT_EQ(plain.view(), "unchanged");
    }
}

TEST(CredentialProtection, CharactersAfterTheSixtyFourthAreNotLookedAt) {
    PlainPassword plain;
    ASSERT_EQ(DecodePassword(std::string(kNistCipher12) + "zz!", kNistKey, kNistVector, plain), 0);
    EXPECT_EQ(plain, FromHex(kNistPlain12));
}

TEST(CredentialProtection, BuildKeyRoundTripsAndDevelopmentDefaultsAreTheMarkedTexts) {
    PlainPassword plain = Plain("card password");
    std::string text;
    ASSERT_EQ(EncodePassword(plain, text), 0);
    PlainPassword decoded;
    ASSERT_EQ(DecodePassword(text, decoded), 0);
    EXPECT_EQ(decoded.view(), "card password");

    if (!CameraKeyIsDevelopmentDefault()) GTEST_SKIP() << "built with a configured camera key";
    const AesKey key = CameraPasswordKey();
    const AesVector vector = CameraPasswordVector();
    EXPECT_EQ(std::string(key.begin(), key.end()), "KX-TMQ4 dev key!");
    EXPECT_EQ(std::string(vector.begin(), vector.end()), "KX-TMQ4 dev iv!!");
}

}  // namespace
}  // namespace kx
