// Any bytes as an INI file: parsing keeps the bytes exactly, reads never fail, and a write
// is found again by the next read.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/IniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    kx::IniFile file = kx::IniFile::FromBytes(bytes);
    if (file.Bytes() != bytes) __builtin_trap();

    // Names and a value taken from the input itself, so sections and keys that exist are hit.
    std::size_t third = size / 3;
    std::string section(bytes.substr(0, third % 16));
    std::string key(bytes.substr(third, third % 16));
    std::string value(bytes.substr(2 * third, 32));
    file.GetString(section, key, "default", 1 + size % 300);
    file.GetInt(section, key, 7);
    if (file.SetString(section, key, value)) {
        kx::IniFile reread = kx::IniFile::FromBytes(file.Bytes());
        auto found = reread.Find(section, key);
        if (!found) __builtin_trap();
    }
    return 0;
}
