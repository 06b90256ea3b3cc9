// Formats image files and lets dosfstools and mtools judge the result.
#include <gtest/gtest.h>
#include <sys/file.h>

#include <fcntl.h>

#include "FormatPeers.h"
#include "format/FormatFat32.h"
#include "format/ImageFileDevice.h"
#include "support/TempDir.h"

namespace kx::format {
namespace {

using test::ReadRange;
using test::RunFatTool;

const LocalTime kTime{2026, 12, 11, 12, 5, 36, 789};

// fsck.fat finds no error, mtools reads the volume and its label, and a file copied in comes
// back byte for byte (and fsck.fat is still content afterwards).
void ExpectPeersAccept(const std::filesystem::path& image, const FormatResult& result,
                       bool runMinfo = true) {
    const std::string clusters = std::to_string(result.layout.clusterCount);
    auto fsck = RunFatTool("fsck.fat", {"-n", image.string()});
    EXPECT_EQ(fsck.exitCode, 0) << fsck.out << fsck.err;
    EXPECT_NE(fsck.out.find("1/" + clusters + " clusters"), std::string::npos) << fsck.out;
    EXPECT_EQ(fsck.out.find("differ"), std::string::npos) << fsck.out;

    if (runMinfo) {
        auto info = RunFatTool("minfo", {"-i", image.string()});
        EXPECT_EQ(info.exitCode, 0) << info.err;
        EXPECT_NE(info.out.find("sector size: " + std::to_string(result.layout.bytesPerSector) +
                                " bytes"),
                  std::string::npos);
        EXPECT_NE(info.out.find("cluster size: 128 sectors"), std::string::npos);
        EXPECT_NE(info.out.find("disk label=\"KX-TMQ4    \""), std::string::npos);
        std::string serial = VolumeIdText(result.volumeId);
        serial.erase(4, 1);
        EXPECT_NE(info.out.find("serial number: " + serial), std::string::npos) << info.out;
        EXPECT_NE(info.out.find("free clusters=" + std::to_string(result.layout.clusterCount - 1)),
                  std::string::npos);
    }

    auto label = RunFatTool("mlabel", {"-s", "-i", image.string(), "::"});
    EXPECT_EQ(label.exitCode, 0) << label.err;
    EXPECT_NE(label.out.find("Volume label is KX-TMQ4"), std::string::npos) << label.out;

    test::TempDir dir;
    const std::string content = test::PatternBytes(300'000, 7);  // several clusters
    test::WriteFileBytes(dir / "in.bin", content);
    auto copyIn =
        RunFatTool("mcopy", {"-i", image.string(), (dir / "in.bin").string(), "::/REC.BIN"});
    EXPECT_EQ(copyIn.exitCode, 0) << copyIn.err;
    auto listing = RunFatTool("mdir", {"-i", image.string(), "::/"});
    EXPECT_NE(listing.out.find("300000"), std::string::npos) << listing.out;
    auto copyOut =
        RunFatTool("mcopy", {"-i", image.string(), "::/REC.BIN", (dir / "out.bin").string()});
    EXPECT_EQ(copyOut.exitCode, 0) << copyOut.err;
    EXPECT_TRUE(test::ReadFileBytes(dir / "out.bin") == content);
    auto again = RunFatTool("fsck.fat", {"-n", image.string()});
    EXPECT_EQ(again.exitCode, 0) << again.out << again.err;
}

TEST(ImageFormat, PeersReadEveryLayout) {
    struct Case {
        const char* name;
        std::uint64_t sectors;
        std::uint32_t sectorSize;
        std::uint32_t extraBytes;  // a partial sector at the end is left alone
        bool runMinfo;
    };
    const Case cases[] = {
        {"62,500,000 sectors", 62'500'000, 512, 0, true},
        {"smallest at 512", 8'389'698, 512, 300, true},
        {"FAT grown by a sector at 512", 8'405'954, 512, 0, true},
        // minfo of mtools 4.0.33 asserts in its own parameter check on volumes of 2^32 - 2
        // sectors (on mkfs.fat's volumes of that size as well); mdir, mcopy and mlabel read
        // them, and fsck.fat checks them.
        {"largest at 512", 0xFFFFFFFE, 512, 0, false},
        {"smallest at 4096", 8'388'802, 4096, 0, true},
        {"FAT grown by a sector at 4096", 8'519'746, 4096, 4000, true},
        {"largest at 4096", 0xFFFFFFFE, 4096, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const auto image = dir / "card.img";
        test::CreateSparseFile(image, c.sectors * c.sectorSize + c.extraBytes);
        ImageFileDevice device(image, c.sectorSize, 0);
        FormatResult result = FormatFat32(device, kTime);
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_EQ(result.layout.totalSectors, c.sectors);
        EXPECT_FALSE(result.partitionTypeSet);  // no table: tolerated
        EXPECT_EQ(std::filesystem::file_size(image), c.sectors * c.sectorSize + c.extraBytes);
        ExpectPeersAccept(image, result, c.runMinfo);
    }
}

TEST(ImageFormat, FormatsOverAnOldVolume) {
    test::TempDir dir;
    const auto image = dir / "card.img";
    test::CreateSparseFile(image, 62'500'000ull * 512);
    ASSERT_EQ(RunFatTool("mkfs.fat", {"-F", "32", "-s", "8", image.string()}).exitCode, 0);
    test::WriteFileBytes(dir / "old.bin", test::PatternBytes(1 << 20, 3));
    ASSERT_EQ(RunFatTool("mcopy", {"-i", image.string(), (dir / "old.bin").string(), "::/OLD.BIN"})
                  .exitCode,
              0);
    ImageFileDevice device(image, 512, 0);
    FormatResult result = FormatFat32(device, kTime);
    ASSERT_TRUE(result.ok) << result.reason;
    auto listing = RunFatTool("mdir", {"-i", image.string(), "::/"});
    EXPECT_EQ(listing.out.find("OLD"), std::string::npos) << listing.out;
    ExpectPeersAccept(image, result);
}

TEST(ImageFormat, PartitionOfAnMbrCard) {
    for (std::uint32_t sectorSize : {512u, 4096u}) {
        SCOPED_TRACE(sectorSize);
        test::TempDir dir;
        const auto image = dir / "card.img";
        const std::uint32_t start = sectorSize == 512 ? 8192 : 2048;
        const std::uint32_t first = sectorSize == 512 ? 62'500'000 : 9'000'000;
        const std::uint32_t second = 4096;
        test::CreateSparseFile(image, std::uint64_t{start + first + second} * sectorSize);
        test::WriteMbr(image, {{0x83, start, first}, {0x83, start + first, second}});
        const std::string secondPartition = test::PatternBytes(64 * 1024, 11);
        test::WriteRange(image, std::uint64_t{start + first} * sectorSize, secondPartition);
        const std::string tableBefore = ReadRange(image, 0, 512);

        ImageFileDevice device(image, sectorSize, 1);
        FormatResult result = FormatFat32(device, kTime);
        ASSERT_TRUE(result.ok) << result.reason;
        EXPECT_TRUE(result.partitionTypeSet);
        EXPECT_EQ(result.layout.totalSectors, first);

        // Only the type byte of entry 1 changed in sector 0; the next partition is untouched.
        std::string tableAfter = ReadRange(image, 0, 512);
        EXPECT_EQ(static_cast<std::uint8_t>(tableAfter[446 + 4]), 0x0C);
        tableAfter[446 + 4] = tableBefore[446 + 4];
        EXPECT_TRUE(tableAfter == tableBefore);
        EXPECT_TRUE(ReadRange(image, std::uint64_t{start + first} * sectorSize,
                              secondPartition.size()) == secondPartition);

        // The boot sector records the partition start as hidden sectors.
        const std::string boot = ReadRange(image, std::uint64_t{start} * sectorSize, 64);
        const std::uint32_t hidden = static_cast<std::uint8_t>(boot[28]) |
                                     static_cast<std::uint8_t>(boot[29]) << 8 |
                                     static_cast<std::uint8_t>(boot[30]) << 16;
        EXPECT_EQ(hidden, start);

        // mtools reads the volume in place; fsck.fat gets the partition on its own.
        const std::string inPlace =
            image.string() + "@@" + std::to_string(std::uint64_t{start} * sectorSize);
        auto label = RunFatTool("mlabel", {"-s", "-i", inPlace, "::"});
        EXPECT_NE(label.out.find("KX-TMQ4"), std::string::npos) << label.out << label.err;
        const auto volume = dir / "volume.img";
        ASSERT_TRUE(test::ExtractRange(image, std::uint64_t{start} * sectorSize,
                                       std::uint64_t{first} * sectorSize, volume));
        ExpectPeersAccept(volume, result);
    }
}

// Every refusal happens before the first write: the image stays exactly as it was.
TEST(ImageFormat, RefusalsWriteNothing) {
    struct Case {
        const char* name;
        std::vector<test::MbrSlot> slots;  // empty: no MBR at all
        unsigned partition;
        std::uint32_t sectorSize;
        const char* reason;
    };
    const std::uint32_t big = 20'000'000;
    const Case cases[] = {
        {"GPT card", {{0xEE, 1, big}}, 1, 512, "GUID"},
        {"extended entry", {{0x05, 2048, big}}, 1, 512, "extended"},
        {"empty entry", {{0x0C, 2048, big}}, 2, 512, "empty"},
        {"entry past the end", {{0x0C, 2048, big * 4}}, 1, 512, "past the end"},
        {"no table", {}, 1, 512, "no MBR"},
        {"4 GB partition", {{0x0C, 2048, 7'744'512}}, 1, 512, "60496"},
        {"4 GiB partition", {{0x0C, 2048, 8'388'608}}, 1, 512, "65527"},
        {"4 GB card", {}, 0, 512, "clusters"},
        {"odd sector size", {}, 0, 520, "sector size"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const auto image = dir / "card.img";
        const std::uint64_t size =
            c.partition == 0 ? 7'744'512ull * 512 : (2048ull + big + 8) * c.sectorSize;
        test::CreateSparseFile(image, size);
        const std::string head = test::PatternBytes(2 << 20, 5);
        test::WriteRange(image, 0, head);
        if (!c.slots.empty()) test::WriteMbr(image, c.slots);
        const std::string before = ReadRange(image, 0, head.size());

        ImageFileDevice device(image, c.sectorSize, c.partition);
        FormatResult result = FormatFat32(device, kTime);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.wroteSectors);
        EXPECT_NE(result.reason.find(c.reason), std::string::npos) << result.reason;
        EXPECT_TRUE(ReadRange(image, 0, head.size()) == before);
    }
}

TEST(ImageFormat, ImageInUseOrNotAFile) {
    test::TempDir dir;
    const auto image = dir / "card.img";
    test::CreateSparseFile(image, 62'500'000ull * 512);
    {
        int holder = ::open(image.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(holder, 0);
        ASSERT_EQ(::flock(holder, LOCK_EX), 0);
        ImageFileDevice device(image, 512, 0);
        FormatResult result = FormatFat32(device, kTime);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.reason.find("another program"), std::string::npos) << result.reason;
        ::close(holder);
    }
    for (const auto& path : {dir.path(), dir / "missing.img"}) {
        ImageFileDevice device(path, 512, 0);
        FormatResult result = FormatFat32(device, kTime);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.reason.empty());
    }
}

}  // namespace
}  // namespace kx::format
