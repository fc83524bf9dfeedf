#include "signal/ChartText.h"

#include <cstdio>

namespace oculant {
namespace {

constexpr std::string_view kCaptionKey = "FormSignal";
constexpr std::string_view kRecordingKey = "Recording";
constexpr std::string_view kSeparator = "  |  ";

std::string text(const SignalTextLookup& lookup, std::string_view key, std::string_view fallback)
{
    return lookup ? lookup(key) : std::string(fallback);
}

void appendDrops(std::string& out, const SignalStatus& s)
{
    const uint64_t total = s.ringDrops + s.drops.total();
    out += "dropped " + std::to_string(total);
    std::string reasons;
    auto reason = [&](std::string_view what, uint64_t count) {
        if (count == 0)
            return;
        if (!reasons.empty())
            reasons += ", ";
        reasons += std::string(what) + " " + std::to_string(count);
    };
    reason("frame ring full", s.ringDrops);
    for (int i = 1; i < kFrameStatusCount; ++i)
        reason(frameDropReason(FrameStatus(i)), s.drops.byStatus[size_t(i)]);
    if (!reasons.empty())
        out += " (" + reasons + ")";
    if (s.lostReports > 0)
        out += ", " + std::to_string(s.lostReports) + " reports lost";
}

void appendLog(std::string& out, const SignalStatus& s)
{
    if (s.logPath.empty()) {
        out += "not recording";
        return;
    }
    // Logs go into the current directory by default; "./" says nothing to the reader.
    std::string_view path = s.logPath;
    if (path.starts_with("./"))
        path.remove_prefix(2);
    out += s.recording ? "recording " : "last log ";
    out += path;
    out += ", " + std::to_string(s.framesWritten) + (s.framesWritten == 1 ? " frame" : " frames");
    if (s.framesNotWritten > 0)
        out += ", " + std::to_string(s.framesNotWritten) + " not written (disk too slow)";
}

}  // namespace

std::string signalCaption(bool logOn, const SignalTextLookup& lookup)
{
    std::string caption = text(lookup, kCaptionKey, kSignalDesignCaption);
    if (logOn)
        caption += " - " + text(lookup, kRecordingKey, "Recording");
    return caption;
}

std::string chartLayerText(bool xAxis, int layer, int offset)
{
    return std::string(xAxis ? "X" : "Y") + " layer " + std::to_string(layer) + ", offset " +
           (offset > 0 ? "+" : "") + std::to_string(offset);
}

std::string_view frameDropReason(FrameStatus status)
{
    switch (status) {
    case FrameStatus::Accepted:
        return "accepted";
    case FrameStatus::BadChecksum:
        return "bad checksum";
    case FrameStatus::UnknownFamily:
        return "unknown family";
    case FrameStatus::Truncated:
        return "truncated";
    case FrameStatus::BeyondLimits:
        return "beyond limits";
    case FrameStatus::ShortPayload:
        return "short payload";
    case FrameStatus::OutOfRange:
        return "out of range";
    }
    return "unknown";
}

std::string signalStatusText(const SignalStatus& s)
{
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f frames/s", s.framesPerSecond);
    std::string out = rate;
    out += kSeparator;
    out += "X " + std::to_string(s.bX) + " × " + std::to_string(s.nX) + ", Y " + std::to_string(s.bY) + " × " +
           std::to_string(s.nY);
    out += kSeparator;
    appendDrops(out, s);
    out += kSeparator;
    appendLog(out, s);
    return out;
}

}  // namespace oculant
