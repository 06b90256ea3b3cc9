#pragma once
// The frame-rate rules of the player: they decide how many pictures the step cache holds and how
// the channels are paced.
namespace kx {

// Rates above 9 are rounded to the nearest multiple of ten; lower rates count as 10.
int RoundFrameRate(double rate);

// MP4: video samples x movie timescale / movie duration, rounded. 10 when the duration is 0.
int Mp4FrameRate(unsigned sampleCount, unsigned timescale, unsigned duration);

// AVI: the video stream's own rate (rate / scale), capped at 30; 10 when it is not positive.
int AviFrameRate(unsigned rate, unsigned scale);

// Repeat lengths for two channels: the slower channel repeats each picture
// (faster / slower - 1) times so that one step of each stays at the same time.
struct RepeatLengths {
    int front = 0;
    int rear = 0;
};
RepeatLengths RepeatLengthsFor(int frontRate, int rearRate);

}  // namespace kx
