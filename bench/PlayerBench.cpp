// Measures the decode worker inside the real player, headless:
//   kx_bench_player FILE
// plays FILE (front alone) as fast as it decodes, then steps backwards over the step cache and
// over a group of pictures, and prints one JSON object with the figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "platform/TickCount.h"
#include "player/CNullDraw.h"
#include "player/SourceChoice.h"
#include "player/SyncPlayer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Counts the end of the recording.
class EndWatch : public kx::MsgTarget {
  public:
    void Post(kx::Msg msg, std::intptr_t wParam, std::intptr_t lParam) override {
        if (msg == kx::Msg::PlayMessage &&
            wParam == static_cast<std::intptr_t>(kx::PlayCode::EndedOrRearFailed) && lParam == 0)
            ended = true;
        if (msg == kx::Msg::PlayMessage &&
            wParam == static_cast<std::intptr_t>(kx::PlayCode::CannotPlay))
            failed = true;
    }
    std::atomic<bool> ended{false}, failed{false};
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kx_bench_player FILE\n");
        return 2;
    }
    av_log_set_level(AV_LOG_FATAL);
    std::filesystem::path file = argv[1];
    std::filesystem::path scratch = std::filesystem::temp_directory_path() / "kx-bench-player";
    std::filesystem::create_directories(scratch);
    kx::UniqueFile stepFile;

    kx::SampleIndex frontIndex, rearIndex, audioIndex;
    kx::VideoChannel front(0, frontIndex), rear(1, rearIndex);
    kx::SilentWaveOut wave(true);
    EndWatch watch;
    kx::PlayerEnvironment environment;
    environment.owner = &watch;
    environment.wave = &wave;
    environment.fastClock = true;
    environment.stepFile = [&](std::uint64_t) {
        stepFile = kx::OpenFile(scratch / "stepfile.dat", "wb+");
        return stepFile.get();
    };
    environment.openPacketFile = [&] { return kx::OpenFile(scratch / "playfile.dat", "wb+"); };
    environment.createPresenter = [](kx::VideoChannel& channel) {
        return channel.CreatePresenter(std::make_unique<kx::CNullDraw>(kx::kDisplayYv12, false));
    };
    kx::SyncPlayer player(front, rear, audioIndex, environment);

    auto start = Clock::now();
    auto source = kx::MakeIndexSource(file, {}, false);
    if (!source || !player.StartPlay(std::move(source), 0)) {
        std::fprintf(stderr, "kx_bench_player: %s cannot be played\n", file.c_str());
        return 1;
    }
    while (!watch.ended && !watch.failed) kx::SleepMs(2);
    double playMs = Ms(Clock::now() - start);
    int frames = player.framesShown(0);
    if (watch.failed || frames == 0) return 1;
    double fps = frames * 1000.0 / playMs;

    // At a key frame with nothing cached, one step back decodes the whole previous group of
    // pictures into the cache; the following steps back are served from it.
    player.Seek(30'000);
    int decodedBefore = front.decodedPictures();
    auto t = Clock::now();
    player.Step(true);
    double rebuildMs = Ms(Clock::now() - t);
    int rebuiltPictures = front.decodedPictures() - decodedBefore;
    std::vector<double> backMs;
    for (int i = 0; i < 10; ++i) {
        auto step = Clock::now();
        player.Step(true);
        backMs.push_back(Ms(Clock::now() - step));
    }
    std::sort(backMs.begin(), backMs.end());
    // The same group decoded again by the worker, without writing it to the cache.
    std::size_t groupStart = front.nextSample();
    while (groupStart > 0 && !frontIndex[groupStart].key) --groupStart;
    t = Clock::now();
    front.SeekKey(frontIndex[groupStart].time, false);
    for (int i = 0; i < rebuiltPictures; ++i) front.DecodeEntry(groupStart + i);
    double groupDecodeMs = Ms(Clock::now() - t);

    std::printf(
        "{\"frames\":%d,\"playMs\":%.1f,\"fps\":%.2f,\"threads\":\"%s\",\"stepBackMedianMs\":%.3f,"
        "\"rebuildMs\":%.1f,\"rebuiltPictures\":%d,\"groupDecodeMs\":%.1f}\n",
        frames, playMs, fps, kx::DecoderThreadCountText(kx::ProcessorCount()).c_str(),
        (backMs[4] + backMs[5]) / 2, rebuildMs, rebuiltPictures, groupDecodeMs);
    player.StopPlay();
    stepFile.reset();
    std::filesystem::remove_all(scratch);
    return 0;
}
