// kxcard gps and accel from the outside, with the GPX, KML and CSV read back by other tools.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "SensorFixtures.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using test::ProcessResult;
using test::RunProcess;

// A peer tool by name, as posix_spawn needs its full path.
std::string Program(const std::string& name) {
    std::string path = "/usr/bin:/bin";
    if (const char* environment = std::getenv("PATH")) path += std::string(":") + environment;
    for (std::size_t start = 0, end; start <= path.size(); start = end + 1) {
        end = std::min(path.find(':', start), path.size());
        std::filesystem::path candidate =
            std::filesystem::path(path.substr(start, end - start)) / name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    ADD_FAILURE() << name << " is not installed (scripts/packages.txt lists it)";
    return name;
}

// gpsbabel ends its CSV lines with CR LF.
std::string WithoutCr(std::string text) {
    std::erase(text, '\r');
    return text;
}

class KxcardSensor : public ::testing::Test {
  protected:
    void SetUp() override {
        video = dir / "20170714_024000_NF.mp4";
        test::WriteFileBytes(video, "no MP4 boxes: the sidecars are used");
        // Three fixes written out of time order, CR LF line ends.
        std::string text;
        const char* latitudes[] = {"3733.1234", "3733.2234", "3733.1734"};
        const std::int64_t stamps[] = {1500000000123, 1500000002000, 1500000001000};
        for (int i = 0; i < 3; ++i) {
            test::NmeaFix fix;
            fix.stampMs = stamps[i];
            fix.latitude = latitudes[i];
            fix.latRef = 'S';
            fix.speed = std::to_string(10 + i);
            text += test::NmeaPair(fix);
        }
        test::WriteFileBytes(dir / "20170714_024000_N.gps", text);
        std::vector<std::uint8_t> accel = test::Rec3gfBytes(0, 400, -400, 3);
        test::Append(accel, test::Rec3gfBytes(16, 0, 250, -251));
        accel.resize(accel.size() + 5, 0);  // a partial record at the end
        test::WriteFileBytes(dir / "20170714_024000_N.3gf",
                             std::string(accel.begin(), accel.end()));
    }

    ProcessResult Kxcard(std::vector<std::string> arguments, const std::string& zone = "UTC") {
        return RunProcess(test::KxcardPath(), arguments, {{"TZ", zone}});
    }

    std::string Save(const std::string& name, const std::string& bytes) {
        test::WriteFileBytes(dir / name, bytes);
        return (dir / name).string();
    }

    test::TempDir dir;
    std::filesystem::path video;
};

TEST_F(KxcardSensor, GpsJsonInTimeOrder) {
    ProcessResult result = Kxcard({"gps", video.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> lines = test::OutputLines(result.out);
    ASSERT_EQ(lines.size(), 3u) << result.out;
    EXPECT_EQ(lines[0],
              "{\"key\":960000,\"lat\":-37.55205667,\"lon\":127.0083333,\"speed\":10,"
              "\"latNmea\":-3733.1234,\"lonNmea\":12700.5}");
    EXPECT_NE(lines[1].find("\"key\":960100,"), std::string::npos);
    EXPECT_NE(lines[1].find("\"latNmea\":-3733.1734"), std::string::npos);
    EXPECT_NE(lines[2].find("\"key\":960200,"), std::string::npos);
}

TEST_F(KxcardSensor, GpsAtAPlayPosition) {
    struct Case {
        std::string position;
        std::string expected;
    };
    // The recording starts at 02:40:00 (key 960000); the fixes were accepted with the keys
    // 960000, 960200, 960100. Lookups use the track as accepted: past the last accepted key
    // (960100) there is no fix.
    const Case cases[] = {{"0", "\"key\":960000,"},
                          {"999", "\"key\":960000,"},
                          {"1009", "\"key\":960000,"},
                          {"1010", "{\"fix\":null}"},
                          {"2000", "{\"fix\":null}"}};
    for (const Case& c : cases) {
        ProcessResult result = Kxcard({"gps", video.string(), "--at", c.position});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        ASSERT_EQ(test::OutputLines(result.out).size(), 1u);
        EXPECT_NE(result.out.find(c.expected), std::string::npos) << c.position << result.out;
    }
}

TEST_F(KxcardSensor, GpxIsReadByXmllintAndGpsbabel) {
    ProcessResult gpx = Kxcard({"gps", video.string(), "--format", "gpx"}, "Asia/Tokyo");
    ASSERT_EQ(gpx.exitCode, 0) << gpx.err;
    std::string file = Save("track.gpx", gpx.out);
    ProcessResult lint = RunProcess(Program("xmllint"), {"--noout", file});
    EXPECT_EQ(lint.exitCode, 0) << lint.err;

    // The GPX 1.1 structure: namespace, version, one track with its points in time order.
    const char* structure = R"(
import sys, datetime, xml.etree.ElementTree as ET
ns = {'g': 'http://www.topografix.com/GPX/1/1'}
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == '{http://www.topografix.com/GPX/1/1}gpx' and root.get('version') == '1.1'
assert [c.tag.split('}')[1] for c in root] == ['metadata', 'trk']
points = root.findall('g:trk/g:trkseg/g:trkpt', ns)
for p in points:
    assert [c.tag.split('}')[1] for c in p] == ['time', 'desc']
    print(p.get('lat'), p.get('lon'), datetime.datetime.fromisoformat(p.find('g:time', ns).text).isoformat())
)";
    ProcessResult parsed = RunProcess(Program("python3"), {"-c", structure, file});
    ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
    EXPECT_EQ(parsed.out,
              "-37.5520567 127.0083333 2017-07-14T02:40:00+09:00\n"
              "-37.5528900 127.0083333 2017-07-14T02:40:01+09:00\n"
              "-37.5537233 127.0083333 2017-07-14T02:40:02+09:00\n");

    // gpsbabel reads the track and gives its times in UTC: 9 hours before Tokyo time.
    ProcessResult babel = RunProcess(
        Program("gpsbabel"), {"-t", "-i", "gpx", "-f", file, "-o", "unicsv,utc=0", "-F", "-"});
    ASSERT_EQ(babel.exitCode, 0) << babel.err;
    EXPECT_EQ(WithoutCr(babel.out),
              "No,Latitude,Longitude,Notes,Date,Time\n"
              "1,-37.552057,127.008333,\"18.5 km/h\",2017/07/13,17:40:00\n"
              "2,-37.552890,127.008333,\"22.2 km/h\",2017/07/13,17:40:01\n"
              "3,-37.553723,127.008333,\"20.4 km/h\",2017/07/13,17:40:02\n");
}

TEST_F(KxcardSensor, KmlIsReadByXmllintAndGpsbabel) {
    ProcessResult kml = Kxcard({"gps", video.string(), "--format", "kml"});
    ASSERT_EQ(kml.exitCode, 0) << kml.err;
    std::string file = Save("track.kml", kml.out);
    ProcessResult lint = RunProcess(Program("xmllint"), {"--noout", file});
    EXPECT_EQ(lint.exitCode, 0) << lint.err;
    EXPECT_NE(kml.out.find("<kml xmlns=\"http://www.opengis.net/kml/2.2\">"), std::string::npos);
    ProcessResult babel =
        RunProcess(Program("gpsbabel"), {"-i", "kml", "-f", file, "-o", "unicsv,utc=0", "-F", "-"});
    ASSERT_EQ(babel.exitCode, 0) << babel.err;
    std::vector<std::string> rows = test::OutputLines(babel.out);
    ASSERT_EQ(rows.size(), 4u) << babel.out;
    EXPECT_NE(rows[1].find("1,-37.552057,127.008333,\"2017-07-14T02:40:00+00:00\""),
              std::string::npos)
        << rows[1];
    EXPECT_NE(rows[3].find(",2017/07/14,02:40:02"), std::string::npos) << rows[3];
    // The route line holds the three points in time order.
    EXPECT_NE(kml.out.find("<coordinates>127.0083333,-37.5520567,0 127.0083333,-37.5528900,0 "
                           "127.0083333,-37.5537233,0</coordinates>"),
              std::string::npos);
}

TEST_F(KxcardSensor, CsvIsReadByPythonsCsvModule) {
    ProcessResult csv = Kxcard({"gps", video.string(), "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    std::string file = Save("track.csv", csv.out);
    const char* reader = R"(
import sys, csv
with open(sys.argv[1], newline='') as f:
    rows = list(csv.DictReader(f))
for r in rows:
    print(r['time'], float(r['latitude']), float(r['longitude']), float(r['speed_knots']), float(r['speed_kmh']))
)";
    ProcessResult parsed = RunProcess(Program("python3"), {"-c", reader, file});
    ASSERT_EQ(parsed.exitCode, 0) << parsed.err;
    EXPECT_EQ(parsed.out,
              "2017-07-14T02:40:00+00:00 -37.5520567 127.0083333 10.0 18.52\n"
              "2017-07-14T02:40:01+00:00 -37.55289 127.0083333 12.0 22.224\n"
              "2017-07-14T02:40:02+00:00 -37.5537233 127.0083333 11.0 20.372\n");
}

TEST_F(KxcardSensor, ParkingRecordingsHaveNoTrackButTheirAcceleration) {
    std::filesystem::path parking = dir / "20170714_024000_PF.mp4";
    test::WriteFileBytes(parking, "x");
    std::filesystem::copy_file(dir / "20170714_024000_N.gps", dir / "20170714_024000_P.gps");
    std::filesystem::copy_file(dir / "20170714_024000_N.3gf", dir / "20170714_024000_P.3gf");
    ProcessResult gps = Kxcard({"gps", parking.string()});
    EXPECT_EQ(gps.exitCode, 0);
    EXPECT_EQ(gps.out, "");
    ProcessResult gpx = Kxcard({"gps", parking.string(), "--format", "gpx"});
    EXPECT_EQ(RunProcess(Program("xmllint"), {"--noout", Save("empty.gpx", gpx.out)}).exitCode, 0);
    ProcessResult accel = Kxcard({"accel", parking.string()});
    EXPECT_EQ(test::OutputLines(accel.out).size(), 2u);
}

TEST_F(KxcardSensor, AccelPrintsClampedRecords) {
    // The rear file of the same recording shares the sidecars.
    std::filesystem::path rear = dir / "20170714_024000_NRS.mp4";
    test::WriteFileBytes(rear, "x");
    ProcessResult result = Kxcard({"accel", rear.string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"t\":0,\"x\":250,\"y\":-250,\"z\":3}\n"
              "{\"t\":16,\"x\":0,\"y\":250,\"z\":-250}\n");
}

TEST_F(KxcardSensor, Errors) {
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
    };
    std::string avi = Save("REC_2017_20170714_024000_NF.avi", "RIFF");
    std::string odd = Save("holiday.mp4", "x");
    const Case cases[] = {
        {{"gps"}, 2},
        {{"gps", video.string(), "--format", "svg"}, 2},
        {{"gps", video.string(), "--at", "-5"}, 2},
        {{"gps", video.string(), "--at", "12x"}, 2},
        {{"gps", video.string(), "--at", "5", "--format", "gpx"}, 2},
        {{"gps", (dir / "missing.mp4").string()}, 1},
        {{"gps", odd}, 1},
        {{"gps", avi}, 1},  // not a readable AVI
        {{"accel"}, 2},
        {{"accel", (dir / "missing.mp4").string()}, 1},
    };
    for (const Case& c : cases) {
        ProcessResult result = Kxcard(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments.back() << ": " << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("kxcard: "), std::string::npos);
    }
}

}  // namespace
}  // namespace kx
