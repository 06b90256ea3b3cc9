#include "platform/IniFile.h"

#include <cstdint>

#include "platform/AtomicFile.h"

namespace kx {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

IniFile IniFile::FromBytes(std::string_view bytes) {
    IniFile file;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t newline = bytes.find('\n', start);
        if (newline == std::string_view::npos) {
            file.lines_.push_back({std::string(bytes.substr(start)), ""});
            break;
        }
        std::size_t textEnd = newline;
        if (textEnd > start && bytes[textEnd - 1] == '\r') --textEnd;
        file.lines_.push_back({std::string(bytes.substr(start, textEnd - start)),
                               std::string(bytes.substr(textEnd, newline + 1 - textEnd))});
        start = newline + 1;
    }
    return file;
}

std::optional<IniFile> IniFile::Read(const std::filesystem::path& path) {
    std::error_code error;
    auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return IniFile{};
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) return std::nullopt;
    return FromBytes(*bytes);
}

IniFile IniFile::Load(const std::filesystem::path& path) {
    return Read(path).value_or(IniFile{});
}

std::optional<std::string_view> IniFile::SectionName(std::string_view text) {
    std::string_view line = Trim(text);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    std::size_t close = line.find(']');
    if (close != std::string_view::npos) line = line.substr(0, close);
    return Trim(line);
}

std::optional<IniFile::KeyLine> IniFile::ParseKeyLine(std::string_view text) {
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    if (!Trim(text).empty() && Trim(text).front() == '[') return std::nullopt;
    KeyLine key;
    key.name = Trim(text.substr(0, equals));
    std::size_t valueStart = equals + 1;
    while (valueStart < text.size() && IsBlank(text[valueStart])) ++valueStart;
    key.valueOffset = valueStart;
    key.value = Trim(text.substr(valueStart));
    return key;
}

std::optional<std::size_t> IniFile::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto name = SectionName(lines_[i].text);
        if (name && NamesEqual(*name, section)) return i;
    }
    return std::nullopt;
}

// Index of the first line after the section that starts at headerIndex.
std::size_t IniFile::SectionEnd(std::size_t headerIndex) const {
    std::size_t i = headerIndex + 1;
    while (i < lines_.size() && !SectionName(lines_[i].text)) ++i;
    return i;
}

std::optional<std::string_view> IniFile::Find(std::string_view section,
                                              std::string_view key) const {
    section = Trim(section);
    key = Trim(key);
    auto header = FindSection(section);
    if (!header) return std::nullopt;
    std::size_t end = SectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        auto line = ParseKeyLine(lines_[i].text);
        if (line && NamesEqual(line->name, key)) return line->value;
    }
    return std::nullopt;
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::size_t bufferSize) const {
    if (bufferSize == 0) return {};
    std::string_view value = Find(section, key).value_or(defaultValue);
    return std::string(value.substr(0, bufferSize - 1));
}

int IniFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    auto value = Find(section, key);
    if (!value || value->empty()) return defaultValue;
    std::string_view text = *value;
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    std::uint32_t magnitude = 0;  // unsigned, so an over-long number wraps without overflow
    for (char c : text) {
        if (c < '0' || c > '9') break;
        magnitude = magnitude * 10u + static_cast<std::uint32_t>(c - '0');
    }
    if (negative) magnitude = 0u - magnitude;
    return static_cast<int>(magnitude);
}

std::string IniFile::DefaultEnding() const {
    for (const Line& line : lines_)
        if (!line.ending.empty()) return line.ending;
    return "\r\n";
}

bool IniFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
    // Names are stored trimmed, as they are read.
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) return false;
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    // A key line must not read back as a section line, nor a section name end early.
    if (section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
        key.front() == '[')
        return false;

    const std::string ending = DefaultEnding();
    auto header = FindSection(section);
    if (!header) {
        if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = ending;
        lines_.push_back({"[" + std::string(section) + "]", ending});
        lines_.push_back({std::string(key) + "=" + std::string(value), ending});
        return true;
    }

    std::size_t end = SectionEnd(*header);
    for (std::size_t i = *header + 1; i < end; ++i) {
        auto line = ParseKeyLine(lines_[i].text);
        if (line && NamesEqual(line->name, key)) {
            // Keep the name, the '=' and the blanks after it exactly as they were.
            lines_[i].text = lines_[i].text.substr(0, line->valueOffset) + std::string(value);
            return true;
        }
    }

    // After the last non-blank line of the section, so blank separators stay below it.
    std::size_t insertAt = end;
    while (insertAt > *header + 1 && Trim(lines_[insertAt - 1].text).empty()) --insertAt;
    Line& previous = lines_[insertAt - 1];
    if (previous.ending.empty()) previous.ending = ending;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  {std::string(key) + "=" + std::string(value), ending});
    return true;
}

std::string IniFile::Bytes() const {
    std::string bytes;
    for (const Line& line : lines_) {
        bytes += line.text;
        bytes += line.ending;
    }
    return bytes;
}

bool IniFile::Save(const std::filesystem::path& path) const {
    return ReplaceFileAtomically(path, Bytes());
}

std::string ReadProfileString(const std::filesystem::path& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t bufferSize) {
    return IniFile::Load(path).GetString(section, key, defaultValue, bufferSize);
}

int ReadProfileInt(const std::filesystem::path& path, std::string_view section,
                   std::string_view key, int defaultValue) {
    return IniFile::Load(path).GetInt(section, key, defaultValue);
}

bool WriteProfileString(const std::filesystem::path& path, std::string_view section,
                        std::string_view key, std::string_view value) {
    // An existing file that cannot be read must not be replaced by a file of one key.
    std::optional<IniFile> file = IniFile::Read(path);
    if (!file || !file->SetString(section, key, value)) return false;
    return file->Save(path);
}

}  // namespace kx
