#pragma once
// An AD log played into a frame processor as if its frames came from a frame: at the log's own
// rate times a speed, paused, stepped frame by frame, or moved to any frame. The signal window
// charts the processor's store as it charts live frames. Opening indexes the file once (where
// each frame block begins); playing reads one block at a time, whatever the log's size.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "signal/AdLogReader.h"

namespace oculant {

class FrameProcessor;

class AdLogPlayer {
public:
    // A log that says nothing of its duration plays at the virtual frame's and most frames' rate.
    static constexpr double kDefaultRate = 50;

    // Reads the whole file once: every frame block's place, the duration. false with the reason
    // ("FILE line N: ...") for a file that is no AD log or is damaged; a player that was open
    // stays as it was.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return !frames_.empty(); }
    void close();
    const std::string& path() const { return path_; }
    // Frame blocks after the start blocks.
    size_t frameCount() const { return frames_.size(); }
    // Frames played so far: the last one shown is position() - 1.
    size_t position() const { return next_; }
    bool atEnd() const { return next_ >= frames_.size(); }
    // Frames per second of the recording (from its duration), at speed 1.
    double rate() const { return rate_; }

    double speed() const { return speed_; }
    // Speeds from 1/16 to 16; the frames due so far are not lost or repeated.
    void setSpeed(double speed, int64_t nowMs);
    bool paused() const { return paused_; }
    void setPaused(bool paused, int64_t nowMs);

    // Play or pause; played at its end, the log starts again from its first frame.
    void togglePlay(FrameProcessor& processor, int64_t nowMs);
    // Plays the frames due at `nowMs` (at most `maxFrames`, so that a late tick never plays a
    // second of frames at once); pauses at the end, and when the file went bad since it was
    // indexed (error() says how). Returns the frames played.
    size_t tick(int64_t nowMs, FrameProcessor& processor, size_t maxFrames = 8);
    // One frame, whatever the pause.
    bool step(FrameProcessor& processor);
    // Moves to frame `frame` (0 … frameCount() − 1) and plays it.
    bool seek(size_t frame, FrameProcessor& processor, int64_t nowMs);
    const std::string& error() const { return error_; }

private:
    struct Place {
        uint64_t offset;
        size_t line;
    };
    bool playNext(FrameProcessor& processor);
    void restartClock(int64_t nowMs);

    std::string path_;
    AdLogReader reader_;
    std::vector<Place> frames_;
    size_t next_ = 0;
    double rate_ = kDefaultRate;
    double speed_ = 1;
    bool paused_ = false;
    // Frame `clockFrame_` was due at `clockMs_`; the ones after it follow at rate × speed.
    int64_t clockMs_ = 0;
    size_t clockFrame_ = 0;
    bool clockSet_ = false;
    AdLogBlock block_;
    std::string error_;
};

}  // namespace oculant
