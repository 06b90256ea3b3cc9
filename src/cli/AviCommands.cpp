#include "cli/AviCommands.h"

#include <cstdio>
#include <filesystem>

#include "cli/Arguments.h"
#include "cli/Json.h"
#include "containers/AviExport.h"
#include "containers/AviReader.h"
#include "containers/demo/AviDemo.h"
#include "platform/AtomicFile.h"

namespace kx::cli {
namespace {

// A four-character code as JSON text; bytes that are not printable ASCII show as '?'.
std::string FourCCText(const char* code) {
    std::string text(code, 4);
    for (char& c : text)
        if (c < 0x20 || c > 0x7E) c = '?';
    return text;
}

bool ParseSeconds(const std::optional<std::string>& text, int& seconds) {
    if (!text) return true;
    try {
        std::size_t used = 0;
        seconds = std::stoi(*text, &used);
        return used == text->size() && seconds >= 0;
    } catch (const std::exception&) {
        return false;
    }
}

int DurationSeconds(const AVIFILEINFO& info) {
    const std::uint32_t period = info.mainHeader.microSecPerFrame;
    if (period == 0 || period > 1000000) return 0;
    return static_cast<int>(info.mainHeader.totalFrames / (1000000 / period));
}

}  // namespace

int RunAviInfo(const std::vector<std::string>& words) {
    Arguments args(words, {});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 1) return UsageError("usage: kxcard info FILE.avi");
    const std::filesystem::path path = args.positional()[0];
    if (!std::filesystem::is_regular_file(path)) return Failure("cannot open " + path.string());

    AVIFILEINFO info;
    const bool playable = ValidAVI(path, info) == 1;
    std::string streams = "[";
    for (std::size_t i = 0; i < std::min<std::size_t>(info.streamCount, kAviMaxStreams); ++i) {
        const AviStreamHeader& h = info.streamHeaders[i];
        if (i) streams += ",";
        streams += JsonObject()
                       .Add("type", FourCCText(h.fccType))
                       .Add("handler", FourCCText(h.fccHandler))
                       .Add("rate", std::int64_t{h.rate})
                       .Add("scale", std::int64_t{h.scale})
                       .Add("length", std::int64_t{h.length})
                       .str();
    }
    streams += "]";
    std::printf("%s\n", JsonObject()
                            .Add("playable", playable)
                            .Add("repaired", info.repaired)
                            .Add("frames", std::int64_t{info.mainHeader.totalFrames})
                            .Add("usPerFrame", std::int64_t{info.mainHeader.microSecPerFrame})
                            .AddRaw("streams", streams)
                            .Add("videoStreams", int{info.videoStreamCount})
                            .Add("indexCount", int{info.indexCount})
                            .str()
                            .c_str());
    return 0;
}

int RunAviSamples(const std::vector<std::string>& words) {
    Arguments args(words, {});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 1) return UsageError("usage: kxcard samples FILE.avi");
    const std::filesystem::path path = args.positional()[0];
    AVIFILEINFO info;
    if (ValidAVI(path, info) != 1) return Failure("cannot read " + path.string());
    for (std::size_t i = 0; i < std::min<std::size_t>(info.indexCount, info.index.size()); ++i) {
        const AviIndexEntry& e = info.index[i];
        std::printf("%s\n", JsonObject()
                                .Add("id", FourCCText(e.chunkId))
                                .Add("flags", std::int64_t{e.flags})
                                .Add("offset", std::int64_t{e.offset})
                                .Add("size", std::int64_t{e.size})
                                .str()
                                .c_str());
    }
    return 0;
}

int RunAviExport(const std::vector<std::string>& words) {
    Arguments args(words, {"--from", "--to"}, {"--no-sound", "--front", "--rear"});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 2)
        return UsageError(
            "usage: kxcard export SRC.avi OUT [--from S] [--to E] [--no-sound] [--front] "
            "[--rear]");
    const std::filesystem::path source = args.positional()[0];
    const std::string output = args.positional()[1];

    AVIFILEINFO info;
    if (ValidAVI(source, info) != 1)
        return Failure("unknown_error: cannot read " + source.string());
    const int duration = DurationSeconds(info);
    int start = 0, end = duration;
    if (!ParseSeconds(args.Option("--from"), start) || !ParseSeconds(args.Option("--to"), end))
        return UsageError("--from and --to take whole seconds");
    if (duration <= 0 || duration < end || start >= end)
        return Failure("error_invalid_parameter: range " + std::to_string(start) + ".." +
                       std::to_string(end) + " of " + std::to_string(duration) + " s");

    // As the export dialog: both cameras unless one is chosen; a file with one video stream
    // holds the camera its name gives (R three characters from the end: the rear).
    bool front = args.Flag("--front"), rear = args.Flag("--rear");
    if (!front && !rear) front = rear = true;
    if (info.videoStreamCount == 1) {
        const std::string name = source.stem().string();
        const bool rearItem = name.size() >= 3 && name[name.size() - 3] == 'R';
        front = !rearItem;
        rear = rearItem;
    }
    const bool withSound = !args.Flag("--no-sound");

    // The rear output is named before anything is written, so a bad name leaves no files.
    std::string rearOutput = output;
    if (front && rear) {  // the camera letter of the proposed name becomes R
        if (rearOutput.size() < 7) return UsageError("OUT is too short to name a rear output");
        rearOutput[rearOutput.size() - 7] = 'R';
        if (rearOutput == output) return UsageError("the rear output would overwrite " + output);
    }

    UniqueFile file = OpenFile(source, "rb");
    if (!file) return Failure("unknown_error: cannot open " + source.string());
    std::vector<std::string> outputs;
    if (front) {
        if (ExportAVI(file.get(), output, info, start, end, withSound, true, false) != 1)
            return Failure("unknown_error: export to " + output + " failed");
        outputs.push_back(output);
    }
    if (rear) {
        const bool oneStream = info.videoStreamCount == 1;
        if (ExportAVI(file.get(), rearOutput, info, start, end, withSound, oneStream, !oneStream) !=
            1)
            return Failure("unknown_error: export to " + rearOutput + " failed");
        outputs.push_back(rearOutput);
    }
    std::string list = "[";
    for (std::size_t i = 0; i < outputs.size(); ++i)
        list += (i ? "," : "") + JsonString(outputs[i]);
    list += "]";
    std::printf(
        "%s\n",
        JsonObject().Add("ok", true).Add("method", "avi").AddRaw("outputs", list).str().c_str());
    return 0;
}

int RunAviDemo(const std::vector<std::string>& words) {
    Arguments args(words, {"--seconds"});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 1)
        return UsageError("usage: kxcard avi-demo OUT_DIR [--seconds N]");
    int seconds = 10;
    if (!ParseSeconds(args.Option("--seconds"), seconds) || seconds < 1 || seconds > 185)
        return UsageError("--seconds takes 1 to 185");
    std::string error;
    const auto files = WriteAviDemoSet(args.positional()[0], seconds, error);
    if (files.empty()) return Failure(error);
    std::string list = "[";
    for (std::size_t i = 0; i < files.size(); ++i)
        list += (i ? "," : "") + JsonString(files[i].string());
    list += "]";
    std::printf("%s\n", JsonObject().Add("ok", true).AddRaw("files", list).str().c_str());
    return 0;
}

}  // namespace kx::cli
