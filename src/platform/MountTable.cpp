#include "platform/MountTable.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace kx {
namespace {

std::string UnescapeMountField(std::string_view field) {
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && field.size() - i >= 4) {
            std::string_view digits = field.substr(i + 1, 3);
            bool octal = true;
            for (char c : digits) octal = octal && c >= '0' && c <= '7';
            if (octal) {
                text.push_back(static_cast<char>(((digits[0] - '0') << 6) |
                                                 ((digits[1] - '0') << 3) | (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        text.push_back(field[i]);
    }
    return text;
}

std::vector<std::string_view> SplitBlanks(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t position = 0;
    while (position < line.size()) {
        std::size_t start = line.find_first_not_of(' ', position);
        if (start == std::string_view::npos) break;
        std::size_t end = line.find(' ', start);
        if (end == std::string_view::npos) end = line.size();
        fields.push_back(line.substr(start, end - start));
        position = end;
    }
    return fields;
}

bool ParseDeviceNumbers(std::string_view text, unsigned& major, unsigned& minor) {
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return false;
    auto first = std::from_chars(text.data(), text.data() + colon, major);
    auto second = std::from_chars(text.data() + colon + 1, text.data() + text.size(), minor);
    return first.ec == std::errc{} && first.ptr == text.data() + colon &&
           second.ec == std::errc{} && second.ptr == text.data() + text.size();
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    // Fields: id parent major:minor root mount-point options [optional...] - type source super
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);

        std::vector<std::string_view> fields = SplitBlanks(line);
        std::size_t separator = 6;
        while (separator < fields.size() && fields[separator] != "-") ++separator;
        if (fields.size() < 6 || separator + 2 >= fields.size()) continue;
        MountEntry entry;
        if (!ParseDeviceNumbers(fields[2], entry.major, entry.minor)) continue;
        entry.root = UnescapeMountField(fields[3]);
        entry.mountPoint = UnescapeMountField(fields[4]);
        entry.fsType = UnescapeMountField(fields[separator + 1]);
        entry.source = UnescapeMountField(fields[separator + 2]);
        if (!entry.mountPoint.is_absolute()) continue;
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<MountEntry> ReadMountTable(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseMountInfo(text);
}

bool PathIsWithin(const std::filesystem::path& path, const std::filesystem::path& folder) {
    auto pathPart = path.begin();
    for (auto folderPart = folder.begin(); folderPart != folder.end(); ++folderPart) {
        if (folderPart->empty()) continue;  // the empty last part of "/media/card/"
        if (pathPart == path.end() || *pathPart != *folderPart) return false;
        ++pathPart;
    }
    return true;
}

int MountHolding(const std::vector<MountEntry>& mounts, const std::filesystem::path& path) {
    int best = -1;
    std::size_t bestLength = 0;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        const std::filesystem::path& point = mounts[i].mountPoint;
        if (!PathIsWithin(path, point)) continue;
        std::size_t length = static_cast<std::size_t>(std::distance(point.begin(), point.end()));
        if (best < 0 || length >= bestLength) {
            best = static_cast<int>(i);
            bestLength = length;
        }
    }
    return best;
}

}  // namespace kx
