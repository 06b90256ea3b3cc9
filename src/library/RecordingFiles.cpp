#include "library/RecordingFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <system_error>

#include "app/Trace.h"
#include "library/RecordingName.h"
#include "platform/AtomicFile.h"
#include "platform/UniqueFd.h"

namespace kx {
namespace {

constexpr std::size_t kCopyBufferSize = 1 << 20;

std::string Reason(const std::filesystem::path& path, const std::string& what) {
    return path.string() + ": " + what;
}

// Copies source to a fresh file beside target, then renames it over target.
bool CopyOneFile(const std::filesystem::path& source, const std::filesystem::path& target,
                 FileSetReport& report) {
    std::error_code error;
    const bool existed = std::filesystem::exists(target, error);
    if (existed && std::filesystem::equivalent(source, target, error)) {
        return true;  // the destination is the record folder itself: nothing to do
    }

    UniqueFile input = OpenFile(source, "rb");
    if (!input) {
        report.failed.push_back(Reason(source, std::strerror(errno)));
        Trace("CopyFileSet", __LINE__, "open of %s failed\n", source.c_str());
        return false;
    }
    std::string temporary =
        (target.parent_path() / ("." + target.filename().string() + ".kxcopy-XXXXXX")).string();
    UniqueFd output(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!output.valid()) {
        report.failed.push_back(Reason(target, std::strerror(errno)));
        Trace("CopyFileSet", __LINE__, "cannot write into %s\n", target.parent_path().c_str());
        return false;
    }
    auto fail = [&](const std::string& why) {
        ::unlink(temporary.c_str());
        report.failed.push_back(Reason(target, why));
        Trace("CopyFileSet", __LINE__, "copy of %s failed: %s\n", source.c_str(), why.c_str());
        return false;
    };

    std::vector<char> buffer(kCopyBufferSize);
    for (;;) {
        std::size_t got = std::fread(buffer.data(), 1, buffer.size(), input.get());
        for (std::size_t written = 0; written < got;) {
            ssize_t put = ::write(output.get(), buffer.data() + written, got - written);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) return fail(put < 0 ? std::strerror(errno) : "nothing written");
            written += static_cast<std::size_t>(put);
        }
        if (got < buffer.size()) {
            if (std::ferror(input.get())) return fail("read error");
            break;
        }
    }
    if (::fsync(output.get()) != 0) return fail(std::strerror(errno));
    if (!output.Close()) return fail(std::strerror(errno));

    // Like a file copy of the platform, the copy keeps the recording's time.
    const std::filesystem::file_time_type written = std::filesystem::last_write_time(source, error);
    if (!error) std::filesystem::last_write_time(temporary, written, error);
    // The copy gets the source's permissions rather than the private ones of a fresh file.
    std::filesystem::permissions(temporary, std::filesystem::status(source, error).permissions(),
                                 error);
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(std::strerror(errno));
    report.touched.push_back(target);
    if (existed) report.replaced.push_back(target);
    return true;
}

void DeleteOneFile(const std::filesystem::path& path, FileSetReport& report) {
    std::error_code error;
    if (std::filesystem::remove(path, error)) {
        report.touched.push_back(path);
    } else if (error) {
        report.failed.push_back(Reason(path, error.message()));
        Trace("DeleteFileSet", __LINE__, "delete of %s failed: %s\n", path.c_str(),
              error.message().c_str());
    }
}

}  // namespace

void FileSetReport::Append(const FileSetReport& other) {
    touched.insert(touched.end(), other.touched.begin(), other.touched.end());
    replaced.insert(replaced.end(), other.replaced.begin(), other.replaced.end());
    failed.insert(failed.end(), other.failed.begin(), other.failed.end());
}

std::string FileSetStem(const std::string& name) {
    if (!name.empty() && (name.back() == 'F' || name.back() == 'R'))
        return name.substr(0, name.size() - 1);
    return name;
}

std::vector<std::string> FileSetNames(const FileEntry& entry) {
    if (entry.scheme == kSchemeAvi) return {entry.FileName()};
    const std::string stem = FileSetStem(entry.name);
    return {stem + ".3gf", stem + ".gps", entry.name + ".thm", entry.FileName()};
}

FileSetReport CopyFileSet(const FileEntry& entry, FolderNames& source,
                          const std::filesystem::path& destination) {
    FileSetReport report;
    for (const std::string& name : FileSetNames(entry)) {
        std::optional<std::filesystem::path> found = source.Find(name);
        if (!found) continue;  // a set often lacks its sidecars
        CopyOneFile(*found, destination / found->filename(), report);
    }
    return report;
}

FileSetReport DeleteFileSet(const FileEntry& entry, FolderNames& folder) {
    FileSetReport report;
    std::vector<std::string> names = FileSetNames(entry);
    std::size_t first = 0;
    const char last = entry.name.empty() ? '\0' : entry.name.back();
    if (entry.scheme == kSchemeMp4 && (last == 'F' || last == 'R')) {
        std::string partner = entry.name;
        partner.back() = last == 'F' ? 'R' : 'F';
        if (folder.Find(partner + ".mp4")) first = 2;  // the partner keeps the sidecars
    }
    for (std::size_t i = first; i < names.size(); ++i)
        if (std::optional<std::filesystem::path> found = folder.Find(names[i]))
            DeleteOneFile(*found, report);
    return report;
}

}  // namespace kx
