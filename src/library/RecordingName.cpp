#include "library/RecordingName.h"

namespace kx {
namespace {

// Scheme 0 fields: date at 0-7, time at 9-14. Scheme 1 fields: date at 10-17, time at 19-24.
struct FieldLayout {
    std::size_t dateFirst;
    std::size_t timeFirst;
};
constexpr FieldLayout kFieldLayouts[kSchemeCount] = {{0, 9}, {10, 19}};
constexpr std::size_t kDateFieldLength = 8;
constexpr std::size_t kTimeFieldLength = 6;

// Scheme 1 display name: characters 10-25.
constexpr std::size_t kAviDisplayFirst = 10;
constexpr std::size_t kAviDisplayLength = 16;

int KindOfLetter(char letter) {
    switch (letter) {
        case 'E':
        case 'I':
            return kKindEvent;
        case 'P':
        case 'T':
            return kKindParking;
        case 'M':
            return kKindManual;
        default:
            return kKindNormal;
    }
}

int Mp4KindCode(std::string_view name) {
    std::optional<std::size_t> cameraIndex = CameraLetterIndex(name);
    if (!cameraIndex) return kKindNormal;
    char last = name[*cameraIndex];
    int offset = -1;
    if (last == 'F') offset = kCameraOffsetFront;
    if (last == 'R') offset = kCameraOffsetRear;
    if (last == 'L') offset = kCameraOffsetL;
    if (offset < 0) return KindOfLetter(last);  // no camera letter: the last one is the kind
    char kindLetter = *cameraIndex > 0 ? name[*cameraIndex - 1] : '\0';
    return offset + KindOfLetter(kindLetter);
}

// The character three places from the end, 0 when the name is shorter.
char ThirdFromEnd(std::string_view name) {
    return name.size() >= 3 ? name[name.size() - 3] : '\0';
}

int AviKindCode(std::string_view name) {
    char last = name.empty() ? '\0' : name.back();
    int kind = kKindNormal;
    if (name.starts_with("evt") || name.starts_with("mot") || last == 'E')
        kind = kKindEvent;
    else if (last == 'P')
        kind = kKindParking;
    int offset = ThirdFromEnd(name) == 'R' ? kCameraOffsetRear : kCameraOffsetFront;
    return kind + offset;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

int SchemeOfFileName(std::string_view fileName) {
    if (fileName.size() <= kExtensionLength) return -1;
    std::string_view dotted = fileName.substr(fileName.size() - kExtensionLength);
    if (dotted[0] != '.') return -1;
    for (int scheme = 0; scheme < kSchemeCount; ++scheme) {
        std::string_view wanted = kSchemeExtensions[scheme];
        bool same = true;
        for (std::size_t i = 0; i < wanted.size(); ++i)
            same = same && AsciiLower(dotted[i + 1]) == wanted[i];
        if (same) return scheme;
    }
    return -1;
}

std::int32_t ReadDecimalField(std::string_view name, std::size_t first, std::size_t length) {
    std::int32_t value = 0;
    for (std::size_t i = first; i < first + length && i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') break;
        value = value * 10 + (name[i] - '0');  // at most 8 digits: no overflow
    }
    return value;
}

std::optional<ParsedName> ParseRecordingName(std::string_view name, int scheme) {
    if (scheme < 0 || scheme >= kSchemeCount) return std::nullopt;
    const FieldLayout& layout = kFieldLayouts[scheme];
    ParsedName parsed;
    parsed.date = ReadDecimalField(name, layout.dateFirst, kDateFieldLength);
    parsed.time = ReadDecimalField(name, layout.timeFirst, kTimeFieldLength);
    if (parsed.date <= 0 || parsed.time <= 0 || parsed.date / 10000 < kMinimumYear)
        return std::nullopt;
    int code = scheme == kSchemeMp4 ? Mp4KindCode(name) : AviKindCode(name);
    parsed.kindCode = static_cast<std::uint8_t>(code);
    return parsed;
}

int BaseKind(int kindCode) {
    int code = kindCode < kFirstCameraLCode ? kindCode : kindCode - kCameraOffsetL;
    return ((code % 4) + 4) % 4;
}

int CameraGroup(int kindCode) {
    return kindCode < kFirstCameraLCode ? kindCode / 4 : kCameraGroupNone;
}

int KindLevel(int kindCode) {
    return BaseKind(kindCode) + 1;
}

std::optional<std::size_t> CameraLetterIndex(std::string_view name) {
    if (name.empty()) return std::nullopt;
    std::size_t index = name.size() - 1;
    if (name[index] == 'S') {
        if (index == 0) return std::nullopt;
        --index;
    }
    return index;
}

char CameraLetter(std::string_view name) {
    std::optional<std::size_t> index = CameraLetterIndex(name);
    return index ? name[*index] : '\0';
}

std::string DisplayName(std::string_view name, int scheme) {
    if (scheme != kSchemeAvi) return std::string(name);
    std::string shown(name.size() > kAviDisplayFirst
                          ? name.substr(kAviDisplayFirst, kAviDisplayLength)
                          : std::string_view{});
    int kind = BaseKind(AviKindCode(name));
    char last = name.empty() ? '\0' : name.back();
    if (kind == kKindEvent)
        shown += last == 'P' ? 'I' : 'E';
    else if (kind == kKindParking)
        shown += 'P';
    else
        shown += 'N';
    char camera = ThirdFromEnd(name);
    if (camera == 'F' || camera == 'R') shown += camera;
    return shown;
}

std::string SidecarStem(std::string_view name) {
    if (!name.empty() && name.back() == 'S') name.remove_suffix(1);
    if (!name.empty() && (name.back() == 'F' || name.back() == 'R' || name.back() == 'L'))
        name.remove_suffix(1);
    return std::string(name);
}

}  // namespace kx
