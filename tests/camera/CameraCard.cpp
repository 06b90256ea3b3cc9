#include "camera/CameraCard.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "camera/CameraPaths.h"
#include "camera/CredentialProtection.h"

namespace kx::test {

CameraCard::CameraCard() {
    std::filesystem::create_directories(versionFile().parent_path());
}

std::filesystem::path CameraCard::versionFile() const {
    return VersionFilePath(root());
}

std::filesystem::path CameraCard::settingsFile() const {
    return SettingsFilePath(root());
}

void CameraCard::WriteVersion(std::string_view text) const {
    WriteFileBytes(versionFile(), text);
}

void CameraCard::WriteSettings(std::string_view text) const {
    WriteFileBytes(settingsFile(), text);
}

std::string CameraCard::Settings() const {
    return ReadFileBytes(settingsFile());
}

std::string VersionText(std::string_view model, std::string_view version, std::string_view option,
                        std::string_view language) {
    std::string text = "[firmware]\r\n";
    if (!version.empty()) text += "version=" + std::string(version) + "\r\n";
    if (!model.empty()) text += "model=" + std::string(model) + "\r\n";
    if (!language.empty()) text += "language=" + std::string(language) + "\r\n";
    if (!option.empty()) text += "opt=" + std::string(option) + "\r\n";
    text += "[local]\r\nregion=2\r\noption=EU\r\n";
    return text;
}

std::string FullSettingsText() {
    PlainPassword password;
    password.Assign(kFixturePassword);
    std::string protectedForm;
    if (EncodePassword(password, protectedForm) != 0)
        throw std::runtime_error("cannot protect the fixture password");
    return "; camera settings\r\n"
           "[Tab1]\r\n"
           "TimeZone=-500\r\nTimeSet=1\r\nSetTime=202401311259\r\nDaylight=0\r\nGpsSync=1\r\n"
           "ImageSetting=0\r\nVideoQuality=1\r\nNightVision=1\r\nFrontBrightness=2\r\n"
           "RearBrightness=3\r\nRecordTime=1\r\nLockEvent=1\r\nOverwriteLock=1\r\n"
           "NormalRecord=1\r\nVoiceRecord=1\r\nDateDisplay=1\r\nSpeedUnit=2\r\n"
           "AutoParking=1\r\nRearRotate=0\r\nFrontRotate=1\r\nFutureKey=abc\r\n"
           "\r\n"
           "[Tab2]\r\n"
           "NORMALSENSOR1=5\r\nNORMALSENSOR2=6\r\nNORMALSENSOR3=7\r\n"
           "PARKINGSENSOR1 = 04\r\nPARKINGSENSOR2=3\r\nPARKINGSENSOR3=2\r\nMOTIONSENSOR=1\r\n"
           "\r\n"
           "[Tab3]\r\n"
           "RECLED=1\r\nNORMALLED=0\r\nPARKINGLED=1\r\nSTARTVOICE=1\r\nNORMALSTARTVOICE=0\r\n"
           "EVENTSTARTVOICE=1\r\nCHANGERECORDMODEVOICE=0\r\nENDVOICE=1\r\n"
           "PARKINGEVENTVOICE=1\r\nSPEEDALERTVOICE=0\r\nVOLUME=4\r\nSpeedAlert=2\r\n"
           "kmLimit=120\r\nmileLimit=75\r\nScheduledReboot=1\r\nScheduledRebootTime=3\r\n"
           "userString=Fleet 7\r\nRearLED=1\r\n"
           "\r\n"
           "[Wifi]\r\n"
           "ap_ssid=KX-TMQ4_1234\r\n"
           "ap_pw=" +
           protectedForm +
           "\r\n"
           "WifiSleepMode=1\r\n"
           "[Camera]\r\n"
           "serial=0042\r\n";
}

std::string Replace(std::string text, std::string_view from, std::string_view to) {
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

}  // namespace kx::test
