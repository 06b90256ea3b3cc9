#pragma once
// The mounted file systems of this process, as /proc/self/mountinfo lists them.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

struct MountEntry {
    unsigned major = 0;  // block device numbers of the mounted file system
    unsigned minor = 0;
    std::filesystem::path mountPoint;
    std::string fsType;
    std::string source;  // "/dev/sdb1", "tmpfs", ...
    // The folder of the file system that is mounted there: "/" for the whole file system, a
    // sub-folder for a bind mount.
    std::filesystem::path root;
};

// Parses mountinfo text line by line; malformed lines are skipped. Octal escapes of the kernel
// ("\040" for a blank) are decoded.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Reads and parses a mountinfo file (empty when it cannot be read).
std::vector<MountEntry> ReadMountTable(const std::filesystem::path& file = "/proc/self/mountinfo");

// The index of the mount that holds path: the entry with the longest mount point that is path
// itself or one of its parent folders; among equal mount points the last one, which hides the
// earlier ones. -1 when none does. path should be absolute and lexically normal.
int MountHolding(const std::vector<MountEntry>& mounts, const std::filesystem::path& path);

// True when folder is path itself or one of path's parent folders (whole components only).
bool PathIsWithin(const std::filesystem::path& path, const std::filesystem::path& folder);

}  // namespace kx
