#include "LibraryFixtures.h"

#include "support/TempDir.h"

namespace kx::test {

std::string BigEndian32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (24 - 8 * i));
    return bytes;
}

std::string LittleEndian32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string Box(std::string_view type, std::string_view payload) {
    return BigEndian32(static_cast<std::uint32_t>(payload.size() + 8)) + std::string(type) +
           std::string(payload);
}

std::string MovieHeader(int version, std::uint32_t timeScale, std::uint64_t duration) {
    std::string payload;
    payload += static_cast<char>(version);
    payload += std::string(3, '\0');  // flags
    if (version == 1) {
        payload += std::string(16, '\x01');  // creation and modification times
        payload += BigEndian32(timeScale);
        payload += BigEndian32(static_cast<std::uint32_t>(duration >> 32));
        payload += BigEndian32(static_cast<std::uint32_t>(duration));
    } else {
        payload += std::string(8, '\x01');
        payload += BigEndian32(timeScale);
        payload += BigEndian32(static_cast<std::uint32_t>(duration));
    }
    payload += std::string(80, '\0');  // rate, volume, matrix, next track id
    return Box("mvhd", payload);
}

std::string Mp4File(std::uint32_t timeScale, std::uint64_t duration, int version,
                    int leadingBoxes) {
    static const char* types[] = {"ftyp", "free", "mdat"};
    std::string file;
    for (int i = 0; i < leadingBoxes; ++i) file += Box(types[i % 3], std::string(12 + i, 'x'));
    file += Box("moov", MovieHeader(version, timeScale, duration) + Box("trak", ""));
    return file;
}

std::string AviFile(std::uint32_t microsecondsPerFrame, std::uint32_t totalFrames) {
    std::string mainHeader = LittleEndian32(microsecondsPerFrame) + std::string(12, '\0') +
                             LittleEndian32(totalFrames) + std::string(36, '\0');
    std::string avih =
        "avih" + LittleEndian32(static_cast<std::uint32_t>(mainHeader.size())) + mainHeader;
    std::string list =
        "LIST" + LittleEndian32(static_cast<std::uint32_t>(avih.size() + 4)) + "hdrl" + avih;
    return "RIFF" + LittleEndian32(static_cast<std::uint32_t>(list.size() + 4)) + "AVI " + list;
}

void TouchFiles(const std::filesystem::path& folder, const std::vector<std::string>& names) {
    std::filesystem::create_directories(folder);
    for (const std::string& name : names) WriteFileBytes(folder / name, "");
}

}  // namespace kx::test
