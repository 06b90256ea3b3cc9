#include "player/FrameRate.h"

#include <cmath>

namespace kx {

int RoundFrameRate(double rate) {
    if (!(rate > 9)) return 10;
    if (rate > 1000) rate = 1000;  // no camera comes near; keeps the cast defined
    return static_cast<int>(rate / 10 + 0.5) * 10;
}

int Mp4FrameRate(unsigned sampleCount, unsigned timescale, unsigned duration) {
    if (duration == 0) return 10;
    return RoundFrameRate(static_cast<double>(sampleCount) * timescale / duration);
}

int AviFrameRate(unsigned rate, unsigned scale) {
    if (scale == 0 || rate == 0) return 10;
    double fps = static_cast<double>(rate) / scale;
    if (fps > 30) return 30;
    return fps < 1 ? 1 : static_cast<int>(std::lround(fps));
}

RepeatLengths RepeatLengthsFor(int frontRate, int rearRate) {
    RepeatLengths lengths;
    if (frontRate <= 0 || rearRate <= 0 || frontRate == rearRate) return lengths;
    if (frontRate > rearRate)
        lengths.rear = frontRate / rearRate - 1;
    else
        lengths.front = rearRate / frontRate - 1;
    return lengths;
}

}  // namespace kx
