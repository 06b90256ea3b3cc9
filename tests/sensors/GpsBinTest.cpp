#include <gtest/gtest.h>

#include "SensorFixtures.h"
#include "sensors/GpsBin.h"

namespace kx {
namespace {

using test::GpsRecord;
using test::GpsRecordFields;

constexpr std::uint64_t kStartMs = 1555000000000;
constexpr std::int32_t kStartKey = 15 * 360000 + 30 * 6000 + 10 * 100;

GpsRecordFields At(std::uint64_t msAfterStart) {
    GpsRecordFields fields;
    fields.stampMs = kStartMs + msAfterStart;
    return fields;
}

TEST(GpsBin, AcceptedRecordValuesAndKey) {
    GpsRecordFields fields = At(2500);
    fields.latRef = 'S';
    fields.latFraction = 123;  // four fraction digits: 3733.0123
    fields.lonRef = 'W';
    GpsTrack track;
    std::vector<std::uint8_t> record = GpsRecord(fields);
    EXPECT_EQ(ParseGpsBin(track, record, kStartMs, kStartKey), 1u);
    const GPS_NODE& fix = *track.head();
    EXPECT_EQ(fix.time, kStartKey + 250);
    EXPECT_DOUBLE_EQ(fix.latitude, -3733.0123);
    EXPECT_DOUBLE_EQ(fix.longitude, -12700.5);
    EXPECT_EQ(fix.lat_ref, 'S');
    EXPECT_EQ(fix.lon_ref, 'W');
    EXPECT_DOUBLE_EQ(fix.speed, 12.5);
}

TEST(GpsBin, SpeedFractionIsWrittenWithoutLeadingZeros) {
    struct Case {
        std::uint16_t whole, fraction;
        double speed;
    };
    for (Case c : {Case{12, 5, 12.5}, Case{12, 50, 12.5}, Case{12, 5000, 12.5}, Case{0, 7, 0.7},
                   Case{3, 0, 3.0}, Case{65535, 65535, 65535.65535}}) {
        GpsRecordFields fields = At(0);
        fields.speedWhole = c.whole;
        fields.speedFraction = c.fraction;
        GpsTrack track;
        ParseGpsBin(track, GpsRecord(fields), kStartMs, kStartKey);
        ASSERT_EQ(track.size(), 1u);
        EXPECT_DOUBLE_EQ(track.head()->speed, c.speed) << c.whole << "." << c.fraction;
    }
}

TEST(GpsBin, RejectedRecordsAndPartialLastRecord) {
    auto with = [](auto change) {
        GpsRecordFields fields = At(1000);
        change(fields);
        return GpsRecord(fields);
    };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> record;
        bool accepted;
    };
    const Case cases[] = {
        {"type 1", with([](GpsRecordFields&) {}), true},
        {"type 2", with([](GpsRecordFields& f) { f.type = 2; }), false},
        {"no comma", with([](GpsRecordFields& f) { f.comma = 0x002D; }), false},
        {"stamp 0", with([](GpsRecordFields& f) { f.stampMs = 0; }), false},
        {"status V", with([](GpsRecordFields& f) { f.status = 'V'; }), false},
        {"status P", with([](GpsRecordFields& f) { f.status = 'P'; }), true},
        {"quality 2", with([](GpsRecordFields& f) { f.quality = '2'; }), true},
        {"quality 0", with([](GpsRecordFields& f) { f.quality = '0'; }), false},
        {"quality 6", with([](GpsRecordFields& f) { f.quality = '6'; }), false},
    };
    for (const Case& c : cases) {
        GpsTrack track;
        EXPECT_EQ(ParseGpsBin(track, c.record, kStartMs, kStartKey), c.accepted ? 1u : 0u)
            << c.what;
    }

    // Two records and the 8 bytes after the box payload: the partial tail is dropped, and a
    // record cut short adds nothing.
    std::vector<std::uint8_t> data = GpsRecord(At(0));
    test::Append(data, GpsRecord(At(1000)));
    data.resize(data.size() + 8, 0x2C);
    GpsTrack track;
    EXPECT_EQ(ParseGpsBin(track, data, kStartMs, kStartKey), 2u);
    EXPECT_EQ(track.tail()->time, kStartKey + 100);
    GpsTrack cut;
    EXPECT_EQ(ParseGpsBin(cut, std::span(data).first(47), kStartMs, kStartKey), 0u);
    EXPECT_EQ(ParseGpsBin(cut, {}, kStartMs, kStartKey), 0u);
}

TEST(GpsBin, RecordStampedBeforeTheStartTimeKeysJustBeforeTheStartKey) {
    GpsRecordFields fields;
    fields.stampMs = kStartMs - 500;
    GpsTrack track;
    ParseGpsBin(track, GpsRecord(fields), kStartMs, kStartKey);
    ASSERT_EQ(track.size(), 1u);
    EXPECT_EQ(track.head()->time, kStartKey - 50);
}

TEST(GpsBin, KeysOfALongRecordingRunPastMidnight) {
    std::int32_t lateStart = GpsStartKey(235950);
    GpsTrack track;
    std::vector<std::uint8_t> data;
    for (int second = 0; second < 20; ++second) test::Append(data, GpsRecord(At(second * 1000)));
    ParseGpsBin(track, data, kStartMs, lateStart);
    EXPECT_EQ(track.tail()->time, lateStart + 1900);
    EXPECT_GT(track.tail()->time, kKeysPerDay);
    EXPECT_EQ(track.FindGps(GpsKeyForPosition(15500, lateStart))->time, lateStart + 1500);
}

}  // namespace
}  // namespace kx
