#pragma once
// Small hand-built MP4 files for the reader tests: boxes assembled field by field.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "containers/ByteOrder.h"
#include "containers/Mp4File.h"

namespace kx::test {

std::string Box(const char (&type)[5], const std::string& payload);

struct ElstSpec {
    std::int32_t mediaTime;
    std::uint32_t duration;
};

struct TrackSpec {
    const char* handler = "vide";
    const char* format = "avc1";
    std::uint32_t timescale = 1000;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stts = {{3, 33}};
    std::vector<std::array<std::uint32_t, 3>> stsc = {{1, 1, 1}};
    std::vector<std::uint32_t> stsz = {10, 20, 30};
    std::vector<std::uint32_t> stco = {100, 200, 300};
    std::vector<std::uint32_t> stss = {1};
    std::vector<ElstSpec> elst;
    bool withStco = true;
    std::uint32_t stcoCountExtra = 0;  // entries the stco claims beyond those it holds
};

std::string TrakBox(const TrackSpec& track);
std::string MoovBox(const std::vector<std::string>& traks, std::uint32_t timescale = 1000,
                    std::uint32_t duration = 1000);
std::string FtypBox();
// ftyp + moov + mdat (of mdatPayload bytes).
std::string SimpleMp4(const std::vector<TrackSpec>& tracks, std::size_t mdatPayload = 400);

// Opens a parse slot pair the way callers do: zero-filled with the presets.
struct ParsedPair {
    ParsedPair() {
        for (auto& f : files) f.gpsLength = f.accLength = -1;
    }
    ~ParsedPair() {
        ReleaseMP4(files[0]);
        ReleaseMP4(files[1]);
    }
    MP4FILE files[2];
};

}  // namespace kx::test
