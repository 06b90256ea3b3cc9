#pragma once
// Where a recording's samples come from: the camera's sample records in the MP4 media data,
// FFmpeg's demultiplexer for later-layout MP4 files, or the AVI index.
#include <string>

namespace kx {

class SyncPlayer;

class IndexSource {
  public:
    virtual ~IndexSource() = default;
    // On the user-interface thread: opens files and decoders. False: the recording cannot be
    // played.
    virtual bool Prepare(SyncPlayer& player) = 0;
    // On the reader thread, before the presenters: connects to the source (FFmpeg opens the
    // file here). False: the recording cannot be played.
    virtual bool Connect(SyncPlayer&) { return true; }
    // On the reader thread: appends every sample to the indexes while the player runs.
    virtual void Walk(SyncPlayer& player) = 0;
    // Whether the player starts paused (AVI does, until the walk is done).
    virtual bool StartsPaused() const { return false; }
    // 0 own sample reading, 2 FFmpeg demultiplexing.
    virtual int PlayMode() const { return 1; }
    virtual void Release() {}
};

}  // namespace kx
