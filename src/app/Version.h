#pragma once
#include <string>
#include <string_view>

namespace kx {

inline constexpr std::string_view kDefaultVersionText = "1.00";
inline constexpr std::size_t kVersionTextCapacity = 32;

// The version shown to the user: "%d.%02d" of the first and third numbers of a four-part file
// version ("1.0.5.0" gives "1.05"); "1.00" when the text is not four numbers.
std::string VersionTextFromFileVersion(std::string_view fileVersion);

// The version text of this build.
std::string BuildVersionText();

}  // namespace kx
