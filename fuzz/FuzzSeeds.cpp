// Writes the seed corpus of a fuzz target into a folder: kx_fuzz_seeds TARGET FOLDER.
// Seeds come from the project's own generators, never from outside.
#include <cstdint>
#include <cstdio>

#include "containers/demo/DemoCard.h"
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "containers/AviFormat.h"
#include "containers/AviWriter.h"
#include "containers/demo/AviDemo.h"
#include "containers/demo/DemoCard.h"

namespace {

void WriteSeed(const std::filesystem::path& folder, const std::string& name,
               const std::string& bytes) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::pair<std::string, std::string>> IniSeeds() {
    return {
        {"setup", "[setup]\r\nmovepath=/media/card/KX-TMQ4/Record\r\nvideo_pip=1\r\n"},
        {"version",
         "[firmware]\nversion=1.002\nmodel=KX-TMQ4\nlanguage=japan\n[local]\nregion=1\n"},
        {"config",
         "; settings\r\n[Tab1]\r\nTimeZone = 9\r\nSetTime=202612111200\r\n\r\n[Tab2]\r\n"
         "NormalSensitivity=3\r\n[Tab3]\r\nap_pw=00112233445566778899AABBCCDDEEFF\r\n"},
        {"language", "[lable]\nsetup=設定\n[message]\nfile_delete_message=a\\nb\n[tooltip]\n"},
        {"odd", "[unclosed\n=novalue\nkey without equals\n[]\n  [ spaced ]  \nk = v \n"},
    };
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// AVI seeds: camera-layout demo recordings (whole, cut short, one camera) and files of our own
// writer with odd-sized chunks, each also cut at a few places.
std::vector<std::pair<std::string, std::string>> AviSeeds(const std::filesystem::path& scratch) {
    std::vector<std::pair<std::string, std::string>> seeds;
    std::filesystem::create_directories(scratch);
    struct Demo {
        const char* name;
        bool rear, sound, cut;
    } demos[] = {
        {"two", true, true, false}, {"cut", true, true, true}, {"one", false, false, false}};
    for (const Demo& d : demos) {
        kx::AviDemoOptions options;
        options.seconds = 1;
        options.framesPerSecond = 4;
        options.width = 32;
        options.height = 32;
        options.rearCamera = d.rear;
        options.withSound = d.sound;
        options.soundRate = 800;
        options.cutShort = d.cut;
        std::string error;
        const auto path = scratch / (std::string(d.name) + ".avi");
        if (kx::WriteAviDemoRecording(path, options, error))
            seeds.push_back({d.name, ReadBytes(path)});
    }
    {
        const auto path = scratch / "writer.avi";
        kx::AviFileWriter writer;
        kx::AviStreamHeader video;
        std::memcpy(video.fccType, "vids", 4);
        std::memcpy(video.fccHandler, "H264", 4);
        video.scale = 1;
        video.rate = 10;
        kx::AviStreamHeader audio;
        std::memcpy(audio.fccType, "auds", 4);
        audio.scale = 2;
        audio.rate = 16000;
        audio.sampleSize = 2;
        const std::uint8_t bitmap[40] = {40, 0, 0, 0, 16, 0, 0, 0, 16};
        const std::uint8_t wave[18] = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16};
        if (writer.Open(path) && writer.AddStream(video, bitmap, 40) == 0 &&
            writer.AddStream(video, bitmap, 40) == 1 && writer.AddStream(audio, wave, 18) == 2) {
            for (int i = 0; i < 12; ++i) {
                const std::uint8_t frame[] = {
                    0, 0, 0, 1, static_cast<std::uint8_t>(i % 4 ? 0x41 : 0x67), 1, 2};
                writer.WriteSample(0, frame, sizeof frame, i % 4 ? 0 : kx::kAviKeyFrame);
                writer.WriteSample(1, frame, 5 + i % 2, i % 4 ? 0 : kx::kAviKeyFrame);
                writer.WriteSample(2, "pcmpcm", 6, 0);
            }
            if (writer.Finish()) seeds.push_back({"writer", ReadBytes(path)});
        }
    }
    const std::size_t whole = seeds.size();
    for (std::size_t i = 0; i < whole; ++i) {
        const std::string bytes = seeds[i].second;
        seeds.push_back({seeds[i].first + "_half", bytes.substr(0, bytes.size() / 2)});
        if (bytes.size() > 300) seeds.push_back({seeds[i].first + "_head", bytes.substr(0, 300)});
    }
    std::filesystem::remove_all(scratch);
    return seeds;
}

std::vector<std::pair<std::string, std::string>> GpsTextSeeds() {
    const std::string rmc =
        "[1500000000123]$GPRMC,024000.00,A,3733.1234,S,12700.5000,E,12.5,54.7,191194,020.3,E*68";
    const std::string gga =
        "[1500000000123]$GPGGA,024000.00,3733.1234,S,12700.5000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    const std::string parked =
        "[1500076799000]$GPRMC,235959.00,P,3733.1300,N,12700.5100,W,0.0,0.0,150717,,,A*00";
    const std::string parkedGga =
        "[1500076799000]$GPGGA,235959.00,3733.1300,N,12700.5100,W,2,05,3.4,10.0,M,,M,,*00";
    const std::string afterMidnight =
        "[1500076801000]$GPRMC,000001.00,A,3733.1400,N,12700.5200,W,1.5,0.0,150717,,,A*00\n"
        "[1500076801000]$GPGGA,000001.00,3733.1400,N,12700.5200,W,1,07,1.0,10.0,M,,M,,*00\n";
    return {
        {"pair_crlf", rmc + "\r\n" + gga + "\r\n"},
        {"pair_lf", rmc + "\n" + gga + "\n" + parked + "\n" + parkedGga + "\n" + afterMidnight},
        {"rmc_rmc_gga", rmc + "\n" + parked + "\n" + gga + "\n" + gga + "\n"},
        {"rejected", rmc.substr(0, 32) + "V" + rmc.substr(33) + "\n" + gga + "\n" + rmc + "\n" +
                         gga.substr(0, 57) + "0" + gga.substr(58) + "\n"},
        {"unstamped",
         "$GPRMC,024000.00,A,3733.1234,N,12700.5000,E,12.5\n$GPGGA,024000.00,"
         "3733.1234,N,12700.5000,E,1,08,0.9\n"},
        {"long_line", rmc + std::string(200, '9') + "\n" + gga + "\n" + rmc},
    };
}

void PutBigEndian(std::string& out, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>(value >> (8 * (bytes - 1 - i)));
}

std::string GpsRecord(std::uint64_t stampMs, char status) {
    std::string record(48, '\0');
    PutBigEndian(record, 0, 1, 2);
    PutBigEndian(record, 2, 0x2C, 2);
    PutBigEndian(record, 4, stampMs, 8);
    PutBigEndian(record, 20, 3733, 2);
    PutBigEndian(record, 22, 1234, 2);
    record[24] = 'N';
    PutBigEndian(record, 25, 12700, 2);
    PutBigEndian(record, 27, 5000, 2);
    record[29] = 'E';
    PutBigEndian(record, 30, 12, 2);
    PutBigEndian(record, 32, 5, 2);
    record[38] = '1';
    record[39] = status;
    return record;
}

std::string AccelRecord(std::int32_t time, std::int16_t x, std::int16_t y, std::int16_t z) {
    std::string record(10, '\0');
    PutBigEndian(record, 0, static_cast<std::uint32_t>(time), 4);
    PutBigEndian(record, 4, static_cast<std::uint16_t>(x), 2);
    PutBigEndian(record, 6, static_cast<std::uint16_t>(y), 2);
    PutBigEndian(record, 8, static_cast<std::uint16_t>(z), 2);
    return record;
}

std::vector<std::pair<std::string, std::string>> SensorRecordSeeds() {
    std::string rmc = "$GPRMC,235959.00,A,3733.1234,N,12700.5000,E,10.5,0.0,150717,,,A";
    std::string next = "$GPRMC,000000.00,A,3733.1334,N,12700.5000,E,10.5,0.0,150717,,,A";
    std::string list = std::string("\x01\0\0\0\x64", 5);
    list += static_cast<char>(rmc.size() + 1) + rmc + static_cast<char>(next.size() + 1) + next;
    list += '\0';
    std::string accel = AccelRecord(0, 400, -400, 3) + AccelRecord(16, 0, 250, -251) +
                        std::string(10, '\xff') + AccelRecord(32, 1, 2, 3);
    std::string floats("\0\0\x80\x3f\0\0\0\xbf\0\0\x40\x40", 12);  // 1.0, -0.5, 3.0
    return {
        {"gps_records", GpsRecord(1555000001000, 'A') + GpsRecord(1555000002000, 'P') +
                            GpsRecord(0, 'A') + std::string(8, ',')},
        {"avi_list", list},
        {"avi_chunks", rmc + "\x01" + next + "\r\n$GPGGA,1\x01\x01" + rmc},
        {"accel", accel},
        {"accel_floats", floats + floats + floats + floats},
    };
}

// MP4 seeds: the recordings of a tiny demo card (earlier and later layout, front and rear, one
// cut short), each also cut in half.
std::vector<std::pair<std::string, std::string>> Mp4Seeds(const std::filesystem::path& scratch) {
    std::vector<std::pair<std::string, std::string>> seeds;
    kx::demo::CardOptions options;
    options.seconds = 1;
    options.frontWidth = options.frontHeight = 32;
    options.rearWidth = options.rearHeight = 16;
    kx::demo::CardResult card = kx::demo::MakeDemoCard(scratch, options);
    if (!card.ok) return seeds;
    for (const auto& file : card.files) {
        if (file.extension() != ".mp4") continue;
        std::string bytes = ReadBytes(file);
        seeds.push_back({file.stem().string(), bytes});
        seeds.push_back({file.stem().string() + "_half", bytes.substr(0, bytes.size() / 2)});
    }
    std::filesystem::remove_all(scratch);
    return seeds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: kx_fuzz_seeds TARGET FOLDER\n");
        return 2;
    }
    std::string target = argv[1];
    std::filesystem::path folder = argv[2];
    std::filesystem::create_directories(folder);
    std::vector<std::pair<std::string, std::string>> seeds;
    if (target == "ini")
        seeds = IniSeeds();
    else if (target == "valid_avi")
        seeds = AviSeeds(folder / ".scratch");
    else if (target == "valid_mp4" || target == "next_sample")
        seeds = Mp4Seeds(folder / ".scratch");
    else if (target == "gps_text")
        seeds = GpsTextSeeds();
    else if (target == "sensor_records")
        seeds = SensorRecordSeeds();
    else {
        std::fprintf(stderr, "kx_fuzz_seeds: no seeds for target %s\n", target.c_str());
        return 2;
    }
    for (const auto& [name, bytes] : seeds) WriteSeed(folder, name, bytes);
    std::printf("%zu seeds for %s in %s\n", seeds.size(), target.c_str(), folder.c_str());
    return 0;
}
