#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/MountTable.h"
#include "platform/VolumeProvider.h"
#include "support/FakeSysfs.h"
#include "support/TempDir.h"

namespace kx {
namespace {

TEST(MountTable, ParsesMountInfo) {
    auto mounts = ParseMountInfo(
        "22 1 253:0 / / rw shared:1 - ext4 /dev/mapper/root rw\n"
        "30 22 0:25 / /tmp rw shared:5 master:1 propagate_from:2 - tmpfs tmpfs rw\n"
        "bad\n"
        "31 22 x:1 / /bad rw - ext4 /dev/x rw\n"
        "32 22 8:1 / relative rw - ext4 /dev/x rw\n"
        "33 22 8:1 / /missing rw ext4 /dev/x rw\n"
        "40 22 8:17 / /media/a\\040b\\134c rw - vfat /dev/sdb1 rw");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].mountPoint, "/");
    EXPECT_EQ(mounts[0].major, 253u);
    EXPECT_EQ(mounts[0].source, "/dev/mapper/root");
    EXPECT_EQ(mounts[1].fsType, "tmpfs");
    EXPECT_EQ(mounts[2].mountPoint, "/media/a b\\c");
    EXPECT_EQ(mounts[2].minor, 17u);
}

TEST(MountTable, TheLongestMountPointHoldsAPath) {
    auto mounts = ParseMountInfo(
        "1 0 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "2 1 8:17 / /media/card rw - vfat /dev/sdb1 rw\n"
        "3 1 8:33 / /media/card rw - vfat /dev/sdc1 rw\n"  // mounted over the one before
        "4 1 8:2 / /home rw - ext4 /dev/sda2 rw\n");
    EXPECT_EQ(MountHolding(mounts, "/usr/bin"), 0);
    EXPECT_EQ(MountHolding(mounts, "/media/card/DCIM"), 2);
    EXPECT_EQ(MountHolding(mounts, "/media/card2"), 0);
    EXPECT_EQ(MountHolding(mounts, "/home"), 3);
    EXPECT_EQ(MountHolding({}, "/home"), -1);
    EXPECT_TRUE(PathIsWithin("/media/card/x", "/media/card/"));
    EXPECT_FALSE(PathIsWithin("/media/card2", "/media/card"));
    EXPECT_FALSE(PathIsWithin("/media", "/media/card"));
}

TEST(SysBlock, ReadsTheTopology) {
    test::TempDir dir;
    test::FakeMachine machine = test::BuildFakeMachine(dir.path());
    BlockTopology topology = ScanBlockTopology(machine.roots);
    const BlockNode* card = topology.Find(8, 17);
    ASSERT_TRUE(card);
    EXPECT_EQ(card->name, "sdb1");
    EXPECT_EQ(card->disk, "sdb");
    EXPECT_EQ(card->partitionNumber, 1u);
    EXPECT_EQ(card->start512, 8192u);
    EXPECT_EQ(card->sizeBytes, 62513152ull * 512);
    EXPECT_TRUE(card->removable);
    EXPECT_TRUE(topology.HasPartitions("sdb"));
    EXPECT_FALSE(topology.HasPartitions("mmcblk0"));
    EXPECT_EQ(topology.BaseDisks("dm-0"), std::set<std::string>{"sda"});
    EXPECT_TRUE(DiskIsRemovable(machine.roots, "mmcblk0"));   // SD card in a built-in slot
    EXPECT_FALSE(DiskIsRemovable(machine.roots, "mmcblk1"));  // eMMC
    EXPECT_FALSE(DiskIsRemovable(machine.roots, "sda"));
    EXPECT_EQ(DeviceLabel(machine.roots, "mmcblk0"), "MY CARD");
    EXPECT_EQ(DeviceLabel(machine.roots, "sda2"), "");
    EXPECT_TRUE(ScanBlockTopology(SysfsRoots{dir / "none", dir / "none"}).nodes.empty());
}

TEST(VolumeProvider, SystemVolumesAreTheMountedRemovableOnes) {
    test::TempDir dir;
    test::FakeMachine machine = test::BuildFakeMachine(dir.path());
    SystemVolumeProvider provider(machine.roots, machine.mountInfo);
    auto volumes = provider.RemovableVolumes();
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0].root, "/media/user/KX CARD");
    EXPECT_EQ(volumes[0].device, (machine.roots.dev / "sdb1").string());
    EXPECT_EQ(volumes[0].label, "KX-TMQ4");
}

TEST(VolumeProvider, FoldersActAsVolumes) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "cardA");
    std::filesystem::create_directory(dir / "cardB");
    EXPECT_EQ(FolderVolumeProvider::ParseList("a::b:"),
              (std::vector<std::filesystem::path>{"a", "b"}));

    const std::string list =
        (dir / "cardB").string() + ":" + (dir / "gone").string() + ":" + (dir / "cardA").string();
    ::setenv(kVolumesVariable, list.c_str(), 1);
    auto volumes = MakeVolumeProvider()->RemovableVolumes();
    ::unsetenv(kVolumesVariable);
    ASSERT_EQ(volumes.size(), 2u);  // a folder that does not exist is a card not inserted
    EXPECT_EQ(volumes[0].root, dir / "cardB");
    EXPECT_EQ(volumes[0].label, "cardB");
    EXPECT_GT(volumes[0].sizeBytes, 0u);
    EXPECT_EQ(volumes[1].root, dir / "cardA");
}

}  // namespace
}  // namespace kx
