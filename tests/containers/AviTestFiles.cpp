#include "containers/AviTestFiles.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace kx::test {
namespace {

void Put32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}
void Put16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value));
    out.push_back(static_cast<char>(value >> 8));
}
std::string Chunk(const std::string& id, const std::string& data, bool pad) {
    std::string out = id;
    Put32(out, static_cast<std::uint32_t>(data.size()));
    out += data;
    if (pad && data.size() % 2) out.push_back('\0');
    return out;
}

}  // namespace

std::string TestAvi::Build(std::vector<AviIndexEntry>* entries) const {
    std::string hdrl = "hdrl";
    std::string avih;
    Put32(avih, microSecPerFrame);
    Put32(avih, 0);
    Put32(avih, 0);
    Put32(avih, withIndex ? kAviHasIndex : 0);
    Put32(avih, totalFrames);
    Put32(avih, 0);
    Put32(avih, static_cast<std::uint32_t>(streams.size()));
    Put32(avih, 0);
    Put32(avih, 64);
    Put32(avih, 48);
    avih.append(16, '\0');
    hdrl += Chunk("avih", avih, padOddChunks);
    for (const TestStream& s : streams) {
        std::string strh = s.type + s.handler;
        Put32(strh, 0);
        Put16(strh, 0);
        Put16(strh, 0);
        Put32(strh, 0);
        Put32(strh, s.scale);
        Put32(strh, s.rate);
        Put32(strh, 0);
        Put32(strh, 0);  // length
        Put32(strh, 0);
        Put32(strh, 0xFFFFFFFF);
        Put32(strh, s.sampleSize);
        Put16(strh, 0);
        Put16(strh, 0);
        Put16(strh, 64);
        Put16(strh, 48);
        std::string strl = "strl" + Chunk("strh", strh, padOddChunks);
        if (!s.format.empty()) strl += Chunk("strf", s.format, padOddChunks);
        hdrl += Chunk("LIST", strl, padOddChunks);
    }
    std::string head = "RIFF....AVI " + Chunk("LIST", hdrl, padOddChunks);
    const std::size_t moviType = head.size() + 8;  // position of "movi"

    std::string movi = "movi";
    std::vector<AviIndexEntry> index;
    for (const TestChunk& c : chunks) {
        AviIndexEntry e;
        std::memcpy(e.chunkId, c.id.data(), 4);
        e.flags = (c.id.substr(2) == "dc" && c.data.size() > 4 &&
                   static_cast<unsigned char>(c.data[4]) == 0x67)
                      ? kAviKeyFrame
                      : 0;
        e.offset = static_cast<std::uint32_t>(movi.size());
        e.size = static_cast<std::uint32_t>(c.data.size());
        index.push_back(e);
        movi += Chunk(c.id, c.data, padOddChunks);
    }
    std::string file = head + "LIST";
    Put32(file, moviSize.value_or(static_cast<std::uint32_t>(movi.size())));
    file += movi;
    if (movi.size() % 2 && padOddChunks) file.push_back('\0');
    if (withIndex) {
        std::string idx;
        for (const AviIndexEntry& e : index) {
            idx.append(e.chunkId, 4);
            Put32(idx, e.flags);
            Put32(idx, e.offset);
            Put32(idx, e.size);
        }
        file += Chunk("idx1", idx, padOddChunks);
    }
    const std::uint32_t riff = riffSize.value_or(static_cast<std::uint32_t>(file.size() - 8));
    for (int i = 0; i < 4; ++i) file[4 + i] = static_cast<char>(riff >> (8 * i));
    (void)moviType;
    if (cutBytes) file.resize(file.size() > cutBytes ? file.size() - cutBytes : 0);
    if (entries) *entries = index;
    return file;
}

std::string VideoData(bool key, std::size_t size) {
    std::string data("\0\0\0\1", 4);
    data.push_back(static_cast<char>(key ? 0x67 : 0x41));
    while (data.size() < size) data.push_back(static_cast<char>('a' + data.size() % 26));
    data.resize(size);
    return data;
}

std::string BitmapFormat(int width, int height) {
    std::string f;
    Put32(f, 40);
    Put32(f, static_cast<std::uint32_t>(width));
    Put32(f, static_cast<std::uint32_t>(height));
    Put16(f, 1);
    Put16(f, 24);
    f += "H264";
    Put32(f, static_cast<std::uint32_t>(width * height * 3));
    f.append(16, '\0');
    return f;
}

std::string PcmFormat(int rate) {
    std::string f;
    Put16(f, 1);
    Put16(f, 1);
    Put32(f, static_cast<std::uint32_t>(rate));
    Put32(f, static_cast<std::uint32_t>(rate * 2));
    Put16(f, 2);
    Put16(f, 16);
    Put16(f, 0);
    return f;
}

TestAvi TwoCameraAvi(int frames, int keyEvery) {
    TestAvi avi;
    avi.totalFrames = static_cast<std::uint32_t>(frames);
    avi.streams = {{"vids", "H264", 1, 10, 0, BitmapFormat(64, 48)},
                   {"vids", "H264", 1, 10, 0, BitmapFormat(64, 48)},
                   {"auds", std::string(4, '\0'), 2, 16000, 2, PcmFormat(8000)},
                   {"txts", "GPSR", 1, 1, 0, ""}};
    for (int f = 0; f < frames; ++f) {
        const bool key = f % keyEvery == 0;
        if (f % 10 == 0)
            avi.chunks.push_back({"03tx", "$GPRMC,120000.00,A*00\r\n" + std::string(f % 3, ' ')});
        avi.chunks.push_back({"00dc", VideoData(key, 21 + f % 7)});
        avi.chunks.push_back({"01dc", VideoData(key, 30 + f % 5)});
        avi.chunks.push_back({"02wb", std::string(1600, static_cast<char>(f))});
    }
    return avi;
}

std::string PeerTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin";
    for (std::size_t start = 0; start <= folders.size();) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::filesystem::path candidate =
            std::filesystem::path(folders.substr(start, end - start)) / name;
        if (std::filesystem::exists(candidate)) return candidate.string();
        start = end + 1;
    }
    return name;
}

}  // namespace kx::test
