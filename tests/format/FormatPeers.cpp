#include "FormatPeers.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <random>

namespace kx::test {

ProcessResult RunFatTool(const std::string& tool, const std::vector<std::string>& arguments) {
    std::string program = "/usr/sbin/" + tool;
    if (!std::filesystem::exists(program)) program = "/usr/bin/" + tool;
    return RunProcess(program, arguments, {{"MTOOLS_SKIP_CHECK", "1"}});
}

void CreateSparseFile(const std::filesystem::path& path, std::uint64_t bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).close();
    std::filesystem::resize_file(path, bytes);
}

bool ExtractRange(const std::filesystem::path& source, std::uint64_t offset, std::uint64_t length,
                  const std::filesystem::path& target) {
    int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    bool ok = in >= 0 && out >= 0 && ::ftruncate(out, static_cast<off_t>(length)) == 0;
    std::vector<char> buffer(1 << 20);
    off_t position = static_cast<off_t>(offset);
    const off_t end = static_cast<off_t>(offset + length);
    while (ok && position < end) {
        off_t data = ::lseek(in, position, SEEK_DATA);
        if (data < 0 || data >= end) break;  // only holes remain
        off_t hole = std::min(::lseek(in, data, SEEK_HOLE), end);
        for (off_t at = data; ok && at < hole;) {
            std::size_t want = static_cast<std::size_t>(
                std::min<off_t>(hole - at, static_cast<off_t>(buffer.size())));
            ssize_t got = ::pread(in, buffer.data(), want, at);
            ok = got > 0 && ::pwrite(out, buffer.data(), static_cast<std::size_t>(got),
                                     at - static_cast<off_t>(offset)) == got;
            at += got;
        }
        position = hole;
    }
    if (in >= 0) ::close(in);
    if (out >= 0) ok = ::close(out) == 0 && ok;
    return ok;
}

std::string ReadRange(const std::filesystem::path& path, std::uint64_t offset, std::size_t length) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(length, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

void WriteRange(const std::filesystem::path& path, std::uint64_t offset, const std::string& bytes) {
    std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(static_cast<std::streamoff>(offset));
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteMbr(const std::filesystem::path& image, const std::vector<MbrSlot>& slots) {
    std::string mbr(512, '\0');
    for (std::size_t i = 0; i < 446; ++i) mbr[i] = 0x5C;
    for (std::size_t i = 0; i < slots.size() && i < 4; ++i) {
        std::size_t at = 446 + 16 * i;
        mbr[at + 4] = static_cast<char>(slots[i].type);
        for (int b = 0; b < 4; ++b) {
            mbr[at + 8 + b] = static_cast<char>(slots[i].start >> (8 * b));
            mbr[at + 12 + b] = static_cast<char>(slots[i].count >> (8 * b));
        }
    }
    mbr[510] = 0x55;
    mbr[511] = static_cast<char>(0xAA);
    WriteRange(image, 0, mbr);
}

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

}  // namespace kx::test
