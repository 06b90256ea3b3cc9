#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/MountTable.h"
#include "platform/VolumeProvider.h"
#include "support/FakeSysfs.h"
#include "support/TempDir.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

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
    auto volumes = provider.List();
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0].root, "/media/user/KX CARD");
    EXPECT_EQ(volumes[0].device, (machine.roots.dev / "sdb1").string());
    EXPECT_EQ(volumes[0].label, "KX-TMQ4");
    EXPECT_GE(provider.ChangeDescriptor(), 0);
}

// A file system on a device stacked on removable disks (an encrypted card) is a removable
// volume; one that also rests on a fixed disk is not.
TEST(VolumeProvider, StackedDevicesCountByTheDisksBelow) {
    test::TempDir dir;
    test::FakeMachine machine = test::BuildFakeMachine(dir.path());
    const fs::path block = machine.roots.sys / "block";
    auto node = [&](const fs::path& folder, const std::string& numbers,
                    const std::string& removable) {
        fs::create_directories(folder);
        test::WriteFileBytes(folder / "dev", numbers + "\n");
        test::WriteFileBytes(folder / "size", "1000\n");
        if (!removable.empty()) test::WriteFileBytes(folder / "removable", removable + "\n");
    };
    node(block / "sdd", "8:48", "1");
    node(block / "sdd" / "sdd1", "8:49", "");
    test::WriteFileBytes(block / "sdd" / "sdd1" / "partition", "1\n");
    node(block / "dm-1", "253:1", "0");
    fs::create_directories(block / "dm-1" / "slaves" / "sdd1");
    node(block / "dm-2", "253:2", "0");
    fs::create_directories(block / "dm-2" / "slaves" / "sdd1");
    fs::create_directories(block / "dm-2" / "slaves" / "sda2");
    test::WriteFileBytes(machine.mountInfo,
                         machine.mountInfoText +
                             "50 22 253:1 / /media/user/crypt rw - ext4 /dev/mapper/crypt rw\n"
                             "51 22 253:2 / /media/user/mixed rw - ext4 /dev/mapper/mixed rw\n");
    auto volumes = SystemVolumeProvider(machine.roots, machine.mountInfo).List();
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[0].root, "/media/user/KX CARD");
    EXPECT_EQ(volumes[1].root, "/media/user/crypt");
    EXPECT_EQ(volumes[1].device, (machine.roots.dev / "dm-1").string());
}

// A mount table and /sys tree of a machine with a USB card reader, an internal disk and an
// SD slot: the virtual file systems, a bind mount of a card's sub-folder, a loop device and
// a malformed line are no volumes; an SD card in a built-in slot is one.
TEST(VolumeProvider, ReadsTheMountTableAndTheRemovableFlag) {
    test::TempDir dir;
    const SysfsRoots roots{dir / "sys", dir / "dev"};
    auto blockDevice = [&](const std::string& disk, const std::string& diskNumbers,
                           const std::string& partition, const std::string& numbers,
                           const std::string& removable) {
        const fs::path diskDir = roots.sys / "block" / disk;
        fs::create_directories(diskDir / partition);
        test::WriteFileBytes(diskDir / "dev", diskNumbers + "\n");
        test::WriteFileBytes(diskDir / "removable", removable + "\n");
        test::WriteFileBytes(diskDir / partition / "dev", numbers + "\n");
        test::WriteFileBytes(diskDir / partition / "partition", "1\n");
    };
    blockDevice("sda", "8:0", "sda1", "8:1", "0");
    blockDevice("sdb", "8:16", "sdb1", "8:17", "1");
    blockDevice("mmcblk0", "179:0", "mmcblk0p1", "179:1", "0");
    fs::create_directories(roots.sys / "block" / "mmcblk0" / "device");
    test::WriteFileBytes(roots.sys / "block" / "mmcblk0" / "device" / "type", "SD\n");
    const fs::path labels = roots.dev / "disk" / "by-label";
    fs::create_directories(labels);
    fs::create_symlink("../../sdb1", labels / "KX-TMQ4");
    fs::create_symlink("../../mmcblk0p1", labels / "MY\\x20CARD");
    const fs::path card = dir / "media card";
    fs::create_directories(card);
    fs::create_directories(dir / "sd");
    const std::string cardEscaped = (dir / "media\\040card").string();
    test::WriteFileBytes(dir / "mountinfo",
                         "22 1 0:21 / /proc rw - proc proc rw\n"
                         "30 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                         "40 30 8:17 /sub /elsewhere rw - vfat /dev/sdb1 rw\n"
                         "41 30 8:17 / " +
                             cardEscaped +
                             " rw,nosuid - vfat /dev/sdb1 rw\n"
                             "42 30 8:17 /sub /elsewhere rw - vfat /dev/sdb1 rw\n"
                             "43 30 179:1 / " +
                             (dir / "sd").string() +
                             " rw - exfat /dev/mmcblk0p1 rw\n"
                             "44 30 7:0 / /snap rw - squashfs /dev/loop0 ro\n"
                             "garbage\n");
    SystemVolumeProvider volumes(roots, dir / "mountinfo");
    std::vector<Volume> listed = volumes.List();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].root, card);
    EXPECT_EQ(listed[0].label, "KX-TMQ4");
    EXPECT_GT(listed[0].freeBytes, 0u);
    EXPECT_EQ(listed[1].root, dir / "sd");
    EXPECT_EQ(listed[1].label, "MY CARD");
    EXPECT_GE(volumes.ChangeDescriptor(), 0);

    SystemVolumeProvider missing(roots, dir / "none");
    EXPECT_TRUE(missing.List().empty());
    EXPECT_EQ(missing.ChangeDescriptor(), -1);
}

TEST(VolumeProvider, TheRealMachineListsWithoutFailing) {
    SystemVolumeProvider volumes;
    for (const Volume& volume : volumes.List()) EXPECT_FALSE(volume.root.empty());
}

TEST(VolumeProvider, FoldersActAsVolumes) {
    test::TempDir dir;
    fs::create_directory(dir / "cardA");
    fs::create_directory(dir / "cardB");
    EXPECT_EQ(SplitFolderList("a::b:"), (std::vector<fs::path>{"a", "b"}));
    EXPECT_EQ(SplitFolderList("/a:/b::/c:"), (std::vector<fs::path>{"/a", "/b", "/c"}));

    const std::string list = (dir / "cardB").string() + ":" + (dir / "gone").string() + ":" +
                             (dir / "cardA").string() + "/";
    ::setenv(kVolumesVariable, list.c_str(), 1);
    auto volumes = MakeVolumeProvider()->List();
    ::unsetenv(kVolumesVariable);
    ASSERT_EQ(volumes.size(), 2u);  // a folder that does not exist is a card not inserted
    EXPECT_EQ(volumes[0].root, dir / "cardB");
    EXPECT_EQ(volumes[0].label, "cardB");
    EXPECT_EQ(volumes[0].device, "");
    EXPECT_GT(volumes[0].sizeBytes, 0u);
    EXPECT_EQ(volumes[1].root, (dir / "cardA").string() + "/");
    EXPECT_EQ(volumes[1].label, "cardA");  // a trailing slash does not hide the name
}

TEST(VolumeProvider, FolderListFromTheOptionOrTheEnvironment) {
    test::TempDir dir;
    fs::create_directories(dir / "one");
    std::unique_ptr<VolumeProvider> fromOption =
        MakeVolumeProvider((dir / "one").string() + ":" + (dir / "two").string());
    ASSERT_EQ(fromOption->List().size(), 1u);
    EXPECT_EQ(fromOption->List()[0].label, "one");
    EXPECT_EQ(fromOption->ChangeDescriptor(), -1);

    const char* saved = std::getenv(kVolumesVariable);
    std::string previous = saved ? saved : "";
    setenv(kVolumesVariable, (dir / "one").c_str(), 1);
    EXPECT_EQ(MakeVolumeProvider()->List().size(), 1u);
    setenv(kVolumesVariable, "", 1);
    EXPECT_TRUE(MakeVolumeProvider()->List().empty());
    if (saved)
        setenv(kVolumesVariable, previous.c_str(), 1);
    else
        unsetenv(kVolumesVariable);
}

}  // namespace
}  // namespace kx
