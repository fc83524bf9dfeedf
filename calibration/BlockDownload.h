#pragma once
// What a calibration download sends and shows: the image of the flash calibration area with its
// CRC word, the block-write header, the progress text and the end of the transfer.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "calibration/ParameterBlock.h"
#include "calibration/TextLookup.h"
#include "protocol/FlashMap.h"

namespace oculant {


struct DownloadImage {
    static constexpr size_t kBufferSize = 2048;
    std::array<uint8_t, kBufferSize> buffer{};  // block, then 0xFF, then the CRC word
    uint32_t length = 0;                        // bytes to write: the area's size
    std::array<uint8_t, 6> header{};            // 0x07, 0x10, start address (little-endian)
};

// The block at the start of a 0xFF-filled buffer, with Crc32Words over the first size/4 − 1
// words stored in the area's last four bytes. Refused for an area that cannot hold the block
// and its CRC, exceeds the buffer, or is not whole words (the transfer would never end).
std::optional<DownloadImage> buildDownloadImage(const ParameterBlock& block, CalibrationArea area);

// Why a calibration, reset or multi-area run cannot start, as a language key: no calibration
// area or a model number 11..26 ("FunctionNotValid"), then no frame ("PanelUnconnect").
std::optional<std::string_view> calibrationRunRefusalKey(CalibrationArea area, uint8_t modelCode,
                                                         bool connected);

// Status-bar text while the block is written: "DownloadWait" text, sent·100/total, "%".
std::string downloadProgressText(uint32_t sent, uint32_t total, const TextLookup& lookup);

// Shown (status bar and message box, followed by the percentage written) when the worker ended
// the transfer before its last byte: the frame was lost or stopped taking reports.
inline constexpr const char* kDownloadAbortedText = "Download aborted: the frame did not take the whole calibration block. Written: ";

// Shown instead of the calibration report when the download could not start because the worker
// is still writing an earlier block: the new calibration is in memory only.
inline constexpr const char* kDownloadBusyText =
    "Nothing was written to the frame: it is still busy with an earlier download. Run the calibration again "
    "once that download has ended.";

// Shown instead of a download when the connected device is a recording played back: what is
// written to it is dropped, so nothing is sent and nothing kept.
inline constexpr const char* kRecordingText = "This is a recording: nothing can be written to it.";

struct DownloadTick {
    bool finished = false;  // enable the device buttons, stop the timer, ask the frame to run
    bool aborted = false;   // the transfer ended before its last byte
    std::string statusText;
    // "DownloadFinish" unless a report was shown; an aborted transfer always says so.
    std::optional<std::string> messageBox;
};

// The 200 ms progress tick. Clears reportShown when the transfer has ended. The worker is idle
// again with fewer bytes sent than the total only when the transfer was aborted.
DownloadTick downloadProgressTick(bool workerIdle, uint32_t sent, uint32_t total, bool& reportShown,
                                  const TextLookup& lookup);

}  // namespace oculant
