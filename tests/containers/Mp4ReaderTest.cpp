#include <gtest/gtest.h>

#include "Mp4Fixture.h"
#include "app/Trace.h"
#include "containers/MediaFile.h"
#include "containers/SampleCursor.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using test::Box;
using test::ParsedPair;
using test::TrackSpec;

TrackSpec AudioTrack() {
    TrackSpec audio;
    audio.handler = "soun";
    audio.format = "mp4a";
    audio.stss.clear();
    return audio;
}

TEST(Mp4Reader, ShortFilesAndTinyBoxesAreNotPlayable) {
    test::TempDir dir;
    TraceStart(dir / "trace.txt", "1");
    for (std::string bytes : {std::string("\0\0\0", 3), std::string("\0\0\0\x04moov", 8)}) {
        test::WriteFileBytes(dir / "a.mp4", bytes);
        ParsedPair pair;
        EXPECT_EQ(ValidMP4(dir / "a.mp4", pair.files, false), 0);
    }
    // The short file leaves no trace; the one with a box of size 4 is traced as invalid.
    std::string trace = test::ReadFileBytes(dir / "trace.txt");
    EXPECT_EQ(trace.find("Invalid"), trace.rfind("Invalid"));
    EXPECT_NE(trace.find("Invalid"), std::string::npos);
    EXPECT_EQ(ValidMP4(dir / "missing.mp4", ParsedPair().files, false), 0);
}

TEST(Mp4Reader, ParsesTracksSampleEntriesAndTables) {
    std::string bytes = test::SimpleMp4({TrackSpec{}, AudioTrack()});
    ParsedPair pair;
    EXPECT_EQ(ParseMP4Bytes(bytes, pair.files, false), 1);
    const MP4FILE& mp4 = pair.files[0];
    EXPECT_EQ(mp4.ftyp.majorBrand, FourCC("mp42"));
    EXPECT_EQ(mp4.moov.mvhd.timescale, 1000u);
    ASSERT_TRUE(mp4.moov.trak[0] && mp4.moov.trak[1]);
    const TRAKBOX& video = *mp4.moov.trak[0];
    EXPECT_EQ(video.hdlr.handlerType, FourCC("vide"));
    EXPECT_EQ(video.tkhd.width, 64);
    EXPECT_EQ(video.tkhd.height, 48);
    EXPECT_EQ(video.minf.mediaHeaderType, FourCC("vmhd"));
    ASSERT_EQ(video.stsd.PSampleEntry.size(), 1u);
    const SampleEntryRecord& avc = video.stsd.PSampleEntry[0];
    EXPECT_EQ(avc.format, FourCC("avc1"));
    EXPECT_EQ(avc.width, 64);
    // The configuration copy is the child's size long: its payload and the 8 bytes after it.
    ASSERT_EQ(avc.config.pParameterSetNALUnit.size(), 19u);
    EXPECT_EQ(avc.config.profileIndication, 0x42);
    EXPECT_EQ(avc.config.lengthSizeMinusOne, 3);
    EXPECT_EQ(video.stts.entryCount, 1u);
    EXPECT_EQ(video.stsz.sampleCount, 3u);
    EXPECT_EQ(video.stco.entryCount, 3u);
    EXPECT_EQ(video.stss.entryCount, 1u);
    const SampleEntryRecord& aac = mp4.moov.trak[1]->stsd.PSampleEntry[0];
    EXPECT_EQ(aac.format, FourCC("mp4a"));
    EXPECT_EQ(aac.channelCount, 1);
    EXPECT_EQ(aac.sampleRate, 16000);
    EXPECT_EQ(aac.esds.objectTypeIndication, 0x40);
    EXPECT_EQ(aac.esds.streamType, 5);
    EXPECT_EQ(GetDurationSeconds(mp4), 1);
}

TEST(Mp4Reader, FifthTrakFailsTheMoovAndHidesTheMdatAfterIt) {
    std::vector<TrackSpec> five(5);
    ParsedPair pair;
    EXPECT_EQ(ParseMP4Bytes(test::SimpleMp4(five), pair.files, false), 0);
    EXPECT_EQ(pair.files[0].mdat.pos, 0u);
    for (const auto& track : pair.files[0].moov.trak) EXPECT_TRUE(track);
}

TEST(Mp4Reader, DuplicateTopLevelBoxes) {
    std::string moov = test::MoovBox({test::TrakBox(TrackSpec{})});
    std::string bytes = test::FtypBox() + moov + moov + Box("mdat", std::string(400, 'x'));
    {
        ParsedPair pair;
        EXPECT_EQ(ParseMP4Bytes(bytes, pair.files, false), 0);  // the walk ends at the second moov
        EXPECT_EQ(pair.files[0].mdat.pos, 0u);
        EXPECT_FALSE(pair.files[1].moov.moov.pos);
    }
    {
        ParsedPair pair;
        EXPECT_EQ(ParseMP4Bytes(bytes, pair.files, true), 1);
        EXPECT_NE(pair.files[0].mdat.pos, 0u);
        EXPECT_EQ(pair.files[1].moov.moov.pos, pair.files[0].moov.moov.pos + moov.size());
        EXPECT_TRUE(pair.files[1].moov.trak[0]);
    }
}

TEST(Mp4Reader, TracksOfUnknownFormatOrIncompleteTablesDoNotQualify) {
    TrackSpec unknown;
    unknown.format = "xyz1";
    TrackSpec noStco;
    noStco.withStco = false;
    TrackSpec wrongHandler = AudioTrack();
    wrongHandler.handler = "vide";
    // A chunk table claiming more entries than its box holds is not read at all.
    TrackSpec overlong;
    overlong.stcoCountExtra = 1;
    for (const TrackSpec& spec : {unknown, noStco, wrongHandler, overlong}) {
        ParsedPair pair;
        EXPECT_EQ(ParseMP4Bytes(test::SimpleMp4({spec}), pair.files, false), 0) << spec.format;
    }
    ParsedPair pair;
    EXPECT_EQ(ParseMP4Bytes(test::SimpleMp4({unknown, AudioTrack()}), pair.files, false), 1);
}

TEST(Mp4Reader, DurationSeconds) {
    struct Case {
        std::uint32_t timescale, duration;
        int seconds;
    } cases[] = {{1000, 186000, 0},   {1000, 185999, 185}, {1000, 500, 1},
                 {90000, 900000, 10}, {1000, 0, 0},        {0, 5000, 0}};
    for (auto c : cases) {
        ParsedPair pair;
        ParseMP4Bytes(test::FtypBox() + test::MoovBox({}, c.timescale, c.duration), pair.files,
                      false);
        EXPECT_EQ(GetDurationSeconds(pair.files[0]), c.seconds) << c.duration;
    }
}

std::string FreeBox(const std::string& children) {
    return Box("free", children);
}

TEST(Mp4Reader, EmbeddedGpsAndAccelerationLengths) {
    std::string gpsText = "[100]$GPRMC,1\n";
    std::string acc(30, '\x01');
    acc += std::string(10, '\xFF');
    struct Case {
        std::string name;
        std::string free;
        int gpsLength, accLength, newFormat;
        std::size_t accOffset;  // where the acceleration data lands in the GPS buffer
    } cases[] = {
        // The text with its NUL: the length stops at the NUL.
        {"gps with nul", Box("gps ", gpsText + '\0' + "zz") + Box("3gf ", acc), int(gpsText.size()),
         30, 0, gpsText.size() + 1},
        // No NUL in the payload: the next box's size field begins with 0.
        {"gps without nul", Box("gps ", gpsText) + Box("3gf ", acc), int(gpsText.size()), 30, 0,
         gpsText.size() + 1},
        {"gps2", Box("gps2", gpsText), int(gpsText.size() + 8), -1, 1, 0},
        {"3gf without marker", Box("gps ", gpsText + '\0') + Box("3gf ", std::string(40, 'a')),
         int(gpsText.size()), -1, 0, 0},
    };
    for (const Case& c : cases) {
        std::string bytes = test::FtypBox() + FreeBox(c.free) + Box("mdat", std::string(64, 'm'));
        std::vector<std::uint8_t> buffer(4096, 0xAA);
        ParsedPair pair;
        pair.files[0].gpsBuffer = buffer.data();
        pair.files[0].gpsCapacity = buffer.size();
        ParseMP4Bytes(bytes, pair.files, false);
        EXPECT_EQ(pair.files[0].gpsLength, c.gpsLength) << c.name;
        EXPECT_EQ(pair.files[0].accLength, c.accLength) << c.name;
        EXPECT_EQ(pair.files[0].newFormat, c.newFormat) << c.name;
        EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + gpsText.size()), gpsText);
        if (c.accLength > 0) {
            EXPECT_EQ(buffer[c.accOffset], 0x01) << c.name;
        }
    }
}

TEST(Mp4Reader, SensorBoxesAreCutToTheCallersBuffer) {
    std::string big(5000, 'G');
    std::string bytes = test::FtypBox() + FreeBox(Box("gps ", big) + Box("3gf ", big)) +
                        Box("mdat", std::string(64, 'm'));
    std::vector<std::uint8_t> buffer(100 + 16, 0xAA);
    ParsedPair pair;
    pair.files[0].gpsBuffer = buffer.data();
    pair.files[0].gpsCapacity = 100;
    ParseMP4Bytes(bytes, pair.files, false);
    EXPECT_EQ(pair.files[0].gpsLength, -1);
    for (std::size_t i = 100; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAA) << i;
}

TEST(Mp4Reader, CameraMetadata) {
    ByteWriter kvvi, kvso;
    kvvi.U16(1);
    kvvi.Bytes("avc1", 4);
    kvvi.U16(1920);
    kvvi.U16(1080);
    kvvi.U16(2);
    kvvi.U16(3);
    kvvi.Bytes("\x67\x42\x00", 3);
    kvvi.U16(2);
    kvvi.Bytes("\x68\xce", 2);
    kvso.U16(2);
    kvso.Bytes("mp4a", 4);
    kvso.U16(1);
    kvso.U16(16);
    kvso.U32(22050);
    kvso.U16(0);
    ByteWriter sttm, kvnm;
    sttm.U64(1555083010000ull);
    kvnm.U8(3);
    kvnm.U24(0);
    kvnm.Bytes("KX-TMQ4", 8);
    std::string free = Box("cprt", " Maker;Brand") + Box("sttm", sttm.str()) +
                       Box("kvnm", kvnm.str()) +
                       Box("kvrh", Box("kvvi", kvvi.str()) + Box("kvso", kvso.str()));
    ParsedPair pair;
    ParseMP4Bytes(test::FtypBox() + FreeBox(free) + Box("mdat", "xx"), pair.files, false);
    const MP4FILE& mp4 = pair.files[0];
    EXPECT_STREQ(mp4.cprt.text, " Maker;Brand");
    EXPECT_EQ(mp4.sttm.startTime, 1555083010000ull);
    EXPECT_EQ(mp4.kvnm.version, 3);
    EXPECT_STREQ(mp4.kvnm.name, "KX-TMQ4");
    EXPECT_EQ(mp4.newFormat, 0);
    EXPECT_EQ(mp4.kvrh.kvvi.codecId, kCodecAvc1);
    EXPECT_EQ(mp4.kvrh.kvvi.width, 1920);
    ASSERT_EQ(mp4.kvrh.kvvi.configs.size(), 2u);
    EXPECT_EQ(mp4.kvrh.kvvi.configs[1].szConfigStr, std::string("\x68\xce"));
    EXPECT_EQ(mp4.kvrh.kvso.codecId, kCodecMp4a);
    EXPECT_EQ(mp4.kvrh.kvso.sampleRate, 22050u);

    // A config count larger than the box can hold clears the summary instead of allocating.
    ByteWriter bad;
    bad.U16(1);
    bad.Bytes("avc1", 4);
    bad.U32(0);
    bad.U16(60000);
    ParsedPair badPair;
    ParseMP4Bytes(test::FtypBox() + FreeBox(Box("kvrh", Box("kvvi", bad.str()))), badPair.files,
                  false);
    EXPECT_EQ(badPair.files[0].kvrh.kvvi.box.pos, 0u);
    EXPECT_NE(badPair.files[0].kvrh.box.pos, 0u);
}

struct Walk {
    std::vector<SampleInfo> samples;
    int lastResult = 1;
};

Walk WalkTrack(const std::string& bytes, int trackIndex, int steps) {
    ParsedPair pair;
    ParseMP4Bytes(bytes, pair.files, false);
    MemoryFile file(bytes);
    Walk walk;
    const TRAKBOX* track = pair.files[0].moov.trak[trackIndex].get();
    if (!track) return walk;
    SampleCursor cursor{};
    for (int i = 0; i < steps; ++i) {
        SampleInfo info;
        walk.lastResult = NextSample(cursor, info, file, *track, pair.files[0].moov.mvhd);
        if (!walk.lastResult) break;
        walk.samples.push_back(info);
    }
    return walk;
}

TEST(SampleCursorTest, WalksRunsAndChunks) {
    TrackSpec spec;
    spec.timescale = 90000;
    spec.stts = {{2, 3000}, {2, 6000}};
    spec.stsc = {{1, 2, 1}, {2, 1, 1}};
    spec.stsz = {10, 20, 30, 40};
    spec.stco = {1000, 2000, 3000};
    std::string bytes = test::SimpleMp4({spec});
    Walk walk = WalkTrack(bytes, 0, 4);
    ASSERT_EQ(walk.samples.size(), 4u);
    std::uint64_t times[] = {0, 33, 66, 133};
    std::uint32_t offsets[] = {1000, 1010, 2000, 3000};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(walk.samples[i].number, std::uint32_t(i + 1));
        EXPECT_EQ(walk.samples[i].time, times[i]) << i;
        EXPECT_EQ(walk.samples[i].offset, offsets[i]) << i;
        EXPECT_EQ(walk.samples[i].size, std::uint32_t(10 * (i + 1)));
    }
}

TEST(SampleCursorTest, PastTheTableEnds) {
    TrackSpec spec;
    spec.stts = {{2, 40}};
    spec.stsz = {10, 20, 30, 40};
    spec.stco = {1000, 2000};
    spec.stsc = {{1, 1, 1}};
    Walk walk = WalkTrack(test::SimpleMp4({spec}), 0, 4);
    ASSERT_EQ(walk.samples.size(), 4u);
    // The time repeats its last value; the offset keeps the last chunk offset.
    EXPECT_EQ(walk.samples[1].time, 40u);
    EXPECT_EQ(walk.samples[2].time, 40u);
    EXPECT_EQ(walk.samples[3].time, 40u);
    EXPECT_EQ(walk.samples[1].offset, 2000u);
    EXPECT_EQ(walk.samples[2].offset, 2000u);
}

TEST(SampleCursorTest, EmptyEditShiftsTheSamples) {
    TrackSpec spec;
    spec.elst = {{-1, 500}, {0, 10000}};
    Walk walk = WalkTrack(test::SimpleMp4({spec}), 0, 3);
    ASSERT_EQ(walk.samples.size(), 3u);
    EXPECT_EQ(walk.samples[0].time, 500u);
    EXPECT_EQ(walk.samples[2].time, 566u);
}

TEST(SampleCursorTest, RedeliverGivesTheSameSampleAgain) {
    std::string bytes = test::SimpleMp4({TrackSpec{}});
    ParsedPair pair;
    ParseMP4Bytes(bytes, pair.files, false);
    MemoryFile file(bytes);
    SampleCursor cursor{};
    SampleInfo a, b, c;
    const auto& mvhd = pair.files[0].moov.mvhd;
    NextSample(cursor, a, file, *pair.files[0].moov.trak[0], mvhd);
    NextSample(cursor, a, file, *pair.files[0].moov.trak[0], mvhd);
    cursor.redeliver = true;
    NextSample(cursor, b, file, *pair.files[0].moov.trak[0], mvhd);
    NextSample(cursor, c, file, *pair.files[0].moov.trak[0], mvhd);
    EXPECT_EQ(b.number, 2u);
    EXPECT_EQ(b.offset, a.offset);
    EXPECT_EQ(c.number, 3u);
}

// Every prefix of a file parses without a fault (sanitizer builds check the memory use), and
// the samples of each prefix can be walked.
TEST(Mp4Reader, EveryCutOfAFileParses) {
    std::string bytes = test::SimpleMp4({TrackSpec{}, AudioTrack()}, 16);
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        std::string prefix = bytes.substr(0, cut);
        ParsedPair pair;
        int playable = ParseMP4Bytes(prefix, pair.files, true);
        // Playable once the mdat header is whole (the walk needs one byte past a header).
        EXPECT_EQ(playable, cut > bytes.size() - 16 ? 1 : 0) << cut;
        MemoryFile file(prefix);
        for (const auto& track : pair.files[0].moov.trak) {
            if (!track) continue;
            SampleCursor cursor{};
            SampleInfo info;
            for (int i = 0;
                 i < 8 && NextSample(cursor, info, file, *track, pair.files[0].moov.mvhd); ++i) {
            }
        }
    }
}

}  // namespace
}  // namespace kx
