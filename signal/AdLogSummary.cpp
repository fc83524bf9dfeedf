#include "signal/AdLogSummary.h"

#include <sys/stat.h>

#include <charconv>

#include "signal/AdLogReader.h"
#include "signal/FrameProcessor.h"

namespace oculant {
namespace {

// A log's last change more than a week after its start is another file's time (a copy).
constexpr double kLongestRecordingSeconds = 7 * 24 * 3600.0;

}  // namespace

std::optional<int64_t> logStartFromName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    std::string_view name(path);
    name.remove_prefix(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() < 5 || name.substr(name.size() - 4) != ".txt")
        return std::nullopt;
    name.remove_suffix(4);
    if (const size_t dash = name.find('-'); dash != std::string_view::npos) {
        const std::string_view suffix = name.substr(dash + 1);
        if (suffix.empty() || suffix.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
        name = name.substr(0, dash);
    }
    int64_t seconds = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), seconds);
    if (ec != std::errc() || end != name.data() + name.size() || seconds <= 0)
        return std::nullopt;
    return seconds;
}

bool summarizeAdLog(const std::string& path, AdLogSummary& out, std::string& error)
{
    out = AdLogSummary{};
    out.path = path;
    AdLogReader reader;
    if (!reader.open(path)) {
        error = reader.error();
        return false;
    }
    out.family = reader.family();
    out.versionLine = reader.versionLine();
    // The same processor as live frames: a block it would refuse from the device is refused here.
    SignalStore store;
    FrameProcessor processor(store);
    AdLogBlock block;
    bool sawLiveScan = false, lastWasLive = false;
    std::optional<ScanLayout> lastLayout;
    while (reader.next(block)) {
        out.checksumMismatches += !block.checksumMatches;
        if (block.startBlock) {
            ++out.startBlocks;
            continue;
        }
        ++out.frames;
        if (const FrameResult r = processor.ProcessFrame(block.frame.data(), block.frame.size());
            r.status != FrameStatus::Accepted) {
            error = path + " line " + std::to_string(block.line) + ": a frame the processor refuses";
            return false;
        }
        const uint8_t type = block.header.type();
        if (type != kTypeLiveScan) {
            out.thresholds += type == kTypeThreshold;
            out.references += type == kTypeReference;
            if (lastWasLive)
                out.gapLines.push_back(block.line);
            lastWasLive = false;
            continue;
        }
        ++out.liveScans;
        ScanLayout layout = ScanLayout::of(block.header);
        if (sawLiveScan && !(layout == *lastLayout))
            out.layoutChangeLines.push_back(block.line);
        // Family 0x00 scans leave the store's planes as they are; the log holds their samples.
        out.levels.addScan(layout, block.samples());
        lastLayout = std::move(layout);
        sawLiveScan = lastWasLive = true;
    }
    if (!reader.error().empty()) {
        error = reader.error();
        return false;
    }
    out.cutBlockLine = reader.cutBlockLine();
    out.bytes = reader.bytesRead();
    out.seconds = logDurationSeconds(path);
    return true;
}

std::optional<double> logDurationSeconds(const std::string& path)
{
    struct stat st {};
    const std::optional<int64_t> start = logStartFromName(path);
    if (!start || ::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    const double end = double(st.st_mtim.tv_sec) + double(st.st_mtim.tv_nsec) / 1e9;
    if (end < double(*start) || end - double(*start) > kLongestRecordingSeconds)
        return std::nullopt;
    return end - double(*start);
}

}  // namespace oculant
