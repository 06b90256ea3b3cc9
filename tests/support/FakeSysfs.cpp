#include "support/FakeSysfs.h"

#include "support/TempDir.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;

void Node(const fs::path& dir, const std::string& dev, const std::string& size) {
    fs::create_directories(dir);
    WriteFileBytes(dir / "dev", dev + "\n");
    WriteFileBytes(dir / "size", size + "\n");
}

void Disk(const fs::path& sys, const std::string& name, const std::string& dev,
          const std::string& size, const std::string& removable) {
    Node(sys / "block" / name, dev, size);
    WriteFileBytes(sys / "block" / name / "removable", removable + "\n");
}

void Partition(const fs::path& sys, const std::string& disk, const std::string& name,
               const std::string& dev, const std::string& number, const std::string& start,
               const std::string& size) {
    const fs::path dir = sys / "block" / disk / name;
    Node(dir, dev, size);
    WriteFileBytes(dir / "partition", number + "\n");
    WriteFileBytes(dir / "start", start + "\n");
}

}  // namespace

FakeMachine BuildFakeMachine(const fs::path& folder) {
    FakeMachine machine;
    machine.roots.sys = folder / "sys";
    machine.roots.dev = folder / "dev";
    const fs::path& sys = machine.roots.sys;

    Disk(sys, "sda", "8:0", "1000215216", "0");
    Partition(sys, "sda", "sda1", "8:1", "1", "2048", "1048576");
    Partition(sys, "sda", "sda2", "8:2", "2", "1050624", "999164592");
    Disk(sys, "dm-0", "253:0", "999160496", "0");
    fs::create_directories(sys / "block" / "dm-0" / "slaves" / "sda2");
    Disk(sys, "sdb", "8:16", "62521344", "1");
    Partition(sys, "sdb", "sdb1", "8:17", "1", "8192", "62513152");
    Disk(sys, "mmcblk0", "179:0", "124735488", "0");
    fs::create_directories(sys / "block" / "mmcblk0" / "device");
    WriteFileBytes(sys / "block" / "mmcblk0" / "device" / "type", "SD\n");
    Disk(sys, "mmcblk1", "179:8", "61071360", "0");
    fs::create_directories(sys / "block" / "mmcblk1" / "device");
    WriteFileBytes(sys / "block" / "mmcblk1" / "device" / "type", "MMC\n");
    Disk(sys, "sdc", "8:32", "0", "1");

    const fs::path labels = machine.roots.dev / "disk" / "by-label";
    fs::create_directories(labels);
    fs::create_symlink("../../sdb1", labels / "KX-TMQ4");
    fs::create_symlink("../../mmcblk0", labels / "MY\\x20CARD");
    fs::create_symlink("../../sda1", labels / "boot");

    machine.mountInfoText =
        "22 1 253:0 / / rw,relatime shared:1 - ext4 /dev/mapper/root rw\n"
        "23 22 8:1 / /boot rw,relatime shared:2 - ext4 /dev/sda1 rw\n"
        "30 22 0:25 / /tmp rw,nosuid shared:5 master:1 - tmpfs tmpfs rw\n"
        "this line is not a mount\n"
        "40 22 8:17 / /media/user/KX\\040CARD rw,nosuid shared:40 - vfat /dev/sdb1 rw\n";
    machine.mountInfo = folder / "mountinfo";
    WriteFileBytes(machine.mountInfo, machine.mountInfoText);
    return machine;
}

}  // namespace kx::test
