#include <gtest/gtest.h>

#include <string>

#include "SensorFixtures.h"
#include "sensors/GpsText.h"
#include "sensors/GpsTrack.h"

namespace kx {
namespace {

using test::NmeaFix;
using test::NmeaPair;

struct Parsed {
    GpsTrack track;
    GpsTextParser parser{track};
    std::size_t left = 0;
    explicit Parsed(const std::string& text, std::optional<std::int32_t> startKey = std::nullopt) {
        parser.Reset(startKey);
        left = parser.ParseGpsText(text);
    }
};

TEST(GpsText, AcceptedPairGivesOneFixKeyedByTheBracketedStamp) {
    NmeaFix fix;
    fix.time = "111111.00";  // the NMEA time is not used for the key
    fix.latRef = 'S';
    fix.lonRef = 'W';
    Parsed parsed(NmeaPair(fix));
    ASSERT_EQ(parsed.track.size(), 1u);
    const GPS_NODE& node = *parsed.track.head();
    EXPECT_EQ(node.time, 960000);  // 1500000000 s falls at 02:40:00 as UTC time of day
    EXPECT_EQ(node.lat_ref, 'S');
    EXPECT_EQ(node.lon_ref, 'W');
    EXPECT_DOUBLE_EQ(node.latitude, -3733.1234);
    EXPECT_DOUBLE_EQ(node.longitude, -12700.5);
    EXPECT_DOUBLE_EQ(node.speed, 12.5);
    EXPECT_EQ(node.reserved1, 0);
    EXPECT_EQ(node.reserved2, 0);
    EXPECT_FALSE(parsed.parser.parked());
}

TEST(GpsText, CrLfAndLfGiveTheSameTrack) {
    std::string crlf, lf, cr;
    for (int i = 0; i < 5; ++i) {
        NmeaFix fix;
        fix.stampMs += i * 1000;
        fix.latitude = "3733." + std::to_string(1000 + i);
        crlf += NmeaPair(fix, "\r\n");
        lf += NmeaPair(fix, "\n");
        cr += NmeaPair(fix, "\r");
    }
    Parsed a(crlf), b(lf), c(cr);
    ASSERT_EQ(a.track.size(), 5u);
    for (const Parsed* other : {&b, &c}) {
        ASSERT_EQ(other->track.size(), a.track.size());
        for (const GPS_NODE *x = a.track.head(), *y = other->track.head(); x;
             x = x->next, y = y->next) {
            EXPECT_EQ(x->time, y->time);
            EXPECT_EQ(x->latitude, y->latitude);
        }
    }
}

TEST(GpsText, PairingGgaFirstIsIgnoredAndRmcRmcGgaPairsTheFirstRmc) {
    NmeaFix first, second;
    first.latitude = "1111.1111";
    second.latitude = "2222.2222";
    second.stampMs += 5000;
    std::string text = test::GgaLine(first) + "\n" + test::RmcLine(first) + "\n" +
                       test::RmcLine(second) + "\n" + test::GgaLine(first) + "\n";
    Parsed parsed(text);
    ASSERT_EQ(parsed.track.size(), 1u);
    // The GGA's latitude replaces the RMC's, but it is the first RMC's speed and status.
    EXPECT_DOUBLE_EQ(parsed.track.head()->latitude, 1111.1111);
    EXPECT_FALSE(parsed.parser.rmcPending());

    // A lone GGA before any RMC adds nothing.
    Parsed lone(test::GgaLine(first) + "\n");
    EXPECT_TRUE(lone.track.empty());
}

TEST(GpsText, RejectedPairs) {
    struct Case {
        const char* what;
        NmeaFix fix;
        bool accepted;
    };
    auto with = [](auto change) {
        NmeaFix fix;
        change(fix);
        return fix;
    };
    const Case cases[] = {
        {"status A", with([](NmeaFix&) {}), true},
        {"status V", with([](NmeaFix& f) { f.status = 'V'; }), false},
        {"quality 0", with([](NmeaFix& f) { f.quality = 0; }), false},
        {"quality 2", with([](NmeaFix& f) { f.quality = 2; }), true},
        {"quality 6", with([](NmeaFix& f) { f.quality = 6; }), false},
        {"hdop 3.5", with([](NmeaFix& f) { f.hdop = "3.5"; }), false},
        {"hdop 3.49", with([](NmeaFix& f) { f.hdop = "3.49"; }), true},
        {"hdop nan", with([](NmeaFix& f) { f.hdop = "nan"; }), false},
    };
    for (const Case& c : cases) {
        Parsed parsed(NmeaPair(c.fix));
        EXPECT_EQ(parsed.track.size(), c.accepted ? 1u : 0u) << c.what;
    }
    // Without the bracketed stamp the scan stops at once and the fix quality stays 0.
    std::string unstamped =
        "$GPRMC,024000.00,A,3733.1234,N,12700.5000,E,12.5,0,010170,,,A*00\n"
        "$GPGGA,024000.00,3733.1234,N,12700.5000,E,1,08,0.9,545.4,M,,M,,*00\n";
    EXPECT_TRUE(Parsed(unstamped).track.empty());
}

TEST(GpsText, StatusPMarksTheRecordingParked) {
    NmeaFix parked;
    parked.status = 'P';
    Parsed parsed(NmeaPair(NmeaFix{}) + NmeaPair(parked) + NmeaPair(NmeaFix{}));
    EXPECT_EQ(parsed.track.size(), 3u);
    EXPECT_TRUE(parsed.parser.parked());  // stays set after later 'A' pairs
    parsed.parser.Reset();
    EXPECT_FALSE(parsed.parser.parked());
}

TEST(GpsText, UnfinishedLastLineIsNotProcessed) {
    NmeaFix fix;
    std::string text = test::RmcLine(fix) + "\n" + test::GgaLine(fix);
    Parsed parsed(text);
    EXPECT_TRUE(parsed.track.empty());
    EXPECT_EQ(parsed.left, test::GgaLine(fix).size());
    EXPECT_TRUE(parsed.parser.rmcPending());
}

TEST(GpsText, LongLinesKeepOverwritingTheirLastCharacter) {
    NmeaFix fix;
    std::string rmc = test::RmcLine(fix);
    // The RMC line is cut to 127 characters, the last of which is the line's final character;
    // the speed field sits well before the cut and still reads.
    std::string longRmc = rmc + std::string(300, '9') + "X";
    Parsed parsed(longRmc + "\n" + test::GgaLine(fix) + "\n");
    ASSERT_EQ(parsed.track.size(), 1u);
    EXPECT_DOUBLE_EQ(parsed.track.head()->speed, 12.5);
}

TEST(GpsText, KeysOfARecordingThatCrossesMidnightKeepGrowing) {
    // Recording from 23:59:58: fixes at 23:59:58, 23:59:59, 00:00:00, 00:00:01 camera time.
    const std::int64_t midnight = 1500076800000;  // 2017-07-15 00:00:00 as UTC
    std::string text;
    for (int second = -2; second < 2; ++second) {
        NmeaFix fix;
        fix.stampMs = midnight + second * 1000;
        text += NmeaPair(fix);
    }
    std::int32_t startKey = GpsStartKey(235958);
    Parsed parsed(text, startKey);
    ASSERT_EQ(parsed.track.size(), 4u);
    std::vector<std::int32_t> keys;
    for (const GPS_NODE* node = parsed.track.head(); node; node = node->next)
        keys.push_back(node->time);
    EXPECT_EQ(keys, (std::vector<std::int32_t>{8639800, 8639900, 8640000, 8640100}));
    // Every play position of the recording finds its fix.
    for (int second = 0; second < 4; ++second) {
        const GPS_NODE* found = parsed.track.FindGps(GpsKeyForPosition(second * 1000, startKey));
        ASSERT_NE(found, nullptr) << second;
        EXPECT_EQ(found->time, keys[second]);
    }

    // A recording that starts just after midnight but whose first fix is stamped just before
    // it keeps that fix before the start key instead of a day later.
    NmeaFix early;
    early.stampMs = midnight - 1000;
    Parsed after(NmeaPair(early), GpsStartKey(1));
    ASSERT_EQ(after.track.size(), 1u);
    EXPECT_EQ(after.track.head()->time, -100);

    // Without a start key the first fix keeps its time of day.
    Parsed plain(text);
    EXPECT_EQ(plain.track.head()->time, 8639800);
    EXPECT_EQ(plain.track.tail()->time, 8640100);
}

TEST(GpsText, KeysFromStampsAcrossTheWholeRange) {
    EXPECT_EQ(GpsKeyFromStamp(1500000000123), 960000);
    EXPECT_EQ(GpsKeyFromStamp(1500000000999), 960000);  // truncated to the second
    EXPECT_EQ(GpsKeyFromStamp(0), 0);
    EXPECT_EQ(GpsKeyFromStamp(-1000), 8639900);  // 23:59:59 of 1969-12-31
    for (std::int64_t stamp : {INT64_MAX, INT64_MIN}) {
        std::int32_t key = GpsKeyFromStamp(stamp);
        EXPECT_GE(key, 0);
        EXPECT_LT(key, kKeysPerDay);
        EXPECT_EQ(key % 100, 0);
    }
    // A stamp too long for 64 bits saturates instead of overflowing.
    std::string text =
        "[99999999999999999999999]$GPRMC,024000.00,A,1.0,N,1.0,E,1.0\n"
        "[99999999999999999999999]$GPGGA,024000.00,1.0,N,1.0,E,1,08,0.9\n";
    GpsTrack track;
    GpsTextParser parser(track);
    parser.ParseGpsText(text);
    ASSERT_EQ(track.size(), 1u);
    EXPECT_EQ(track.head()->time, GpsKeyFromStamp(INT64_MAX));
}

}  // namespace
}  // namespace kx
