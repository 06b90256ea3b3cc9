#include <gtest/gtest.h>

#include "MediaFixture.h"
#include "Mp4Fixture.h"
#include "app/Trace.h"
#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"
#include "containers/Mp4Repair.h"
#include "containers/SampleCursor.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using test::ParsedPair;

std::uint64_t FixedClock() {
    return 3700000000ull;
}

struct TrackSamples {
    std::vector<std::string> video, audio;
    std::vector<std::uint32_t> videoKeys;  // sample numbers listed in stss
};

// Every sample of both tracks as the reader delivers them.
TrackSamples ReadSamples(const std::filesystem::path& path) {
    TrackSamples samples;
    ParsedPair pair;
    if (ValidMP4(path, pair.files, false) != 1) return samples;
    std::string bytes = test::ReadFileBytes(path);
    MemoryFile file(bytes);
    for (const auto& track : pair.files[0].moov.trak) {
        if (!track) continue;
        bool isVideo = track->hdlr.handlerType == FourCC("vide");
        auto& list = isVideo ? samples.video : samples.audio;
        SampleCursor cursor{};
        SampleInfo info;
        for (std::uint32_t i = 0; i < track->stsz.sampleCount; ++i) {
            if (!NextSample(cursor, info, file, *track, pair.files[0].moov.mvhd)) break;
            list.push_back(bytes.substr(info.offset, info.size));
        }
        for (std::uint32_t i = 0; isVideo && i < track->stss.entryCount; ++i)
            samples.videoKeys.push_back(GetU32(reinterpret_cast<const std::uint8_t*>(
                bytes.data() + track->stss.box.pos + 8 + 4 * i)));
    }
    return samples;
}

struct Record {
    std::uint64_t at;
    std::uint16_t type, key;
};

// The sample records of a recording, walked from its mdat.
std::vector<Record> Records(const std::filesystem::path& path) {
    std::string bytes = test::ReadFileBytes(path);
    ParsedPair pair;
    ParseMP4Bytes(bytes, pair.files, false);
    std::vector<Record> records;
    for (std::uint64_t at = pair.files[0].mdat.pos; at + 16 <= bytes.size();) {
        auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data() + at);
        records.push_back({at, GetU16(p), GetU16(p + 2)});
        at += 16 + GetU32(p + 8) + GetU32(p + 12);
    }
    return records;
}

void Patch(const std::filesystem::path& path, std::uint64_t at, std::string_view bytes) {
    std::string all = test::ReadFileBytes(path);
    all.replace(at, bytes.size(), bytes);
    test::WriteFileBytes(path, all);
}

int TraceCount(const std::filesystem::path& trace, const std::string& text) {
    std::string all = test::ReadFileBytes(trace);
    int count = 0;
    for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1))
        ++count;
    return count;
}

class Mp4Repair : public testing::Test {
  protected:
    void SetUp() override { TraceStart(dir / "trace.txt", "test"); }
    std::filesystem::path CutRecording(std::uint32_t moovReserve, bool withSound = true) {
        auto path = dir / "cut.mp4";
        demo::RecordingSpec spec;
        spec.audio = withSound ? &test::SmallAudio() : nullptr;
        spec.startTimeMs = 1555083010000ull;
        spec.moovReserve = moovReserve;
        spec.cutShort = true;
        test::WriteSmallRecording(path, spec);
        return path;
    }
    test::TempDir dir;
};

// Reservations: none (the moov is appended), room enough (rewritten in place), too little room.
constexpr std::uint32_t kReservations[] = {0, 16384, 64};

TEST_F(Mp4Repair, TornLastRecordIsDroppedAndTheRestPlays) {
    const auto& video = test::SmallVideo();
    const auto& audio = test::SmallAudio();
    for (std::uint32_t reserve : kReservations) {
        SCOPED_TRACE(reserve);
        auto path = CutRecording(reserve);
        std::uint64_t cutLength = std::filesystem::file_size(path);
        ParsedPair before;
        EXPECT_EQ(ParseMP4Bytes(test::ReadFileBytes(path), before.files, false), 0);
        ParsedPair pair;
        ASSERT_EQ(ValidMP4(path, pair.files, false), 1);
        EXPECT_EQ(pair.files[0].kvnm.version, 2);
        EXPECT_EQ(TraceCount(dir / "trace.txt", "Invalid"), 1);
        // The moov went into the reservation when it fitted.
        if (reserve == 16384) {
            EXPECT_LT(pair.files[0].moov.moov.pos, pair.files[0].mdat.pos);
            EXPECT_LE(std::filesystem::file_size(path), cutLength);
        } else {
            EXPECT_GT(pair.files[0].moov.moov.pos, pair.files[0].mdat.pos);
        }
        // The last record (the last audio frame) was torn; everything before it is kept.
        TrackSamples samples = ReadSamples(path);
        EXPECT_EQ(samples.video, video.samples);
        ASSERT_EQ(samples.audio.size(), audio.frames.size() - 1);
        EXPECT_TRUE(std::equal(samples.audio.begin(), samples.audio.end(), audio.frames.begin()));
        // The rebuilt sync table lists exactly the records flagged as key frames.
        std::vector<std::uint32_t> keys;
        for (std::size_t i = 0; i < video.keys.size(); ++i)
            if (video.keys[i]) keys.push_back(std::uint32_t(i + 1));
        EXPECT_EQ(samples.videoKeys, keys);
        // Opening again needs no second repair.
        ParsedPair again;
        EXPECT_EQ(ValidMP4(path, again.files, false), 1);
        EXPECT_EQ(again.files[0].kvnm.version, 2);
        EXPECT_EQ(TraceCount(dir / "trace.txt", "Invalid"), 1);
        if (test::PeersInstalled()) {
            EXPECT_EQ(test::PeerDecodeErrors(path), "");
            EXPECT_EQ(test::PeerFrameCount(path, "v:0"), int(video.samples.size()));
            EXPECT_EQ(test::PeerPacketCount(path, "a:0"), int(audio.frames.size() - 1));
        }
        std::filesystem::remove(path);
        test::WriteFileBytes(dir / "trace.txt", "");
    }
}

TEST_F(Mp4Repair, BadRecordsEndTheWalk) {
    struct Case {
        const char* name;
        std::string patch;  // written over the 16-byte record
        std::size_t patchOffset;
    } cases[] = {
        {"key flag 2", std::string("\0\x02", 2), 2},
        {"video time backwards", std::string("\0\0\0\0", 4), 4},
        {"unknown type", std::string("\0\x03", 2), 0},
        {"size 0", std::string("\0\0\0\0", 4), 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto path = CutRecording(0);
        std::vector<Record> records = Records(path);
        // The 40th video record (its time is well past 0).
        std::size_t videoSeen = 0, index = 0;
        for (; index < records.size(); ++index)
            if (records[index].type == 1 && ++videoSeen == 40) break;
        Patch(path, records[index].at + c.patchOffset, c.patch);
        ParsedPair pair;
        ASSERT_EQ(ValidMP4(path, pair.files, false), 1);
        TrackSamples samples = ReadSamples(path);
        EXPECT_EQ(samples.video.size(), 39u);
        EXPECT_EQ(samples.video.size() + samples.audio.size(), index);
        std::filesystem::remove(path);
    }
}

TEST_F(Mp4Repair, FilesThatCannotBeRepairedAreLeftUntouched) {
    struct Case {
        const char* name;
        std::function<std::filesystem::path()> make;
    } cases[] = {
        {"sound record without kvso",
         [&] {
             auto path = CutRecording(0, false);
             Patch(path, Records(path)[5].at, std::string("\0\x02", 2));
             return path;
         }},
        {"later layout",
         [&] {
             auto path = dir / "later.mp4";
             demo::RecordingSpec spec;
             spec.audio = &test::SmallAudio();
             spec.laterLayout = true;
             spec.cutShort = true;
             test::WriteSmallRecording(path, spec);
             return path;
         }},
        {"gps2 box in an earlier-layout file",
         [&] {
             auto path = dir / "gps2.mp4";
             demo::RecordingSpec spec;
             spec.gps2Records = std::string(48, '\x01');
             spec.cutShort = true;
             test::WriteSmallRecording(path, spec);
             return path;
         }},
        {"no sttm",
         [&] {
             auto path = CutRecording(0);
             std::string bytes = test::ReadFileBytes(path);
             Patch(path, bytes.find("sttm"), "xxxx");
             return path;
         }},
        {"one configuration string",
         [&] {
             auto path = CutRecording(0);
             std::string bytes = test::ReadFileBytes(path);
             // nConfigNum of kvvi: after track_ID, code, width and height.
             Patch(path, bytes.find("kvvi") + 4 + 10, std::string("\0\x01", 2));
             return path;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto path = c.make();
        std::string before = test::ReadFileBytes(path);
        ParsedPair pair;
        EXPECT_EQ(ValidMP4(path, pair.files, false), 0);
        EXPECT_EQ(test::ReadFileBytes(path), before);
    }
}

// A complete recording cut at any byte: opening it never fails badly; once a picture is
// whole, the repair keeps exactly the records that are whole.
TEST_F(Mp4Repair, RecordingCutAtAnyByte) {
    auto complete = dir / "complete.mp4";
    demo::RecordingSpec spec;
    spec.audio = &test::SmallAudio();
    spec.startTimeMs = 1555083010000ull;
    test::WriteSmallRecording(complete, spec);
    const std::string bytes = test::ReadFileBytes(complete);
    const std::vector<Record> records = Records(complete);
    ParsedPair layout;
    ParseMP4Bytes(bytes, layout.files, false);
    const std::uint64_t mdatPayload = layout.files[0].mdat.pos;
    const std::uint64_t mdatEnd = mdatPayload + layout.files[0].mdat.size - 8;
    const auto& video = test::SmallVideo();
    const auto& audio = test::SmallAudio();
    auto path = dir / "cut.mp4";
    for (std::size_t cut = 0; cut <= bytes.size(); cut += cut < mdatPayload + 64 ? 7 : 499) {
        SCOPED_TRACE(cut);
        test::WriteFileBytes(path, bytes.substr(0, cut));
        std::size_t wholeVideo = 0, wholeAudio = 0;
        for (const Record& record : records) {
            if (record.at >= mdatEnd) break;
            auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data() + record.at);
            if (record.at + 16 + GetU32(p + 8) > cut) break;
            (record.type == 1 ? wholeVideo : wholeAudio)++;
        }
        ParsedPair pair;
        int playable = ValidMP4(path, pair.files, false);
        if (cut == bytes.size()) {
            EXPECT_EQ(playable, 1);
            continue;
        }
        ASSERT_EQ(playable, wholeVideo > 0 ? 1 : 0);
        if (!playable) {
            EXPECT_EQ(test::ReadFileBytes(path), bytes.substr(0, cut));
            continue;
        }
        TrackSamples samples = ReadSamples(path);
        ASSERT_EQ(samples.video.size(), wholeVideo);
        ASSERT_EQ(samples.audio.size(), wholeAudio);
        EXPECT_TRUE(std::equal(samples.video.begin(), samples.video.end(), video.samples.begin()));
        EXPECT_TRUE(std::equal(samples.audio.begin(), samples.audio.end(), audio.frames.begin()));
    }
}

// A file whose writes fail from the n-th on, as when the process dies or the card is pulled
// during the repair: of the failing write, nothing, a quarter, half, three quarters or all but
// its last byte reaches the disk.
class FailingFile final : public MediaFile {
  public:
    static constexpr int kPartialModes = 5;
    FailingFile(MediaFile& file, int failAt, int partial)
        : file_(file), failAt_(failAt), partial_(partial) {}
    std::uint64_t Size() const override { return file_.Size(); }
    bool Read(std::uint64_t offset, void* data, std::size_t size) override {
        return file_.Read(offset, data, size);
    }
    bool Write(std::uint64_t offset, const void* data, std::size_t size) override {
        if (dead_) return false;
        if (writes_++ == failAt_) {
            dead_ = true;
            std::size_t written = partial_ == 4 ? size - 1 : size * std::size_t(partial_) / 4;
            if (written) file_.Write(offset, data, written);
            return false;
        }
        return file_.Write(offset, data, size);
    }
    bool Sync() override { return !dead_ && file_.Sync(); }
    bool Truncate(std::uint64_t length) override {
        if (dead_) return false;
        if (writes_++ == failAt_) {
            dead_ = true;
            return false;
        }
        return file_.Truncate(length);
    }
    int writes() const { return writes_; }

  private:
    MediaFile& file_;
    int failAt_;
    int partial_;
    int writes_ = 0;
    bool dead_ = false;
};

TEST_F(Mp4Repair, EveryInterruptedRepairIsCompletedByTheNextOpen) {
    // The three reservations, and a file whose mdat size already ends where the torn record
    // begins (so a moov written after it is found by the walk as soon as its type is there).
    for (int layout = 0; layout < 4; ++layout) {
        std::uint32_t reserve = layout < 3 ? kReservations[layout] : 0;
        SCOPED_TRACE(layout);
        auto cut = CutRecording(reserve);
        if (layout == 3) {
            std::vector<Record> records = Records(cut);
            ParsedPair pair;
            ParseMP4Bytes(test::ReadFileBytes(cut), pair.files, false);
            std::uint64_t mdatStart = pair.files[0].mdat.pos - 8;
            std::uint8_t size[4];
            PutU32(size, std::uint32_t(records.back().at - mdatStart));
            Patch(cut, mdatStart, std::string_view(reinterpret_cast<char*>(size), 4));
        }
        const std::string original = test::ReadFileBytes(cut);
        auto reference = dir / "reference.mp4";
        test::WriteFileBytes(reference, original);
        TrackSamples expected = ReadSamples(reference);
        ASSERT_FALSE(expected.video.empty());

        int totalWrites = 0;
        {
            auto work = dir / "count.mp4";
            test::WriteFileBytes(work, original);
            auto disk = DiskFile::Open(work, DiskFile::Mode::kUpdate);
            ParsedPair pair;
            ParseMP4(*disk, pair.files, false);
            FailingFile counting(*disk, -1, 0);
            ASSERT_TRUE(RepairMP4(pair.files[0], counting, disk->Size(), FixedClock));
            totalWrites = counting.writes();
        }
        ASSERT_GE(totalWrites, 4);
        for (int failAt = 0; failAt < totalWrites; ++failAt) {
            for (int partial = 0; partial < FailingFile::kPartialModes; ++partial) {
                SCOPED_TRACE(testing::Message() << "write " << failAt << " partial " << partial);
                auto work = dir / "work.mp4";
                test::WriteFileBytes(work, original);
                {
                    auto disk = DiskFile::Open(work, DiskFile::Mode::kUpdate);
                    ParsedPair pair;
                    ParseMP4(*disk, pair.files, false);
                    FailingFile failing(*disk, failAt, partial);
                    EXPECT_FALSE(RepairMP4(pair.files[0], failing, disk->Size(), FixedClock));
                }
                TrackSamples recovered = ReadSamples(work);
                EXPECT_EQ(recovered.video, expected.video);
                EXPECT_EQ(recovered.audio, expected.audio);
                EXPECT_EQ(recovered.videoKeys, expected.videoKeys);
                // And it stays repaired.
                std::string repaired = test::ReadFileBytes(work);
                ParsedPair again;
                EXPECT_EQ(ValidMP4(work, again.files, false), 1);
                EXPECT_EQ(test::ReadFileBytes(work), repaired);
            }
        }
        std::filesystem::remove(cut);
    }
}

}  // namespace
}  // namespace kx
