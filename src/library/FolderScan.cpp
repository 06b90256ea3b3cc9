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
#include "platform/UniqueFd.h"

namespace kx {
namespace {

// Folder entries are read straight from the kernel in large blocks: a card folder may hold
// many thousand recordings, and fewer calls make the scan markedly faster.
constexpr std::size_t kDirectoryBlockSize = 256 * 1024;

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

bool IsDirectory(int folderFd, unsigned char type, const char* name) {
    if (type == DT_DIR) return true;
    if (type != DT_UNKNOWN && type != DT_LNK) return false;
    struct stat info {};
    if (fstatat(folderFd, name, &info, 0) != 0) return false;
    return S_ISDIR(info.st_mode);
}

// Parsed entries of every accepted .mp4 and .avi name of the folder, per scheme, in the order
// the file system returns them. False when the folder cannot be opened or reading it fails
// part-way.
bool ReadRecordingEntries(const std::filesystem::path& folder,
                          std::vector<std::unique_ptr<FileEntry>> (&found)[kSchemeCount]) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.valid()) return false;
    std::unique_ptr<char[]> block(new char[kDirectoryBlockSize]);
    for (;;) {
        const long got = ::syscall(SYS_getdents64, dir.get(), block.get(), kDirectoryBlockSize);
        if (got == 0) return true;
        if (got < 0) return false;  // the folder went away while it was read
        for (long offset = 0; offset < got;) {
            const auto* item = reinterpret_cast<const LinuxDirent64*>(block.get() + offset);
            if (item->d_reclen == 0) return false;
            offset += item->d_reclen;
            std::string_view fileName(item->d_name);
            const int scheme = SchemeOfFileName(fileName);
            if (scheme < 0 || IsDirectory(dir.get(), item->d_type, item->d_name)) continue;
            std::unique_ptr<FileEntry> entry =
                CFileList::MakeEntry(fileName.substr(0, fileName.size() - kExtensionLength), scheme,
                                     fileName.substr(fileName.size() - kExtensionLength + 1));
            if (entry) found[scheme].push_back(std::move(entry));
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
        std::vector<std::unique_ptr<FileEntry>> found[kSchemeCount];
        if (!ReadRecordingEntries(recordFolder, found)) return result;

        // All mp4 names first, then all avi names.
        std::vector<std::unique_ptr<FileEntry>>& entries = found[kSchemeMp4];
        entries.reserve(entries.size() + found[kSchemeAvi].size());
        for (std::unique_ptr<FileEntry>& entry : found[kSchemeAvi])
            entries.push_back(std::move(entry));
        std::vector<std::int32_t> dates;
        dates.reserve(entries.size());
        for (const std::unique_ptr<FileEntry>& entry : entries) dates.push_back(entry->date);
        result.count = static_cast<int>(entries.size());
        result.dates = ScanDates(dates);
        list.InsertEntries(std::move(entries));
    } catch (const std::bad_alloc&) {
        list.Clear();
        return ScanResult{};
    }
    return result;
}

}  // namespace kx
