#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace kx::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

// The folder of the built programs (kxcard, KX-TMQ4_Viewer, lng/).
inline std::filesystem::path BinDir() {
    return KX_BIN_DIR;
}
inline std::filesystem::path SourceDir() {
    return KX_SOURCE_DIR;
}
// The built command-line tool.
inline std::string KxcardPath() {
    return (BinDir() / "kxcard").string();
}

}  // namespace kx::test
