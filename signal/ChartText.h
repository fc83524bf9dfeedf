#pragma once
// The signal window's texts: chart names and design titles, the caption, and the status line a
// technician reads when a signal looks wrong (frame rate, dropped frames, the log being written).

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "base/TextLookup.h"
#include "signal/FrameProcessor.h"

namespace oculant {

struct ChartName {
    const char* control;      // the chart's control name, which the language file keys
    const char* designTitle;  // its title until a language is applied
};
inline constexpr std::array<ChartName, 6> kSignalChartNames{{
    {"ChartSigX0", "长边信号 X0"},
    {"ChartSigX1", "长边信号 X1"},
    {"ChartSigX2", "长边信号 X2"},
    {"ChartSigY0", "短边信号 Y0"},
    {"ChartSigY1", "短边信号 Y1"},
    {"ChartSigY2", "短边信号 Y2"},
}};
inline constexpr const char* kSignalDesignCaption = "Signal";
inline constexpr const char* kLogOnDesignText = "记录数据";
inline constexpr const char* kSignalQualityDesignText = "信号质量";

// Text by language key; the window passes the language file's lookup.
using SignalTextLookup = std::function<std::string(std::string_view key)>;

// The window caption: the "FormSignal" text, followed by " - " and the "Recording" text while
// recording is switched on. Without a lookup: "Signal" and "Recording".
std::string signalCaption(bool logOn, const SignalTextLookup& lookup);

// Under a chart: which layer it shows, so that X1 and X2 (the last two layers) can be told
// apart from layers 1 and 2. "X layer 4, offset +2"; layer 0 is shown with offset 0.
// words: the language file's texts (the English ones without).
std::string chartLayerText(bool xAxis, int layer, int offset, const TextLookupOr& words = {});

// The value under the mouse: "position 123: level 200", with ", quality mark" when the
// position has one; words as above.
std::string chartValueText(int position, int level, bool marked, const TextLookupOr& words = {});

// What the status line shows.
struct SignalStatus {
    double framesPerSecond = 0;   // frames processed per second, over the last second
    uint64_t ringDrops = 0;       // assembled frames overwritten in the frame ring before processing
    uint64_t lostReports = 0;     // input reports overwritten in the receive ring (frames break)
    FrameDropCounts drops;        // frames the processor refused, by reason
    uint8_t bX = 0, bY = 0;
    uint16_t nX = 0, nY = 0;
    bool recording = false;       // a log file is open
    std::string logPath;          // the current log, or the last one; empty: none yet
    uint64_t framesWritten = 0;   // frames in that log
    uint64_t framesNotWritten = 0;  // frames missing from it: the disk did not keep up
};

// One line, parts separated by "  |  ": rate, layout, dropped frames with their reasons (only
// the reasons that occurred), the log. For example
//   "25.0 frames/s  |  X 3 × 40, Y 3 × 24  |  dropped 3 (frame ring full 2, bad checksum 1)
//    |  recording 1700000000.txt, 250 frames"; frames missing from the log are named after them,
//   ", 12 not written (disk too slow)".
std::string signalStatusText(const SignalStatus& status, const TextLookupOr& words = {});

// The status line while a recorded log plays: which log, which frame of how many, paused or at
// its end, the speed and the layout. "log 1767225600.txt: frame 120 of 3000  |  paused  |
// speed 2x  |  X 3 × 160, Y 3 × 90".
struct PlaybackStatus {
    std::string path;
    size_t frame = 0, frames = 0;  // the frame shown, from 1; 0 before the first
    bool paused = false, ended = false;
    double speed = 1;
    uint8_t bX = 0, bY = 0;
    uint16_t nX = 0, nY = 0;
};
std::string playbackStatusText(const PlaybackStatus& status, const TextLookupOr& words = {});

// The processor's reason for refusing a frame, as the status line names it.
std::string frameDropReason(FrameStatus status, const TextLookupOr& words = {});

}  // namespace oculant
