// Which devices are offered and which are refused: a fake machine through sysfs, and fake
// device lists as KX_FORMAT_DEVICES gives them.
#include <gtest/gtest.h>

#include "format/FormatTargets.h"
#include "support/FakeSysfs.h"
#include "support/TempDir.h"

namespace kx::format {
namespace {

namespace fs = std::filesystem;

const DeviceDescription& Named(const DeviceCatalog& catalog, const fs::path& device) {
    for (const DeviceDescription& entry : catalog.devices)
        if (entry.device == device.string()) return entry;
    throw std::runtime_error("no device " + device.string());
}

TEST(FormatTargets, MachineDevicesAndVerdicts) {
    test::TempDir dir;
    test::FakeMachine machine = test::BuildFakeMachine(dir.path());
    const DeviceCatalog catalog =
        ScanSystemDevices(machine.roots, ParseMountInfo(machine.mountInfoText));
    const fs::path dev = machine.roots.dev;

    std::vector<std::string> offered;
    for (const DeviceDescription& device : OfferedDevices(catalog))
        offered.push_back(device.device);
    std::sort(offered.begin(), offered.end());
    EXPECT_EQ(offered,
              (std::vector<std::string>{(dev / "mmcblk0").string(), (dev / "sdb1").string()}));

    const DeviceDescription& card = Named(catalog, dev / "sdb1");
    EXPECT_EQ(card.disk, (dev / "sdb").string());
    EXPECT_EQ(card.label, "KX-TMQ4");
    EXPECT_EQ(card.partitionNumber, 1u);
    EXPECT_EQ(card.start512, 8192u);
    EXPECT_EQ(card.mountPoints, std::vector<fs::path>{"/media/user/KX CARD"});

    struct Case {
        const char* device;
        bool allowed;
        bool rejectTexts;
        const char* reason;
    };
    const Case cases[] = {
        {"sdb1", true, false, ""},
        {"mmcblk0", true, false, ""},
        {"sda2", false, true, "holds /"},  // below dm-0, mounted at /
        {"sda1", false, true, "holds /"},  // /boot, and its disk holds / too
        {"dm-0", false, true, "holds /"},
        {"mmcblk1", false, false, "not a removable device"},
        {"sdb", false, false, "partition table"},
        {"sdc", false, false, "no medium"},
    };
    const auto protectedFolders = ProtectedFolders("/opt/viewer");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.device);
        TargetVerdict verdict =
            CheckFormatTarget(catalog, Named(catalog, dev / c.device), protectedFolders);
        EXPECT_EQ(verdict.allowed, c.allowed);
        EXPECT_EQ(verdict.holdsProtectedFolder, c.rejectTexts);
        EXPECT_NE(verdict.reason.find(c.reason), std::string::npos) << verdict.reason;
    }

    // The viewer started from the card itself: its card is never formatted.
    TargetVerdict fromCard =
        CheckFormatTarget(catalog, card, ProtectedFolders("/media/user/KX CARD/viewer"));
    EXPECT_FALSE(fromCard.allowed);
    EXPECT_TRUE(fromCard.holdsProtectedFolder);
}

TEST(FormatTargets, DeviceListLines) {
    test::TempDir dir;
    test::WriteFileBytes(dir / "a.img", std::string(4096, '\0'));
    std::string why;
    auto catalog = ParseDeviceList(
        "# a test machine\n"
        "device=" +
            (dir / "a.img").string() +
            "; label=KX-TMQ4; mounts=/media/a,/mnt/b\n"
            "\n"
            " device = " +
            (dir / "b.img").string() +
            " ; removable=0 ; size=1000 ; free=10 ; sector_size=4096 ; partition=2 ; "
            "disk=" +
            (dir / "disk.img").string() + " ; has_partitions=1\n",
        why);
    ASSERT_TRUE(catalog) << why;
    ASSERT_EQ(catalog->devices.size(), 2u);
    const DeviceDescription& a = catalog->devices[0];
    EXPECT_TRUE(a.isImage);
    EXPECT_TRUE(a.removable);
    EXPECT_EQ(a.disk, a.device);
    EXPECT_EQ(a.sizeBytes, 4096u);  // the file's size when none is given
    EXPECT_EQ(a.label, "KX-TMQ4");
    EXPECT_EQ(a.mountPoints, (std::vector<fs::path>{"/media/a", "/mnt/b"}));
    const DeviceDescription& b = catalog->devices[1];
    EXPECT_FALSE(b.removable);
    EXPECT_EQ(b.sizeBytes, 1000u);
    EXPECT_EQ(b.freeBytes, 10u);
    EXPECT_EQ(b.imageSectorSize, 4096u);
    EXPECT_EQ(b.imagePartition, 2u);
    EXPECT_TRUE(b.diskHasPartitions);
    EXPECT_EQ(b.disk, (dir / "disk.img").string());
    ASSERT_EQ(catalog->mounts.size(), 2u);
    EXPECT_EQ(catalog->mounts[1].disks, std::set<std::string>{a.disk});

    // Found by its path, also through a link.
    fs::create_symlink(dir / "a.img", dir / "link.img");
    EXPECT_EQ(FindDevice(*catalog, dir / "link.img"), &a);
    EXPECT_EQ(FindDevice(*catalog, dir / "other.img"), nullptr);

    for (const char* bad : {"label=x", "device=/x; colour=red", "device=/x; removable=yes",
                            "device=/x; size=12k", "device=/x; nonsense"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ParseDeviceList(bad, why));
        EXPECT_NE(why.find("line 1"), std::string::npos) << why;
    }
}

TEST(FormatTargets, ProtectedFoldersInADeviceList) {
    test::TempDir dir;
    const std::string card = (dir / "card.img").string();
    const std::string system = (dir / "system.img").string();
    const std::string systemData = (dir / "system-data.img").string();
    for (const std::string& image : {card, system, systemData})
        test::WriteFileBytes(image, std::string(512, '\0'));
    std::string why;
    auto catalog = ParseDeviceList(
        "device=" + system + "; removable=1; mounts=/\n" + "device=" + systemData +
            "; disk=" + system + "; mounts=/srv\n" + "device=" + card + "; mounts=/media/card\n",
        why);
    ASSERT_TRUE(catalog) << why;
    const auto folders = ProtectedFolders("/opt/viewer");
    // A removable stick the system runs from, and another partition of that stick.
    for (const std::string& device : {system, systemData}) {
        TargetVerdict verdict = CheckFormatTarget(*catalog, *FindDevice(*catalog, device), folders);
        EXPECT_FALSE(verdict.allowed);
        EXPECT_TRUE(verdict.holdsProtectedFolder);
    }
    EXPECT_TRUE(CheckFormatTarget(*catalog, *FindDevice(*catalog, card), folders).allowed);
    EXPECT_FALSE(CheckFormatTarget(*catalog, *FindDevice(*catalog, card),
                                   ProtectedFolders("/media/card/KX-TMQ4_Viewer"))
                     .allowed);
}

}  // namespace
}  // namespace kx::format
