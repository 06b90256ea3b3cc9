#pragma once
// One listed recording file. Entries are created and freed only by CFileList, which links
// them newest first; an entry never moves while it is listed (windows keep its address).
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// Recording extensions have three letters ("mp4", "avi").
inline constexpr std::size_t kExtensionLetters = 3;

struct FileEntry {
    std::uint8_t scheme = 0;       // name scheme: 0 mp4, 1 avi
    std::uint8_t kindCode = 0;     // base kind + camera offset (0-3, 4-7, 51-54)
    std::uint8_t spanMinutes = 0;  // timeline minutes covered; 0 until probed
    std::int32_t date = 0;         // yyyymmdd from the name
    std::int32_t time = 0;         // hhmmss from the name
    std::int32_t duration = 0;     // whole seconds; 0 = not yet known
    std::string name;              // file name without its extension
    FileEntry* next = nullptr;     // following entry in list order

    // The extension as the folder spells it ("mp4", "MP4", ...): a card may store it in
    // capitals, and the file is opened by its real name.
    std::array<char, kExtensionLetters> extension{};
    FileEntry* previous = nullptr;  // preceding entry in list order

    std::string_view Extension() const { return {extension.data(), extension.size()}; }
    std::string FileName() const {
        std::string fileName;
        fileName.reserve(name.size() + 1 + extension.size());
        return fileName.append(name).append(1, '.').append(Extension());
    }
};

}  // namespace kx
