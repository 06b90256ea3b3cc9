#pragma once
// Finds a file of a folder by name the way the camera's FAT card does: without regard to the
// case of ASCII letters ("x.THM" is found as "x.thm"). The exact name is tried first; the
// folder is read once, on the first name that is not there as spelt.
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>

namespace kx {

class FolderNames {
  public:
    explicit FolderNames(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // The path of the regular file named so (any case), empty when there is none.
    std::optional<std::filesystem::path> Find(const std::string& fileName);

    const std::filesystem::path& folder() const { return folder_; }

  private:
    std::filesystem::path folder_;
    bool listed_ = false;
    std::unordered_map<std::string, std::string> byLowerName_;
};

std::string AsciiLowerCase(std::string text);

}  // namespace kx
