#include "signal/ChartText.h"

#include <cstdio>

#include "i18n/TextKeys.h"

namespace oculant {
namespace {

constexpr std::string_view kCaptionKey = "FormSignal";
constexpr std::string_view kRecordingKey = "Recording";
constexpr std::string_view kSeparator = "  |  ";

std::string text(const SignalTextLookup& lookup, std::string_view key, std::string_view fallback)
{
    return lookup ? lookup(key) : std::string(fallback);
}

namespace w = textkeys::signalwords;
using textkeys::KeyFallback;

std::string word(const TextLookupOr& words, const KeyFallback& k)
{
    return textOf(words, k);
}

std::string word(const TextLookupOr& words, const KeyFallback& k, std::initializer_list<std::string_view> values)
{
    return fillIn(word(words, k), values);
}

void appendDrops(std::string& out, const SignalStatus& s, const TextLookupOr& words)
{
    const uint64_t total = s.ringDrops + s.drops.total();
    out += word(words, w::kDropped, {std::to_string(total)});
    std::string reasons;
    auto reason = [&](std::string_view what, uint64_t count) {
        if (count == 0)
            return;
        if (!reasons.empty())
            reasons += ", ";
        reasons += std::string(what) + " " + std::to_string(count);
    };
    reason(word(words, w::kDropReasons[kFrameStatusCount]), s.ringDrops);
    for (int i = 1; i < kFrameStatusCount; ++i)
        reason(frameDropReason(FrameStatus(i), words), s.drops.byStatus[size_t(i)]);
    if (!reasons.empty())
        out += " (" + reasons + ")";
    if (s.lostReports > 0)
        out += ", " + word(words, w::kReportsLost, {std::to_string(s.lostReports)});
}

void appendLog(std::string& out, const SignalStatus& s, const TextLookupOr& words)
{
    if (s.logPath.empty()) {
        out += word(words, w::kNotRecording);
        return;
    }
    // Logs go into the current directory by default; "./" says nothing to the reader.
    std::string_view path = s.logPath;
    if (path.starts_with("./"))
        path.remove_prefix(2);
    out += word(words, s.recording ? w::kRecordingTo : w::kLastLog, {path});
    out += ", " + word(words, s.framesWritten == 1 ? w::kOneFrame : w::kFrames, {std::to_string(s.framesWritten)});
    if (s.framesNotWritten > 0)
        out += ", " + word(words, w::kNotWritten, {std::to_string(s.framesNotWritten)});
}

}  // namespace

std::string signalCaption(bool logOn, const SignalTextLookup& lookup)
{
    std::string caption = text(lookup, kCaptionKey, kSignalDesignCaption);
    if (logOn)
        caption += " - " + text(lookup, kRecordingKey, "Recording");
    return caption;
}

std::string chartLayerText(bool xAxis, int layer, int offset, const TextLookupOr& words)
{
    return word(words, w::kLayer,
                {xAxis ? "X" : "Y", std::to_string(layer), (offset > 0 ? "+" : "") + std::to_string(offset)});
}

std::string chartValueText(int position, int level, bool marked, const TextLookupOr& words)
{
    std::string text = word(words, w::kValueAt, {std::to_string(position), std::to_string(level)});
    if (marked)
        text += word(words, w::kMarked);
    return text;
}

std::string frameDropReason(FrameStatus status, const TextLookupOr& words)
{
    const size_t i = size_t(status);
    return i < size_t(kFrameStatusCount) ? word(words, w::kDropReasons[i]) : std::string("unknown");
}

std::string playbackStatusText(const PlaybackStatus& s, const TextLookupOr& words)
{
    std::string_view path = s.path;
    if (const size_t slash = path.find_last_of('/'); slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    std::string out = word(words, w::kPlaying, {path, std::to_string(s.frame), std::to_string(s.frames)});
    if (s.ended || s.paused) {
        out += kSeparator;
        out += word(words, s.ended ? w::kPlayEnded : w::kPlayPaused);
    }
    char speed[32];
    std::snprintf(speed, sizeof speed, "%g", s.speed);
    out += kSeparator;
    out += word(words, w::kPlaySpeed, {speed});
    out += kSeparator;
    out += "X " + std::to_string(s.bX) + " × " + std::to_string(s.nX) + ", Y " + std::to_string(s.bY) + " × " +
           std::to_string(s.nY);
    return out;
}

std::string signalStatusText(const SignalStatus& s, const TextLookupOr& words)
{
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", s.framesPerSecond);
    std::string out = word(words, w::kRate, {rate});
    out += kSeparator;
    out += "X " + std::to_string(s.bX) + " × " + std::to_string(s.nX) + ", Y " + std::to_string(s.bY) + " × " +
           std::to_string(s.nY);
    out += kSeparator;
    appendDrops(out, s, words);
    out += kSeparator;
    appendLog(out, s, words);
    return out;
}

}  // namespace oculant
