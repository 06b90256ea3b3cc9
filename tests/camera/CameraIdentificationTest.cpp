#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <cstring>
#include <string>

#include "camera/CameraCard.h"
#include "camera/CameraIdentification.h"

namespace kx {
namespace {

using test::CameraCard;

// The first 64 bytes of setup.cfg of the other camera models.
std::string OtherModelHeader(std::string_view model, std::uint32_t major, std::uint32_t minor,
                             std::uint32_t patch, std::uint32_t language, std::size_t length = 64) {
    std::string header(64, '\0');
    std::memcpy(header.data(), model.data(), std::min<std::size_t>(model.size(), 32));
    auto put = [&](std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) header[offset + i] = static_cast<char>(value >> (8 * i));
    };
    put(32, major);
    put(36, minor);
    put(40, patch);
    put(44, language);
    return header.substr(0, length);
}

TEST(ModelCut, TakesTheSevenCharactersBeforeTheLast) {
    EXPECT_EQ(ModelCut("VO KX-TMQ4A"), "KX-TMQ4");
    EXPECT_EQ(ModelCut("ZEL KX-TMW8"), " KX-TMW");  // characters 4 to 10 of 11
    EXPECT_EQ(ModelCut("VO KX-TMQ4"), " KX-TMQ");
    EXPECT_EQ(ModelCut("12345678"), "1234567");
    EXPECT_EQ(ModelCut("X\xC3\xA9KX-TMQ4Z"), "KX-TMQ4");  // counted in characters
    // Shorter texts: everything but the last character.
    EXPECT_EQ(ModelCut("KX-TMQ4"), "KX-TMQ");
    EXPECT_EQ(ModelCut("A"), "");
    EXPECT_EQ(ModelCut(""), "");
}

TEST(CardIdentification, ReadsTheVersionFile) {
    CameraCard card;
    card.WriteVersion(
        "[firmware]\r\nversion=1.002.77\r\nmodel=VO KX-TMQ4A\r\nlanguage=Japanese language "
        "pack\r\n[local]\r\noption=EU\r\n");
    std::optional<CardIdentity> identity = IdentifyCard(card.root());
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(identity->firmware, "1.002.");  // six characters
    EXPECT_EQ(identity->model, "KX-TMQ4");
    EXPECT_EQ(identity->language, "Japanese langu");  // fourteen characters
    EXPECT_EQ(identity->option, "EU");
}

TEST(CardIdentification, AVersionFileWithoutKeysStillIdentifies) {
    CameraCard card;
    card.WriteVersion("; nothing here\n");
    test::WriteFileBytes(card.root() / "setup.cfg", OtherModelHeader("QT350", 1, 2, 3, 2));
    std::optional<CardIdentity> identity = IdentifyCard(card.root());
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(identity->firmware, "");
    EXPECT_EQ(identity->model, "");
    EXPECT_EQ(identity->language, "");
    EXPECT_EQ(identity->option, "");
}

TEST(CardIdentification, AByteOrderMarkInTheVersionFileIsSkipped) {
    CameraCard card;
    const std::string text = "\xEF\xBB\xBF" + test::VersionText("VO KX-TMQ4A", "1.002");
    card.WriteVersion(text);
    ASSERT_TRUE(IdentifyCard(card.root()).has_value());
    EXPECT_EQ(IdentifyCard(card.root())->firmware, "1.002");
    ASSERT_TRUE(IdentifySettings(card.root()).has_value());
    EXPECT_EQ(test::ReadFileBytes(card.versionFile()), text);  // read only
}

TEST(CardIdentification, ReadsTheOtherModelHeader) {
    struct Case {
        std::string header;
        std::string firmware, model, language;
    };
    const Case cases[] = {
        {OtherModelHeader("QT350", 1, 2, 3, 2), "1.2.3", "QT350", "Russian"},
        {OtherModelHeader("QT8800S-X", 10, 0, 12, 0), "10.0.12", "QT8800S-X", "English"},
        // A short file: the bytes past its end read as zero.
        {OtherModelHeader("QT350", 1, 2, 0x0302, 3, 41), "1.2.2", "QT350", "English"},
        {OtherModelHeader("QT350", 4000000000u, 1, 2, 1), "4000000000.1.2", "QT350", "China"},
        {OtherModelHeader("QT350", 1, 2, 3, 9), "1.2.3", "QT350", ""},  // unknown language
        // A model text without its zero byte stops at its 32 bytes and shows 15 characters.
        {OtherModelHeader(std::string("QT350") + std::string(27, 'Z'), 1, 1, 1, 1), "1.1.1",
         "QT350ZZZZZZZZZZ", "China"},
        {OtherModelHeader("QT350\xE9", 1, 1, 1, 1), "1.1.1", "QT350\xC3\xA9", "China"},
    };
    for (const Case& c : cases) {
        test::TempDir root;
        test::WriteFileBytes(root / "setup.cfg", c.header);
        std::optional<CardIdentity> identity = IdentifyCard(root.path());
        ASSERT_TRUE(identity.has_value()) << c.model;
        EXPECT_EQ(identity->firmware, c.firmware);
        EXPECT_EQ(identity->model, c.model);
        EXPECT_EQ(identity->language, c.language);
        EXPECT_EQ(identity->option, "");
    }
}

TEST(CardIdentification, RefusesOtherCards) {
    for (std::string header :
         {OtherModelHeader("QT88", 1, 2, 3, 0), OtherModelHeader("qt350", 1, 2, 3, 0),
          OtherModelHeader("XQT350", 1, 2, 3, 0), std::string("QT3")}) {
        test::TempDir root;
        test::WriteFileBytes(root / "setup.cfg", header);
        EXPECT_FALSE(IdentifyCard(root.path()).has_value()) << header.c_str();
    }
    test::TempDir empty;
    EXPECT_FALSE(IdentifyCard(empty.path()).has_value());
}

TEST(SettingsIdentification, AcceptsTheFourModelsWithAnySuffix) {
    struct Case {
        std::string_view model;
        bool accepted;
    };
    const Case cases[] = {
        {"VO KX-TMQ4", true},    {"VO KX-TMQ4A", true},   {"VO KX-TMQ4 anything", true},
        {"VO KX-TMC2B", true},   {"VO KX-TMH5B", true},   {"ZEL KX-TMW8Z", true},
        {"VO KX-TMQ5A", false},  {"VO KX-TMQ", false},    {"vo kx-tmq4A", false},
        {"ZEL KX-TMW9Z", false}, {"XVO KX-TMQ4A", false}, {"", false},
    };
    for (const Case& c : cases) {
        CameraCard card;
        card.WriteVersion(test::VersionText(c.model, "1.002"));
        EXPECT_EQ(IdentifySettings(card.root()).has_value(), c.accepted) << c.model;
    }
}

TEST(SettingsIdentification, DerivesTheDescriptorAndTitle) {
    CameraCard card;
    card.WriteVersion(test::VersionText("VO KX-TMQ4A", "1.2.3", "sg", "Korean"));
    std::optional<SettingsIdentity> identity = IdentifySettings(card.root());
    ASSERT_TRUE(identity.has_value());
    EXPECT_EQ(identity->descriptor.firmwareVersion, 1002);
    EXPECT_TRUE(identity->descriptor.voiceRecordHidden);
    EXPECT_EQ(identity->descriptor.card, card.root());
    EXPECT_EQ(identity->title, "KX-TMQ4  V1.002");
    EXPECT_EQ(identity->language, "Korean");

    for (std::string_view option : {"SG", "sg2", "Sg", ""}) {
        card.WriteVersion(test::VersionText("VO KX-TMQ4A", "1.2", option));
        ASSERT_TRUE(IdentifySettings(card.root()).has_value());
        EXPECT_FALSE(IdentifySettings(card.root())->descriptor.voiceRecordHidden) << option;
    }

    card.WriteVersion(test::VersionText("VO KX-TMQ4A", ""));
    ASSERT_TRUE(IdentifySettings(card.root()).has_value());
    EXPECT_EQ(IdentifySettings(card.root())->descriptor.firmwareVersion, 0);
    EXPECT_EQ(IdentifySettings(card.root())->title, "KX-TMQ4  V0.000");
}

TEST(SettingsIdentification, RefusesAVersionFileThatIsNotWritable) {
    CameraCard card;
    card.WriteVersion(test::VersionText("VO KX-TMQ4A", "1.002"));
    ASSERT_TRUE(IdentifySettings(card.root()).has_value());
    ASSERT_EQ(::chmod(card.versionFile().c_str(), 0444), 0);
    EXPECT_FALSE(IsReadableAndWritable(card.versionFile()));
    EXPECT_FALSE(IdentifySettings(card.root()).has_value());
    EXPECT_TRUE(IdentifyCard(card.root()).has_value());  // card identification still reads it

    CameraCard missing;
    EXPECT_FALSE(IdentifySettings(missing.root()).has_value());
    EXPECT_FALSE(IdentifySettings("").has_value());
    std::filesystem::create_directory(missing.versionFile());
    EXPECT_FALSE(IdentifySettings(missing.root()).has_value());
}

}  // namespace
}  // namespace kx
