// Writes the seed corpus of a fuzz target into a folder: kx_fuzz_seeds TARGET FOLDER.
// Seeds come from the project's own generators, never from outside.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
    else {
        std::fprintf(stderr, "kx_fuzz_seeds: no seeds for target %s\n", target.c_str());
        return 2;
    }
    for (const auto& [name, bytes] : seeds) WriteSeed(folder, name, bytes);
    std::printf("%zu seeds for %s in %s\n", seeds.size(), target.c_str(), folder.c_str());
    return 0;
}
