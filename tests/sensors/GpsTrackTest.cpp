#include <gtest/gtest.h>

#include <cmath>

#include "sensors/GpsTrack.h"

namespace kx {
namespace {

GPS_NODE Fix(std::int32_t time) {
    GPS_NODE fix;
    fix.time = time;
    return fix;
}

TEST(GpsTrack, FindGpsForwardBackwardAndOutsideTheTrack) {
    GpsTrack track;
    EXPECT_EQ(track.FindGps(0), nullptr);
    for (std::int32_t time : {100, 200, 300, 400}) ASSERT_TRUE(track.Append(Fix(time)));
    struct Step {
        std::int32_t key;
        std::int32_t expected;  // -1: no fix
    };
    // Playback forward, a backward jump, before the first fix, after the last one.
    const Step steps[] = {{50, -1},   {100, 100}, {150, 100}, {199, 100}, {200, 200},
                          {350, 300}, {400, 400}, {401, -1},  {120, 100}, {99, -1},
                          {300, 300}, {250, 200}, {400, 400}, {400, 400}};
    for (const Step& step : steps) {
        const GPS_NODE* found = track.FindGps(step.key);
        if (step.expected < 0) {
            EXPECT_EQ(found, nullptr) << step.key;
        } else {
            ASSERT_NE(found, nullptr) << step.key;
            EXPECT_EQ(found->time, step.expected) << step.key;
        }
    }
}

TEST(GpsTrack, LinksFollowTheOrderOfAppendingAndClearEmptiesTheTrack) {
    GpsTrack track;
    for (int i = 0; i < 1000; ++i) track.Append(Fix(i));
    int count = 0;
    for (const GPS_NODE* node = track.head(); node; node = node->next)
        EXPECT_EQ(node->time, count++);
    EXPECT_EQ(count, 1000);
    EXPECT_EQ(track.tail()->next, nullptr);
    EXPECT_EQ(track.FindGps(500)->time, 500);
    track.ClearGps();
    EXPECT_EQ(track.head(), nullptr);
    EXPECT_EQ(track.tail(), nullptr);
    EXPECT_EQ(track.FindGps(500), nullptr);
    track.Append(Fix(7));
    ASSERT_NE(track.FindGps(7), nullptr);  // the cursor did not survive the clearing
    EXPECT_EQ(track.FindGps(7)->time, 7);
}

TEST(GpsTrack, GpsToDegreeKeepsTheSign) {
    GPS_NODE fix;
    fix.latitude = -3733.1234;
    fix.longitude = 12700.5;
    GpsDegrees degrees = GpsToDegree(fix);
    EXPECT_NEAR(degrees.latitude, -37.5520566667, 1e-9);
    EXPECT_NEAR(degrees.longitude, 127.0083333333, 1e-9);
    EXPECT_NEAR(NmeaToDegree(-12700.5), -127.0083333333, 1e-9);
    EXPECT_DOUBLE_EQ(NmeaToDegree(0), 0);
    EXPECT_NEAR(NmeaToDegree(59.99), 0.99983333, 1e-8);  // under one degree
    EXPECT_TRUE(std::isnan(NmeaToDegree(std::nan(""))));
    EXPECT_FALSE(std::isfinite(NmeaToDegree(INFINITY)));  // no undefined conversion on the way
}

TEST(GpsTrack, PlayPositionKeys) {
    EXPECT_EQ(GpsStartKey(153010), 15 * 360000 + 30 * 6000 + 10 * 100);
    EXPECT_EQ(GpsKeyForPosition(12345, 100), 1334);
}

}  // namespace
}  // namespace kx
