#include <gtest/gtest.h>

#include <cstring>

#include "containers/AviReader.h"
#include "containers/AviRecover.h"
#include "containers/AviTestFiles.h"
#include "platform/AtomicFile.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"
#include "support/WriteProtection.h"

namespace kx {
namespace {

using test::TestAvi;

std::string Id(const AviIndexEntry& e) {
    return std::string(e.chunkId, 4);
}

void ExpectSameEntries(const std::vector<AviIndexEntry>& actual,
                       const std::vector<AviIndexEntry>& expected, const std::string& what) {
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(Id(actual[i]), Id(expected[i])) << what << " entry " << i;
        EXPECT_EQ(actual[i].flags, expected[i].flags) << what << " entry " << i;
        EXPECT_EQ(actual[i].offset, expected[i].offset) << what << " entry " << i;
        EXPECT_EQ(actual[i].size, expected[i].size) << what << " entry " << i;
    }
}

// A cut-short file: no idx1 and the header sizes of an earlier moment.
TestAvi CutShort(int frames) {
    TestAvi avi = test::TwoCameraAvi(frames);
    avi.withIndex = false;
    avi.riffSize = 600;  // refreshed long ago: ends inside the movi list
    avi.moviSize = 40;
    return avi;
}

TEST(RecoverAvi, RebuildsTheIndexOfACutShortFileAndBringsItsSizesUpToDate) {
    test::TempDir dir;
    for (bool padded : {false, true}) {
        TestAvi avi = CutShort(23);
        avi.padOddChunks = padded;
        std::vector<AviIndexEntry> expected;
        const std::string bytes = avi.Build(&expected);
        const auto path = dir / "cut.avi";
        test::WriteFileBytes(path, bytes);

        AVIFILEINFO info;
        ASSERT_EQ(ValidAVI(path, info), 1) << padded;
        EXPECT_TRUE(info.repaired);
        ExpectSameEntries(info.index, expected, padded ? "padded" : "camera");
        // Key frames by the 0x67 rule: every tenth frame of each camera.
        int keys = 0;
        for (const AviIndexEntry& e : info.index) keys += e.flags == kAviKeyFrame;
        EXPECT_EQ(keys, 6);

        // The data before the index is untouched; the sizes now describe the file.
        const std::string repaired = test::ReadFileBytes(path);
        const std::size_t moviEnd = static_cast<std::size_t>(info.moviPosition) + info.moviLength;
        const std::size_t moviSizeField = static_cast<std::size_t>(info.moviPosition) - 8;
        EXPECT_EQ(repaired.compare(12, moviSizeField - 12, bytes, 12, moviSizeField - 12), 0);
        EXPECT_EQ(repaired.compare(moviSizeField + 4, moviEnd - moviSizeField - 4, bytes,
                                   moviSizeField + 4, moviEnd - moviSizeField - 4),
                  0);
        EXPECT_EQ(Le32(reinterpret_cast<const std::uint8_t*>(repaired.data()) + 4),
                  repaired.size() - 8);
        EXPECT_EQ(
            Le32(reinterpret_cast<const std::uint8_t*>(repaired.data()) + info.moviPosition - 8),
            info.moviLength + 4);

        // The next open finds the index and writes nothing.
        AVIFILEINFO again;
        ASSERT_EQ(ValidAVI(path, again), 1);
        EXPECT_FALSE(again.repaired);
        ExpectSameEntries(again.index, expected, "reopened");
        EXPECT_EQ(test::ReadFileBytes(path), repaired);
    }
}

TEST(RecoverAvi, OtherPlayersReadTheRepairedFile) {
    test::TempDir dir;
    TestAvi avi = CutShort(31);
    const auto path = dir / "cut.avi";
    test::WriteFileBytes(path, avi.Build());
    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    auto probe = test::RunProcess(test::PeerTool("ffprobe"),
                                  {"-v", "error", "-count_packets", "-show_entries",
                                   "stream=nb_read_packets", "-of", "csv=p=0", path.string()});
    EXPECT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_EQ(probe.out, "31\n31\n31\n4\n");
}

TEST(RecoverAvi, AVideoChunkWithoutStartCodeEndsTheIndex) {
    test::TempDir dir;
    TestAvi avi = CutShort(12);
    avi.chunks[17].data = std::string("\0\0\1\x41rest", 8);  // a three-byte start code
    ASSERT_EQ(avi.chunks[17].id.substr(2), "dc");
    std::vector<AviIndexEntry> expected;
    const std::string bytes = avi.Build(&expected);
    expected.resize(17);
    const auto path = dir / "bad.avi";
    test::WriteFileBytes(path, bytes);
    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    ExpectSameEntries(info.index, expected, "up to the bad chunk");
}

TEST(RecoverAvi, KeyFramesFollowTheParameterSetRule) {
    test::TempDir dir;
    TestAvi avi;
    avi.withIndex = false;
    avi.streams = {{"vids", "H264", 1, 10, 0, test::BitmapFormat(8, 8)},
                   {"auds", std::string(4, '\0'), 2, 16000, 2, test::PcmFormat(8000)}};
    avi.chunks = {{"00dc", test::VideoData(true, 9)},          {"00dc", test::VideoData(false, 9)},
                  {"00dc", std::string("\0\0\0\1\x65idr", 8)},  // an IDR slice alone: not key
                  {"01wb", std::string("\0\0\0\1\x67pcm", 8)},  // not video: never key
                  {"00dc", std::string("\0\0\0\1", 4)},         // nothing after the start code
                  {"00dc", test::VideoData(true, 5)}};
    const auto path = dir / "keys.avi";
    test::WriteFileBytes(path, avi.Build());
    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    ASSERT_EQ(info.index.size(), 6u);
    const std::uint32_t flags[] = {kAviKeyFrame, 0, 0, 0, 0, kAviKeyFrame};
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(info.index[i].flags, flags[i]) << i;
}

TEST(RecoverAvi, AChunkCutOffByTheEndOfTheFileIsLeftOut) {
    test::TempDir dir;
    TestAvi avi = CutShort(8);
    std::vector<AviIndexEntry> expected;
    std::string bytes = avi.Build(&expected);
    bytes.resize(bytes.size() - 700);  // half of the last sound chunk
    expected.pop_back();
    const auto path = dir / "cut.avi";
    test::WriteFileBytes(path, bytes);
    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    ExpectSameEntries(info.index, expected, "complete chunks");
}

TEST(RecoverAvi, NothingToIndexFailsWithoutWriting) {
    test::TempDir dir;
    TestAvi avi = CutShort(0);
    const std::string bytes = avi.Build();
    const auto path = dir / "empty.avi";
    test::WriteFileBytes(path, bytes);
    AVIFILEINFO info;
    EXPECT_EQ(ValidAVI(path, info), 0);
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
}

TEST(RecoverAvi, IndexCountsAboveAShortAreKeptModulo65536) {
    test::TempDir dir;
    TestAvi avi;
    avi.withIndex = false;
    avi.streams = {{"auds", std::string(4, '\0'), 2, 16000, 2, test::PcmFormat(8000)}};
    const int count = 70000;
    avi.chunks.assign(count, {"00wb", "ab"});
    for (int i = 0; i < count; i += 1000) avi.chunks[static_cast<std::size_t>(i)].data = "odd";
    std::vector<AviIndexEntry> expected;
    const std::string bytes = avi.Build(&expected);
    const auto path = dir / "many.avi";
    test::WriteFileBytes(path, bytes);

    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    EXPECT_EQ(info.indexCount, count - 65536);
    std::vector<AviIndexEntry> first(expected.begin(), expected.begin() + (count - 65536));
    ExpectSameEntries(info.index, first, "repaired");
    // The file holds every entry; a reader keeps the same 16-bit count.
    const std::string repaired = test::ReadFileBytes(path);
    const std::size_t idx1 = repaired.rfind("idx1");
    EXPECT_EQ(Le32(reinterpret_cast<const std::uint8_t*>(repaired.data()) + idx1 + 4),
              static_cast<std::uint32_t>(count * 16));
    AVIFILEINFO again;
    ASSERT_EQ(ValidAVI(path, again), 1);
    EXPECT_EQ(again.indexCount, count - 65536);
    ExpectSameEntries(again.index, first, "reopened");
}

// A repair broken off at any write (the device pulled, the disk full) leaves a file that the
// next open repairs to the same index.
TEST(RecoverAvi, ARepairBrokenOffAtAnyWriteIsRepairedTheSameWayLater) {
    test::TempDir dir;
    for (int variant = 0; variant < 4; ++variant) {
        const bool padded = variant & 1;
        TestAvi avi = CutShort(400);  // 1240 entries: more than one block of 1024
        avi.padOddChunks = padded;
        if (variant & 2) {  // movi size up to date, RIFF size as planned: idx1 in plain view
            avi.riffSize = 0x7FFFFFF0;
            avi.moviSize.reset();
        }
        std::vector<AviIndexEntry> expected;
        const std::string bytes = avi.Build(&expected);
        const auto path = dir / "cut.avi";
        for (int failAt = 0;; ++failAt) {
            test::WriteFileBytes(path, bytes);
            int writes = 0;
            // The failing write stores half of its bytes, as a torn write would.
            AviWriteFunction failing = [&](std::FILE* file, std::int64_t position, const void* data,
                                           std::size_t size) {
                if (writes++ != failAt) return WriteAt(file, position, data, size);
                WriteAt(file, position, data, size / 2);
                return false;
            };
            AVIFILEINFO info;
            {
                UniqueFile file = OpenFile(path, "rb+");
                ASSERT_TRUE(file);
                ASSERT_EQ(ReadAviHeaders(file.get(), info), AviHeaderResult::kIndexMissing);
                const int result = RecoverAVI(file.get(), info, failing);
                if (writes <= failAt) {  // every write done: the repair is complete
                    EXPECT_EQ(result, 1);
                    EXPECT_EQ(failAt, 6) << "marker, two blocks of entries, three sizes";
                    break;
                }
                EXPECT_EQ(result, 0) << failAt;
            }
            AVIFILEINFO later;
            ASSERT_EQ(ValidAVI(path, later), 1) << "failed at write " << failAt;
            ExpectSameEntries(
                later.index, expected,
                "write " + std::to_string(failAt) + " variant " + std::to_string(variant));
            AVIFILEINFO third;
            ASSERT_EQ(ValidAVI(path, third), 1);
            EXPECT_FALSE(third.repaired) << failAt;
        }
    }
}

TEST(RecoverAvi, AFileThatCannotBeWrittenPlaysFromAnIndexBuiltInMemory) {
    test::TempDir dir;
    std::vector<AviIndexEntry> expected;
    const std::string bytes = CutShort(5).Build(&expected);
    const auto path = dir / "ro.avi";
    test::WriteFileBytes(path, bytes);
    test::WriteProtection readOnly(path);
    if (!readOnly.active()) GTEST_SKIP() << "cannot make a file read-only here";
    ASSERT_FALSE(OpenFile(path, "rb+")) << "the file still accepts writes";
    AVIFILEINFO info;
    EXPECT_EQ(ValidAVI(path, info), 1);
    EXPECT_FALSE(info.repaired);
    ExpectSameEntries(info.index, expected, "in memory");
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
}

TEST(RecoverAvi, TheInMemoryIndexEqualsTheWrittenOne) {
    test::TempDir dir;
    std::vector<AviIndexEntry> expected;
    const std::string bytes = CutShort(17).Build(&expected);
    const auto path = dir / "cut.avi";
    test::WriteFileBytes(path, bytes);
    AVIFILEINFO info;
    {
        UniqueFile file = OpenFile(path, "rb");
        ASSERT_EQ(ReadAviHeaders(file.get(), info), AviHeaderResult::kIndexMissing);
        ASSERT_EQ(RebuildAviIndexInMemory(file.get(), info), 1);
    }
    ExpectSameEntries(info.index, expected, "in memory");
    EXPECT_EQ(test::ReadFileBytes(path), bytes);
}

}  // namespace
}  // namespace kx
