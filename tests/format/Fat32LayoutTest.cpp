#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "format/Fat32Layout.h"

namespace kx::format {
namespace {

std::uint32_t Get16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8;
}
std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::string Text(const std::vector<std::uint8_t>& b, std::size_t at, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(b.data() + at), size);
}

TEST(Fat32Layout, GeometryExamples) {
    struct Case {
        std::uint64_t sectors;
        std::uint32_t sectorSize;
        std::uint32_t fat;  // 0: the layout is refused
        std::uint64_t clusters;
    };
    const Case cases[] = {
        {62'500'000, 512, 3815, 488'221},
        {67'108'864, 512, 4096, 524'223},  // 32 GiB
        {8'389'698, 512, 513, 65'536},     // the smallest volume at 512
        {8'389'697, 512, 0, 0},
        {7'744'512, 512, 0, 0},         // a 4 GB card: 60,496 clusters
        {8'388'608, 512, 0, 0},         // exactly 4 GiB: 65,527 clusters
        {8'388'802, 4096, 65, 65'536},  // the smallest volume at 4096 (32 GiB)
        {8'388'801, 4096, 0, 0},
        {0xFFFFFFFEull, 4096, 32768, 33'553'919},
        {0xFFFFFFFFull, 512, 0, 0},  // too many sectors
        {65'535, 512, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.sectors << " sectors of " << c.sectorSize);
        LayoutCheck check = ComputeLayout(c.sectors * c.sectorSize, c.sectorSize);
        if (c.fat == 0) {
            EXPECT_FALSE(check.geometry);
            EXPECT_FALSE(check.reason.empty());
            continue;
        }
        ASSERT_TRUE(check.geometry) << check.reason;
        EXPECT_EQ(check.geometry->totalSectors, c.sectors);
        EXPECT_EQ(check.geometry->fatSectors, c.fat);
        EXPECT_EQ(check.geometry->clusterCount, c.clusters);
        EXPECT_EQ(check.geometry->zeroedSectors(), 2ull * c.fat + 192);
    }
    EXPECT_NE(ComputeLayout(7'744'512ull * 512, 512).reason.find("60496"), std::string::npos);
    EXPECT_NE(ComputeLayout(8'388'608ull * 512, 512).reason.find("65527"), std::string::npos);
    // A partial sector at the end of the partition is not counted.
    EXPECT_EQ(ComputeLayout(62'500'000ull * 512 + 511, 512).geometry->totalSectors, 62'500'000u);
}

TEST(Fat32Layout, EveryClusterHasItsFatEntry) {
    // The plain size formula leaves the last cluster without a FAT entry for these sizes
    // (fsck.fat: "Filesystem has 65663 clusters but only space for 65662 FAT entries"); the
    // FAT grows by one sector there.
    struct Case {
        std::uint64_t sectors;
        std::uint32_t sectorSize;
        std::uint32_t plainFat;
    };
    for (const Case& c : {Case{8'405'954, 512, 513}, Case{8'519'746, 4096, 65},
                          Case{0xFFFFFFFEull, 512, 262'112}}) {
        auto layout = ComputeLayout(c.sectors * c.sectorSize, c.sectorSize).geometry;
        ASSERT_TRUE(layout);
        EXPECT_EQ(layout->fatSectors, c.plainFat + 1);
    }

    std::mt19937_64 random(12345);
    for (std::uint32_t sectorSize : {512u, 1024u, 2048u, 4096u}) {
        for (int i = 0; i < 20000; ++i) {
            std::uint64_t sectors = 8'380'000 + random() % (0xFFFFFFFEull - 8'380'000);
            auto layout = ComputeLayout(sectors * sectorSize, sectorSize).geometry;
            if (!layout) continue;
            std::uint64_t plain = 4 * (sectors - 64) / (128ull * sectorSize + 8) + 1;
            ASSERT_TRUE(layout->fatSectors == plain || layout->fatSectors == plain + 1);
            ASSERT_GE(std::uint64_t{layout->fatSectors} * sectorSize,
                      4 * (layout->clusterCount + 2));
            ASSERT_EQ(layout->clusterCount,
                      (sectors - 64 - 2ull * layout->fatSectors) / kSectorsPerCluster);
        }
    }
}

TEST(Fat32Layout, SectorSizes) {
    for (std::uint32_t size : {512u, 1024u, 2048u, 4096u}) EXPECT_TRUE(SectorSizeIsValid(size));
    for (std::uint32_t size : {0u, 256u, 520u, 3072u, 8192u}) {
        EXPECT_FALSE(SectorSizeIsValid(size));
        EXPECT_FALSE(ComputeLayout(std::uint64_t{1} << 40, size).geometry);
    }
}

TEST(Fat32Layout, VolumeIdFromTheLocalTime) {
    LocalTime time{2026, 12, 11, 12, 5, 36, 789};
    // low: 11 + 256 * 12 + 78 + 256 * 36 = 12377; high: 5 + 256 * 12 + 2026 = 5103
    EXPECT_EQ(VolumeId(time), (5103u << 16) | 12377u);
    EXPECT_EQ(VolumeIdText(VolumeId(time)), "13EF-3059");
    EXPECT_EQ(VolumeIdText(0xABCD0012), "ABCD-0012");
}

TEST(Fat32Layout, BootSectorFields) {
    for (std::uint32_t size : {512u, 4096u}) {
        SCOPED_TRACE(size);
        Fat32Geometry layout{size, 62'500'000, 3815, 488'221};
        std::vector<std::uint8_t> b(size, 0xCC);
        BuildBootSector(b, layout, DriveGeometry{63, 255, size}, 8192, 0x12345678);
        EXPECT_EQ(b[0], 0xEB);
        EXPECT_EQ(b[1], 0x5A);
        EXPECT_EQ(b[2], 0x90);
        EXPECT_EQ(Text(b, 3, 8), "MSWIN4.1");
        EXPECT_EQ(Get16(b, 11), size);
        EXPECT_EQ(b[13], 128);
        EXPECT_EQ(Get16(b, 14), 64u);
        EXPECT_EQ(b[16], 2);
        EXPECT_EQ(Get16(b, 17), 0u);
        EXPECT_EQ(Get16(b, 19), 0u);
        EXPECT_EQ(b[21], 0xF8);
        EXPECT_EQ(Get16(b, 22), 0u);
        EXPECT_EQ(Get16(b, 24), 63u);
        EXPECT_EQ(Get16(b, 26), 255u);
        EXPECT_EQ(Get32(b, 28), 8192u);
        EXPECT_EQ(Get32(b, 32), 62'500'000u);
        EXPECT_EQ(Get32(b, 36), 3815u);
        EXPECT_EQ(Get16(b, 40), 0u);
        EXPECT_EQ(Get16(b, 42), 0u);
        EXPECT_EQ(Get32(b, 44), 2u);
        EXPECT_EQ(Get16(b, 48), 1u);
        EXPECT_EQ(Get16(b, 50), 6u);
        EXPECT_EQ(b[64], 0x80);
        EXPECT_EQ(b[66], 0x29);
        EXPECT_EQ(Get32(b, 67), 0x12345678u);
        EXPECT_EQ(Text(b, 71, 11), "KX-TMQ4    ");
        EXPECT_EQ(Text(b, 82, 8), "FAT32   ");
        EXPECT_EQ(b[510], 0x55);
        EXPECT_EQ(b[511], 0xAA);
        EXPECT_EQ(b[size - 2], 0x55);
        EXPECT_EQ(b[size - 1], 0xAA);
        // Everything else is zero.
        for (std::size_t at = 52; at < 64; ++at) EXPECT_EQ(b[at], 0) << at;
        EXPECT_EQ(b[65], 0);
        for (std::size_t at = 90; at < 510; ++at) ASSERT_EQ(b[at], 0) << at;
        for (std::size_t at = 512; at + 2 < size; ++at) ASSERT_EQ(b[at], 0) << at;
    }
}

TEST(Fat32Layout, FsInfoFatAndRootSectors) {
    Fat32Geometry layout{512, 62'500'000, 3815, 488'221};
    std::vector<std::uint8_t> info(512, 0xCC);
    BuildFsInfoSector(info, layout);
    EXPECT_EQ(Get32(info, 0), 0x41615252u);
    EXPECT_EQ(Get32(info, 484), 0x61417272u);
    EXPECT_EQ(Get32(info, 488), 488'220u);
    EXPECT_EQ(Get32(info, 492), 3u);
    EXPECT_EQ(Get32(info, 508), 0xAA550000u);
    for (std::size_t at = 4; at < 484; ++at) ASSERT_EQ(info[at], 0);

    std::vector<std::uint8_t> fat(4096, 0xCC);
    BuildFirstFatSector(fat);
    EXPECT_EQ(Get32(fat, 0), 0x0FFFFFF8u);
    EXPECT_EQ(Get32(fat, 4), 0x0FFFFFFFu);
    EXPECT_EQ(Get32(fat, 8), 0x0FFFFFFFu);
    for (std::size_t at = 12; at < fat.size(); ++at) ASSERT_EQ(fat[at], 0);

    std::vector<std::uint8_t> root(512, 0xCC);
    BuildRootDirectorySector(root, LocalTime{2026, 12, 11, 12, 5, 36, 789});
    EXPECT_EQ(Text(root, 0, 11), "KX-TMQ4    ");
    EXPECT_EQ(root[11], 0x08);  // volume label
    EXPECT_EQ(Get16(root, 22), (12u << 11) | (5u << 5) | 18u);
    EXPECT_EQ(Get16(root, 24), (46u << 9) | (12u << 5) | 11u);
    for (std::size_t at = 32; at < root.size(); ++at) ASSERT_EQ(root[at], 0);
}

}  // namespace
}  // namespace kx::format
