#include <gtest/gtest.h>

#include <string>

#include "camera/CameraCard.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

namespace kx {
namespace {

using test::CameraCard;

test::ProcessResult Kx(const std::vector<std::string>& words) {
    return test::RunProcess(kx::test::KxcardPath(), words);
}

// The demo card's camera: firmware 1.002, every key present.
void MakeDemoCard(const CameraCard& card, std::string_view option = "") {
    card.WriteVersion(test::VersionText("VO KX-TMQ4A", "1.002", option));
    card.WriteSettings(test::FullSettingsText());
}

constexpr std::string_view kTab1Json =
    "\"Tab1\":{\"TimeZone\":-500,\"TimeSet\":1,\"SetTime\":\"202401311259\",\"Daylight\":0,"
    "\"GpsSync\":1,\"ImageSetting\":0,\"VideoQuality\":1,\"NightVision\":1,\"FrontBrightness\":2,"
    "\"RearBrightness\":3,\"RecordTime\":1,\"LockEvent\":1,\"OverwriteLock\":1,"
    "\"NormalRecord\":1,\"VoiceRecord\":1,\"DateDisplay\":1,\"SpeedUnit\":2,\"AutoParking\":1,"
    "\"RearRotate\":0,\"FrontRotate\":1}";
constexpr std::string_view kOtherSectionsJson =
    "\"Tab2\":{\"NORMALSENSOR1\":5,\"NORMALSENSOR2\":6,\"NORMALSENSOR3\":7,"
    "\"PARKINGSENSOR1\":4,\"PARKINGSENSOR2\":3,\"PARKINGSENSOR3\":2,\"MOTIONSENSOR\":1},"
    "\"Tab3\":{\"RECLED\":1,\"NORMALLED\":0,\"PARKINGLED\":1,\"STARTVOICE\":1,"
    "\"NORMALSTARTVOICE\":0,\"EVENTSTARTVOICE\":1,\"CHANGERECORDMODEVOICE\":0,\"ENDVOICE\":1,"
    "\"PARKINGEVENTVOICE\":1,\"SPEEDALERTVOICE\":0,\"VOLUME\":4,\"SpeedAlert\":2,"
    "\"kmLimit\":120,\"mileLimit\":75,\"ScheduledReboot\":1,\"ScheduledRebootTime\":3,"
    "\"userString\":\"Fleet 7\",\"RearLED\":1},";

TEST(KxcardCamera, IdentifyPrintsTheCardIdentity) {
    CameraCard card;
    MakeDemoCard(card);
    auto result = Kx({"camera", "identify", card.root().string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"identified\":1,\"firmware\":\"1.002\",\"model\":\"KX-TMQ4\","
              "\"language\":\"English\",\"option\":\"EU\"}\n");

    test::TempDir empty;
    result = Kx({"camera", "identify", empty.path().string()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "{\"identified\":0,\"firmware\":\"\",\"model\":\"\",\"language\":\"\","
              "\"option\":\"\"}\n");

    result = Kx({"camera", "identify", (empty / "nowhere").string()});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_FALSE(result.err.empty());
}

TEST(KxcardCamera, GetPrintsEveryKeyOfTheRecord) {
    CameraCard card;
    MakeDemoCard(card);
    auto result = Kx({"camera", "get", card.root().string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "{\"accepted\":1,\"title\":\"KX-TMQ4  V1.002\",\"version\":1002,\"voiceHidden\":0," +
                  std::string(kTab1Json) + "," + std::string(kOtherSectionsJson) +
                  "\"Wifi\":{\"ap_ssid\":\"KX-TMQ4_1234\",\"ap_pw_set\":1,"
                  "\"WifiSleepMode\":1}}\n");
    EXPECT_EQ(card.Settings(), test::FullSettingsText());

    result = Kx({"camera", "get", card.root().string(), "--show-password"});
    EXPECT_NE(result.out.find("\"Wifi\":{\"ap_ssid\":\"KX-TMQ4_1234\",\"ap_pw\":\"secret123\","),
              std::string::npos)
        << result.out;
}

TEST(KxcardCamera, GetOnOldFirmwareLeavesOutTheLockKeysAndStripsTheMark) {
    CameraCard card;
    card.WriteVersion(test::VersionText("VO KX-TMQ4A", "1.000", "sg"));
    card.WriteSettings("\xEF\xBB\xBF" + test::FullSettingsText());
    auto result = Kx({"camera", "get", card.root().string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("\"title\":\"KX-TMQ4  V1.000\",\"version\":1000,\"voiceHidden\":1"),
              std::string::npos);
    EXPECT_EQ(result.out.find("LockEvent"), std::string::npos);
    EXPECT_NE(result.out.find("\"RecordTime\":1,\"NormalRecord\":1"), std::string::npos);
    EXPECT_EQ(card.Settings(), test::FullSettingsText());
}

TEST(KxcardCamera, GetRefusesCardsTheSettingsCannotEdit) {
    CameraCard other;
    other.WriteVersion(test::VersionText("VO KX-TMQ5A", "1.002"));
    other.WriteSettings(test::FullSettingsText());
    CameraCard noSettings;
    noSettings.WriteVersion(test::VersionText("VO KX-TMQ4A", "1.002"));
    for (const CameraCard* card : {&other, &noSettings}) {
        auto result = Kx({"camera", "get", card->root().string()});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, "{\"accepted\":0}\n");
        EXPECT_FALSE(result.err.empty());
    }
}

TEST(KxcardCamera, PutWritesOnlyTheSectionsWhoseValuesChanged) {
    CameraCard card;
    MakeDemoCard(card);
    test::TempDir dir;
    // VOLUME ends where it was, so Tab3 is not written.
    test::WriteFileBytes(dir / "change.json",
                         "{\"Tab2\":{\"NORMALSENSOR1\":9},\"Tab3\":{\"VOLUME\":5,\"VOLUME\":4}}");
    auto result = Kx({"camera", "put", card.root().string(), (dir / "change.json").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "{\"written\":[\"Tab2\"]}\n");
    std::string expected =
        test::Replace(test::FullSettingsText(), "NORMALSENSOR1=5", "NORMALSENSOR1=9");
    expected = test::Replace(expected, "PARKINGSENSOR1 = 04", "PARKINGSENSOR1 = 4");
    EXPECT_EQ(card.Settings(), expected);
}

TEST(KxcardCamera, GetOutputPutBackChangesNothing) {
    CameraCard card;
    MakeDemoCard(card);
    test::TempDir dir;
    auto got = Kx({"camera", "get", card.root().string(), "--show-password"});
    ASSERT_EQ(got.exitCode, 0);
    test::WriteFileBytes(dir / "all.json", got.out);
    auto result = test::RunProcess(
        "/bin/sh", {"-c", "\"$0\" camera put \"$1\" - < \"$2\"", kx::test::KxcardPath(),
                    card.root().string(), (dir / "all.json").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "{\"written\":[]}\n");
    EXPECT_EQ(card.Settings(), test::FullSettingsText());
}

TEST(KxcardCamera, PutChangesTextsAndThePassword) {
    CameraCard card;
    MakeDemoCard(card);
    test::TempDir dir;
    // userString holds 20 bytes: the two-byte character that would cross the limit is dropped.
    test::WriteFileBytes(dir / "wifi.json",
                         "{\"Wifi\":{\"ap_ssid\":\"road\",\"ap_pw\":\"n\\u00e9w pass\"}}\n"
                         "{\"Tab3\":{\"userString\":\"ABCDEFGHIJKLMNOPQRS\\u00e9\"}}");
    auto result = Kx({"camera", "put", card.root().string(), (dir / "wifi.json").string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "{\"written\":[\"Tab3\",\"Wifi\"]}\n");
    EXPECT_NE(result.err.find("userString"), std::string::npos);  // a warning about the cut

    auto got = Kx({"camera", "get", card.root().string(), "--show-password"});
    EXPECT_NE(got.out.find("\"userString\":\"ABCDEFGHIJKLMNOPQRS\""), std::string::npos);
    EXPECT_NE(got.out.find("\"ap_ssid\":\"road\",\"ap_pw\":\"n\xC3\xA9w pass\""), std::string::npos)
        << got.out;

    auto encoded = Kx({"password", "encode", "n\xC3\xA9w pass"});
    ASSERT_EQ(encoded.exitCode, 0);
    const std::string protectedForm = encoded.out.substr(14, 64);
    EXPECT_NE(card.Settings().find("\r\nap_pw=" + protectedForm + "\r\n"), std::string::npos);

    // JSON escapes of characters beyond the basic plane.
    test::WriteFileBytes(dir / "ssid.json", "{\"Wifi\":{\"ap_ssid\":\"cam\\ud83d\\ude00\"}}");
    result = Kx({"camera", "put", card.root().string(), (dir / "ssid.json").string()});
    EXPECT_EQ(result.out, "{\"written\":[\"Wifi\"]}\n");
    EXPECT_NE(card.Settings().find("\r\nap_ssid=cam\xF0\x9F\x98\x80\r\n"), std::string::npos);

    // An empty password empties the stored value.
    test::WriteFileBytes(dir / "clear.json", "{\"Wifi\":{\"ap_pw\":\"\"}}");
    result = Kx({"camera", "put", card.root().string(), (dir / "clear.json").string()});
    EXPECT_EQ(result.out, "{\"written\":[\"Wifi\"]}\n");
    EXPECT_NE(card.Settings().find("\r\nap_pw=\r\n"), std::string::npos);
}

TEST(KxcardCamera, PutRefusesBadInputAndLeavesTheCardAlone) {
    const std::string_view inputs[] = {
        "{\"Tab3\":{\"VOLUME\":300}}",
        "{\"Tab3\":{\"VOLUME\":-1}}",
        "{\"Tab3\":{\"kmLimit\":65536}}",
        "{\"Tab1\":{\"TimeZone\":-32769}}",
        "{\"Tab3\":{\"VOLUME\":1.5}}",
        "{\"Tab3\":{\"VOLUME\":\"3\"}}",
        "{\"Tab3\":{\"userString\":7}}",
        "{\"Tab3\":{\"userString\":\"two\\nlines\"}}",
        "{\"Tab3\":{\"Volume\":3}}",
        "{\"Tab9\":{\"VOLUME\":3}}",
        "{\"Tab3\":[1]}",
        "[{\"Tab3\":{\"VOLUME\":3}}]",
        "{\"Tab2\":{\"NORMALSENSOR1\":9},\"Tab3\":{\"VOLUME\":3",
        "",
        "{\"Tab2\":{\"NORMALSENSOR1\":9}} {\"Tab3\":{\"NOPE\":1}}",
        "{\"Wifi\":{\"ap_ssid\":\"\\ud83d\"}}",
        "{\"Wifi\":{\"ap_ssid\":\"a\\u0000b\"}}",
        "{\"Tab3\":{\"VOLUME\":3}} trailing",
        "{\"Tab3\":{\"VOLUME\":012}}",
    };
    CameraCard card;
    MakeDemoCard(card);
    test::TempDir dir;
    for (std::string_view input : inputs) {
        test::WriteFileBytes(dir / "bad.json", input);
        auto result = Kx({"camera", "put", card.root().string(), (dir / "bad.json").string()});
        EXPECT_NE(result.exitCode, 0) << input;
        EXPECT_FALSE(result.err.empty()) << input;
        EXPECT_EQ(result.out, "") << input;
        EXPECT_EQ(card.Settings(), test::FullSettingsText()) << input;
    }

    // Deep nesting is refused, not recursed into without end.
    test::WriteFileBytes(dir / "deep.json", std::string(100000, '['));
    auto deep = Kx({"camera", "put", card.root().string(), (dir / "deep.json").string()});
    EXPECT_EQ(deep.exitCode, 1);
    EXPECT_NE(deep.err.find("nested too deeply"), std::string::npos);

    // The lock keys do not exist before firmware 1.001.
    CameraCard old;
    old.WriteVersion(test::VersionText("VO KX-TMQ4A", "1.000"));
    old.WriteSettings("\xEF\xBB\xBF" + test::FullSettingsText());
    test::WriteFileBytes(dir / "lock.json", "{\"Tab1\":{\"LockEvent\":0}}");
    auto result = Kx({"camera", "put", old.root().string(), (dir / "lock.json").string()});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_NE(result.err.find("LockEvent"), std::string::npos);
    EXPECT_EQ(old.Settings(), "\xEF\xBB\xBF" + test::FullSettingsText());

    // A card of another model is not written.
    CameraCard other;
    other.WriteVersion(test::VersionText("VO KX-TMQ5A", "1.002"));
    other.WriteSettings(test::FullSettingsText());
    test::WriteFileBytes(dir / "good.json", "{\"Tab3\":{\"VOLUME\":3}}");
    result = Kx({"camera", "put", other.root().string(), (dir / "good.json").string()});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(other.Settings(), test::FullSettingsText());

    result = Kx({"camera", "put", card.root().string(), (dir / "missing.json").string()});
    EXPECT_NE(result.exitCode, 0);
}

TEST(KxcardPassword, EncodesAndDecodesWithTheBuildKey) {
    auto encoded = Kx({"password", "encode", "--dash-first"});
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
    ASSERT_EQ(encoded.out.size(), std::string("{\"protected\":\"\"}\n").size() + 64);
    std::string text = encoded.out.substr(14, 64);
    EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos);

    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    auto decoded = Kx({"password", "decode", lower});
    EXPECT_EQ(decoded.exitCode, 0);
    EXPECT_EQ(decoded.out, "{\"password\":\"--dash-first\"}\n");

    auto cut = Kx({"password", "encode", std::string(33, 'p')});
    EXPECT_EQ(cut.exitCode, 0);
    EXPECT_NE(cut.err.find("cut"), std::string::npos);
    auto cutBack = Kx({"password", "decode", cut.out.substr(14, 64)});
    EXPECT_EQ(cutBack.out, "{\"password\":\"" + std::string(32, 'p') + "\"}\n");

    for (std::vector<std::string> words :
         {std::vector<std::string>{"password", "decode", text.substr(0, 63)},
          {"password", "decode", text.substr(0, 63) + "x"},
          {"password", "frobnicate", "x"},
          {"password", "encode"},
          {"camera", "get"},
          {"camera", "identify", "/", "--show-password"},
          {"camera", "frob", "/"}}) {
        auto result = Kx(words);
        EXPECT_NE(result.exitCode, 0) << words.back();
        EXPECT_FALSE(result.err.empty());
    }
}

// The same commands work on the project's demo card.
TEST(KxcardCamera, WorksOnAGeneratedDemoCard) {
    test::TempDir dir;
    auto made = Kx({"mkdemo", dir.path().string(), "--seconds", "1"});
    ASSERT_EQ(made.exitCode, 0) << made.err;

    auto identified = Kx({"camera", "identify", dir.path().string()});
    EXPECT_EQ(identified.exitCode, 0);
    EXPECT_NE(identified.out.find("\"identified\":1"), std::string::npos) << identified.out;

    auto got = Kx({"camera", "get", dir.path().string(), "--show-password"});
    ASSERT_EQ(got.exitCode, 0) << got.err;
    EXPECT_NE(got.out.find("\"accepted\":1"), std::string::npos);
    const std::string before = test::ReadFileBytes(dir / "KX-TMQ4" / "Config" / "config.ini");
    test::WriteFileBytes(dir / "all.json", got.out);
    auto put = Kx({"camera", "put", dir.path().string(), (dir / "all.json").string()});
    EXPECT_EQ(put.exitCode, 0) << put.err;
    EXPECT_EQ(put.out, "{\"written\":[]}\n");
    EXPECT_EQ(test::ReadFileBytes(dir / "KX-TMQ4" / "Config" / "config.ini"), before);

    test::WriteFileBytes(dir / "tab2.json", "{\"Tab2\":{\"MOTIONSENSOR\":4}}");
    put = Kx({"camera", "put", dir.path().string(), (dir / "tab2.json").string()});
    EXPECT_EQ(put.exitCode, 0) << put.err;
    got = Kx({"camera", "get", dir.path().string()});
    EXPECT_NE(got.out.find("\"MOTIONSENSOR\":4"), std::string::npos);
}

}  // namespace
}  // namespace kx
