#include "cli/MediaCommands.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "cli/Arguments.h"
#include "cli/Json.h"
#include "containers/ByteOrder.h"
#include "containers/MediaFile.h"
#include "containers/Mp4File.h"
#include "containers/Mp4Writer.h"
#include "containers/SampleCursor.h"
#include "platform/ProgramPath.h"

namespace kx::cli {
namespace {

// The player's sensor buffers: raw GPS data and acceleration data.
constexpr std::size_t kGpsBufferSize = 163848;
constexpr std::size_t kAccBufferSize = 61628;

std::string FourCCText(std::uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        char c = char(code >> (24 - 8 * i));
        text[i] = (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return text;
}

// A parse slot pair as the callers keep it, released at the end.
struct Movie {
    Movie() {
        for (auto& f : files) f.gpsLength = f.accLength = -1;
    }
    ~Movie() {
        ReleaseMP4(files[0]);
        ReleaseMP4(files[1]);
    }
    MP4FILE files[2];
};

std::string TrackJson(const TRAKBOX& track) {
    const SampleEntryRecord* entry =
        track.stsd.PSampleEntry.empty() ? nullptr : &track.stsd.PSampleEntry[0];
    return JsonObject()
        .Add("id", std::int64_t(track.tkhd.trackId))
        .Add("handler", FourCCText(track.hdlr.handlerType))
        .Add("format", entry ? FourCCText(entry->format) : std::string())
        .Add("width", int(track.tkhd.width))
        .Add("height", int(track.tkhd.height))
        .Add("timescale", std::int64_t(track.mdhd.timescale))
        .Add("samples", std::int64_t(track.stsz.sampleCount))
        .Add("sync", std::int64_t(track.stss.entryCount))
        .str();
}

bool WholeRecording(int from, int to, int duration) {
    return from == 0 && to >= duration;
}

}  // namespace

int RunInfo(const std::vector<std::string>& words) {
    Arguments args(words, {});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 1) return UsageError("usage: kxcard info FILE");
    const std::filesystem::path path = args.positional()[0];
    if (!std::filesystem::is_regular_file(path)) return Failure("no such file: " + path.string());
    std::vector<std::uint8_t> gps(kGpsBufferSize), acc(kAccBufferSize);
    Movie movie;
    MP4FILE& mp4 = movie.files[0];
    mp4.gpsBuffer = gps.data();
    mp4.gpsCapacity = gps.size();
    mp4.accBuffer = acc.data();
    mp4.accCapacity = acc.size();
    int playable = ValidMP4(path, movie.files, false);
    std::string tracks = "[";
    for (const auto& track : mp4.moov.trak) {
        if (!track) continue;
        if (tracks.size() > 1) tracks += ",";
        tracks += TrackJson(*track);
    }
    tracks += "]";
    std::printf(
        "%s\n",
        JsonObject()
            .Add("playable", playable)
            .Add("newFormat", mp4.newFormat ? 1 : 0)
            .Add("duration", GetDurationSeconds(mp4))
            .Add("sttm", std::int64_t(mp4.sttm.startTime))
            .Add("model", std::string(mp4.kvnm.name, strnlen(mp4.kvnm.name, kKvnmNameCapacity)))
            .Add("cprt", std::string(mp4.cprt.text, strnlen(mp4.cprt.text, kCprtTextCapacity)))
            .Add("kvnmVersion", int(mp4.kvnm.version))
            .Add("gpsLength", int(mp4.gpsLength))
            .Add("accLength", int(mp4.accLength))
            .AddRaw("tracks", tracks)
            .str()
            .c_str());
    return 0;
}

int RunSamples(const std::vector<std::string>& words) {
    Arguments args(words, {"--track"});
    if (!args.ok()) return UsageError(args.error());
    const int trackId = IntOption(args, "--track");
    if (args.positional().size() != 1 || trackId < 0)
        return UsageError("usage: kxcard samples FILE --track N");
    const std::filesystem::path path = args.positional()[0];
    Movie movie;
    if (!ValidMP4(path, movie.files, false)) return Failure("not a playable MP4: " + path.string());
    const TRAKBOX* track = nullptr;
    for (const auto& candidate : movie.files[0].moov.trak)
        if (candidate && candidate->tkhd.trackId == std::uint32_t(trackId)) track = candidate.get();
    if (!track) return Failure("no track " + std::to_string(trackId));
    auto file = DiskFile::Open(path, DiskFile::Mode::kRead);
    if (!file) return Failure("cannot open " + path.string());
    SampleCursor cursor{};
    std::string out;
    for (std::uint32_t i = 0; i < track->stsz.sampleCount; ++i) {
        SampleInfo sample;
        if (!NextSample(cursor, sample, *file, *track, movie.files[0].moov.mvhd)) {
            std::fputs(out.c_str(), stdout);
            return Failure("sample table read failed at sample " + std::to_string(i + 1));
        }
        out += JsonObject()
                   .Add("n", std::int64_t(sample.number))
                   .Add("time", std::int64_t(sample.time))
                   .Add("offset", std::int64_t(sample.offset))
                   .Add("size", std::int64_t(sample.size))
                   .str();
        out += '\n';
        if (out.size() > (1 << 16)) {
            std::fputs(out.c_str(), stdout);
            out.clear();
        }
    }
    std::fputs(out.c_str(), stdout);
    return 0;
}

int RunExport(const std::vector<std::string>& words) {
    Arguments args(words, {"--from", "--to"}, {"--no-sound"});
    if (!args.ok()) return UsageError(args.error());
    const int from = IntOption(args, "--from");
    const int to = IntOption(args, "--to");
    if (args.positional().size() != 2 || from < 0 || to < 0)
        return UsageError("usage: kxcard export SRC OUT --from S --to E [--no-sound]");
    if (to < from) return UsageError("the range ends before it starts");
    const std::filesystem::path source = args.positional()[0];
    const std::filesystem::path output = args.positional()[1];
    const bool withSound = !args.Flag("--no-sound");
    Movie movie;
    if (!ValidMP4(source, movie.files, true))
        return Failure("not a playable MP4: " + source.string());
    const int duration = GetDurationSeconds(movie.files[0]);
    if (withSound && WholeRecording(from, to, duration)) {
        std::error_code error;
        std::filesystem::copy_file(source, output,
                                   std::filesystem::copy_options::overwrite_existing, error);
        if (error) return Failure("copy failed: " + error.message());
        std::printf("%s\n", JsonObject().Add("ok", true).Add("method", "copy").str().c_str());
        return 0;
    }
    auto file = DiskFile::Open(source, DiskFile::Mode::kRead);
    if (!file) return Failure("cannot open " + source.string());
    if (!ExportMP4(*file, from, output, movie.files[0], to, withSound, 0))
        return Failure("export failed");
    // A file holding a second movie: it is appended, its offsets counted from its own start.
    const MP4FILE& second = movie.files[1];
    if (second.mdat.pos && second.ftyp.box.pos >= 8 &&
        !ExportMP4(*file, from, output, movie.files[1], to, withSound, second.ftyp.box.pos - 8))
        return Failure("export of the second movie failed");
    std::printf("%s\n", JsonObject().Add("ok", true).Add("method", "writer").str().c_str());
    return 0;
}

int RunMakeDemo(const std::vector<std::string>& words) {
    // The encoders live in their own program, so that the other commands start without
    // loading FFmpeg.
    const std::filesystem::path generator = ExecutableFolder() / "kxdemo";
    std::vector<std::string> arguments = {generator.string()};
    arguments.insert(arguments.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& word : arguments) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    execv(generator.c_str(), argv.data());
    return Failure("cannot start " + generator.string() + ": " + std::strerror(errno));
}

}  // namespace kx::cli
