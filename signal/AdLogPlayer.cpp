#include "signal/AdLogPlayer.h"

#include <algorithm>
#include <cmath>

#include "signal/AdLogSummary.h"
#include "signal/FrameProcessor.h"

namespace oculant {
namespace {

constexpr double kMinSpeed = 1.0 / 16;
constexpr double kMaxSpeed = 16;
// A rate from a duration of a fraction of a second (a log written on a simulated clock) is no
// frame's: kept within what frames send.
constexpr double kMinRate = 1;
constexpr double kMaxRate = 1000;

}  // namespace

bool AdLogPlayer::open(const std::string& path, std::string& error)
{
    AdLogReader reader;
    if (!reader.open(path)) {
        error = reader.error();
        return false;
    }
    std::vector<Place> frames;
    AdLogBlock block;
    while (reader.next(block))
        if (!block.startBlock)
            frames.push_back({block.offset, block.line});
    if (!reader.error().empty()) {
        error = reader.error();
        return false;
    }
    if (frames.empty()) {
        error = path + ": the log holds no frame to play";
        return false;
    }
    if (!reader_.open(path)) {
        error = reader_.error();
        return false;
    }
    path_ = path;
    frames_ = std::move(frames);
    next_ = 0;
    rate_ = kDefaultRate;
    if (const std::optional<double> seconds = logDurationSeconds(path); seconds && *seconds > 0)
        rate_ = std::clamp(double(frames_.size()) / *seconds, kMinRate, kMaxRate);
    paused_ = false;
    clockSet_ = false;
    error_.clear();
    // The reader stands before the first block; the first frame is found by seek.
    return reader_.seek(frames_[0].offset, frames_[0].line);
}

void AdLogPlayer::close()
{
    frames_.clear();
    path_.clear();
    next_ = 0;
    clockSet_ = false;
}

void AdLogPlayer::restartClock(int64_t nowMs)
{
    clockMs_ = nowMs;
    clockFrame_ = next_;
    clockSet_ = true;
}

void AdLogPlayer::setSpeed(double speed, int64_t nowMs)
{
    speed_ = std::clamp(speed, kMinSpeed, kMaxSpeed);
    restartClock(nowMs);
}

void AdLogPlayer::setPaused(bool paused, int64_t nowMs)
{
    paused_ = paused;
    restartClock(nowMs);
}

bool AdLogPlayer::playNext(FrameProcessor& processor)
{
    if (atEnd())
        return false;
    if (!reader_.next(block_)) {
        error_ = reader_.error().empty() ? path_ + ": the log ends before frame " + std::to_string(next_ + 1) +
                                               " (it changed since it was opened)"
                                         : reader_.error();
        return false;
    }
    processor.ProcessFrame(block_.frame.data(), block_.frame.size());
    ++next_;
    return true;
}

size_t AdLogPlayer::tick(int64_t nowMs, FrameProcessor& processor, size_t maxFrames)
{
    if (!isOpen() || paused_ || atEnd() || !error_.empty())
        return 0;
    if (!clockSet_)
        restartClock(nowMs);
    const double due = double(nowMs - clockMs_) / 1000 * rate_ * speed_;
    const size_t wanted = clockFrame_ + size_t(std::max(0.0, std::floor(due))) + 1;
    size_t played = 0;
    while (next_ < wanted && played < maxFrames && playNext(processor))
        ++played;
    // Behind by more than a tick's worth: the clock follows, so the log plays on at its pace
    // instead of racing to catch up.
    if (next_ < wanted && error_.empty())
        restartClock(nowMs);
    if (atEnd() || !error_.empty())
        setPaused(true, nowMs);
    return played;
}

void AdLogPlayer::togglePlay(FrameProcessor& processor, int64_t nowMs)
{
    if (!isOpen())
        return;
    if (atEnd() && paused_)
        seek(0, processor, nowMs);
    setPaused(!paused_, nowMs);
}

bool AdLogPlayer::step(FrameProcessor& processor)
{
    const bool played = error_.empty() && playNext(processor);
    clockSet_ = false;
    return played;
}

bool AdLogPlayer::seek(size_t frame, FrameProcessor& processor, int64_t nowMs)
{
    if (!isOpen() || frame >= frames_.size())
        return false;
    error_.clear();
    if (!reader_.seek(frames_[frame].offset, frames_[frame].line)) {
        error_ = reader_.error();
        return false;
    }
    next_ = frame;
    const bool played = playNext(processor);
    restartClock(nowMs);
    return played;
}

}  // namespace oculant
