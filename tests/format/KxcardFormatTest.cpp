// kxcard devices and kxcard format from the outside, with a fake device list where devices
// are involved (KX_FORMAT_DEVICES), so no test ever reaches a real device.
#include <gtest/gtest.h>

#include "FormatPeers.h"
#include "format/FormatTargets.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

// A sparse image whose first MiB holds a pattern, so that a refusal can be seen to leave it.
std::string MakeImage(const fs::path& path, std::uint64_t bytes) {
    test::CreateSparseFile(path, bytes);
    std::string head = test::PatternBytes(1 << 20, 9);
    test::WriteRange(path, 0, head);
    return head;
}

test::ProcessResult Format(const std::vector<std::string>& words,
                           const std::map<std::string, std::string>& environment = {}) {
    std::vector<std::string> arguments{"format"};
    arguments.insert(arguments.end(), words.begin(), words.end());
    return test::RunProcess(kx::test::KxcardPath(), arguments, environment);
}

TEST(KxcardFormat, FormatsAnImageFile) {
    test::TempDir dir;
    const fs::path image = dir / "card.img";
    MakeImage(image, 62'500'000ull * 512);
    auto result = Format({image.string(), "--yes"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string prefix = R"({"ok":true,"S":512,"T":62500000,"F":3815,"C":488221,"serial":")";
    ASSERT_TRUE(result.out.starts_with(prefix)) << result.out;
    const std::string serial = result.out.substr(prefix.size(), 9);  // "XXXX-XXXX"
    EXPECT_EQ(result.out.substr(prefix.size() + 9), "\"}\n");
    EXPECT_EQ(serial[4], '-');
    EXPECT_EQ(test::RunFatTool("fsck.fat", {"-n", image.string()}).exitCode, 0);
    auto info = test::RunFatTool("minfo", {"-i", image.string()});
    EXPECT_NE(info.out.find("serial number: " + serial.substr(0, 4) + serial.substr(5)),
              std::string::npos)
        << info.out;

    const fs::path large = dir / "large.img";
    MakeImage(large, 64ull << 30);
    auto fourK = Format({large.string(), "--yes", "--sector-size", "4096"});
    EXPECT_EQ(fourK.exitCode, 0) << fourK.err;
    EXPECT_NE(fourK.out.find(R"("S":4096,"T":16777216,"F":128,"C":131069)"), std::string::npos)
        << fourK.out;
    EXPECT_EQ(test::RunFatTool("fsck.fat", {"-n", large.string()}).exitCode, 0);
}

TEST(KxcardFormat, RefusesWithoutYesAndOnSmallCards) {
    test::TempDir dir;
    struct Case {
        std::uint64_t sectors;
        std::vector<std::string> extra;
        const char* reason;
    };
    const Case cases[] = {
        {62'500'000, {}, "--yes"},
        {7'744'512, {"--yes"}, "60496 clusters"},
        {8'388'608, {"--yes"}, "65527 clusters"},
        {62'500'000, {"--yes", "--partition", "1"}, "no MBR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reason);
        const fs::path image = dir / "card.img";
        const std::string head = MakeImage(image, c.sectors * 512);
        std::vector<std::string> words{image.string()};
        words.insert(words.end(), c.extra.begin(), c.extra.end());
        auto result = Format(words);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(result.out.starts_with(R"({"ok":false,"reason":")")) << result.out;
        EXPECT_NE(result.out.find(c.reason), std::string::npos) << result.out;
        EXPECT_FALSE(result.err.empty());
        EXPECT_TRUE(test::ReadRange(image, 0, head.size()) == head);
    }
}

TEST(KxcardFormat, PartitionOfAnMbrImage) {
    test::TempDir dir;
    const fs::path image = dir / "card.img";
    test::CreateSparseFile(image, (2048ull + 62'500'000) * 512);
    test::WriteMbr(image, {{0x83, 2048, 62'500'000}});
    auto result = Format({image.string(), "--yes", "--partition", "1"});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.out.find(R"("T":62500000,"F":3815,"C":488221)"), std::string::npos);
    EXPECT_EQ(static_cast<std::uint8_t>(test::ReadRange(image, 446 + 4, 1)[0]), 0x0C);
}

TEST(KxcardFormat, DeviceListOffersAndRefuses) {
    test::TempDir dir;
    const fs::path card = dir / "card.img", fixed = dir / "fixed.img", system = dir / "system.img",
                   program = dir / "program.img";
    const std::string head = MakeImage(card, 62'500'000ull * 512);
    for (const fs::path& image : {fixed, system, program}) MakeImage(image, 62'500'000ull * 512);
    const fs::path list = dir / "devices.txt";
    test::WriteFileBytes(list,
                         "# card reader with the camera's card\n"
                         "device=" +
                             card.string() + "; label=KX-TMQ4; mounts=/media/card; free=123\n" +
                             "device=" + fixed.string() + "; removable=0\n" +
                             "device=" + system.string() + "; mounts=/\n" +
                             // the stick the program runs from
                             "device=" + program.string() +
                             "; mounts=" + test::BinDir().parent_path().string() + "\n");
    const std::map<std::string, std::string> environment{
        {format::kFormatDevicesVariable, list.string()}};

    auto devices = test::RunProcess(kx::test::KxcardPath(), {"devices"}, environment);
    EXPECT_EQ(devices.exitCode, 0) << devices.err;
    const std::string size = std::to_string(62'500'000ull * 512);
    EXPECT_EQ(devices.out,
              R"({"device":")" + card.string() + R"(","label":"KX-TMQ4","free":123,"size":)" +
                  size + R"(,"removable":1})" + "\n" + R"({"device":")" + system.string() +
                  R"(","label":"","free":0,"size":)" + size + R"(,"removable":1})" + "\n" +
                  R"({"device":")" + program.string() + R"(","label":"","free":0,"size":)" + size +
                  R"(,"removable":1})" + "\n");

    struct Case {
        fs::path device;
        std::string reason;
        bool rejectTexts;
    };
    for (const Case& c :
         {Case{fixed, "not a removable device", false}, Case{system, "holds /", true},
          Case{program, "holds " + test::BinDir().string(), true}}) {
        SCOPED_TRACE(c.device);
        auto result = Format({c.device.string(), "--yes", "--language", "english"}, environment);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.out.find(c.reason), std::string::npos) << result.out;
        EXPECT_EQ(result.out.find(R"("message":"The selected drive holds the system or this )"
                                  R"(program.\nIt will not be formatted.")") != std::string::npos,
                  c.rejectTexts)
            << result.out;
        EXPECT_TRUE(test::ReadRange(c.device, 0, head.size()) == head);  // untouched
    }

    auto formatted = Format({card.string(), "--yes"}, environment);
    EXPECT_EQ(formatted.exitCode, 0) << formatted.out << formatted.err;
    EXPECT_EQ(test::RunFatTool("fsck.fat", {"-n", card.string()}).exitCode, 0);

    // Neither a device of the list nor an image file.
    auto character = Format({"/dev/null", "--yes"}, environment);
    EXPECT_EQ(character.exitCode, 1);
    EXPECT_NE(character.out.find("neither a block device nor an image file"), std::string::npos);
}

TEST(KxcardFormat, BadArguments) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "devices.txt", "device=/x; colour=blue\n");
    for (auto words : std::vector<std::vector<std::string>>{{"format"},
                                                            {"format", "a", "b", "--yes"},
                                                            {"format", "a", "--partition", "9"},
                                                            {"format", "a", "--sector-size", "x"},
                                                            {"format", "a", "--bogus"},
                                                            {"devices", "x"}}) {
        auto result = test::RunProcess(kx::test::KxcardPath(), words);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_FALSE(result.err.empty());
    }
    auto badList =
        test::RunProcess(kx::test::KxcardPath(), {"devices"},
                         {{format::kFormatDevicesVariable, (dir / "devices.txt").string()}});
    EXPECT_EQ(badList.exitCode, 1);
    EXPECT_NE(badList.err.find("colour"), std::string::npos);
    auto missing =
        test::RunProcess(kx::test::KxcardPath(), {"format", (dir / "none.img").string(), "--yes"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.out.find("does not exist"), std::string::npos);
}

}  // namespace
}  // namespace kx
