#pragma once
// INI text handled key by key, with the behaviour of the classic profile functions that the
// viewer's setup.ini, the language files and the camera's files rely on:
// - section and key names match without regard to (ASCII) case; the first match wins;
// - a value is the text after '=' with leading and trailing blanks removed;
// - writing replaces an existing value in place, appends a missing key as the last line of its
//   section and a missing section at the end of the file;
// - every other line stays byte for byte as it was, line endings included.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx {

class IniFile {
  public:
    IniFile() = default;

    // Parses text as it is stored. Any byte sequence is accepted.
    static IniFile FromBytes(std::string_view bytes);
    // Reads a file; a missing file gives an empty document, an unreadable one nothing.
    static std::optional<IniFile> Read(const std::filesystem::path& path);
    // Reads a file; a missing or unreadable file gives an empty document.
    static IniFile Load(const std::filesystem::path& path);

    // The trimmed value of the first matching key of the first matching section.
    std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

    // At most bufferSize - 1 bytes of the value (or of the default when the key is missing),
    // as a profile read into a buffer of that size gives.
    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t bufferSize) const;

    // Optional sign and decimal digits from the start of the value; no digits read as 0; a
    // missing key or an empty value gives the default. Wraps at 32 bits like the original.
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;

    // Sets a value in memory. Refuses (returns false) names or values that would break the
    // line structure: line breaks anywhere, '=' in a key, ']' in a section, empty names.
    bool SetString(std::string_view section, std::string_view key, std::string_view value);

    // The document as it would be stored.
    std::string Bytes() const;

    // Replaces the file atomically (temporary file, flush to disk, rename).
    bool Save(const std::filesystem::path& path) const;

  private:
    struct Line {
        std::string text;    // without its line ending
        std::string ending;  // "\r\n", "\n" or "" for a last line without one
    };
    struct KeyLine {
        std::string_view name;
        std::string_view value;
        std::size_t valueOffset = 0;  // where the value (after leading blanks) starts in text
    };

    static std::optional<std::string_view> SectionName(std::string_view text);
    static std::optional<KeyLine> ParseKeyLine(std::string_view text);
    std::optional<std::size_t> FindSection(std::string_view section) const;
    std::size_t SectionEnd(std::size_t headerIndex) const;
    std::string DefaultEnding() const;

    std::vector<Line> lines_;
};

// One profile call each: load, read or write, and for writes save atomically.
std::string ReadProfileString(const std::filesystem::path& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t bufferSize);
int ReadProfileInt(const std::filesystem::path& path, std::string_view section,
                   std::string_view key, int defaultValue);
bool WriteProfileString(const std::filesystem::path& path, std::string_view section,
                        std::string_view key, std::string_view value);

}  // namespace kx
