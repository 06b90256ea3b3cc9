#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

#include "sensors/TrackExport.h"

namespace kx {
namespace {

// Pins a time zone for one test and restores the previous one.
class ZoneGuard {
  public:
    explicit ZoneGuard(const char* zone) {
        const char* old = std::getenv("TZ");
        if (old) old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (old_.empty())
            unsetenv("TZ");
        else
            setenv("TZ", old_.c_str(), 1);
        tzset();
    }

  private:
    std::string old_;
};

TEST(TrackExport, LocalTimesOfTheRecordingsDay) {
    EXPECT_EQ(LocalTimeText(20170714, 960000), "2017-07-14T02:40:00+00:00");
    EXPECT_EQ(LocalTimeText(20170714, 960012), "2017-07-14T02:40:00.12+00:00");
    EXPECT_EQ(LocalTimeText(20171231, kKeysPerDay + 100), "2018-01-01T00:00:01+00:00");
    EXPECT_EQ(LocalTimeText(20170301, -100), "2017-02-28T23:59:59+00:00");
    ZoneGuard tokyo("Asia/Tokyo");
    EXPECT_EQ(LocalTimeText(20170714, 960000), "2017-07-14T02:40:00+09:00");
    ZoneGuard newYork("America/New_York");
    EXPECT_EQ(LocalTimeText(20170714, 960000), "2017-07-14T02:40:00-04:00");
    EXPECT_EQ(LocalTimeText(20170114, 960000), "2017-01-14T02:40:00-05:00");
}

TEST(TrackExport, TrackPointsAreInTimeOrderAndInDegrees) {
    GpsTrack track;
    for (std::int32_t time : {300, 100, 200, 100}) {
        GPS_NODE fix;
        fix.time = time;
        fix.latitude = -3733.1234;
        fix.longitude = time;
        track.Append(fix);
    }
    std::vector<TrackPoint> points = TrackPoints(track);
    ASSERT_EQ(points.size(), 4u);
    EXPECT_EQ(points[0].key, 100);
    EXPECT_DOUBLE_EQ(points[0].longitude, 1.0);  // the first of the two fixes at 100
    EXPECT_EQ(points[1].key, 100);
    EXPECT_DOUBLE_EQ(points[1].longitude, 1.0);
    EXPECT_EQ(points[3].key, 300);
    EXPECT_NEAR(points[0].latitude, -37.5520566667, 1e-9);
}

TEST(TrackExport, InvalidCoordinatesAndMarkupInNamesKeepTheDocumentsValid) {
    std::vector<TrackPoint> points = {{100, 37.5, 127.0, 1.0},
                                      {200, 95.0, 127.0, 1.0},
                                      {300, std::nan(""), 1.0, 1.0},
                                      {400, 37.6, 180.0, 1.0}};
    std::string gpx = TrackToGpx(points, 20170714, "a<b>&\"c\x01\xff");
    EXPECT_NE(gpx.find("<name>a&lt;b&gt;&amp;&quot;c?</name>"), std::string::npos) << gpx;
    EXPECT_EQ(gpx.find("95.0"), std::string::npos);
    EXPECT_EQ(gpx.find("nan"), std::string::npos);
    EXPECT_NE(gpx.find("lon=\"-180.0000000\""), std::string::npos);  // GPX longitudes < 180
    std::string kml = TrackToKml(points, 20170714, "x");
    EXPECT_EQ(kml.find("nan"), std::string::npos);
    EXPECT_NE(kml.find("<coordinates>127.0000000,37.5000000,0 180.0000000,37.6000000,0<"),
              std::string::npos);
    std::string csv = TrackToCsv(points, 20170714);
    EXPECT_NE(csv.find("nan"), std::string::npos);  // CSV keeps every row
}

}  // namespace
}  // namespace kx
