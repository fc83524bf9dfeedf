#include "signal/ChartFrameRate.h"

namespace oculant {

void ChartFrameRate::sample(int64_t nowMs, uint64_t totalFrames)
{
    if (!samples_.empty() && (totalFrames < samples_.back().frames || nowMs < samples_.back().ms))
        samples_.clear();
    samples_.push_back({nowMs, totalFrames});
    // Keep one sample at or beyond the window's start, so a full window is always measured.
    while (samples_.size() > 2 && nowMs - samples_[1].ms >= kWindowMs)
        samples_.pop_front();
}

double ChartFrameRate::perSecond() const
{
    if (samples_.size() < 2)
        return 0;
    const Sample& first = samples_.front();
    const Sample& last = samples_.back();
    if (last.ms <= first.ms)
        return 0;
    return double(last.frames - first.frames) * 1000.0 / double(last.ms - first.ms);
}

}  // namespace oculant
