// kxdemo: builds a demo memory card (run by "kxcard mkdemo"). It is a program of its own
// because it links the FFmpeg encoders, which the other kxcard commands do not load.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/Json.h"
#include "containers/demo/DemoCard.h"

extern "C" {
#include <libavutil/log.h>
}

namespace kx::cli {
namespace {

int RunMakeDemoHere(const std::vector<std::string>& words) {
    Arguments args(words, {"--seconds", "--size", "--rear-size"}, {"--hevc", "--single", "--pair"});
    if (!args.ok()) return UsageError(args.error());
    const char* usage =
        "usage: kxcard mkdemo DIR [--seconds N] [--size WxH] [--rear-size WxH] [--hevc] "
        "[--single | --pair]";
    if (args.positional().size() != 1) return UsageError(usage);
    demo::CardOptions options;
    if (args.Option("--seconds")) {
        const int seconds = IntOption(args, "--seconds");
        if (seconds < 1 || seconds > 185) return UsageError("--seconds must be 1..185");
        options.seconds = seconds;
    }
    auto parseSize = [](const std::string& text, int& width, int& height) {
        int w = 0, h = 0;
        char tail = 0;
        if (std::sscanf(text.c_str(), "%dx%d%c", &w, &h, &tail) != 2) return false;
        // Even sizes (4:2:0 pictures) the tables can describe.
        if (w < 16 || h < 16 || w > 4096 || h > 2304 || (w | h) & 1) return false;
        width = w;
        height = h;
        return true;
    };
    if (auto size = args.Option("--size"))
        if (!parseSize(*size, options.frontWidth, options.frontHeight))
            return UsageError("--size must be WxH (even, 16..4096 x 16..2304)");
    if (auto size = args.Option("--rear-size"))
        if (!parseSize(*size, options.rearWidth, options.rearHeight))
            return UsageError("--rear-size must be WxH (even, 16..4096 x 16..2304)");
    options.hevc = args.Flag("--hevc");
    options.single = args.Flag("--single");
    options.pair = args.Flag("--pair");
    av_log_set_level(AV_LOG_ERROR);
    demo::CardResult result = demo::MakeDemoCard(args.positional()[0], options);
    for (const auto& file : result.files) {
        std::error_code error;
        auto bytes = std::filesystem::file_size(file, error);
        std::printf("%s\n", JsonObject()
                                .Add("file", file.string())
                                .Add("bytes", std::int64_t(error ? 0 : bytes))
                                .str()
                                .c_str());
    }
    if (!result.ok) return Failure(result.error);
    return 0;
}

}  // namespace
}  // namespace kx::cli

int main(int argc, char** argv) {
    return kx::cli::RunMakeDemoHere(std::vector<std::string>(argv + 1, argv + argc));
}
