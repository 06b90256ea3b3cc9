// The format's steps against a recording device: what is written where, in which pieces, and
// how each failing step ends the format.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "format/FormatFat32.h"

namespace kx::format {
namespace {

enum class Step { Open, Lock, Geometry, Partition, CheckType, Write, SetType, Dismount, Unlock };

class RecordingDevice final : public BlockDevice {
  public:
    std::uint32_t sectorSize = 512;
    std::uint64_t lengthBytes = 62'500'000ull * 512;
    std::uint32_t hidden = 0;
    bool hasTable = true;
    std::optional<Step> failing;
    int failingWrite = -1;  // the index of a write that fails

    std::vector<std::string> calls;
    struct Write {
        std::uint64_t first;
        std::uint64_t count;
        std::vector<std::uint8_t> bytes;  // kept for single sectors only
        bool allZero;
    };
    std::vector<Write> writes;
    bool closed = false;

    bool Open() override { return Step_(Step::Open, "open"); }
    bool Lock() override { return Step_(Step::Lock, "lock"); }
    bool ReadGeometry(DriveGeometry& geometry) override {
        geometry = DriveGeometry{32, 64, sectorSize};
        return Step_(Step::Geometry, "geometry");
    }
    bool ReadPartitionInfo(PartitionInfo& partition) override {
        partition = PartitionInfo{lengthBytes, hidden};
        return Step_(Step::Partition, "partition");
    }
    bool CanSetPartitionType() override {
        return Step_(Step::CheckType, "check-type") && (hasTable || Fail("no table"));
    }
    bool WriteSectors(std::uint64_t first, std::span<const std::uint8_t> bytes) override {
        if (failingWrite == static_cast<int>(writes.size())) return Fail("write refused");
        Write write{first, bytes.size() / sectorSize, {}, true};
        for (std::uint8_t byte : bytes) write.allZero = write.allZero && byte == 0;
        if (write.count == 1) write.bytes.assign(bytes.begin(), bytes.end());
        writes.push_back(std::move(write));
        return true;
    }
    bool SetPartitionType(std::uint8_t type) override {
        typeSet = type;
        return Step_(Step::SetType, "set-type") && (hasTable || Fail("no table"));
    }
    bool Dismount() override { return Step_(Step::Dismount, "dismount"); }
    bool Unlock() override { return Step_(Step::Unlock, "unlock"); }
    void Close() override { closed = true; }

    int typeSet = -1;

  private:
    bool Step_(Step step, const char* name) {
        calls.push_back(name);
        return failing == step ? Fail(std::string(name) + " refused") : true;
    }
};

const LocalTime kTime{2026, 12, 11, 12, 5, 36, 789};

TEST(FormatFat32, WritesTheLayoutInOrder) {
    RecordingDevice device;
    device.hidden = 8192;
    FormatResult result = FormatFat32(device, kTime);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.layout.fatSectors, 3815u);
    EXPECT_EQ(result.layout.clusterCount, 488'221u);
    EXPECT_EQ(result.volumeId, VolumeId(kTime));
    EXPECT_TRUE(result.partitionTypeSet);
    EXPECT_EQ(device.typeSet, 0x0C);
    EXPECT_EQ(device.calls,
              (std::vector<std::string>{"open", "lock", "geometry", "partition", "check-type",
                                        "set-type", "dismount", "unlock"}));
    EXPECT_FALSE(device.closed);

    // Zeroing: 2F + 192 sectors from sector 0 in pieces of at most 128 sectors.
    const std::uint64_t zeroed = 2 * 3815 + 192;
    std::uint64_t next = 0;
    std::size_t index = 0;
    for (; next < zeroed; ++index) {
        ASSERT_LT(index, device.writes.size());
        const auto& write = device.writes[index];
        EXPECT_EQ(write.first, next);
        EXPECT_EQ(write.count, std::min<std::uint64_t>(128, zeroed - next));
        EXPECT_TRUE(write.allZero);
        next += write.count;
    }
    EXPECT_EQ(next, zeroed);

    // Then the single sectors.
    const std::uint64_t expected[] = {0, 1, 6, 7, 64, 64 + 3815, 64 + 2 * 3815};
    ASSERT_EQ(device.writes.size(), index + std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(device.writes[index + i].first, expected[i]);
        EXPECT_EQ(device.writes[index + i].count, 1u);
    }
    const auto& boot = device.writes[index].bytes;
    EXPECT_EQ(boot, device.writes[index + 2].bytes);
    EXPECT_EQ(device.writes[index + 1].bytes, device.writes[index + 3].bytes);
    EXPECT_EQ(device.writes[index + 4].bytes, device.writes[index + 5].bytes);
    EXPECT_EQ(boot[24], 32);  // geometry and hidden sectors reach the boot sector
    EXPECT_EQ(boot[26], 64);
    EXPECT_EQ(boot[28] | boot[29] << 8, 8192);
    EXPECT_EQ(device.writes[index + 6].bytes[11], 0x08);  // the label entry
}

TEST(FormatFat32, SectorSize4096) {
    RecordingDevice device;
    device.sectorSize = 4096;
    device.lengthBytes = 64ull << 30;
    FormatResult result = FormatFat32(device, kTime);
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.layout.bytesPerSector, 4096u);
    EXPECT_EQ(result.layout.totalSectors, 16'777'216u);
    ASSERT_FALSE(device.writes.empty());
    EXPECT_EQ(device.writes.front().count, 128u);
    EXPECT_EQ(device.writes.back().bytes.size(), 4096u);
}

TEST(FormatFat32, SuperfloppyGoesOnWithoutAPartitionTable) {
    RecordingDevice device;
    device.hasTable = false;  // hidden sectors 0
    FormatResult result = FormatFat32(device, kTime);
    EXPECT_TRUE(result.ok) << result.reason;
    EXPECT_FALSE(result.partitionTypeSet);
}

TEST(FormatFat32, FailuresCloseTheVolume) {
    struct Case {
        const char* name;
        std::optional<Step> failing;
        int failingWrite;
        std::uint64_t lengthBytes;
        std::uint32_t hidden;
        bool hasTable;
        bool wrote;  // whether the card was touched before the failure
    };
    const std::uint64_t good = 62'500'000ull * 512;
    const Case cases[] = {
        {"open", Step::Open, -1, good, 0, true, false},
        {"lock", Step::Lock, -1, good, 0, true, false},
        {"geometry", Step::Geometry, -1, good, 0, true, false},
        {"partition", Step::Partition, -1, good, 0, true, false},
        {"4 GB card", {}, -1, 7'744'512ull * 512, 0, true, false},
        {"4 GiB card", {}, -1, 8'388'608ull * 512, 0, true, false},
        {"too small", {}, -1, 65'535ull * 512, 0, true, false},
        {"entry not found", {}, -1, good, 2048, false, false},
        {"first zero write", {}, 0, good, 0, true, true},
        {"boot sector write", {}, 62, good, 0, true, true},  // after 62 zero pieces
        {"set type", Step::SetType, -1, good, 2048, true, true},
        {"dismount", Step::Dismount, -1, good, 0, true, true},
        {"unlock", Step::Unlock, -1, good, 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingDevice device;
        device.failing = c.failing;
        device.failingWrite = c.failingWrite;
        device.lengthBytes = c.lengthBytes;
        device.hidden = c.hidden;
        device.hasTable = c.hasTable;
        FormatResult result = FormatFat32(device, kTime);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.reason.empty());
        EXPECT_EQ(result.wroteSectors, c.wrote);
        if (!c.wrote) {
            EXPECT_TRUE(device.writes.empty());
        }
        EXPECT_TRUE(device.closed);
    }
}

}  // namespace
}  // namespace kx::format
