#include "cli/PlayCommands.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>

#include <unistd.h>

#include "cli/Arguments.h"
#include "cli/Json.h"
#include "platform/TickCount.h"
#include "player/CNullDraw.h"
#include "player/SourceChoice.h"
#include "player/SyncPlayer.h"

namespace kx::cli {
namespace {

using Clock = std::chrono::steady_clock;

// Collects the player's messages for the main thread, which prints them.
class MessageQueue : public MsgTarget {
  public:
    void Post(Msg msg, std::intptr_t wParam, std::intptr_t lParam) override {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({msg, wParam, lParam, Clock::now()});
        }
        changed_.notify_all();
    }
    struct Item {
        Msg msg;
        std::intptr_t wParam, lParam;
        Clock::time_point at;
    };
    std::optional<Item> Next(Clock::time_point until) {
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, until, [this] { return !queue_.empty(); });
        if (queue_.empty()) return std::nullopt;
        Item item = queue_.front();
        queue_.pop_front();
        return item;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Item> queue_;
};

struct ScriptCommand {
    long atMs;
    std::string name;
    long value;
};

// "2000:pause;2500:seek=30000;3000:step" -> commands in time order.
std::optional<std::vector<ScriptCommand>> ParseScript(const std::string& text) {
    std::vector<ScriptCommand> commands;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(';', start);
        std::string item =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (item.empty()) continue;
        std::size_t colon = item.find(':');
        if (colon == std::string::npos) return std::nullopt;
        ScriptCommand command{};
        try {
            command.atMs = std::stol(item.substr(0, colon));
            std::string action = item.substr(colon + 1);
            std::size_t equals = action.find('=');
            command.name = action.substr(0, equals);
            if (equals != std::string::npos) command.value = std::stol(action.substr(equals + 1));
        } catch (const std::exception&) {
            return std::nullopt;
        }
        static const std::set<std::string> known = {"pause", "resume", "seek", "step",
                                                    "back",  "speed",  "stop"};
        if (!known.count(command.name) || command.atMs < 0) return std::nullopt;
        commands.push_back(command);
    }
    std::stable_sort(commands.begin(), commands.end(),
                     [](const auto& a, const auto& b) { return a.atMs < b.atMs; });
    return commands;
}

}  // namespace

int RunPlay(const std::vector<std::string>& words) {
    Arguments args(words, {"--rear", "--speed", "--start", "--script"}, {"--fast"});
    if (!args.ok()) return UsageError(args.error());
    if (args.positional().size() != 1)
        return UsageError(
            "usage: kxcard play FILE [--rear FILE] [--speed 0-3] [--start S] [--script CMDS] "
            "[--fast]");
    std::filesystem::path file = args.positional()[0];
    if (!std::filesystem::is_regular_file(file)) return Failure(file.string() + ": no such file");
    int speed = kNormalSpeed, startSeconds = 0;
    try {
        if (auto text = args.Option("--speed")) speed = std::stoi(*text);
        if (auto text = args.Option("--start")) startSeconds = std::stoi(*text);
    } catch (const std::exception&) {
        return UsageError("--speed and --start take numbers");
    }
    if (speed < 0 || speed >= kSpeedCount) return UsageError("--speed must be 0, 1, 2 or 3");
    if (startSeconds < 0) return UsageError("--start must not be negative");
    auto script = ParseScript(args.Option("--script").value_or(""));
    if (!script)
        return UsageError(
            "--script: expected MS:COMMAND[=VALUE];... with pause, resume, "
            "seek=MS, step, back, speed=N, stop");
    bool fast = args.Flag("--fast");
    // The decoders' own chatter would mix with the JSON lines; failures are traced instead.
    av_log_set_level(AV_LOG_FATAL);

    // Scratch files of this run live in a private temporary folder.
    std::filesystem::path scratch =
        std::filesystem::temp_directory_path() / ("kxcard-play-" + std::to_string(::getpid()));
    std::filesystem::create_directories(scratch);
    UniqueFile stepFile;

    SampleIndex frontIndex, rearIndex, audioIndex;
    VideoChannel front(0, frontIndex), rear(1, rearIndex);
    SilentWaveOut wave(fast);
    MessageQueue messages;
    PlayerEnvironment environment;
    environment.owner = &messages;
    environment.wave = &wave;
    environment.stepFile = [&](std::uint64_t) {
        stepFile = OpenFile(scratch / "stepfile.dat", "wb+");
        return stepFile.get();
    };
    environment.openPacketFile = [&] { return OpenFile(scratch / "playfile.dat", "wb+"); };
    environment.releasePacketFile = [&] { std::filesystem::remove(scratch / "playfile.dat"); };
    environment.createPresenter = [](VideoChannel& channel) {
        return channel.CreatePresenter(std::make_unique<CNullDraw>(kDisplayYv12, false));
    };
    environment.fastClock = fast;

    SyncPlayer player(front, rear, audioIndex, environment);
    player.SetSpeed(speed);
    Clock::time_point start = Clock::now();
    std::filesystem::path rearFile = args.Option("--rear").value_or("");
    if (!rearFile.empty() && !std::filesystem::exists(rearFile))
        std::fprintf(stderr, "kxcard: %s: no such file; playing the front alone\n",
                     rearFile.c_str());
    auto source = MakeIndexSource(file, rearFile, true);
    if (!source || !player.StartPlay(std::move(source), startSeconds)) {
        std::filesystem::remove_all(scratch);
        return Failure(file.string() + ": cannot be played");
    }

    auto msSinceStart = [&](Clock::time_point at) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(at - start).count();
    };
    std::size_t nextCommand = 0;
    bool done = false, startSeekDone = false;
    int status = 0;
    while (!done) {
        Clock::time_point wakeUp =
            start + std::chrono::milliseconds(
                        nextCommand < script->size() ? (*script)[nextCommand].atMs : 3'600'000);
        if (auto item = messages.Next(wakeUp)) {
            if (item->msg != Msg::PlayMessage) continue;
            std::printf("%s\n", JsonObject()
                                    .Add("ms", static_cast<std::int64_t>(msSinceStart(item->at)))
                                    .Add("code", static_cast<std::int64_t>(item->wParam))
                                    .Add("value", static_cast<std::int64_t>(item->lParam))
                                    .str()
                                    .c_str());
            auto code = static_cast<PlayCode>(item->wParam);
            if (code == PlayCode::Started && !startSeekDone) {
                // As the control panel does: a recording opened at a time inside it goes
                // there, and one that started paused (AVI, or a start time) plays now.
                startSeekDone = true;
                if (startSeconds > 0) player.Seek(startSeconds * 1000);
                if (player.paused()) player.Pause(false);
            }
            if (code == PlayCode::EndedOrRearFailed && item->lParam == 0) done = true;
            if (code == PlayCode::CannotPlay) {
                done = true;
                status = 1;
            }
            continue;
        }
        if (nextCommand >= script->size()) continue;
        const ScriptCommand& command = (*script)[nextCommand++];
        if (command.name == "pause")
            player.Pause(true);
        else if (command.name == "resume")
            player.Pause(false);
        else if (command.name == "seek")
            player.Seek(static_cast<std::int32_t>(command.value));
        else if (command.name == "step")
            player.Step(false);
        else if (command.name == "back")
            player.Step(true);
        else if (command.name == "speed")
            player.SetSpeed(static_cast<int>(command.value));
        else if (command.name == "stop")
            done = true;
    }
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    int frontFrames = player.framesShown(0), rearFrames = player.framesShown(1);
    int blocks = player.audioBlocksQueued();
    player.StopPlay();
    stepFile.reset();
    std::filesystem::remove_all(scratch);
    std::printf(
        "%s\n",
        JsonObject()
            .AddRaw("frames", JsonObject().Add("front", frontFrames).Add("rear", rearFrames).str())
            .Add("audioBlocks", blocks)
            .Add("wall", wall)
            .str()
            .c_str());
    return status;
}

}  // namespace kx::cli
