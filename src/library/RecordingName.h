#pragma once
// The camera's recording file names: two name schemes, the date and time fields, the kind and
// camera letters, and everything derived from the one-byte kind code.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// Position in this table is the entry's name scheme.
inline constexpr std::string_view kSchemeExtensions[] = {"mp4", "avi"};
inline constexpr int kSchemeCount = 2;
inline constexpr int kSchemeMp4 = 0;
inline constexpr int kSchemeAvi = 1;

// The dot and the three letters of the extension.
inline constexpr std::size_t kExtensionLength = 4;

// Base kinds; the kind code adds the camera offset.
inline constexpr int kKindNormal = 0;
inline constexpr int kKindEvent = 1;
inline constexpr int kKindParking = 2;
inline constexpr int kKindManual = 3;
inline constexpr int kCameraOffsetFront = 0;
inline constexpr int kCameraOffsetRear = 4;
inline constexpr int kCameraOffsetL = 51;
// Codes from here up belong to camera L, which is in no camera group.
inline constexpr int kFirstCameraLCode = 8;
inline constexpr int kCameraGroupNone = -1;
inline constexpr int kMinimumYear = 1971;

// The scheme whose extension (any letter case) the file name ends in after a non-empty stem;
// -1 for none.
int SchemeOfFileName(std::string_view fileName);

struct ParsedName {
    std::int32_t date = 0;  // yyyymmdd
    std::int32_t time = 0;  // hhmmss
    std::uint8_t kindCode = 0;
};

// Reads the date and time fields of the scheme and the kind letters. Empty when the name is
// rejected: date or time not above 0, or a year before 1971.
std::optional<ParsedName> ParseRecordingName(std::string_view name, int scheme);

// The leading decimal digits of name[first, first + length), 0 when there are none.
std::int32_t ReadDecimalField(std::string_view name, std::size_t first, std::size_t length);

int BaseKind(int kindCode);
// 0 front, 1 rear, kCameraGroupNone for camera L.
int CameraGroup(int kindCode);
// 1 normal, 2 event, 3 parking, 4 manual; the higher level wins where recordings overlap.
int KindLevel(int kindCode);

// Index of the camera letter of a scheme-0 name: the last character, or the one before a
// trailing S. Empty when the name has no such character.
std::optional<std::size_t> CameraLetterIndex(std::string_view name);
// The camera letter (F, R, L or any other character), 0 when there is none.
char CameraLetter(std::string_view name);

// The name as the list shows it: scheme 0 as it stands, scheme 1 rewritten to read alike.
std::string DisplayName(std::string_view name, int scheme);

// The player's sidecar stem: the name without a trailing S and without a following camera
// letter F, R or L. The .gps and .3gf sidecars of front and rear share it.
std::string SidecarStem(std::string_view name);

}  // namespace kx
