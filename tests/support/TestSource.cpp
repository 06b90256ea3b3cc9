#include "support/TestSource.h"

#include "player/FrameRate.h"
#include "player/KeyGroupAppender.h"
#include "player/SyncPlayer.h"

namespace kx::test {

TestSource::TestSource(std::filesystem::path front, TestVideo frontVideo,
                       std::filesystem::path rear, TestVideo rearVideo)
    : frontPath_(std::move(front)),
      rearPath_(std::move(rear)),
      front_(std::move(frontVideo)),
      rear_(std::move(rearVideo)) {}

bool TestSource::Prepare(SyncPlayer& player) {
    VideoChannel& front = player.front();
    if (!front.SetPlay(frontPath_, true) ||
        !front.OpenVCodec(kCodecAvc1, front_.width, front_.height, nullptr, 0))
        return false;
    front.SetFrameRate(front_.fps);
    if (!rearPath_.empty()) {
        VideoChannel& rear = player.rear();
        rearOpened_ = rear.SetPlay(rearPath_, true) &&
                      rear.OpenVCodec(kCodecAvc1, rear_.width, rear_.height, nullptr, 0);
        if (rearOpened_) {
            rear.SetFrameRate(rear_.fps);
            RepeatLengths repeat = RepeatLengthsFor(front_.fps, rear_.fps);
            front.SetRepeatLength(repeat.front);
            rear.SetRepeatLength(repeat.rear);
            player.SetKeyFramesOnlyAllowed(front_.fps != rear_.fps);
        } else {
            player.Post(PlayCode::EndedOrRearFailed, 1);
        }
    }
    player.SetRearPresent(rearOpened_);
    return true;
}

void TestSource::Walk(SyncPlayer& player) {
    KeyGroupAppender front(player.front().index(), player);
    KeyGroupAppender rear(player.rear().index(), player);
    std::size_t count = std::max(front_.entries.size(), rear_.entries.size());
    bool started = false;
    for (std::size_t i = 0; i < count && player.running(); ++i) {
        if (beforeEntry) beforeEntry(i);
        if (i < front_.entries.size()) {
            const SAMPLE_ENTRY& entry = front_.entries[i];
            front.Add(entry, player.front().decoderDelay());
            if (entry.key) player.Post(PlayCode::DurationKnown, entry.time);
            if (entry.key && !started) {
                player.Post(PlayCode::Started, 0);
                started = true;
            }
        }
        if (rearOpened_ && i < rear_.entries.size())
            rear.Add(rear_.entries[i], player.rear().decoderDelay());
    }
    front.Finish(player.front().decoderDelay());
    if (rearOpened_) rear.Finish(player.rear().decoderDelay());
    player.Post(PlayCode::DurationKnown, front.lastTime());
}

}  // namespace kx::test
