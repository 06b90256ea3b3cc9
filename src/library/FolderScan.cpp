#include "library/FolderScan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "library/RecordingName.h"

namespace kx {
namespace {

// Folder entries are read straight from the kernel in large blocks: a card folder may hold
// many thousand recordings, and fewer calls make the scan markedly faster.
constexpr std::size_t kDirectoryBlockSize = 1 << 20;

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

class FolderDescriptor {
  public:
    explicit FolderDescriptor(const std::filesystem::path& folder)
        : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~FolderDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FolderDescriptor(const FolderDescriptor&) = delete;
    FolderDescriptor& operator=(const FolderDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The scheme whose extension the name ends in, -1 for none.
int SchemeOfFileName(std::string_view fileName) {
    if (fileName.size() <= kExtensionLength) return -1;
    std::string_view dotted = fileName.substr(fileName.size() - kExtensionLength);
    if (dotted[0] != '.') return -1;
    for (int scheme = 0; scheme < kSchemeCount; ++scheme) {
        std::string_view wanted = kSchemeExtensions[scheme];
        bool same = true;
        for (std::size_t i = 0; i < wanted.size(); ++i)
            same = same && AsciiLower(dotted[i + 1]) == wanted[i];
        if (same) return scheme;
    }
    return -1;
}

bool IsDirectory(int folderFd, unsigned char type, const char* name) {
    if (type == DT_DIR) return true;
    if (type != DT_UNKNOWN && type != DT_LNK) return false;
    struct stat info {};
    if (fstatat(folderFd, name, &info, 0) != 0) return false;
    return S_ISDIR(info.st_mode);
}

// The recording file names of a folder, stored end to end in one buffer.
struct FoundFiles {
    struct Name {
        std::size_t offset;
        std::size_t length;
        int scheme;
    };
    std::string text;
    std::vector<Name> names;
};

// Every .mp4 and .avi name of the folder in the order the file system returns them. False
// when the folder cannot be opened or reading it fails part-way.
bool ListRecordingFiles(const std::filesystem::path& folder, FoundFiles& found) {
    FolderDescriptor dir(folder);
    if (dir.get() < 0) return false;
    std::vector<char> block(kDirectoryBlockSize);
    for (;;) {
        const long got = ::syscall(SYS_getdents64, dir.get(), block.data(), block.size());
        if (got == 0) return true;
        if (got < 0) return false;  // the folder went away while it was read
        for (long offset = 0; offset < got;) {
            const auto* item = reinterpret_cast<const LinuxDirent64*>(block.data() + offset);
            if (item->d_reclen == 0) return false;
            offset += item->d_reclen;
            std::string_view fileName(item->d_name);
            const int scheme = SchemeOfFileName(fileName);
            if (scheme < 0 || IsDirectory(dir.get(), item->d_type, item->d_name)) continue;
            found.names.push_back({found.text.size(), fileName.size(), scheme});
            found.text.append(fileName);
        }
    }
}

}  // namespace

std::vector<std::int32_t> ScanDates(const std::vector<std::int32_t>& datesInScanOrder) {
    std::vector<std::int32_t> dates;
    for (std::int32_t date : datesInScanOrder)
        if (dates.empty() || date != dates.back()) dates.push_back(date);
    std::sort(dates.begin(), dates.end());
    return dates;
}

ScanResult ScanFolder(CFileList& list, const std::filesystem::path& recordFolder) {
    list.Clear();
    ScanResult result;
    if (recordFolder.empty()) return result;

    try {
        FoundFiles found;
        if (!ListRecordingFiles(recordFolder, found)) return result;

        // All mp4 names first, then all avi names, each in the folder's own order.
        std::vector<CFileList::NameToInsert> names;
        names.reserve(found.names.size());
        for (int scheme = 0; scheme < kSchemeCount; ++scheme) {
            for (const FoundFiles::Name& file : found.names) {
                if (file.scheme != scheme) continue;
                std::string_view fileName(found.text.data() + file.offset, file.length);
                names.push_back({fileName.substr(0, fileName.size() - kExtensionLength), scheme,
                                 fileName.substr(fileName.size() - kExtensionLength + 1)});
            }
        }
        std::vector<std::int32_t> dates;
        for (const CFileList::InsertResult& inserted : list.InsertMany(names)) {
            if (!inserted.accepted) continue;
            ++result.count;
            if (dates.empty() || inserted.date != dates.back()) dates.push_back(inserted.date);
        }
        result.dates = ScanDates(dates);
    } catch (const std::bad_alloc&) {
        list.Clear();
        return ScanResult{};
    }
    return result;
}

}  // namespace kx
