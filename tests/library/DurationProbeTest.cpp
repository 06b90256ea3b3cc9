#include "library/DurationProbe.h"

#include <gtest/gtest.h>

#include "LibraryFixtures.h"
#include "containers/AviReader.h"
#include "library/CFileList.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

std::uint32_t ProbeMp4Bytes(const test::TempDir& dir, const std::string& bytes) {
    test::WriteFileBytes(dir / "probe.mp4", bytes);
    return ProbeMp4Seconds(dir / "probe.mp4");
}

TEST(DurationProbe, Mp4MovieHeader) {
    test::TempDir dir;
    struct Case {
        std::uint32_t timeScale;
        std::uint64_t duration;
        int version;
        std::uint32_t seconds;
    };
    const Case cases[] = {
        {1000, 60000, 0, 60},
        {90000, 185 * 90000, 0, 185},
        {90000, 185 * 90000 + 89999, 0, 185},  // whole seconds, fractions cut
        {1000, 186000, 0, 0},                  // above 185: taken for a damaged header
        {1000, 200000, 0, 0},
        {1000, 500, 0, 1},  // half a second counts as one
        {1000, 0, 0, 0},
        {0, 1000, 0, 0},
        {0x80000000u, 1000, 0, 0},  // negative as a signed value
        {1000, 0x80000000u, 0, 0},
        {1000, 61000, 1, 61},
        {1000, (std::uint64_t{1} << 32) + 62000, 1, 62},  // only the low 32 bits count
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.timeScale << " " << c.duration << " v" << c.version);
        EXPECT_EQ(ProbeMp4Bytes(dir, test::Mp4File(c.timeScale, c.duration, c.version)), c.seconds);
    }
}

TEST(DurationProbe, Mp4BoxWalk) {
    test::TempDir dir;
    // moov may be the first to the fourth box, not the fifth.
    for (int leading = 0; leading <= 3; ++leading)
        EXPECT_EQ(ProbeMp4Bytes(dir, test::Mp4File(1000, 30000, 0, leading)), 30u) << leading;
    EXPECT_EQ(ProbeMp4Bytes(dir, test::Mp4File(1000, 30000, 0, 4)), 0u);

    const std::string good = test::Mp4File(1000, 30000);
    EXPECT_EQ(ProbeMp4Bytes(dir, ""), 0u);
    EXPECT_EQ(ProbeMp4Bytes(dir, good.substr(0, good.size() - 90)), 0u);      // cut in mvhd
    EXPECT_EQ(ProbeMp4Bytes(dir, test::BigEndian32(0) + "ftyp" + good), 0u);  // size 0
    EXPECT_EQ(ProbeMp4Bytes(dir, test::BigEndian32(4) + "ftyp" + good), 0u);  // below 8
    // A leading box whose size points past the end of the file.
    EXPECT_EQ(ProbeMp4Bytes(dir, test::BigEndian32(0xFFFFFFF0u) + "mdat" + good), 0u);
    // mvhd must come first inside moov.
    std::string late = test::Box("ftyp", "isom") +
                       test::Box("moov", test::Box("trak", "") + test::MovieHeader(0, 1000, 30000));
    EXPECT_EQ(ProbeMp4Bytes(dir, late), 0u);
    EXPECT_EQ(ProbeMp4Seconds(dir / "missing.mp4"), 0u);
}

TEST(DurationProbe, AviMainHeader) {
    test::TempDir dir;
    struct Case {
        std::uint32_t microsecondsPerFrame;
        std::uint32_t frames;
        std::uint32_t seconds;
    };
    const Case cases[] = {
        {33333, 1800, 60},  // 1000000 / 33333 = 30 frames a second
        {33366, 1799, 62},  // 29 a second in integer arithmetic
        {40000, 25 * 185, 185},
        {1000000, 120, 120},
        {1000001, 120, 0},  // a frame period above one second
        {0, 120, 0},
        {40000, 0, 0},
    };
    for (const Case& c : cases) {
        test::WriteFileBytes(dir / "probe.avi", test::AviFile(c.microsecondsPerFrame, c.frames));
        EXPECT_EQ(ProbeAviDurationSeconds(dir / "probe.avi"), c.seconds) << c.microsecondsPerFrame;
    }
    std::string good = test::AviFile(40000, 250);
    for (std::size_t at : {0, 8, 12, 20, 24}) {
        std::string broken = good;
        broken[at] = 'X';
        test::WriteFileBytes(dir / "probe.avi", broken);
        EXPECT_EQ(ProbeAviDurationSeconds(dir / "probe.avi"), 0u) << at;
    }
    test::WriteFileBytes(dir / "probe.avi", good.substr(0, 60));  // header cut short
    EXPECT_EQ(ProbeAviDurationSeconds(dir / "probe.avi"), 0u);
}

TEST(DurationProbe, SpanMinutes) {
    const std::pair<std::uint32_t, int> cases[] = {{0, 1},   {1, 1},   {60, 1},           {62, 1},
                                                   {63, 1},  {64, 2},  {120, 2},          {123, 2},
                                                   {124, 3}, {185, 4}, {4000000000u, 255}};
    for (auto [seconds, span] : cases) EXPECT_EQ(SpanMinutesForSeconds(seconds), span) << seconds;
}

TEST(DurationProbe, ProbeSetsTheEntryAndOpensTheRealFileName) {
    test::TempDir dir;
    CFileList list;
    FileEntry* entry = list.Insert("20190412_153010_NF", 0, "MP4").entry;
    test::WriteFileBytes(dir / "20190412_153010_NF.MP4", test::Mp4File(1000, 124000));
    EXPECT_EQ(ProbeDuration(*entry, dir.path()), 124u);
    EXPECT_EQ(entry->duration, 124);
    EXPECT_EQ(entry->spanMinutes, 3);

    FileEntry* broken = list.Insert("20190412_153011_NF", 0).entry;
    test::WriteFileBytes(dir / "20190412_153011_NF.mp4", test::Mp4File(1000, 200000));
    EXPECT_EQ(ProbeDuration(*broken, dir.path()), 0u);
    EXPECT_EQ(broken->duration, 0);
    EXPECT_EQ(broken->spanMinutes, 1);

    FileEntry* avi = list.Insert("rec_0001F_20190412_153012_N", 1).entry;
    test::WriteFileBytes(dir / "rec_0001F_20190412_153012_N.avi", test::AviFile(50000, 20 * 63));
    EXPECT_EQ(ProbeDuration(*avi, dir.path()), 63u);
    EXPECT_EQ(avi->spanMinutes, 1);
}

// Files written by an independent muxer probe to the length it was asked for.
TEST(DurationProbe, FilesWrittenByFfmpeg) {
    test::TempDir dir;
    for (const char* name : {"clip.mp4", "fast.mp4", "clip.avi"}) {
        std::vector<std::string> arguments = {
            "-v",   "error", "-f", "lavfi", "-i", "testsrc=duration=3:size=64x48:rate=10",
            "-c:v", "mpeg4"};
        if (std::string(name) == "fast.mp4") {
            arguments.push_back("-movflags");
            arguments.push_back("+faststart");
        }
        arguments.push_back((dir / name).string());
        if (!std::filesystem::exists("/usr/bin/ffmpeg")) GTEST_SKIP() << "no ffmpeg";
        test::ProcessResult made = test::RunProcess("/usr/bin/ffmpeg", arguments);
        if (made.exitCode != 0) GTEST_SKIP() << "ffmpeg not usable: " << made.err;
    }
    EXPECT_EQ(ProbeMp4Seconds(dir / "clip.mp4"), 3u);
    EXPECT_EQ(ProbeMp4Seconds(dir / "fast.mp4"), 3u);
    EXPECT_EQ(ProbeAviDurationSeconds(dir / "clip.avi"), 3u);
}

}  // namespace
}  // namespace kx
