// kxcard: the viewer's core from the command line. Output is JSON (one object per line where
// a list is printed); errors go to standard error with a non-zero exit status.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/AppCommands.h"
#include "cli/MediaCommands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& words);
    const char* usage;
};

constexpr Command kCommands[] = {
    {"version", kx::cli::RunVersion, "version"},
    {"text", kx::cli::RunText, "text KEY SECTION [--program-dir DIR] [--language NAME]"},
    {"info", kx::cli::RunInfo, "info FILE"},
    {"samples", kx::cli::RunSamples, "samples FILE --track N"},
    {"export", kx::cli::RunExport, "export SRC OUT --from S --to E [--no-sound]"},
    {"mkdemo", kx::cli::RunMakeDemo,
     "mkdemo DIR [--seconds N] [--size WxH] [--rear-size WxH] [--hevc] [--single]"},
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
