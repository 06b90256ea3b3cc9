#include "library/RemovableVolumes.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

namespace kx {
namespace {

std::uint64_t FreeBytes(const std::filesystem::path& root) {
    struct statvfs info {};
    if (statvfs(root.c_str(), &info) != 0) return 0;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

// mountinfo writes space, tab, newline and backslash as \ooo.
std::string UnescapeOctal(const std::string& text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size()) {
            const char a = text[i + 1], b = text[i + 2], c = text[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                plain += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        plain += text[i];
    }
    return plain;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// udev writes unsafe characters of a label link as \xNN.
std::string UnescapeHex(const std::string& text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            int high = HexDigit(text[i + 2]), low = HexDigit(text[i + 3]);
            if (high >= 0 && low >= 0) {
                plain += static_cast<char>(high * 16 + low);
                i += 3;
                continue;
            }
        }
        plain += text[i];
    }
    return plain;
}

std::string FirstLine(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

struct MountLine {
    std::string device;  // major:minor
    std::string root;
    std::filesystem::path mountPoint;
};

std::vector<MountLine> ReadMountInfo(const std::filesystem::path& file) {
    std::vector<MountLine> mounts;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, device, root, mountPoint;
        if (!(fields >> id >> parent >> device >> root >> mountPoint)) continue;
        mounts.push_back({device, UnescapeOctal(root), UnescapeOctal(mountPoint)});
    }
    return mounts;
}

}  // namespace

MountedRemovableVolumes::MountedRemovableVolumes() : MountedRemovableVolumes(Paths{}) {}

MountedRemovableVolumes::MountedRemovableVolumes(Paths paths) : paths_(std::move(paths)) {
    changeFd_ = ::open(paths_.mountInfo.c_str(), O_RDONLY | O_CLOEXEC);
}

MountedRemovableVolumes::~MountedRemovableVolumes() {
    if (changeFd_ >= 0) ::close(changeFd_);
}

std::vector<RemovableVolume> MountedRemovableVolumes::List() const {
    std::vector<RemovableVolume> volumes;
    std::set<std::string> seenDevices;
    for (const MountLine& mount : ReadMountInfo(paths_.mountInfo)) {
        // Only the whole file system, once: bind mounts of a sub-folder are not volumes.
        if (mount.root != "/" || mount.device.starts_with("0:")) continue;
        if (seenDevices.count(mount.device)) continue;

        std::error_code error;
        std::filesystem::path block =
            std::filesystem::canonical(paths_.sys / "dev" / "block" / mount.device, error);
        if (error) continue;  // not a block device
        std::filesystem::path disk = block;
        if (std::filesystem::exists(block / "partition", error)) disk = block.parent_path();
        const bool removable = FirstLine(disk / "removable") == "1" ||
                               (disk.filename().string().starts_with("mmcblk") &&
                                FirstLine(disk / "device" / "type") == "SD");
        if (!removable) continue;
        seenDevices.insert(mount.device);

        RemovableVolume volume;
        volume.root = mount.mountPoint;
        const std::string deviceName = block.filename().string();
        for (std::filesystem::directory_iterator it(paths_.labels, error), end; !error && it != end;
             it.increment(error)) {
            std::error_code linkError;
            std::filesystem::path target = std::filesystem::read_symlink(it->path(), linkError);
            if (!linkError && target.filename() == deviceName) {
                volume.label = UnescapeHex(it->path().filename().string());
                break;
            }
        }
        volume.freeBytes = FreeBytes(volume.root);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::vector<RemovableVolume> FolderVolumes::List() const {
    std::vector<RemovableVolume> volumes;
    for (const std::filesystem::path& folder : folders_) {
        std::error_code error;
        if (!std::filesystem::is_directory(folder, error)) continue;  // not inserted
        RemovableVolume volume;
        volume.root = folder;
        std::filesystem::path normal = folder.lexically_normal();
        if (normal.filename().empty()) normal = normal.parent_path();  // a trailing slash
        volume.label = normal.filename().string();
        volume.freeBytes = FreeBytes(folder);
        volumes.push_back(std::move(volume));
    }
    return volumes;
}

std::vector<std::filesystem::path> SplitFolderList(const std::string& list) {
    std::vector<std::filesystem::path> folders;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t colon = list.find(':', start);
        if (colon == std::string::npos) colon = list.size();
        if (colon > start) folders.emplace_back(list.substr(start, colon - start));
        start = colon + 1;
    }
    return folders;
}

std::unique_ptr<RemovableVolumes> MakeRemovableVolumes(
    const std::optional<std::string>& folderList) {
    if (folderList) return std::make_unique<FolderVolumes>(SplitFolderList(*folderList));
    if (const char* fromEnvironment = std::getenv(kVolumesVariable))
        return std::make_unique<FolderVolumes>(SplitFolderList(fromEnvironment));
    return std::make_unique<MountedRemovableVolumes>();
}

}  // namespace kx
