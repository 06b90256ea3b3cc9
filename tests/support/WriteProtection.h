#pragma once
// Makes a file or a folder refuse changes (writes; new, replaced and deleted entries) for as
// long as the object lives: the write bits are taken away for a normal user; root ignores
// them, so for root the immutable attribute is set instead where the file system supports it.
#include <filesystem>

namespace kx::test {

class WriteProtection {
  public:
    explicit WriteProtection(const std::filesystem::path& path);
    ~WriteProtection();
    WriteProtection(const WriteProtection&) = delete;
    WriteProtection& operator=(const WriteProtection&) = delete;

    // False when neither way is available here (root on a file system without the
    // attribute): the caller skips its test.
    bool active() const { return active_; }

  private:
    bool SetImmutable(bool on) const;

    std::filesystem::path path_;
    std::filesystem::perms savedPermissions_ = std::filesystem::perms::none;
    bool asRoot_ = false;
    bool active_ = false;
};

}  // namespace kx::test
