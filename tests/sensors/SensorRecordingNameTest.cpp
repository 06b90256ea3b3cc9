// The recording name as the sensor data reads it: the library's kinds decide which recordings
// are parking ones, and the sidecars are named after the shared stem.
#include <gtest/gtest.h>

#include "containers/demo/AviDemo.h"
#include "library/RecordingName.h"
#include "sensors/GpsTrack.h"
#include "sensors/SensorRecordingName.h"

namespace kx {
namespace {

TEST(SensorRecordingName, ParkingKindsAgreeWithTheLibrary) {
    struct Case {
        std::string name;
        int scheme;
        bool parking;
    };
    const Case cases[] = {
        {"20190412_153010_PF", kSchemeMp4, true},   // parking
        {"20190412_153010_TR", kSchemeMp4, true},   // the library's other parking letter
        {"20190412_153010_IF", kSchemeMp4, true},   // event while parked
        {"20190412_153010_PFS", kSchemeMp4, true},  // trailing S
        {"20190412_153010_IRS", kSchemeMp4, true},
        {"20190412_153010_PL", kSchemeMp4, true},
        {"20190412_153010_P", kSchemeMp4, true},  // no camera letter: the last is the kind
        {"20190412_153010_EF", kSchemeMp4, false},
        {"20190412_153010_NF", kSchemeMp4, false},
        {"20190412_153010_MR", kSchemeMp4, false},
        {"20190412_153010_F", kSchemeMp4, false},   // no kind letter before the camera
        {"20190412_153010_PE", kSchemeMp4, false},  // E is not a camera letter: event
        {AviDemoName(20190412, 153010, true, 'F', 'P', 1), kSchemeAvi, true},
        {AviDemoName(20190412, 153010, true, 'F', 'N', 1), kSchemeAvi, false},
        {AviDemoName(20190412, 153010, true, 'R', 'E', 1), kSchemeAvi, false},
        {"evt1_0001_20190412_153010_F_P", kSchemeAvi, true},  // listed as I: event while parked
        {"mot1_0001_20190412_153010_F_N", kSchemeAvi, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsParkingRecording(c.name, c.scheme), c.parking) << c.name;
        // Every parking kind of the library is a parking recording here.
        auto parsed = ParseRecordingName(c.name, c.scheme);
        ASSERT_TRUE(parsed) << c.name;
        if (BaseKind(parsed->kindCode) == kKindParking) {
            EXPECT_TRUE(c.parking) << c.name;
        }
    }
}

TEST(SensorRecordingName, NamesFromFilePaths) {
    auto rear = NameRecording("/card/Record/20190412_153010_PRS.MP4");
    ASSERT_TRUE(rear);
    EXPECT_EQ(rear->scheme, kSchemeMp4);
    EXPECT_EQ(rear->date, 20190412);
    EXPECT_EQ(rear->time, 153010);
    EXPECT_TRUE(rear->parking);
    EXPECT_EQ(rear->gpsSidecar, "/card/Record/20190412_153010_P.gps");
    EXPECT_EQ(rear->accelSidecar, "/card/Record/20190412_153010_P.3gf");
    SensorRecording sensors = SensorRecordingOf(*rear);
    EXPECT_TRUE(sensors.parking);
    EXPECT_EQ(sensors.startKey, GpsStartKey(153010));

    auto avi = NameRecording("rec1_0001_20190412_153010_F_N.avi");
    ASSERT_TRUE(avi);
    EXPECT_EQ(avi->scheme, kSchemeAvi);
    EXPECT_EQ(avi->time, 153010);
    EXPECT_FALSE(avi->parking);
    EXPECT_TRUE(avi->gpsSidecar.empty());

    for (const char* rejected : {"holiday.mp4", "20190412_153010_NF.mov", "19700101_120000_N.mp4",
                                 "20190412_000000_N.mp4", "20190412_153010_NF"})
        EXPECT_FALSE(NameRecording(rejected)) << rejected;
}

}  // namespace
}  // namespace kx
