#include "library/FolderNames.h"

#include <system_error>

namespace kx {
namespace {

bool IsRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

}  // namespace

std::string AsciiLowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::optional<std::filesystem::path> FolderNames::Find(const std::string& fileName) {
    std::filesystem::path exact = folder_ / fileName;
    if (IsRegularFile(exact)) return exact;
    if (!listed_) {
        listed_ = true;
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder_, error), end; !error && it != end;
             it.increment(error)) {
            std::string name = it->path().filename().string();
            byLowerName_.try_emplace(AsciiLowerCase(name), name);
        }
    }
    auto found = byLowerName_.find(AsciiLowerCase(fileName));
    if (found == byLowerName_.end()) return std::nullopt;
    std::filesystem::path path = folder_ / found->second;
    if (!IsRegularFile(path)) return std::nullopt;  // gone since the folder was read
    return path;
}

}  // namespace kx
