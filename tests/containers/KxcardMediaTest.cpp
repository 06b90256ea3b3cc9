#include <gtest/gtest.h>

#include <regex>

#include "MediaFixture.h"
#include "containers/ByteOrder.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

long JsonNumber(const std::string& json, const std::string& key) {
    std::smatch match;
    if (!std::regex_search(json, match, std::regex("\"" + key + "\":(-?[0-9]+)"))) return -999;
    return std::stol(match[1]);
}

class DemoCard : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new test::TempDir;
        auto result = test::RunProcess(kx::test::KxcardPath(),
                                       {"mkdemo", dir_->path().string(), "--seconds", "3", "--size",
                                        "96x64", "--rear-size", "48x32"});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        output_ = result.out;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static std::filesystem::path Record() { return dir_->path() / "KX-TMQ4" / "Record"; }
    static test::TempDir* dir_;
    static std::string output_;
};
test::TempDir* DemoCard::dir_ = nullptr;
std::string DemoCard::output_;

TEST_F(DemoCard, HoldsEveryKindOverTwoDaysWithSidecarsAndConfig) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(Record()))
        names.insert(entry.path().filename().string());
    std::set<char> kinds;
    std::set<std::string> days;
    int front = 0, rear = 0;
    std::regex pattern("(\\d{8})_(\\d{6})_([NEPM])([FR])\\.mp4");
    for (const std::string& name : names) {
        std::smatch match;
        if (!std::regex_match(name, match, pattern)) continue;
        days.insert(match[1]);
        kinds.insert(match[3].str()[0]);
        (match[4] == "F" ? front : rear)++;
        // Every rear file has its front partner.
        if (match[4] == "R") {
            EXPECT_TRUE(
                names.count(match[1].str() + "_" + match[2].str() + "_" + match[3].str() + "F.mp4"))
                << name;
        }
    }
    EXPECT_EQ(kinds, (std::set<char>{'N', 'E', 'P', 'M'}));
    EXPECT_EQ(days.size(), 2u);
    EXPECT_GE(front, 8);
    EXPECT_GE(rear, 8);
    EXPECT_EQ(test::OutputLines(output_).size(), names.size() + 2);  // one line per file written

    // Sidecars: NMEA pairs once a second, 10-byte acceleration records with a shock in events.
    std::string gps = test::ReadFileBytes(Record() / "20261209_081900_E.gps");
    auto lines = test::OutputLines(gps);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(std::regex_search(lines[0], std::regex("^\\[1796804340000\\]\\$GPRMC,081900")));
    EXPECT_TRUE(std::regex_search(lines[1], std::regex("^\\[1796804340000\\]\\$GPGGA,")));
    EXPECT_TRUE(std::regex_search(lines[2], std::regex("^\\[1796804341000\\]\\$GPRMC,")));
    std::string acc = test::ReadFileBytes(Record() / "20261209_081900_E.3gf");
    ASSERT_EQ(acc.size(), 30u * 10);
    int largest = 0;
    for (std::size_t at = 0; at < acc.size(); at += 10) {
        auto x = std::int16_t(GetU16(reinterpret_cast<const std::uint8_t*>(acc.data() + at + 4)));
        largest = std::max(largest, std::abs(int(x)));
    }
    EXPECT_EQ(largest, 250);
    // Parking recordings carry no GPS.
    EXPECT_FALSE(std::filesystem::exists(Record() / "20261209_123000_P.gps"));
    EXPECT_TRUE(std::filesystem::exists(Record() / "20261209_123000_P.3gf"));

    std::string config =
        "\n" + test::ReadFileBytes(dir_->path() / "KX-TMQ4" / "Config" / "config.ini");
    for (const char* key : {"[Tab1]",
                            "TimeZone=",
                            "TimeSet=",
                            "SetTime=",
                            "Daylight=",
                            "GpsSync=",
                            "ImageSetting=",
                            "VideoQuality=",
                            "NightVision=",
                            "FrontBrightness=",
                            "RearBrightness=",
                            "RecordTime=",
                            "LockEvent=",
                            "OverwriteLock=",
                            "NormalRecord=",
                            "VoiceRecord=",
                            "DateDisplay=",
                            "SpeedUnit=",
                            "AutoParking=",
                            "RearRotate=",
                            "FrontRotate=",
                            "[Tab2]",
                            "NORMALSENSOR1=",
                            "NORMALSENSOR2=",
                            "NORMALSENSOR3=",
                            "PARKINGSENSOR1=",
                            "PARKINGSENSOR2=",
                            "PARKINGSENSOR3=",
                            "MOTIONSENSOR=",
                            "[Tab3]",
                            "RECLED=",
                            "NORMALLED=",
                            "PARKINGLED=",
                            "STARTVOICE=",
                            "NORMALSTARTVOICE=",
                            "EVENTSTARTVOICE=",
                            "CHANGERECORDMODEVOICE=",
                            "ENDVOICE=",
                            "PARKINGEVENTVOICE=",
                            "SPEEDALERTVOICE=",
                            "VOLUME=",
                            "SpeedAlert=",
                            "kmLimit=",
                            "mileLimit=",
                            "ScheduledReboot=",
                            "ScheduledRebootTime=",
                            "userString=",
                            "RearLED=",
                            "[Wifi]",
                            "ap_ssid=",
                            "ap_pw=",
                            "WifiSleepMode="})
        EXPECT_NE(config.find(std::string("\n") + key), std::string::npos) << key;
    std::string version = test::ReadFileBytes(dir_->path() / "KX-TMQ4" / "Config" / "version.bin");
    EXPECT_NE(version.find("model=VO KX-TMQ4A"), std::string::npos);
}

TEST_F(DemoCard, HoldsAviRecordingsOfTheOlderLayout) {
    struct Expected {
        const char* name;
        bool playableAsIs;  // the cut-short one needs its index rebuilt first
    } expected[] = {{"rec1_0001_20190412_090000_F_N.avi", true},
                    {"evt1_0002_20190412_090500_F_E.avi", true},
                    {"rec0_0003_20190412_091000_R_N.avi", true},
                    {"rec1_0004_20190412_091500_F_N.avi", false}};
    for (const Expected& avi : expected) {
        auto path = Record() / avi.name;
        ASSERT_TRUE(std::filesystem::exists(path)) << avi.name;
        auto info = test::RunProcess(kx::test::KxcardPath(), {"info", path.string()});
        EXPECT_NE(info.out.find("\"playable\":true"), std::string::npos) << avi.name << info.out;
        EXPECT_NE(info.out.find(avi.playableAsIs ? "\"repaired\":false" : "\"repaired\":true"),
                  std::string::npos)
            << avi.name << info.out;
        auto samples = test::RunProcess(kx::test::KxcardPath(), {"samples", path.string()});
        EXPECT_EQ(samples.exitCode, 0) << avi.name << samples.err;
    }
}

TEST_F(DemoCard, EveryRecordingPlaysAndDecodesCleanly) {
    for (const auto& entry : std::filesystem::directory_iterator(Record())) {
        if (entry.path().extension() != ".mp4") continue;
        std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        std::string before = test::ReadFileBytes(entry.path());
        auto info = test::RunProcess(kx::test::KxcardPath(), {"info", entry.path().string()});
        ASSERT_EQ(info.exitCode, 0);
        EXPECT_EQ(JsonNumber(info.out, "playable"), 1);
        EXPECT_EQ(JsonNumber(info.out, "duration"), 3);
        EXPECT_NE(info.out.find("\"model\":\"KX-TMQ4\""), std::string::npos);
        bool later = name == "20261210_073400_NF.mp4";
        bool cut = name == "20261210_073600_NF.mp4";
        bool embedded = name.find("081700") != std::string::npos ||
                        name.find("174500") != std::string::npos ||
                        name.find("073200") != std::string::npos;
        EXPECT_EQ(JsonNumber(info.out, "newFormat"), later ? 1 : 0);
        EXPECT_EQ(JsonNumber(info.out, "kvnmVersion"), later ? 4 : cut ? 2 : 3);
        EXPECT_EQ(JsonNumber(info.out, "accLength") > 0,
                  embedded || later || name.find("201500") != std::string::npos);
        if (later) {
            EXPECT_EQ(JsonNumber(info.out, "gpsLength"), 3 * 48 + 8);
        } else if (embedded) {
            EXPECT_GT(JsonNumber(info.out, "gpsLength"), 0);
        }
        // Only the recording cut short is rewritten by opening it.
        EXPECT_EQ(test::ReadFileBytes(entry.path()) == before, !cut);
        std::smatch match;
        ASSERT_TRUE(std::regex_search(info.out, match,
                                      std::regex("\"handler\":\"vide\".*?\"samples\":([0-9]+)")));
        int videoSamples = std::stoi(match[1]);
        EXPECT_EQ(videoSamples, 90);
        if (!test::PeersInstalled()) continue;
        EXPECT_EQ(test::PeerDecodeErrors(entry.path()), "");
        EXPECT_EQ(test::PeerFrameCount(entry.path(), "v:0"), videoSamples);
    }
}

TEST_F(DemoCard, SamplesAndExport) {
    auto source = Record() / "20261209_081500_NF.mp4";
    auto samples =
        test::RunProcess(kx::test::KxcardPath(), {"samples", source.string(), "--track", "1"});
    ASSERT_EQ(samples.exitCode, 0);
    auto lines = test::OutputLines(samples.out);
    ASSERT_EQ(lines.size(), 90u);
    EXPECT_EQ(JsonNumber(lines[0], "n"), 1);
    EXPECT_EQ(JsonNumber(lines[0], "time"), 0);
    EXPECT_EQ(JsonNumber(lines[30], "time"), 1000);
    EXPECT_GT(JsonNumber(lines[1], "offset"), JsonNumber(lines[0], "offset"));

    test::TempDir out;
    struct Case {
        std::vector<std::string> range;
        const char* method;
    } cases[] = {
        {{"--from", "0", "--to", "3"}, "copy"},
        {{"--from", "0", "--to", "3", "--no-sound"}, "writer"},
        {{"--from", "1", "--to", "1"}, "writer"},
    };
    for (const Case& c : cases) {
        auto target = out / "cut.mp4";
        std::vector<std::string> words = {"export", source.string(), target.string()};
        words.insert(words.end(), c.range.begin(), c.range.end());
        auto result = test::RunProcess(kx::test::KxcardPath(), words);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, std::string("{\"ok\":true,\"method\":\"") + c.method + "\"}\n");
        if (std::string(c.method) == "copy") {
            EXPECT_EQ(test::ReadFileBytes(target), test::ReadFileBytes(source));
        }
        auto info = test::RunProcess(kx::test::KxcardPath(), {"info", target.string()});
        EXPECT_EQ(JsonNumber(info.out, "playable"), 1);
        if (test::PeersInstalled()) {
            EXPECT_EQ(test::PeerDecodeErrors(target), "");
        }
    }

    for (auto words : std::vector<std::vector<std::string>>{
             {"export", source.string(), (out / "x.mp4").string(), "--from", "2", "--to", "1"},
             {"export", source.string(), (out / "x.mp4").string(), "--from", "a", "--to", "1"},
             {"export", (out / "missing.mp4").string(), (out / "x.mp4").string(), "--from", "0",
              "--to", "1"},
             {"samples", source.string(), "--track", "9"},
             {"info", (out / "missing.mp4").string()},
             {"mkdemo", (out / "card").string(), "--size", "10x10"}}) {
        auto result = test::RunProcess(kx::test::KxcardPath(), words);
        EXPECT_NE(result.exitCode, 0) << words[0];
        EXPECT_NE(result.err, "") << words[0];
        EXPECT_EQ(result.out, "") << words[0];
    }
}

TEST(DemoCardHevc, SingleRecordingDecodes) {
    test::TempDir dir;
    auto result =
        test::RunProcess(kx::test::KxcardPath(), {"mkdemo", dir.path().string(), "--seconds", "2",
                                                  "--size", "128x72", "--hevc", "--single"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    auto path = dir / "KX-TMQ4" / "Record" / "20261209_081500_NF.mp4";
    auto info = test::RunProcess(kx::test::KxcardPath(), {"info", path.string()});
    EXPECT_NE(info.out.find("\"format\":\"hvc1\""), std::string::npos);
    EXPECT_EQ(JsonNumber(info.out, "playable"), 1);
    if (test::PeersInstalled()) {
        EXPECT_EQ(test::PeerDecodeErrors(path), "");
        EXPECT_EQ(test::PeerFrameCount(path, "v:0"), 60);
    }
}

}  // namespace
}  // namespace kx
