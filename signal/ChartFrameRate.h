#pragma once
// Frames per second for the signal window's status line: the count of processed frames, read
// at each redraw tick, over the last second. Time is given by the caller (milliseconds of a
// monotonic clock), so tests step it.

#include <cstdint>
#include <deque>

namespace oculant {

class ChartFrameRate {
public:
    // The rate covers about this much of the recent past.
    static constexpr int64_t kWindowMs = 1000;

    // The running total of frames at `nowMs`. Totals never decrease; a smaller one (a restarted
    // counter) starts the measurement over.
    void sample(int64_t nowMs, uint64_t totalFrames);
    // Frames per second between the oldest sample within the window and the newest; 0 until
    // two samples lie apart in time.
    double perSecond() const;

private:
    struct Sample {
        int64_t ms;
        uint64_t frames;
    };
    std::deque<Sample> samples_;
};

}  // namespace oculant
