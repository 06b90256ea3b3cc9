// Writes the seed corpus of a fuzz target into a folder: kx_fuzz_seeds TARGET FOLDER.
// Seeds come from the project's own generators, never from outside.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "containers/AviFormat.h"
#include "containers/AviWriter.h"
#include "containers/demo/AviDemo.h"

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
    else {
        std::fprintf(stderr, "kx_fuzz_seeds: no seeds for target %s\n", target.c_str());
        return 2;
    }
    for (const auto& [name, bytes] : seeds) WriteSeed(folder, name, bytes);
    std::printf("%zu seeds for %s in %s\n", seeds.size(), target.c_str(), folder.c_str());
    return 0;
}
