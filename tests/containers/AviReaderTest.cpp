#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "containers/AviReader.h"
#include "containers/AviTestFiles.h"
#include "support/TempDir.h"

namespace kx {
namespace {

bool SameEntries(const std::vector<AviIndexEntry>& a, const std::vector<AviIndexEntry>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(a[i].chunkId, b[i].chunkId, 4) || a[i].flags != b[i].flags ||
            a[i].offset != b[i].offset || a[i].size != b[i].size)
            return false;
    return true;
}

TEST(ValidAvi, FileWithIndexIsReadWithoutAnyWrite) {
    test::TempDir dir;
    std::vector<AviIndexEntry> expected;
    const std::string bytes = test::TwoCameraAvi(25).Build(&expected);
    const auto path = dir / "rec1_0001_20190412_090000_F_N.avi";
    test::WriteFileBytes(path, bytes);
    ::chmod(path.c_str(), 0444);  // a write would fail; the read must not need one

    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
    EXPECT_FALSE(info.repaired);
    EXPECT_EQ(info.mainHeader.microSecPerFrame, 100000u);
    EXPECT_EQ(info.mainHeader.totalFrames, 25u);
    EXPECT_EQ(info.streamCount, 4);
    EXPECT_EQ(info.videoStreamCount, 2);
    EXPECT_TRUE(IsFourCC(info.streamHeaders[1].fccType, "vids"));
    EXPECT_TRUE(IsFourCC(info.streamHeaders[2].fccType, "auds"));
    EXPECT_TRUE(IsFourCC(info.streamHeaders[3].fccHandler, "GPSR"));
    EXPECT_EQ(info.streamHeaders[2].rate, 16000u);
    EXPECT_EQ(Le32(info.videoFormats[1].data() + 4), 64u);
    EXPECT_EQ(Le32(info.audioFormat.data() + 4), 8000u);
    EXPECT_EQ(info.indexCount, expected.size());
    EXPECT_TRUE(SameEntries(info.index, expected));
    // The movi position is where the first chunk starts.
    EXPECT_EQ(bytes.substr(static_cast<std::size_t>(info.moviPosition), 4), "03tx");
}

TEST(ValidAvi, PaddedAndUnpaddedLayoutsReadAlike) {
    test::TempDir dir;
    for (bool padded : {false, true}) {
        test::TestAvi avi = test::TwoCameraAvi(12);
        avi.padOddChunks = padded;
        avi.streams[3].format = "odd";  // an odd-sized strf inside the header
        const auto path = dir / (padded ? "padded.avi" : "camera.avi");
        test::WriteFileBytes(path, avi.Build());
        AVIFILEINFO info;
        ASSERT_EQ(ValidAVI(path, info), 1) << padded;
        EXPECT_EQ(info.streamCount, 4) << padded;
        EXPECT_EQ(info.videoStreamCount, 2) << padded;
        EXPECT_EQ(info.indexCount, avi.chunks.size()) << padded;
    }
}

TEST(ValidAvi, MainHeaderOnlyLoadsNeitherStreamsNorIndex) {
    test::TempDir dir;
    const auto path = dir / "a.avi";
    test::WriteFileBytes(path, test::TwoCameraAvi(10).Build());
    AVIFILEINFO info;
    info.streamCount = kAviMainHeaderOnly;
    ASSERT_EQ(ValidAVI(path, info), 1);
    EXPECT_EQ(info.mainHeader.totalFrames, 10u);
    EXPECT_EQ(info.videoStreamCount, 0);
    EXPECT_TRUE(info.index.empty());
    EXPECT_EQ(info.streamHeaders[0].fccType[0], 0);
}

TEST(ValidAvi, DamagedHeadersFailWithoutWriting) {
    test::TempDir dir;
    const std::string good = test::TwoCameraAvi(10).Build();
    std::string noAvih = good;
    noAvih.replace(noAvih.find("avih"), 4, "junk");
    std::string noMovi = good;
    noMovi.replace(noMovi.find("movi"), 4, "mova");
    std::string shortIndex = good.substr(0, good.size() - 10);  // idx1 promises more
    std::string hugeIndex = good;
    const std::size_t idx1 = hugeIndex.rfind("idx1");
    hugeIndex.replace(idx1 + 4, 4, std::string("\xF0\xFF\x0F\x00", 4));
    std::string notRiff = good;
    notRiff[0] = 'X';
    const std::pair<const char*, std::string> cases[] = {
        {"no avih", noAvih},
        {"no movi", noMovi},
        {"short idx1", shortIndex},
        {"huge idx1", hugeIndex},
        {"not RIFF", notRiff},
        {"empty", ""},
        {"header only", good.substr(0, 11)},
    };
    for (const auto& [name, bytes] : cases) {
        const auto path = dir / "bad.avi";
        test::WriteFileBytes(path, bytes);
        AVIFILEINFO info;
        EXPECT_EQ(ValidAVI(path, info), 0) << name;
        EXPECT_EQ(test::ReadFileBytes(path), bytes) << name;
    }
    AVIFILEINFO info;
    EXPECT_EQ(ValidAVI(dir / "missing.avi", info), 0);
}

TEST(ValidAvi, MoreThanFiveStreamsKeepTheFirstFive) {
    test::TempDir dir;
    test::TestAvi avi = test::TwoCameraAvi(5);
    for (int i = 0; i < 4; ++i)
        avi.streams.push_back({"vids", "H264", 1, 10, 0, test::BitmapFormat(8, 8)});
    const auto path = dir / "many.avi";
    test::WriteFileBytes(path, avi.Build());
    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    EXPECT_EQ(info.streamCount, kAviMaxStreams);
    EXPECT_EQ(info.videoStreamCount, kAviMaxVideoStreams);
}

TEST(AviDurationProbe, SecondsFromTheMainHeader) {
    test::TempDir dir;
    struct Case {
        std::uint32_t period, frames, seconds;
    } cases[] = {
        {33333, 1800, 60}, {33333, 29, 0}, {100000, 25, 2}, {1000000, 7, 7},
        {1000001, 7, 0},   {0, 100, 0},    {40000, 100, 4},
    };
    for (const Case& c : cases) {
        test::TestAvi avi = test::TwoCameraAvi(2);
        avi.microSecPerFrame = c.period;
        avi.totalFrames = c.frames;
        const auto path = dir / "p.avi";
        test::WriteFileBytes(path, avi.Build());
        EXPECT_EQ(ProbeAviDurationSeconds(path), c.seconds) << c.period << " " << c.frames;
    }
    test::WriteFileBytes(dir / "x.avi", "RIFF\0\0\0\0WAVE");
    EXPECT_EQ(ProbeAviDurationSeconds(dir / "x.avi"), 0u);
    EXPECT_EQ(ProbeAviDurationSeconds(dir / "none.avi"), 0u);
}

}  // namespace
}  // namespace kx
