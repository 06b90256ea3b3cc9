#include "player/QtWaveOut.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <atomic>
#include <vector>

namespace kx {
namespace {

// With a sound device a block plays and is reported done; without one (a test machine) the
// device does not open and nothing else fails.
TEST(QtWaveOut, PlaysABlockOrRefusesToOpenWithoutADevice) {
    QtWaveOut wave;
    std::atomic<int> done{0};
    WaveFormat format{2, 48000, 16};
    if (!wave.Open(format, [&] { ++done; })) {
        EXPECT_FALSE(wave.Open(format, {})) << "still no device";
        wave.Pause();
        wave.Reset();
        wave.Close();
        return;
    }
    std::vector<std::uint8_t> silence(static_cast<std::size_t>(format.bytesPerSecond()) / 10);
    ASSERT_TRUE(wave.Write(silence.data(), silence.size()));
    QElapsedTimer timer;
    timer.start();
    while (done == 0 && timer.elapsed() < 3000) QApplication::processEvents();
    EXPECT_EQ(done, 1);
    wave.Close();
}

}  // namespace
}  // namespace kx
