#pragma once
// Capture files: the HID traffic of one or more devices as text, in the line format of the
// common Linux HID recording and replay tools, so a capture made in the field can be replayed by
// those tools and a recording made with them can be replayed here.
//
//   # comment
//   D: <n>                                       the device the lines below belong to
//   N: <device name>
//   I: <bus> <vendor> <product>                  hex, e.g. "I: 3 1ff7 0f0f"
//   R: <length> <byte> <byte> ...                the report descriptor, length decimal
//   E: <seconds>.<microseconds> <length> <bytes> one input report, time from the start
//   # W: <seconds>.<microseconds> <length> <bytes>  one report we wrote (a comment to the others)
//
// The reader takes what those tools' readers take: lines without a tag (free text, often
// indented), tags it has no use for (P:, B:, others), blank lines, blanks at either end of a
// line, CR LF, "D:0" without its blank, hex in either case and ids of any width. A file without
// D: lines holds device 0. It stays strict where a file is damaged: an R:, E: or W: line whose
// length disagrees with its bytes or whose bytes are not hex, a time that goes back, a device
// without its R: or I: line, a line longer than any recording holds, a last line cut off
// before its line end: refused with the 1-based line number, so a damaged file never replays
// half. A device without report ids keeps its reports as the kernel gives them (no id byte).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace oculant {

struct CaptureEvent {
    enum class Direction { Input, Output };
    Direction direction = Direction::Input;
    // As the file gives it: from the moment the device was opened in a capture made here; other
    // recorders start elsewhere, so the first report need not be at 0.
    int64_t timeUs = 0;
    std::vector<uint8_t> bytes;
};

struct CaptureFile {
    unsigned device = 0;  // its number in a recording of several devices ("D: n")
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

// The longest line a recording may hold: an E: or # W: line of the longest report (three
// characters a byte) with its tag, ten-digit time and length, and room for blanks. Files are
// read line by line, so this, not the file's size, bounds what reading takes.
constexpr size_t kMaxCaptureLineBytes = 3 * kMaxCaptureReportBytes + 64;

// What a reader keeps: every report, or only each device's header (name, ids, descriptor) when
// the reports are not wanted; the reports are checked as strictly either way.
enum class CaptureContent { Everything, HeadersOnly };

// A recording names each device once with "D: n" before its lines; more than this many in one
// file is not a recording of devices plugged into one machine.
constexpr size_t kMaxCaptureDevices = 64;

// Parses a whole recording: every device in the order the file first names it. On failure
// returns false, leaves `devices` empty and sets `error` to "line N: <reason>" (N counts from
// 1; a file that ends too early names the line after its last). Refused besides what the
// header says: a line longer than kMaxCaptureLineBytes, and a last tagged line that the file
// ends without its line end (cut off).
bool parseCaptureDevices(std::string_view text, std::vector<CaptureFile>& devices, std::string& error,
                         CaptureContent content = CaptureContent::Everything);
// True when the text reads as a recording rather than a bare descriptor: its first line that is
// not blank is a comment or starts with a tag ("R: ...", "D:0"). Hex text starts with a hex
// digit and a binary descriptor with an item prefix byte (a Usage Page is 0x05 or 0x06).
bool looksLikeCaptureText(std::string_view text);
// The same for the first device only; on failure `capture` is left empty.
bool parseCaptureText(std::string_view text, CaptureFile& capture, std::string& error);
// Read and parse a file line by line, of any size; errors name the file. FIFOs, devices and
// folders are refused at once.
bool loadCaptureDevices(const std::string& path, std::vector<CaptureFile>& devices, std::string& error,
                        CaptureContent content = CaptureContent::Everything);
bool loadCaptureFile(const std::string& path, CaptureFile& capture, std::string& error);

// The text of a capture, which parseCaptureText reads back unchanged (a device other than 0
// starts with its D: line).
std::string formatCaptureText(const CaptureFile& capture);
// Writes atomically (temporary file, then rename): an interrupted capture never leaves half a file.
bool saveCaptureFile(const std::string& path, const CaptureFile& capture, std::string& error);

// "000001.250000": seconds zero-padded to six digits, then microseconds.
std::string formatCaptureTime(int64_t timeUs);

}  // namespace oculant
