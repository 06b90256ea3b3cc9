// kxcard gps and accel on recordings made by the project's own demo generators: MP4 files with
// their sensor data embedded (NMEA text or the later layout's records) or in sidecars, and AVI
// files with GPS and G-sensor streams.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "containers/demo/AviDemo.h"
#include "containers/demo/DemoCard.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using test::ProcessResult;
using test::RunProcess;

constexpr int kSeconds = 3;
constexpr int kAccelPerSecond = 10;  // the demo's acceleration records come every 100 ms

// The number after "member": in one JSON line; NaN when it is missing.
double Member(const std::string& line, const std::string& member) {
    std::size_t at = line.find("\"" + member + "\":");
    if (at == std::string::npos) return std::nan("");
    return std::strtod(line.c_str() + at + member.size() + 3, nullptr);
}

ProcessResult Kxcard(const std::vector<std::string>& arguments) {
    return RunProcess(test::KxcardPath(), arguments, {{"TZ", "UTC"}});
}

std::int32_t Key(int hh, int mm, int ss) {
    return hh * 360000 + mm * 6000 + ss * 100;
}

// What kxcard gps prints: the keys and the decimal degrees of every fix.
struct Track {
    std::vector<double> keys, latitudes, longitudes;
};

Track GpsOf(const std::filesystem::path& file) {
    ProcessResult result = Kxcard({"gps", file.string()});
    EXPECT_EQ(result.exitCode, 0) << file << ": " << result.err;
    EXPECT_EQ(result.err, "") << file;
    Track track;
    for (const std::string& line : test::OutputLines(result.out)) {
        track.keys.push_back(Member(line, "key"));
        track.latitudes.push_back(Member(line, "lat"));
        track.longitudes.push_back(Member(line, "lon"));
    }
    return track;
}

std::vector<std::string> AccelOf(const std::filesystem::path& file) {
    ProcessResult result = Kxcard({"accel", file.string()});
    EXPECT_EQ(result.exitCode, 0) << file << ": " << result.err;
    return test::OutputLines(result.out);
}

// A drive of one fix a second from the recording's start, near the demo's start position.
void ExpectDrive(const Track& track, std::int32_t firstKey, double latitude, double longitude,
                 const std::filesystem::path& file) {
    ASSERT_EQ(track.keys.size(), std::size_t{kSeconds}) << file;
    for (int i = 0; i < kSeconds; ++i) {
        EXPECT_EQ(track.keys[i], firstKey + 100 * i) << file;
        EXPECT_NEAR(track.latitudes[i], latitude, 0.01) << file;
        EXPECT_NEAR(track.longitudes[i], longitude, 0.01) << file;
    }
}

class KxcardDemoCard : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root = new test::TempDir;
        demo::CardOptions options;
        options.seconds = kSeconds;
        options.fps = 10;
        options.frontWidth = options.rearWidth = 64;
        options.frontHeight = options.rearHeight = 48;
        demo::CardResult card = demo::MakeDemoCard(root->path(), options);
        ASSERT_TRUE(card.ok) << card.error;
        for (const auto& file : card.files)
            if (file.extension() == ".mp4") record = file.parent_path();
        ASSERT_FALSE(record.empty());
        // Sidecars that must lose against embedded data: a fix far south and one record.
        const std::string decoyGps =
            "[1796000000000]$GPRMC,120000.00,A,3733.1234,S,12700.5000,E,5.0,0,,,A\r\n"
            "[1796000000000]$GPGGA,120000.00,3733.1234,S,12700.5000,E,1,08,0.9,1,M,1,M,,\r\n";
        const std::string decoyAccel(10, '\0');
        for (const char* stem : {"20261209_081700_N", "20261210_073400_N", "20261210_201500_P"}) {
            test::WriteFileBytes(record / (std::string(stem) + ".gps"), decoyGps);
            test::WriteFileBytes(record / (std::string(stem) + ".3gf"), decoyAccel);
        }
    }
    static void TearDownTestSuite() {
        delete root;
        root = nullptr;
    }
    static inline test::TempDir* root = nullptr;
    static inline std::filesystem::path record;
};

TEST_F(KxcardDemoCard, EmbeddedNmeaTextWinsOverSidecars) {
    for (const char* name : {"20261209_081700_NF.mp4", "20261209_081700_NR.mp4"}) {
        ExpectDrive(GpsOf(record / name), Key(8, 17, 0), 35.6812, 139.7671, name);
        EXPECT_EQ(AccelOf(record / name).size(), std::size_t{kSeconds * kAccelPerSecond}) << name;
    }
}

TEST_F(KxcardDemoCard, LaterLayoutRecordsAreRead) {
    std::filesystem::path file = record / "20261210_073400_NF.mp4";
    ExpectDrive(GpsOf(file), Key(7, 34, 0), 35.6812, 139.7671, file);
    std::vector<std::string> accel = AccelOf(file);
    ASSERT_EQ(accel.size(), std::size_t{kSeconds * kAccelPerSecond});
    EXPECT_EQ(Member(accel.front(), "t"), 0);
    EXPECT_EQ(Member(accel.back(), "t"), kSeconds * 1000 - 100);
    EXPECT_NEAR(Member(accel.front(), "z"), 128, 10);  // about 1 g downwards
}

TEST_F(KxcardDemoCard, SidecarsServeRecordingsWithoutEmbeddedData) {
    std::filesystem::path file = record / "20261209_081500_NF.mp4";
    ExpectDrive(GpsOf(file), Key(8, 15, 0), 35.6812, 139.7671, file);
    EXPECT_EQ(AccelOf(file).size(), std::size_t{kSeconds * kAccelPerSecond});
}

TEST_F(KxcardDemoCard, ParkingRecordingsKeepOnlyTheirAcceleration) {
    // Embedded acceleration without GPS, and sidecar acceleration without GPS.
    for (const char* name : {"20261210_201500_PF.mp4", "20261209_123000_PR.mp4"}) {
        EXPECT_TRUE(GpsOf(record / name).keys.empty()) << name;
        EXPECT_EQ(AccelOf(record / name).size(), std::size_t{kSeconds * kAccelPerSecond}) << name;
    }
}

class KxcardAvi : public ::testing::Test {
  protected:
    std::filesystem::path Write(int hhmmss, char kind, bool cutShort = false) {
        AviDemoOptions options;
        options.seconds = 2;
        options.framesPerSecond = 30;
        options.width = 64;
        options.height = 48;
        options.withSound = false;
        options.cutShort = cutShort;
        options.startHhmmss = hhmmss;
        std::filesystem::path path =
            dir.path() / (AviDemoName(20190412, hhmmss, true, 'F', kind, 1) + ".avi");
        std::string error;
        EXPECT_TRUE(WriteAviDemoRecording(path, options, error)) << error;
        return path;
    }
    test::TempDir dir;
};

TEST_F(KxcardAvi, GpsAndGSensorStreamsBecomeTracks) {
    std::filesystem::path file = Write(120000, 'N');
    Track track = GpsOf(file);
    ASSERT_EQ(track.keys.size(), 2u);
    EXPECT_EQ(track.keys[0], Key(12, 0, 0));
    EXPECT_EQ(track.keys[1], Key(12, 0, 1));
    EXPECT_NEAR(track.latitudes[0], 35 + 40.1 / 60, 1e-6);
    EXPECT_NEAR(track.longitudes[0], 139 + 45.2 / 60, 1e-6);

    // Two G-sensor chunks per frame at 30 fps: 16 ms steps, whole seconds every 60 chunks.
    std::vector<std::string> accel = AccelOf(file);
    ASSERT_EQ(accel.size(), 120u);
    EXPECT_EQ(Member(accel[0], "t"), 0);
    EXPECT_EQ(Member(accel[1], "t"), 16);
    EXPECT_EQ(Member(accel[59], "t"), 59 * 16);
    EXPECT_EQ(Member(accel[60], "t"), 1000);
    EXPECT_EQ(Member(accel[119], "t"), 1000 + 59 * 16);
    EXPECT_EQ(Member(accel[0], "z"), 128);  // 1.0 x 128
    EXPECT_EQ(Member(accel[0], "y"), 25);   // 0.2 x 128, truncated
}

TEST_F(KxcardAvi, TrackCrossingMidnightKeepsGrowingKeys) {
    std::filesystem::path file = Write(235959, 'N');
    Track track = GpsOf(file);
    ASSERT_EQ(track.keys.size(), 2u);
    EXPECT_EQ(track.keys[0], Key(23, 59, 59));
    EXPECT_EQ(track.keys[1], Key(24, 0, 0));
    // Play positions on both sides of midnight find their fixes.
    ProcessResult before = Kxcard({"gps", file.string(), "--at", "990"});
    EXPECT_EQ(Member(before.out, "key"), Key(23, 59, 59)) << before.out;
    ProcessResult after = Kxcard({"gps", file.string(), "--at", "1000"});
    EXPECT_EQ(Member(after.out, "key"), Key(24, 0, 0)) << after.out;
}

TEST_F(KxcardAvi, ParkingRecordingHasNoTrack) {
    std::filesystem::path file = Write(120000, 'P');
    EXPECT_TRUE(GpsOf(file).keys.empty());
    EXPECT_EQ(AccelOf(file).size(), 120u);
}

TEST_F(KxcardAvi, RecordingCutShortIsReportedAndLeftAsItIs) {
    std::filesystem::path file = Write(120000, 'N', true);
    std::string before = test::ReadFileBytes(file);
    for (const char* command : {"gps", "accel"}) {
        ProcessResult result = Kxcard({command, file.string()});
        EXPECT_EQ(result.exitCode, 1) << command;
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("has no index"), std::string::npos) << result.err;
    }
    EXPECT_EQ(test::ReadFileBytes(file), before);
}

}  // namespace
}  // namespace kx
