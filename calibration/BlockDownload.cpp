#include "calibration/BlockDownload.h"

#include <algorithm>

#include "calibration/TextFormat.h"
#include "protocol/Crc32.h"

namespace oculant {

std::optional<DownloadImage> buildDownloadImage(const ParameterBlock& block, CalibrationArea area)
{
    const uint32_t L = area.size;
    if (L % 4 != 0 || L < ParameterBlock::kSize + 4 || L > DownloadImage::kBufferSize)
        return std::nullopt;

    DownloadImage image;
    image.buffer.fill(0xFF);
    std::copy(block.bytes().begin(), block.bytes().end(), image.buffer.begin());

    std::array<uint32_t, DownloadImage::kBufferSize / 4> words{};
    const size_t wordCount = L / 4 - 1;
    for (size_t i = 0; i < wordCount; ++i) {
        const uint8_t* b = &image.buffer[4 * i];
        words[i] = uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    }
    const uint32_t crc = Crc32Words(words.data(), wordCount);
    for (size_t i = 0; i < 4; ++i)
        image.buffer[L - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));

    image.length = L;
    image.header = {0x07, 0x10,
                    static_cast<uint8_t>(area.address), static_cast<uint8_t>(area.address >> 8),
                    static_cast<uint8_t>(area.address >> 16), static_cast<uint8_t>(area.address >> 24)};
    return image;
}

std::optional<std::string_view> calibrationRunRefusalKey(CalibrationArea area, uint8_t modelCode,
                                                         bool connected)
{
    const int model = modelCode & 0x7F;
    if (area.size == 0 || (model >= 11 && model <= 26))
        return std::string_view("FunctionNotValid");
    if (!connected)
        return std::string_view("PanelUnconnect");
    return std::nullopt;
}

std::string downloadProgressText(uint32_t sent, uint32_t total, const TextLookup& lookup)
{
    const uint64_t percent = total == 0 ? 0 : uint64_t{sent} * 100 / total;
    return lookup("DownloadWait") + formatInt(static_cast<long long>(percent)) + "%";
}

DownloadTick downloadProgressTick(bool workerIdle, uint32_t sent, uint32_t total, bool& reportShown,
                                  const TextLookup& lookup)
{
    DownloadTick tick;
    if (!workerIdle) {
        tick.statusText = downloadProgressText(sent, total, lookup);
        return tick;
    }
    tick.finished = true;
    if (sent != total) {
        const uint64_t percent = total == 0 ? 0 : uint64_t{sent} * 100 / total;
        tick.aborted = true;
        tick.statusText = kDownloadAbortedText + formatInt(static_cast<long long>(percent)) + "%";
        tick.messageBox = tick.statusText;
        reportShown = false;
        return tick;
    }
    tick.statusText = lookup("DownloadFinish");
    if (!reportShown)
        tick.messageBox = tick.statusText;
    reportShown = false;
    return tick;
}

}  // namespace oculant
