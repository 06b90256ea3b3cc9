#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "camera/CameraCard.h"
#include "camera/CameraConfigFile.h"
#include "camera/CameraPaths.h"
#include "camera/CredentialProtection.h"

namespace kx {
namespace {

using test::CameraCard;

constexpr int kOldFirmware = 1000;
constexpr int kLockFirmware = 1001;

std::string Protect(std::string_view password) {
    PlainPassword plain;
    plain.Assign(password);
    std::string text;
    EXPECT_EQ(EncodePassword(plain, text), 0);
    return text;
}

CameraConfig LoadOrFail(const CameraCard& card, int firmware = kLockFirmware) {
    std::optional<CameraConfig> config = LoadCameraConfig(card.settingsFile(), firmware);
    EXPECT_TRUE(config.has_value());
    return config.value_or(CameraConfig{});
}

TEST(CameraPaths, AreBuiltFromTheCardRoot) {
    EXPECT_EQ(VersionFilePath("/media/card"), "/media/card/KX-TMQ4/Config/version.bin");
    EXPECT_EQ(SettingsFilePath("/media/card"), "/media/card/KX-TMQ4/Config/config.ini");
    EXPECT_EQ(OtherModelFilePath("/media/card"), "/media/card/setup.cfg");
}

TEST(CameraConfigFile, LoadReadsEveryKeyIntoItsField) {
    CameraCard card;
    card.WriteSettings(test::FullSettingsText());
    const CameraConfig c = LoadOrFail(card);
    EXPECT_EQ(c.TimeZone, -500);
    EXPECT_EQ(c.TimeSet, 1);
    EXPECT_EQ(c.SetTime.view(), "202401311259");
    EXPECT_EQ(c.GpsSync, 1);
    EXPECT_EQ(c.VideoQuality, 1);
    EXPECT_EQ(c.FrontBrightness, 2);
    EXPECT_EQ(c.RearBrightness, 3);
    EXPECT_EQ(c.RecordTime, 1);
    EXPECT_EQ(c.LockEvent, 1);
    EXPECT_EQ(c.OverwriteLock, 1);
    EXPECT_EQ(c.SpeedUnit, 2);
    EXPECT_EQ(c.FrontRotate, 1);
    EXPECT_EQ(c.NORMALSENSOR3, 7);
    EXPECT_EQ(c.PARKINGSENSOR1, 4);
    EXPECT_EQ(c.MOTIONSENSOR, 1);
    EXPECT_EQ(c.CHANGERECORDMODEVOICE, 0);
    EXPECT_EQ(c.VOLUME, 4);
    EXPECT_EQ(c.kmLimit, 120);
    EXPECT_EQ(c.mileLimit, 75);
    EXPECT_EQ(c.ScheduledRebootTime, 3);
    EXPECT_EQ(c.userString.view(), "Fleet 7");
    EXPECT_EQ(c.RearLED, 1);
    EXPECT_EQ(c.ap_ssid.view(), "KX-TMQ4_1234");
    EXPECT_EQ(c.ap_pw.view(), test::kFixturePassword);
    EXPECT_EQ(c.WifiSleepMode, 1);
}

TEST(CameraConfigFile, IntegersKeepTheirFieldWidthAndLeadingDigits) {
    struct Case {
        std::string_view line;
        int expected;
    };
    const Case volume[] = {
        {"VOLUME=300", 44}, {"VOLUME=-1", 255}, {"VOLUME=12abc", 12}, {"VOLUME=abc", 0},
        {"VOLUME=", 0},     {"VOLUME=+7", 7},   {"VOLUME =  5  ", 5}, {"volume=3\nVOLUME=1", 3},
        {"OTHER=9", 0}};
    for (const Case& c : volume) {
        CameraCard card;
        card.WriteSettings("[Tab3]\n" + std::string(c.line) + "\n");
        EXPECT_EQ(LoadOrFail(card).VOLUME, c.expected) << c.line;
    }
    const Case wide[] = {{"kmLimit=70000", 4464},
                         {"TimeZone=-930", -930},
                         {"TimeZone=40000", -25536},
                         {"TimeZone=1300", 1300}};
    for (const Case& c : wide) {
        CameraCard card;
        card.WriteSettings("[Tab1]\n" + std::string(c.line) + "\n[Tab3]\n" + std::string(c.line) +
                           "\n");
        CameraConfig config = LoadOrFail(card);
        int value = c.line.starts_with("km") ? config.kmLimit : config.TimeZone;
        EXPECT_EQ(value, c.expected) << c.line;
    }
}

TEST(CameraConfigFile, TextsLongerThanTheirFieldAreCutBetweenCharacters) {
    CameraCard card;
    const std::string nineteen = "ABCDEFGHIJKLMNOPQRS";
    card.WriteSettings("[Tab1]\nSetTime=2024013112591\n[Tab3]\nuserString=" + nineteen +
                       "\xC3\xA9\n[Wifi]\nap_ssid=" + std::string(30, 's') + "\xE6\x97\xA5\n");
    const CameraConfig config = LoadOrFail(card);
    EXPECT_EQ(config.SetTime.view(), "202401311259");
    EXPECT_EQ(config.userString.view(), nineteen);
    EXPECT_EQ(config.ap_ssid.view(), std::string(30, 's'));
}

TEST(CameraConfigFile, LockKeysNeedFirmwareOneThousandAndOne) {
    CameraCard card;
    card.WriteSettings(test::FullSettingsText());
    EXPECT_EQ(FirmwareVersionNumber("1.000"), kOldFirmware);
    EXPECT_EQ(FirmwareVersionNumber("1.001"), kLockFirmware);

    CameraConfig old = LoadOrFail(card, kOldFirmware);
    EXPECT_EQ(old.LockEvent, 0);
    EXPECT_EQ(old.OverwriteLock, 0);
    EXPECT_EQ(LoadOrFail(card, kLockFirmware).LockEvent, 1);

    // Written only from 1001 on: a file without the keys gets them appended only then.
    const std::string withoutLock =
        test::Replace(test::FullSettingsText(), "LockEvent=1\r\nOverwriteLock=1\r\n", "");
    card.WriteSettings(withoutLock);
    old.LockEvent = 1;
    ASSERT_TRUE(SaveCameraConfig(card.settingsFile(), old, kSectionTab1, kOldFirmware));
    EXPECT_EQ(card.Settings(), withoutLock);

    CameraConfig current = LoadOrFail(card, kLockFirmware);
    current.LockEvent = 1;
    ASSERT_TRUE(SaveCameraConfig(card.settingsFile(), current, kSectionTab1, kLockFirmware));
    EXPECT_EQ(card.Settings(),
              test::Replace(withoutLock, "FutureKey=abc\r\n",
                            "FutureKey=abc\r\nLockEvent=1\r\nOverwriteLock=0\r\n"));
}

TEST(CameraConfigFile, SavingOneSectionChangesOnlyItsLines) {
    CameraCard card;
    const std::string original = test::FullSettingsText();
    card.WriteSettings(original);
    CameraConfig config = LoadOrFail(card);
    config.NORMALSENSOR1 = 9;
    config.VOLUME = 1;  // changed in the record, but its section is not saved
    ASSERT_TRUE(SaveCameraConfig(card.settingsFile(), config, kSectionTab2, kLockFirmware));
    // Every Tab2 key is written from the record: "PARKINGSENSOR1 = 04" keeps its name and
    // blanks but takes the decimal text of its value.
    std::string expected = test::Replace(original, "NORMALSENSOR1=5", "NORMALSENSOR1=9");
    expected = test::Replace(expected, "PARKINGSENSOR1 = 04", "PARKINGSENSOR1 = 4");
    EXPECT_EQ(card.Settings(), expected);

    // No temporary file is left beside it.
    std::size_t files = 0;
    for ([[maybe_unused]] auto& entry :
         std::filesystem::directory_iterator(card.settingsFile().parent_path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(CameraConfigFile, SavingWithNoSectionFlaggedLeavesTheFileAlone) {
    CameraCard card;
    card.WriteSettings(test::FullSettingsText());
    struct stat before {};
    ASSERT_EQ(::stat(card.settingsFile().c_str(), &before), 0);
    CameraConfig config = LoadOrFail(card);
    config.VOLUME = 0;
    ASSERT_TRUE(SaveCameraConfig(card.settingsFile(), config, 0, kLockFirmware));
    struct stat after {};
    ASSERT_EQ(::stat(card.settingsFile().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(card.Settings(), test::FullSettingsText());
}

TEST(CameraConfigFile, MissingKeysAndSectionsAreAppendedInSaveOrder) {
    CameraCard card;
    card.WriteSettings("[Tab2]\r\nNORMALSENSOR2=6\r\nunknown=1\r\n\r\n[Tab3]\r\nVOLUME=2\r\n");
    CameraConfig config = LoadOrFail(card);
    config.NORMALSENSOR1 = 3;
    config.MOTIONSENSOR = 5;
    config.WifiSleepMode = 1;
    config.ap_ssid.Assign("cam");
    ASSERT_TRUE(
        SaveCameraConfig(card.settingsFile(), config, kSectionTab2 | kSectionWifi, kLockFirmware));
    EXPECT_EQ(card.Settings(),
              "[Tab2]\r\nNORMALSENSOR2=6\r\nunknown=1\r\nNORMALSENSOR1=3\r\n"
              "NORMALSENSOR3=0\r\nPARKINGSENSOR1=0\r\nPARKINGSENSOR2=0\r\nPARKINGSENSOR3=0\r\n"
              "MOTIONSENSOR=5\r\n\r\n[Tab3]\r\nVOLUME=2\r\n"
              "[Wifi]\r\nWifiSleepMode=1\r\nap_ssid=cam\r\nap_pw=\r\n");
}

TEST(CameraConfigFile, SaveWritesTheFullTab1InItsOrder) {
    CameraCard card;
    card.WriteSettings("[Tab1]\n");
    CameraConfig config{};
    config.TimeZone = -930;
    config.SetTime.Assign("202412312359");
    config.ImageSetting = 255;
    ASSERT_TRUE(SaveCameraConfig(card.settingsFile(), config, kSectionTab1, kLockFirmware));
    EXPECT_EQ(card.Settings(),
              "[Tab1]\nTimeZone=-930\nTimeSet=0\nSetTime=202412312359\nDaylight=0\nGpsSync=0\n"
              "ImageSetting=255\nVideoQuality=0\nNightVision=0\nFrontBrightness=0\n"
              "RearBrightness=0\nRecordTime=0\nLockEvent=0\nOverwriteLock=0\nNormalRecord=0\n"
              "VoiceRecord=0\nDateDisplay=0\nSpeedUnit=0\nAutoParking=0\nRearRotate=0\n"
              "FrontRotate=0\n");
}

TEST(CameraConfigFile, PasswordValuesFollowTheProtectedFormRules) {
    const std::string stored = Protect("Wi-Fi pass");
    std::string lower = stored;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    struct Case {
        std::string value;
        std::string_view password;  // as loaded
        std::string savedValue;     // after a save of the Wi-Fi section
    };
    const Case cases[] = {
        {"", "", ""},
        {lower, "Wi-Fi pass", stored},             // written back in upper case
        {stored + "EXTRA", "Wi-Fi pass", stored},  // only 64 characters are read
        {stored.substr(0, 63), "", ""},            // too short: no password
        {stored.substr(0, 20) + "g" + stored.substr(21), "", ""},
    };
    for (const Case& c : cases) {
        CameraCard card;
        const std::string text = "[Tab1]\r\nVOLUME=1\r\n[Wifi]\r\nap_pw=" + c.value + "\r\n";
        card.WriteSettings(text);
        CameraConfig config = LoadOrFail(card);
        EXPECT_EQ(config.ap_pw.view(), c.password) << c.value;

        // A Tab1 save leaves even an undecodable value as it was.
        ASSERT_TRUE(SaveCameraConfig(card.settingsFile(), config, kSectionTab1, kLockFirmware));
        EXPECT_NE(card.Settings().find("ap_pw=" + c.value + "\r\n"), std::string::npos);

        ASSERT_TRUE(SaveCameraConfig(card.settingsFile(), config, kSectionWifi, kLockFirmware));
        EXPECT_NE(card.Settings().find("ap_pw=" + c.savedValue + "\r\n"), std::string::npos)
            << c.value;
    }
}

TEST(CameraConfigFile, SaveThatCannotCompleteLeavesTheFileUnchanged) {
    CameraCard card;
    const std::string original = test::FullSettingsText();
    card.WriteSettings(original);
    CameraConfig config = LoadOrFail(card);
    config.VOLUME = 5;
    // A line break would split the line: refused, and the keys before it are not written.
    config.userString.Assign("two\nlines");
    EXPECT_FALSE(SaveCameraConfig(card.settingsFile(), config, kSectionTab3, kLockFirmware));
    EXPECT_EQ(card.Settings(), original);

    // A settings "file" that cannot be read is not replaced.
    CameraCard folderCard;
    std::filesystem::create_directory(folderCard.settingsFile());
    EXPECT_FALSE(
        SaveCameraConfig(folderCard.settingsFile(), CameraConfig{}, kSectionTab2, kLockFirmware));
    EXPECT_TRUE(std::filesystem::is_directory(folderCard.settingsFile()));

    // A card whose folder is gone: the write fails and says so.
    EXPECT_FALSE(SaveCameraConfig(card.root() / "missing" / "config.ini", config, kSectionTab2,
                                  kLockFirmware));
}

TEST(ByteOrderMark, IsStrippedBeforeReading) {
    CameraCard card;
    const std::string original = test::FullSettingsText();
    card.WriteSettings("\xEF\xBB\xBF" + original);
    ASSERT_TRUE(StripByteOrderMark(card.settingsFile()));
    EXPECT_EQ(card.Settings(), original);
    EXPECT_EQ(LoadOrFail(card).TimeZone, -500);  // the first section reads as one again

    card.WriteSettings("\xEF\xBB\xBFx");
    ASSERT_TRUE(StripByteOrderMark(card.settingsFile()));
    EXPECT_EQ(card.Settings(), "x");
}

TEST(ByteOrderMark, AFileWithoutItIsNotTouched) {
    CameraCard card;
    const std::string original = test::FullSettingsText();
    card.WriteSettings(original);
    struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, card.settingsFile().c_str(), times, 0), 0);
    struct stat before {};
    ASSERT_EQ(::stat(card.settingsFile().c_str(), &before), 0);

    ASSERT_TRUE(StripByteOrderMark(card.settingsFile()));
    ASSERT_TRUE(LoadCameraConfig(card.settingsFile(), kLockFirmware).has_value());

    struct stat after {};
    ASSERT_EQ(::stat(card.settingsFile().c_str(), &after), 0);
    EXPECT_EQ(card.Settings(), original);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
}

TEST(ByteOrderMark, ShortMissingOrUnreadableFilesAreNotLoadable) {
    for (std::string_view text : {"", "[T", "\xEF\xBB\xBF"}) {
        CameraCard card;
        card.WriteSettings(text);
        EXPECT_FALSE(StripByteOrderMark(card.settingsFile())) << text.size();
        EXPECT_EQ(card.Settings(), text);
    }
    CameraCard missing;
    EXPECT_FALSE(StripByteOrderMark(missing.settingsFile()));
    EXPECT_FALSE(LoadCameraConfig(missing.settingsFile(), kLockFirmware).has_value());
    EXPECT_FALSE(std::filesystem::exists(missing.settingsFile()));

    CameraCard folder;
    std::filesystem::create_directory(folder.settingsFile());
    EXPECT_FALSE(StripByteOrderMark(folder.settingsFile()));
    EXPECT_FALSE(LoadCameraConfig(folder.settingsFile(), kLockFirmware).has_value());
}

TEST(FirmwareVersion, NumberAndLabel) {
    struct Case {
        std::string_view text;
        int number;
    };
    const Case cases[] = {{"1.002", 1002}, {"1.2", 1002},     {"1", 1000}, {"", 0},
                          {"2.15", 2015},  {"1.2.3", 1002},   {"abc", 0},  {"1.x", 1000},
                          {"V1.2", 2},     {"10.999", 10999}, {".5", 5}};
    for (const Case& c : cases) EXPECT_EQ(FirmwareVersionNumber(c.text), c.number) << c.text;
    EXPECT_EQ(FirmwareVersionLabel(1002), "V1.002");
    EXPECT_EQ(FirmwareVersionLabel(0), "V0.000");
    EXPECT_EQ(FirmwareVersionLabel(12345), "V12.345");
    // Absurd texts wrap (modulo 2^32) instead of overflowing.
    EXPECT_EQ(FirmwareVersionNumber("99999999999999.99999999999"), -1509891049);
}

}  // namespace
}  // namespace kx
