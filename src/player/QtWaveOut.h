#pragma once
// The sound device of the viewer: Qt Multimedia's audio sink on a thread of its own. Blocks
// are pushed to the sink; a 20 ms timer reports each block as done once the sink has played
// past its end.
#include <QThread>
#include <memory>

#include "player/WaveOut.h"

namespace kx {

class QtWaveOutWorker;

class QtWaveOut : public WaveOut {
  public:
    QtWaveOut();
    ~QtWaveOut() override;

    bool Open(const WaveFormat& format, DoneCallback done) override;
    bool Write(const std::uint8_t* data, std::size_t size) override;
    void Pause() override;
    void Reset() override;
    void Close() override;

  private:
    QThread thread_;
    QtWaveOutWorker* worker_;  // lives on thread_, deleted by it when the thread finishes
};

}  // namespace kx
