#pragma once
// A small machine described as a sysfs and /dev tree plus a mount table, for the tests of the
// volume and device lists:
//   sda  (fixed)      sda1 /boot, sda2 below dm-0 which is mounted at /
//   sdb  (removable)  sdb1 "KX-TMQ4" mounted at "/media/user/KX CARD"
//   mmcblk0 (SD card in a built-in slot, no partition table) "MY CARD", not mounted
//   mmcblk1 (eMMC chip), sdc (card reader without a card)
#include <filesystem>
#include <string>

#include "platform/SysBlock.h"

namespace kx::test {

struct FakeMachine {
    SysfsRoots roots;
    std::filesystem::path mountInfo;
    std::string mountInfoText;
};

FakeMachine BuildFakeMachine(const std::filesystem::path& folder);

}  // namespace kx::test
