#pragma once
// Capture files: the HID traffic of one device as text, in the line format of the common Linux
// HID recording and replay tools, so a capture made in the field can be replayed by those tools
// and a recording made with them can be replayed here.
//
//   # comment
//   N: <device name>
//   I: <bus> <vendor> <product>                  hex, e.g. "I: 3 1ff7 0f0f"
//   R: <length> <byte> <byte> ...                the report descriptor, length decimal
//   E: <seconds>.<microseconds> <length> <bytes> one input report, time from the start
//   # W: <seconds>.<microseconds> <length> <bytes>  one report we wrote (a comment to the others)
//
// Bytes are two hex digits separated by single spaces. The reader is strict: any line it does
// not understand is refused with its 1-based number, so a damaged file never replays half.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oculant {

struct CaptureEvent {
    enum class Direction { Input, Output };
    Direction direction = Direction::Input;
    int64_t timeUs = 0;  // from the start of the capture
    std::vector<uint8_t> bytes;
};

struct CaptureFile {
    std::string name;
    uint16_t bus = 3;  // 3 = USB, as the kernel numbers buses
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    std::vector<uint8_t> descriptor;
    // Input reports and our writes, in time order (times never go backwards).
    std::vector<CaptureEvent> events;
    std::vector<std::string> comments;  // header comments, without the "# "

    size_t inputCount() const;
    int64_t durationUs() const { return events.empty() ? 0 : events.back().timeUs; }
};

// Kernel limits: a report descriptor holds at most 4096 bytes (HID_MAX_DESCRIPTOR_SIZE) and no
// hidraw report is longer than its 16384-byte buffer.
constexpr size_t kMaxCaptureDescriptorBytes = 4096;
constexpr size_t kMaxCaptureReportBytes = 16384;

// Parses a whole capture. On failure returns false, leaves `capture` empty and sets `error` to
// "line N: <reason>" (N counts from 1; a file that ends too early names the line after its last).
bool parseCaptureText(std::string_view text, CaptureFile& capture, std::string& error);
// Reads and parses a file; errors name the file.
bool loadCaptureFile(const std::string& path, CaptureFile& capture, std::string& error);

// The text of a capture, which parseCaptureText reads back unchanged.
std::string formatCaptureText(const CaptureFile& capture);
// Writes atomically (temporary file, then rename): an interrupted capture never leaves half a file.
bool saveCaptureFile(const std::string& path, const CaptureFile& capture, std::string& error);

// "000001.250000": seconds zero-padded to six digits, then microseconds.
std::string formatCaptureTime(int64_t timeUs);

}  // namespace oculant
