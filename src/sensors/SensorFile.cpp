#include "sensors/SensorFile.h"

#include <cstdio>

#include "app/Trace.h"
#include "platform/AtomicFile.h"

namespace kx {

std::optional<std::size_t> SetData(const std::filesystem::path& path,
                                   std::span<std::uint8_t> buffer) {
    constexpr const char* kTag = "CDispCtrlDlg::SetData";
    if (buffer.empty()) return std::nullopt;
    UniqueFile file = OpenFile(path, "rb");
    if (!file) {
        Trace(kTag, __LINE__, "%s file open failed\n", path.c_str());
        return std::nullopt;
    }
    std::size_t room = buffer.size() - 1;
    std::size_t length = std::fread(buffer.data(), 1, room, file.get());
    if (std::ferror(file.get())) {
        Trace(kTag, __LINE__, "%s file read failed\n", path.c_str());
        return std::nullopt;
    }
    if (length == room && std::fgetc(file.get()) != EOF)
        Trace(kTag, __LINE__, "%s file cut to %zu bytes\n", path.c_str(), length);
    buffer[length] = 0;
    return length;
}

}  // namespace kx
