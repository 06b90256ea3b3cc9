#include <gtest/gtest.h>

#include <cstring>

#include "containers/AviExport.h"
#include "containers/AviReader.h"
#include "containers/AviTestFiles.h"
#include "containers/demo/AviDemo.h"
#include "platform/AtomicFile.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

// The chunk data of one source stream, in file order.
std::vector<std::string> StreamChunks(const test::TestAvi& avi, const std::string& id) {
    std::vector<std::string> out;
    for (const auto& c : avi.chunks)
        if (c.id == id) out.push_back(c.data);
    return out;
}

std::vector<std::string> OutputChunks(const std::filesystem::path& path, const AVIFILEINFO& info,
                                      const std::string& id) {
    const std::string bytes = test::ReadFileBytes(path);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < info.indexCount; ++i) {
        const AviIndexEntry& e = info.index[i];
        if (std::string(e.chunkId, 4) == id)
            out.push_back(
                bytes.substr(static_cast<std::size_t>(info.moviPosition) + e.offset + 4, e.size));
    }
    return out;
}

struct Source {
    test::TempDir dir;
    test::TestAvi avi = test::TwoCameraAvi(40);
    AVIFILEINFO info;
    UniqueFile file;
    Source() {
        test::WriteFileBytes(dir / "src.avi", avi.Build());
        EXPECT_EQ(ValidAVI(dir / "src.avi", info), 1);
        file = OpenFile(dir / "src.avi", "rb");
    }
};

TEST(ExportAvi, WholeTwoStreamFileWithTheRearChosenWritesTheRearAndTheSound) {
    Source src;
    const auto out = src.dir / "rear.avi";
    ASSERT_EQ(ExportAVI(src.file.get(), out, src.info, 0, 4, true, false, true), 1);
    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(out, info), 1);
    EXPECT_EQ(info.streamCount, 2);
    EXPECT_TRUE(IsFourCC(info.streamHeaders[0].fccType, "vids"));
    EXPECT_TRUE(IsFourCC(info.streamHeaders[1].fccType, "auds"));
    EXPECT_EQ(OutputChunks(out, info, "00dc"), StreamChunks(src.avi, "01dc"));
    EXPECT_EQ(OutputChunks(out, info, "01wb"), StreamChunks(src.avi, "02wb"));
    EXPECT_EQ(info.index[0].flags, kAviKeyFrame);

    // Both cameras and no sound.
    const auto both = src.dir / "both.avi";
    ASSERT_EQ(ExportAVI(src.file.get(), both, src.info, 0, 4, false, true, true), 1);
    AVIFILEINFO bothInfo;
    ASSERT_EQ(ValidAVI(both, bothInfo), 1);
    EXPECT_EQ(bothInfo.streamCount, 2);
    EXPECT_EQ(OutputChunks(both, bothInfo, "00dc"), StreamChunks(src.avi, "00dc"));
    EXPECT_EQ(OutputChunks(both, bothInfo, "01dc"), StreamChunks(src.avi, "01dc"));
}

TEST(ExportAvi, TheStartIsNotMovedToAKeyFrame) {
    Source src;
    const auto out = src.dir / "part.avi";
    // 10 frames a second: frame n (from 1) is at n x 100 ms. The 10th frame is the first at
    // 1 s; it counts again when copied, so the copy ends before the frame counted 30.
    ASSERT_EQ(ExportAVI(src.file.get(), out, src.info, 1, 2, false, true, false), 1);
    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(out, info), 1);
    const auto frames = OutputChunks(out, info, "00dc");
    const auto source = StreamChunks(src.avi, "00dc");
    ASSERT_EQ(frames.size(), 19u);
    EXPECT_EQ(frames.front(), source[9]);
    EXPECT_EQ(frames.back(), source[27]);
    EXPECT_EQ(info.index[0].flags, 0u) << "frame 9 is no key frame and stays one";
    EXPECT_EQ(info.index[1].flags, kAviKeyFrame) << "frame 10 is";
}

TEST(ExportAvi, FailuresAreReportedAndNeverReadOutsideTheSource) {
    Source src;
    EXPECT_EQ(
        ExportAVI(src.file.get(), src.dir / "no" / "x.avi", src.info, 0, 4, true, true, false), 0);
    EXPECT_EQ(ExportAVI(src.file.get(), src.dir / "none.avi", src.info, 0, 4, true, false, false),
              0);

    AVIFILEINFO oneVideo = src.info;
    oneVideo.videoStreamCount = 1;
    oneVideo.streamHeaders[1] = oneVideo.streamHeaders[3];  // the only other stream is text
    EXPECT_EQ(ExportAVI(src.file.get(), src.dir / "o.avi", oneVideo, 0, 4, true, false, true), 0);

    AVIFILEINFO damaged = src.info;
    damaged.index[5].size = 0x7FFFFFF0;  // beyond the file: nothing may be allocated or read
    damaged.index[9].offset = 0xFFFFFFF0;
    EXPECT_EQ(ExportAVI(src.file.get(), src.dir / "d.avi", damaged, 0, 4, true, true, true), 0);
}

// The independent check: what ffmpeg makes of an export of a real H.264 recording.
TEST(ExportAvi, FfmpegDecodesAnExportOfAnEncodedRecording) {
    test::TempDir dir;
    AviDemoOptions options;
    options.seconds = 3;
    options.width = 96;
    options.height = 64;
    std::string error;
    const auto source = dir / "rec1_0001_20190412_090000_F_N.avi";
    ASSERT_TRUE(WriteAviDemoRecording(source, options, error)) << error;
    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(source, info), 1);
    UniqueFile file = OpenFile(source, "rb");
    for (bool rear : {false, true}) {
        const auto out = dir / (rear ? "rear.avi" : "front.avi");
        ASSERT_EQ(ExportAVI(file.get(), out, info, 0, 3, true, !rear, rear), 1);
        auto probe = test::RunProcess(
            test::PeerTool("ffprobe"),
            {"-v", "error", "-count_packets", "-show_entries",
             "stream=codec_name,width,nb_read_packets", "-of", "csv=p=0", out.string()});
        EXPECT_EQ(probe.exitCode, 0);
        EXPECT_EQ(probe.err, "");
        EXPECT_EQ(probe.out, "h264,96,90\npcm_s16le,90\n");
        auto decode = test::RunProcess(test::PeerTool("ffmpeg"),
                                       {"-v", "error", "-i", out.string(), "-f", "null", "-"});
        EXPECT_EQ(decode.exitCode, 0);
        EXPECT_EQ(decode.err, "") << "decoding errors in " << out;
    }
}

}  // namespace
}  // namespace kx
