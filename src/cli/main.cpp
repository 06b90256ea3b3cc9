// kxcard: the viewer's core from the command line. Output is JSON (one object per line where
// a list is printed); errors go to standard error with a non-zero exit status.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/AppCommands.h"
#include "cli/AviCommands.h"
#include "cli/CameraCommands.h"
#include "cli/FormatCommands.h"
#include "cli/LibraryCommands.h"
#include "cli/MediaCommands.h"
#include "cli/PlayCommands.h"
#include "cli/SensorCommands.h"

namespace {

// info, samples and export serve both containers: the file's extension picks the handler.
bool NamesAviFile(const std::vector<std::string>& words) {
    for (const std::string& word : words) {
        if (word.rfind("--", 0) == 0) continue;
        if (word.size() < 4) return false;
        std::string extension = word.substr(word.size() - 4);
        for (char& c : extension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return extension == ".avi";
    }
    return false;
}

int RunInfoOfEitherKind(const std::vector<std::string>& words) {
    return NamesAviFile(words) ? kx::cli::RunAviInfo(words) : kx::cli::RunInfo(words);
}
int RunSamplesOfEitherKind(const std::vector<std::string>& words) {
    return NamesAviFile(words) ? kx::cli::RunAviSamples(words) : kx::cli::RunSamples(words);
}
int RunExportOfEitherKind(const std::vector<std::string>& words) {
    return NamesAviFile(words) ? kx::cli::RunAviExport(words) : kx::cli::RunExport(words);
}

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& words);
    const char* usage;
};

constexpr Command kCommands[] = {
    {"version", kx::cli::RunVersion, "version"},
    {"text", kx::cli::RunText, "text KEY SECTION [--program-dir DIR] [--language NAME]"},
    {"camera", kx::cli::RunCamera,
     "camera identify ROOT | camera get ROOT [--show-password] | camera put ROOT FILE.json|-"},
    {"password", kx::cli::RunPassword, "password encode TEXT | password decode HEX"},
    {"devices", kx::cli::RunDevices, "devices"},
    {"format", kx::cli::RunFormat,
     "format TARGET --yes [--sector-size N] [--partition N] [--program-dir DIR] [--language NAME]"},
    {"play", kx::cli::RunPlay,
     "play FILE [--rear FILE] [--speed 0-3] [--start S] [--script CMDS] [--fast]"},
    {"scan", kx::cli::RunScan, "scan DIR [--probe] [--summary]"},
    {"daymap", kx::cli::RunDayMap, "daymap DIR"},
    {"cards", kx::cli::RunCards, "cards [--volumes DIR:DIR...] [--settings-dir DIR]"},
    {"copy", kx::cli::RunCopy, "copy DIR NAME DEST"},
    {"delete", kx::cli::RunDelete, "delete DIR NAME..."},
    {"avi-demo", kx::cli::RunAviDemo, "avi-demo OUT_DIR [--seconds N]"},
    {"gps", kx::cli::RunGps, "gps FILE [--format json|gpx|kml|csv] | gps FILE --at MS"},
    {"accel", kx::cli::RunAccel, "accel FILE"},
    {"info", RunInfoOfEitherKind, "info FILE.mp4|FILE.avi"},
    {"samples", RunSamplesOfEitherKind, "samples FILE.mp4 --track N | samples FILE.avi"},
    {"export", RunExportOfEitherKind,
     "export SRC.mp4 OUT --from S --to E [--no-sound] | export SRC.avi OUT [--from S] [--to E] "
     "[--no-sound] [--front] [--rear]"},
    {"mkdemo", kx::cli::RunMakeDemo,
     "mkdemo DIR [--seconds N] [--size WxH] [--rear-size WxH] [--hevc] [--single | --pair]"},
};

int PrintUsage(std::FILE* out) {
    std::fprintf(out, "usage: kxcard COMMAND [ARGS]\ncommands:\n");
    for (const Command& command : kCommands) std::fprintf(out, "  kxcard %s\n", command.usage);
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return PrintUsage(stderr);
    if (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "help")) return PrintUsage(stdout);
    std::vector<std::string> words(argv + 2, argv + argc);
    for (const Command& command : kCommands)
        if (!std::strcmp(argv[1], command.name)) return command.run(words);
    std::fprintf(stderr, "kxcard: unknown command %s\n", argv[1]);
    return PrintUsage(stderr);
}
