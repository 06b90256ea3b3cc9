#include <gtest/gtest.h>

#include <cstring>

#include "containers/AviReader.h"
#include "containers/AviTestFiles.h"
#include "containers/AviWriter.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

AviStreamHeader Header(const char* type, const char* handler, std::uint32_t scale,
                       std::uint32_t rate, std::uint32_t sampleSize) {
    AviStreamHeader h;
    std::memcpy(h.fccType, type, 4);
    std::memcpy(h.fccHandler, handler, 4);
    h.scale = scale;
    h.rate = rate;
    h.sampleSize = sampleSize;
    h.frameRight = 64;
    h.frameBottom = 48;
    return h;
}

TEST(AviFileWriter, WritesPaddedChunksHeadersAndIndex) {
    test::TempDir dir;
    const auto path = dir / "out.avi";
    const std::string bitmap = test::BitmapFormat(64, 48);
    const std::string wave = test::PcmFormat(8000);
    AviFileWriter writer;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_EQ(writer.AddStream(Header("vids", "H264", 1, 25, 0),
                               reinterpret_cast<const std::uint8_t*>(bitmap.data()), 40),
              0);
    ASSERT_EQ(writer.AddStream(Header("auds", "\0\0\0\0", 2, 16000, 2),
                               reinterpret_cast<const std::uint8_t*>(wave.data()), 18),
              1);
    std::vector<std::string> samples;
    for (int i = 0; i < 50; ++i) {
        samples.push_back(test::VideoData(i % 25 == 0, 17 + i % 4));  // odd and even sizes
        ASSERT_TRUE(writer.WriteSample(0, samples.back().data(),
                                       static_cast<std::uint32_t>(samples.back().size()),
                                       i % 25 == 0 ? kAviKeyFrame : 0));
        const std::string pcm(640, static_cast<char>(i));
        ASSERT_TRUE(writer.WriteSample(1, pcm.data(), 640, 0));
    }
    EXPECT_EQ(writer.AddStream(Header("vids", "H264", 1, 25, 0), nullptr, 0), -1);  // too late
    EXPECT_FALSE(writer.WriteSample(2, "x", 1, 0));
    ASSERT_TRUE(writer.Finish());

    AVIFILEINFO info;
    ASSERT_EQ(ValidAVI(path, info), 1);
    EXPECT_FALSE(info.repaired);
    EXPECT_EQ(info.mainHeader.totalFrames, 50u);
    EXPECT_EQ(info.mainHeader.microSecPerFrame, 40000u);
    EXPECT_EQ(info.mainHeader.streams, 2u);
    EXPECT_EQ(info.streamHeaders[0].length, 50u);
    EXPECT_EQ(info.streamHeaders[1].length, 50u * 640 / 2);
    EXPECT_EQ(info.streamHeaders[0].suggestedBufferSize, 20u);
    EXPECT_EQ(std::memcmp(info.videoFormats[0].data(), bitmap.data(), 40), 0);
    EXPECT_EQ(std::memcmp(info.audioFormat.data(), wave.data(), 18), 0);
    ASSERT_EQ(info.indexCount, 100);
    const std::string bytes = test::ReadFileBytes(path);
    for (std::size_t i = 0; i < 100; i += 2) {
        const AviIndexEntry& e = info.index[i];
        EXPECT_EQ(std::string(e.chunkId, 4), "00dc");
        EXPECT_EQ(e.offset % 2, 0u) << "RIFF chunks start on even offsets";
        EXPECT_EQ(e.flags, i % 50 == 0 ? kAviKeyFrame : 0u) << i;
        const std::size_t data = static_cast<std::size_t>(info.moviPosition) + e.offset + 4;
        EXPECT_EQ(bytes.substr(data, e.size), samples[i / 2]);
    }
    EXPECT_EQ(Le32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 4), bytes.size() - 8);

    auto probe =
        test::RunProcess(test::PeerTool("ffprobe"),
                         {"-v", "error", "-count_packets", "-show_entries",
                          "stream=codec_name,nb_read_packets", "-of", "csv=p=0", path.string()});
    // The test chunks are not real pictures, so only the layout is checked here; the export
    // tests decode real ones.
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.out, "h264,50\npcm_s16le,50\n");
}

TEST(AviFileWriter, FailsCleanlyWhereItCannotWrite) {
    test::TempDir dir;
    AviFileWriter writer;
    EXPECT_FALSE(writer.Open(dir / "missing" / "out.avi"));
    EXPECT_EQ(writer.AddStream(Header("vids", "H264", 1, 25, 0), nullptr, 0), -1);
    EXPECT_FALSE(writer.WriteSample(0, "x", 1, 0));
    EXPECT_FALSE(writer.Finish());
}

}  // namespace
}  // namespace kx
