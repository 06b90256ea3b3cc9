#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "SensorFixtures.h"
#include "sensors/GpsBin.h"
#include "sensors/Rec3GF.h"
#include "sensors/SensorFile.h"
#include "sensors/SensorSource.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using test::TempDir;

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

struct Opened {
    GpsTrack track;
    GpsTextParser parser{track};
    std::vector<std::uint8_t> rawGps = std::vector<std::uint8_t>(kRawGpsBufferSize);
    std::vector<std::uint8_t> accel = std::vector<std::uint8_t>(kAccelBufferSize);
    GpsLoadResult gps;
    AccelBlock block;
    void Open(const SensorSource& source, const SensorRecording& recording) {
        gps = LoadGpsTrack(track, parser, source, recording, rawGps);
        block = LoadAccel(source, recording, accel);
    }
};

class SensorSourceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        recording.startKey = GpsStartKey(24000);
        recording.gpsSidecar = dir / "20170714_024000_N.gps";
        recording.accelSidecar = dir / "20170714_024000_N.3gf";
        test::NmeaFix a, b;
        b.stampMs += 1000;
        sidecarText = test::NmeaPair(a) + test::NmeaPair(b);
        test::WriteFileBytes(recording.gpsSidecar, sidecarText);
        sidecarAccel = test::Rec3gfBytes(0, 1, 2, 3);
        test::Append(sidecarAccel, test::Rec3gfBytes(100, 4, 5, 6));
        test::WriteFileBytes(recording.accelSidecar,
                             std::string(sidecarAccel.begin(), sidecarAccel.end()));
    }
    TempDir dir;
    SensorRecording recording;
    std::string sidecarText;
    std::vector<std::uint8_t> sidecarAccel;
};

TEST_F(SensorSourceTest, Mp4WithoutEmbeddedDataUsesBothSidecars) {
    Opened opened;
    opened.Open(SensorSource{}, recording);
    EXPECT_EQ(opened.gps.origin, SensorOrigin::Sidecar);
    EXPECT_EQ(opened.track.size(), 2u);
    EXPECT_EQ(opened.rawGps[sidecarText.size()], 0);  // the zero byte after the data
    EXPECT_EQ(opened.block.origin, SensorOrigin::Sidecar);
    EXPECT_EQ(opened.block.length, 20);
    EXPECT_EQ(ReadRecords3GF(opened.block.data).size(), 2u);
}

TEST_F(SensorSourceTest, EmbeddedDataWinsOverTheSidecars) {
    test::NmeaFix fix;
    fix.latitude = "1111.0000";
    std::vector<std::uint8_t> text = Bytes(test::NmeaPair(fix));
    std::vector<std::uint8_t> accel = test::Rec3gfBytes(0, 400, 0, 0);

    SensorSource embeddedText;
    embeddedText.gpsText = text;
    embeddedText.accelRecords = accel;
    Opened a;
    a.Open(embeddedText, recording);
    EXPECT_EQ(a.gps.origin, SensorOrigin::Embedded);
    ASSERT_EQ(a.track.size(), 1u);
    EXPECT_DOUBLE_EQ(a.track.head()->latitude, 1111.0);
    ASSERT_EQ(a.block.length, 10);
    EXPECT_EQ(ReadRecords3GF(a.block.data)[0].x, 250);

    // Only acceleration inside: no GPS track, and the .gps sidecar is not read either.
    SensorSource accelOnly;
    accelOnly.accelRecords = accel;
    Opened b;
    b.Open(accelOnly, recording);
    EXPECT_EQ(b.gps.origin, SensorOrigin::Embedded);
    EXPECT_TRUE(b.track.empty());

    // Only GPS inside (a "3gf " box without end marker): acceleration length -1, no sidecar.
    test::GpsRecordFields record;
    record.stampMs = 5000;
    std::vector<std::uint8_t> records = test::GpsRecord(record);
    SensorSource gpsOnly;
    gpsOnly.gpsRecords = records;
    gpsOnly.startMs = 4000;
    Opened c;
    c.Open(gpsOnly, recording);
    ASSERT_EQ(c.track.size(), 1u);
    EXPECT_EQ(c.track.head()->time, recording.startKey + 100);
    EXPECT_EQ(c.block.origin, SensorOrigin::Embedded);
    EXPECT_EQ(c.block.length, -1);
    EXPECT_TRUE(ReadRecords3GF(c.block.data).empty());
}

TEST_F(SensorSourceTest, ParkingRecordingsGetNoTrackButTheirAcceleration) {
    recording.parking = true;
    Opened opened;
    opened.Open(SensorSource{}, recording);
    EXPECT_EQ(opened.gps.origin, SensorOrigin::None);
    EXPECT_TRUE(opened.track.empty());
    EXPECT_EQ(opened.block.length, 20);
}

TEST_F(SensorSourceTest, OpeningAgainClearsTheTrackAndTheParkedFlag) {
    test::NmeaFix parked;
    parked.status = 'P';
    test::WriteFileBytes(recording.gpsSidecar, test::NmeaPair(parked));
    Opened opened;
    opened.Open(SensorSource{}, recording);
    EXPECT_TRUE(opened.gps.parked);
    test::WriteFileBytes(recording.gpsSidecar, sidecarText);
    opened.Open(SensorSource{}, recording);
    EXPECT_FALSE(opened.gps.parked);
    EXPECT_EQ(opened.track.size(), 2u);
}

TEST_F(SensorSourceTest, MissingAndEmptySidecars) {
    test::WriteFileBytes(recording.accelSidecar, "");
    std::filesystem::remove(recording.gpsSidecar);
    Opened opened;
    opened.Open(SensorSource{}, recording);
    EXPECT_EQ(opened.gps.origin, SensorOrigin::None);
    EXPECT_TRUE(opened.track.empty());
    EXPECT_EQ(opened.block.origin, SensorOrigin::Sidecar);
    EXPECT_EQ(opened.block.length, 0);  // an empty block: no curve

    std::filesystem::remove(recording.accelSidecar);
    opened.Open(SensorSource{}, recording);
    EXPECT_EQ(opened.block.origin, SensorOrigin::None);
    EXPECT_EQ(opened.block.length, -1);
}

TEST_F(SensorSourceTest, AviUsesItsStreamsOnly) {
    std::vector<std::vector<std::uint8_t>> chunks = {
        Bytes("$GPRMC,024000.00,A,3733.1234,N,12700.5000,E,10.5,0.0,150717,,,A"),
        Bytes("$GPRMC,024001.00,A,3733.1334,N,12700.5000,E,10.5,0.0,150717,,,A")};
    std::vector<std::uint8_t> readings(12, 0);
    SensorSource avi;
    avi.avi = true;
    avi.frameRate = 30;
    for (const auto& chunk : chunks) {
        avi.gpsChunks.push_back(chunk);
        avi.accelChunks.push_back(readings);
    }
    Opened opened;
    opened.Open(avi, recording);
    EXPECT_EQ(opened.gps.origin, SensorOrigin::AviStreams);
    ASSERT_EQ(opened.track.size(), 2u);
    EXPECT_EQ(opened.track.tail()->time, recording.startKey + 100);
    EXPECT_EQ(opened.block.origin, SensorOrigin::AviStreams);
    EXPECT_EQ(opened.block.length, 20);

    SensorSource silent;
    silent.avi = true;
    Opened none;
    none.Open(silent, recording);
    EXPECT_EQ(none.gps.origin, SensorOrigin::None);
    EXPECT_EQ(none.block.length, 0);
}

class SetDataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Trace records without a trace file go to standard error.
        ::testing::internal::CaptureStderr();
    }
    std::string Traced() { return ::testing::internal::GetCapturedStderr(); }
    TempDir dir;
};

TEST_F(SetDataTest, ReadsTheWholeFileAndWritesAZeroAfterIt) {
    test::WriteFileBytes(dir / "a.gps", "abc");
    std::vector<std::uint8_t> buffer(8, 0xEE);
    EXPECT_EQ(SetData(dir / "a.gps", buffer), 3u);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{'a', 'b', 'c', 0, 0xEE, 0xEE, 0xEE, 0xEE}));
    EXPECT_EQ(Traced(), "");
}

TEST_F(SetDataTest, LongerFilesAreCutToTheBuffer) {
    test::WriteFileBytes(dir / "long.3gf", std::string(20, 'x'));
    std::vector<std::uint8_t> buffer(8, 0xEE);
    EXPECT_EQ(SetData(dir / "long.3gf", buffer), 7u);
    EXPECT_EQ(buffer[7], 0);
    EXPECT_NE(Traced().find("long.3gf file cut to 7 bytes"), std::string::npos);

    // Exactly the room: not cut.
    ::testing::internal::CaptureStderr();
    test::WriteFileBytes(dir / "fits.3gf", std::string(7, 'x'));
    EXPECT_EQ(SetData(dir / "fits.3gf", buffer), 7u);
    EXPECT_EQ(Traced(), "");
}

TEST_F(SetDataTest, FailuresAreTraced) {
    std::vector<std::uint8_t> buffer(8);
    EXPECT_FALSE(SetData(dir / "missing.gps", buffer));
    std::string traced = Traced();
    EXPECT_NE(traced.find("[CDispCtrlDlg::SetData("), std::string::npos) << traced;
    EXPECT_NE(traced.find("missing.gps file open failed"), std::string::npos) << traced;

    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(SetData(dir.path(), buffer));  // a folder opens but does not read
    EXPECT_NE(Traced().find("file read failed"), std::string::npos);
}

}  // namespace
}  // namespace kx
