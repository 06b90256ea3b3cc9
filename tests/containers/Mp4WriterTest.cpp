#include <gtest/gtest.h>

#include "MediaFixture.h"
#include "Mp4Fixture.h"
#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"
#include "containers/Mp4Writer.h"
#include "containers/SampleCursor.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using test::ParsedPair;

std::vector<std::uint32_t> Words(const std::string& table) {
    std::vector<std::uint32_t> words;
    for (std::size_t at = 0; at + 4 <= table.size(); at += 4)
        words.push_back(GetU32(reinterpret_cast<const std::uint8_t*>(table.data() + at)));
    return words;
}

// The payload of the first box of the given type found by a plain search.
std::string FindBox(const std::string& bytes, const char (&type)[5]) {
    std::size_t at = bytes.find(type, 4);
    if (at == std::string::npos) return {};
    std::uint32_t size = GetU32(reinterpret_cast<const std::uint8_t*>(bytes.data() + at - 4));
    return bytes.substr(at + 4, size - 8);
}

std::uint64_t FixedClock() {
    return 3700000000ull;
}

TEST(Mp4Writer, TablesOfANode) {
    MP4MBOX_NODE node;
    ASSERT_TRUE(CreateFixedSizeTrak(node, 4, true));
    // 0, 33, 67, 100 ms: two contiguous samples, then each on its own.
    ASSERT_TRUE(AddSample(node, 0, 10, 1000, true, true));
    ASSERT_TRUE(AddSample(node, 33, 20, 1010, false, true));
    ASSERT_TRUE(AddSample(node, 67, 30, 2000, false, true));
    ASSERT_TRUE(AddSample(node, 100, 40, 3000, true, true));
    EXPECT_EQ(Words(node.stsz), (std::vector<std::uint32_t>{10, 20, 30, 40}));
    EXPECT_EQ(Words(node.stco), (std::vector<std::uint32_t>{1000, 2000, 3000}));
    EXPECT_EQ(Words(node.stss), (std::vector<std::uint32_t>{1, 4}));

    MP4FILE description{};
    description.kvrh.kvvi = {
        {}, 1, kCodecAvc1, 64, 48, 2, {{std::string("\x67\x64\x00\x1f", 4)}, {"\x68"}}};
    std::string moov = BuildMoov(node, nullptr, description, std::nullopt, FixedClock());
    // Each sample lasts until the next; the last repeats the delta before it.
    EXPECT_EQ(Words(FindBox(moov, "stts")),
              (std::vector<std::uint32_t>{0, 3, 1, 33, 1, 34, 2, 33}));
    // One chunk run per change of samples per chunk.
    EXPECT_EQ(Words(FindBox(moov, "stsc")), (std::vector<std::uint32_t>{0, 2, 1, 2, 1, 2, 1, 1}));
    EXPECT_EQ(description.moov.mvhd.duration, 133u);
    EXPECT_EQ(description.moov.mvhd.timescale, 1000u);
    // avcC built from the parameter sets, profile and level taken from the SPS.
    EXPECT_EQ(FindBox(moov, "avcC"),
              std::string("\x01\x64\x00\x1f\xff\xe1\x00\x04\x67\x64\x00\x1f\x01\x00\x01\x68", 16));
    EXPECT_EQ(FindBox(moov, "edts"), "");

    // Fewer than two configuration strings cannot make an avcC.
    description.kvrh.kvvi.configs.pop_back();
    EXPECT_EQ(BuildMoov(node, nullptr, description, std::nullopt, FixedClock()), "");
}

TEST(Mp4Writer, SingleSampleTracksAndLateAudio) {
    MP4MBOX_NODE video, audio;
    ASSERT_TRUE(CreateFixedSizeTrak(video, 1, true));
    ASSERT_TRUE(CreateFixedSizeTrak(audio, 1, false));
    AddSample(video, 0, 10, 100, true, true);
    AddSample(audio, 20, 10, 200, false, false);
    MP4FILE description{};
    description.kvrh.kvvi = {{}, 1, kCodecHvc1, 64, 48, 3, {{"\x40\x01"}, {"\x42\x01"}, {""}}};
    description.kvrh.kvso = {{}, 2, kCodecMp4a, 1, 16, 22050, 0, {}};
    std::string moov = BuildMoov(video, &audio, description, std::nullopt, FixedClock());
    std::size_t audioTrak = moov.find("soun");
    ASSERT_NE(audioTrak, std::string::npos);
    EXPECT_EQ(Words(FindBox(moov, "stts")), (std::vector<std::uint32_t>{0, 1, 1, 33}));
    std::string audioPart = moov.substr(audioTrak);
    EXPECT_EQ(Words(FindBox(audioPart, "stts")), (std::vector<std::uint32_t>{0, 1, 1, 128}));
    // The audio starts 20 ms after the origin: an empty edit says so.
    EXPECT_EQ(Words(FindBox(moov.substr(moov.find("trak", moov.find("trak") + 4)), "elst")),
              (std::vector<std::uint32_t>{0, 2, 20, 0xFFFFFFFF, 0x10000, 128, 0, 0x10000}));
    // hvcC: the fixed head, three arrays (VPS 32, SPS 33, empty string typed 32).
    std::string hvcc = FindBox(moov, "hvcC");
    ASSERT_EQ(hvcc.size(), 22u + 1 + 7 + 7 + 5);
    EXPECT_EQ(hvcc[22], 3);
    EXPECT_EQ(std::uint8_t(hvcc[23]), 32);
    EXPECT_EQ(std::uint8_t(hvcc[30]), 33);
    EXPECT_EQ(std::uint8_t(hvcc[37]), 32);
    // esds: AAC-LC, 22050 Hz (index 7), one channel.
    std::string esds = FindBox(moov, "esds");
    ASSERT_EQ(esds.size(), 31u);
    EXPECT_EQ(esds.substr(4, 3), std::string("\x03\x19\x00", 3));
    EXPECT_EQ(esds.substr(24, 4), std::string("\x05\x02\x13\x88", 4));
    EXPECT_EQ(esds.substr(28, 3), std::string("\x06\x01\x02", 3));
    EXPECT_EQ(moov.find("stss", audioTrak), std::string::npos);
}

TEST(Mp4Writer, KeyFramesPerCodec) {
    struct Case {
        std::uint32_t codec;
        std::string sample;
        bool key;
    } cases[] = {
        {kCodecAvc1, std::string("\0\0\0\x10\x65", 5), true},
        {kCodecAvc1, std::string("\0\0\0\x10\x41", 5), false},
        {kCodecAvc1, std::string("\0\0\0\x10", 4), false},
        {kCodecHvc1, std::string("\0\0\0\x10\x26\x01", 6), true},
        {kCodecHvc1, std::string("\0\0\0\x10\x28\x01", 6), false},
        {kCodecMp4v, std::string("\0\0\0\0\x01\xB6\x10\0\0\0\0\0", 12), false},  // not aligned
        {kCodecMp4v, std::string("\0\0\x01\xB6\x10\0\0\0", 8), true},
        {kCodecMp4v, std::string("\0\0\x01\xB6\x50\0\0\0", 8), false},
        {kCodecS263, std::string("\0\0\x01\xB6\x10\0\0\0", 8), false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsKeyFrame(c.codec, c.sample), c.key) << c.codec;
}

// The writer's recording is read back by our reader with the sample tables it wrote, and by
// ffprobe/ffmpeg without a single error.
TEST(Mp4Writer, RecordingReadsBackAndDecodesCleanly) {
    for (bool hevc : {false, true}) {
        test::TempDir dir;
        auto path = dir / "rec.mp4";
        demo::RecordingSpec spec;
        spec.video = &test::SmallVideo(hevc);
        spec.audio = &test::SmallAudio();
        spec.startTimeMs = 1555083010000ull;
        test::WriteSmallRecording(path, spec);
        ParsedPair pair;
        ASSERT_EQ(ValidMP4(path, pair.files, false), 1);
        const MP4FILE& mp4 = pair.files[0];
        EXPECT_EQ(mp4.sttm.startTime, 1555083010000ull);
        EXPECT_EQ(mp4.kvnm.version, 3);
        EXPECT_EQ(mp4.kvrh.kvvi.codecId, hevc ? kCodecHvc1 : kCodecAvc1);
        EXPECT_EQ(mp4.kvrh.kvso.codecId, kCodecMp4a);
        EXPECT_EQ(GetDurationSeconds(mp4), 3);
        const TRAKBOX& video = *mp4.moov.trak[0];
        ASSERT_EQ(video.stsz.sampleCount, spec.video->samples.size());
        EXPECT_EQ(video.stss.entryCount, 3u);
        auto file = DiskFile::Open(path, DiskFile::Mode::kRead);
        std::string bytes = test::ReadFileBytes(path);
        SampleCursor cursor{};
        for (std::size_t i = 0; i < spec.video->samples.size(); ++i) {
            SampleInfo info;
            ASSERT_EQ(NextSample(cursor, info, *file, video, mp4.moov.mvhd), 1);
            ASSERT_EQ(bytes.substr(info.offset, info.size), spec.video->samples[i]) << i;
            ASSERT_EQ(info.time, spec.video->timesMs[i]) << i;
            // The sample record in front of it.
            ASSERT_EQ(GetU32(reinterpret_cast<const std::uint8_t*>(bytes.data() + info.offset - 8)),
                      info.size);
        }
        if (!test::PeersInstalled()) continue;
        EXPECT_EQ(test::PeerDecodeErrors(path), "");
        EXPECT_EQ(test::PeerFrameCount(path, "v:0"), int(spec.video->samples.size()));
        EXPECT_EQ(test::PeerPacketCount(path, "a:0"), int(spec.audio->frames.size()));
    }
}

struct ExportResult {
    int ok = 0;
    int videoSamples = 0, audioSamples = 0;
    std::uint64_t firstAudioTime = 0;
    std::string firstAudio;  // bytes of the first exported audio sample
    std::string bytes;
};

ExportResult RunExport(const std::filesystem::path& source, const std::filesystem::path& out,
                       int start, int end, bool withSound) {
    ExportResult result;
    ParsedPair pair;
    if (ValidMP4(source, pair.files, true) != 1) return result;
    auto file = DiskFile::Open(source, DiskFile::Mode::kRead);
    result.ok = ExportMP4(*file, start, out, pair.files[0], end, withSound, 0, FixedClock);
    if (!result.ok) return result;
    ParsedPair written;
    if (ValidMP4(out, written.files, false) != 1) {
        result.ok = 0;
        return result;
    }
    for (const auto& track : written.files[0].moov.trak) {
        if (!track) continue;
        if (track->hdlr.handlerType == FourCC("vide"))
            result.videoSamples = int(track->stsz.sampleCount);
        if (track->hdlr.handlerType == FourCC("soun")) {
            result.audioSamples = int(track->stsz.sampleCount);
            auto outFile = DiskFile::Open(out, DiskFile::Mode::kRead);
            SampleCursor cursor{};
            SampleInfo info;
            NextSample(cursor, info, *outFile, *track, written.files[0].moov.mvhd);
            result.firstAudioTime = info.time;
            result.firstAudio = test::ReadFileBytes(out).substr(info.offset, info.size);
        }
    }
    result.bytes = test::ReadFileBytes(out);
    return result;
}

TEST(Mp4Export, Ranges) {
    test::TempDir dir;
    auto source = dir / "src.mp4";
    demo::RecordingSpec spec;
    spec.audio = &test::SmallAudio();
    spec.startTimeMs = 1000000;
    test::WriteSmallRecording(source, spec);
    const auto& video = test::SmallVideo();
    const auto& audio = test::SmallAudio();
    struct Case {
        int start, end;
        int videoSamples;
        int firstAudio;  // index in the source of the first exported audio frame
    } cases[] = {
        {0, 100, 90, 0},   // the whole recording: the end past it stops at the last sample
        {0, 0, 31, 0},     // up to 999 ms: samples to the first one past the end
        {1, 100, 60, 16},  // from the key frame at 1000 ms; audio before it (< 1024 ms) skipped
        {2, 2, 30, 32},    // from 2000 ms to the last sample (2966 ms)
        {5, 9, 30, 32},    // past the end: from the last key frame
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << "-" << c.end);
        auto out = dir / "out.mp4";
        ExportResult result = RunExport(source, out, c.start, c.end, true);
        ASSERT_EQ(result.ok, 1);
        EXPECT_EQ(result.videoSamples, c.videoSamples);
        // Sound starts at the first frame at or after the first picture, at its own distance.
        EXPECT_EQ(result.firstAudio, audio.frames[c.firstAudio]);
        EXPECT_EQ(result.firstAudioTime,
                  audio.timesMs[c.firstAudio] - 1000u * std::min(c.start, 2));
        // The exported start time is the source's plus the first key frame's time.
        ParsedPair pair;
        ValidMP4(out, pair.files, false);
        EXPECT_EQ(pair.files[0].sttm.startTime, 1000000u + 1000u * std::min(c.start, 2));
        EXPECT_STREQ(pair.files[0].kvnm.name, "KX-TMQ4");
        EXPECT_EQ(pair.files[0].kvrh.kvvi.configs.size(), video.parameterSets.size());
        if (test::PeersInstalled()) {
            EXPECT_EQ(test::PeerDecodeErrors(out), "");
            EXPECT_EQ(test::PeerFrameCount(out, "v:0"), result.videoSamples);
        }
    }
    // Without sound: one track, no kvso.
    ExportResult silent = RunExport(source, dir / "silent.mp4", 0, 1, false);
    ASSERT_EQ(silent.ok, 1);
    EXPECT_EQ(silent.audioSamples, 0);
    EXPECT_EQ(silent.bytes.find("kvso"), std::string::npos);
}

TEST(Mp4Export, LaterLayoutSourceAndSecondMovie) {
    test::TempDir dir;
    auto source = dir / "later.mp4";
    demo::RecordingSpec spec;
    spec.audio = &test::SmallAudio();
    spec.laterLayout = true;
    spec.gps2Records = std::string(96, '\x01');
    test::WriteSmallRecording(source, spec);
    auto out = dir / "out.mp4";
    ExportResult result = RunExport(source, out, 0, 1, true);
    ASSERT_EQ(result.ok, 1);
    // No sample records and no kvrh; kvnm of version 4; the avcC copied from the source.
    EXPECT_EQ(result.bytes.find("kvrh"), std::string::npos);
    ParsedPair pair;
    ASSERT_EQ(ValidMP4(out, pair.files, false), 1);
    EXPECT_EQ(pair.files[0].kvnm.version, 4);
    EXPECT_EQ(pair.files[0].newFormat, 1);
    ParsedPair sourcePair;
    ValidMP4(source, sourcePair.files, false);
    // The same configuration (the copies differ only in the 8 bytes that follow the box).
    const auto& written = pair.files[0].moov.trak[0]->stsd.PSampleEntry[0].config;
    const auto& original = sourcePair.files[0].moov.trak[0]->stsd.PSampleEntry[0].config;
    ASSERT_EQ(written.box.size, original.box.size);
    EXPECT_TRUE(std::equal(written.pParameterSetNALUnit.begin(),
                           written.pParameterSetNALUnit.end() - 8,
                           original.pParameterSetNALUnit.begin()));
    auto file = DiskFile::Open(out, DiskFile::Mode::kRead);
    SampleCursor cursor{};
    SampleInfo info;
    NextSample(cursor, info, *file, *pair.files[0].moov.trak[0], pair.files[0].moov.mvhd);
    EXPECT_EQ(result.bytes.substr(info.offset, info.size), test::SmallVideo().samples[0]);
    if (test::PeersInstalled()) {
        EXPECT_EQ(test::PeerDecodeErrors(out), "");
    }

    // A file holding two movies: the second one is exported by appending it to the output.
    auto twoMovies = dir / "two.mp4";
    std::string first = test::ReadFileBytes(out);
    test::WriteFileBytes(twoMovies, first + first);
    ParsedPair both;
    ASSERT_EQ(ValidMP4(twoMovies, both.files, true), 1);
    ASSERT_EQ(both.files[1].moov.moov.pos, first.size() + pair.files[0].moov.moov.pos);
    auto appended = dir / "appended.mp4";
    auto twoFile = DiskFile::Open(twoMovies, DiskFile::Mode::kRead);
    ASSERT_EQ(ExportMP4(*twoFile, 0, appended, both.files[0], 100, true, 0, FixedClock), 1);
    std::uint64_t firstLength = std::filesystem::file_size(appended);
    ASSERT_EQ(ExportMP4(*twoFile, 0, appended, both.files[1], 100, true, first.size(), FixedClock),
              1);
    ParsedPair check;
    ASSERT_EQ(ValidMP4(appended, check.files, true), 1);
    ASSERT_TRUE(check.files[1].moov.trak[0]);
    // The second movie's chunk offsets count from its own ftyp.
    std::string all = test::ReadFileBytes(appended);
    MemoryFile memory(all);
    SampleCursor second{};
    NextSample(second, info, memory, *check.files[1].moov.trak[0], check.files[1].moov.mvhd);
    EXPECT_EQ(all.substr(firstLength + info.offset, info.size), test::SmallVideo().samples[0]);
}

TEST(Mp4Export, NoKeyFrameInRangeLeavesNoOutput) {
    test::TempDir dir;
    auto source = dir / "src.mp4";
    demo::RecordingSpec spec;
    test::WriteSmallRecording(source, spec);
    ParsedPair pair;
    ASSERT_EQ(ValidMP4(source, pair.files, true), 1);
    pair.files[0].kvrh.kvvi.codecId = kCodecS263;  // no key frame test for this codec
    auto file = DiskFile::Open(source, DiskFile::Mode::kRead);
    EXPECT_EQ(ExportMP4(*file, 0, dir / "out.mp4", pair.files[0], 2, true, 0, FixedClock), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "out.mp4"));
}

}  // namespace
}  // namespace kx
