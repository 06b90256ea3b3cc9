#include "platform/SysBlock.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <system_error>

namespace kx {
namespace {

namespace fs = std::filesystem;

std::string ReadFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

std::uint64_t ReadNumber(const fs::path& file) {
    std::string text = ReadFirstLine(file);
    std::uint64_t value = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    return result.ec == std::errc{} ? value : 0;
}

bool ReadDeviceNumbers(const fs::path& file, unsigned& major, unsigned& minor) {
    std::string text = ReadFirstLine(file);
    std::size_t colon = text.find(':');
    if (colon == std::string::npos) return false;
    auto first = std::from_chars(text.data(), text.data() + colon, major);
    auto second = std::from_chars(text.data() + colon + 1, text.data() + text.size(), minor);
    return first.ec == std::errc{} && second.ec == std::errc{};
}

// sysfs counts sizes in 512-byte units whatever the logical sector size.
constexpr std::uint64_t kSysfsUnit = 512;
constexpr int kMaxStackDepth = 8;

}  // namespace

const BlockNode* BlockTopology::Find(unsigned major, unsigned minor) const {
    for (const BlockNode& node : nodes)
        if (node.major == major && node.minor == minor) return &node;
    return nullptr;
}

const BlockNode* BlockTopology::FindName(std::string_view name) const {
    for (const BlockNode& node : nodes)
        if (node.name == name) return &node;
    return nullptr;
}

const BlockNode* BlockTopology::FindMounted(unsigned major, unsigned minor,
                                            std::string_view source) const {
    if (const BlockNode* node = Find(major, minor)) return node;
    struct stat info {};
    const std::string sourcePath(source);
    if (!source.starts_with("/dev/") || ::stat(sourcePath.c_str(), &info) != 0 ||
        !S_ISBLK(info.st_mode))
        return nullptr;
    return Find(::major(info.st_rdev), ::minor(info.st_rdev));
}

bool BlockTopology::OnRemovableDisks(std::string_view name) const {
    const std::set<std::string> disks = BaseDisks(name);
    return !disks.empty() && std::all_of(disks.begin(), disks.end(), [&](const std::string& disk) {
        const BlockNode* node = FindName(disk);
        return node && node->removable;
    });
}

bool BlockTopology::HasPartitions(std::string_view disk) const {
    for (const BlockNode& node : nodes)
        if (node.disk == disk && node.partitionNumber != 0) return true;
    return false;
}

std::set<std::string> BlockTopology::BaseDisks(std::string_view name) const {
    std::set<std::string> disks;
    std::vector<std::pair<std::string, int>> pending{{std::string(name), 0}};
    while (!pending.empty()) {
        auto [current, depth] = pending.back();
        pending.pop_back();
        const BlockNode* node = FindName(current);
        if (!node) continue;
        auto below = slaves.find(node->disk);
        if (below == slaves.end() || below->second.empty() || depth >= kMaxStackDepth) {
            disks.insert(node->disk);
            continue;
        }
        for (const std::string& slave : below->second) pending.push_back({slave, depth + 1});
    }
    return disks;
}

BlockTopology ScanBlockTopology(const SysfsRoots& roots) {
    BlockTopology topology;
    std::error_code error;
    for (const fs::directory_entry& diskEntry :
         fs::directory_iterator(roots.sys / "block", error)) {
        const fs::path diskDir = diskEntry.path();
        const std::string disk = diskDir.filename().string();
        BlockNode node;
        node.name = node.disk = disk;
        if (!ReadDeviceNumbers(diskDir / "dev", node.major, node.minor)) continue;
        node.sizeBytes = ReadNumber(diskDir / "size") * kSysfsUnit;
        node.removable = DiskIsRemovable(roots, disk);
        topology.nodes.push_back(node);

        std::error_code innerError;
        for (const fs::directory_entry& child : fs::directory_iterator(diskDir, innerError)) {
            if (!fs::exists(child.path() / "partition", innerError)) continue;
            BlockNode part;
            part.name = child.path().filename().string();
            part.disk = disk;
            if (!ReadDeviceNumbers(child.path() / "dev", part.major, part.minor)) continue;
            part.partitionNumber = static_cast<unsigned>(ReadNumber(child.path() / "partition"));
            part.sizeBytes = ReadNumber(child.path() / "size") * kSysfsUnit;
            part.start512 = ReadNumber(child.path() / "start");
            part.removable = node.removable;
            topology.nodes.push_back(part);
        }
        for (const fs::directory_entry& slave :
             fs::directory_iterator(diskDir / "slaves", innerError))
            topology.slaves[disk].push_back(slave.path().filename().string());
    }
    return topology;
}

bool DiskIsRemovable(const SysfsRoots& roots, std::string_view disk) {
    const fs::path diskDir = roots.sys / "block" / std::string(disk);
    if (ReadFirstLine(diskDir / "removable") == "1") return true;
    return disk.starts_with("mmcblk") && ReadFirstLine(diskDir / "device" / "type") == "SD";
}

std::string DecodeUdevName(std::string_view name) {
    std::string text;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned value = 0;
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            auto result = std::from_chars(name.data() + i + 2, name.data() + i + 4, value, 16);
            if (result.ec == std::errc{} && result.ptr == name.data() + i + 4) {
                text.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        text.push_back(name[i]);
    }
    return text;
}

std::string DeviceLabel(const SysfsRoots& roots, std::string_view name) {
    std::error_code error;
    for (const fs::directory_entry& link :
         fs::directory_iterator(roots.dev / "disk" / "by-label", error)) {
        std::error_code linkError;
        fs::path target = fs::read_symlink(link.path(), linkError);
        if (!linkError && target.filename() == name)
            return DecodeUdevName(link.path().filename().string());
    }
    return {};
}

}  // namespace kx
