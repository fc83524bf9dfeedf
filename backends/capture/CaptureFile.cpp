#include "backends/capture/CaptureFile.h"
#include "base/HexDigit.h"

#include <algorithm>
#include <cstdio>

#include "base/FileIo.h"
#include "base/LineReader.h"

namespace oculant {

namespace {

// Ten digits of seconds: the seconds since 1970 that some recorders start their clock at, and
// far from an overflow in microseconds.
constexpr size_t kMaxSecondsDigits = 10;

std::vector<std::string_view> fields(std::string_view s)
{
    std::vector<std::string_view> out;
    size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < s.size() && s[i] != ' ' && s[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(s.substr(start, i - start));
    }
    return out;
}

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool parseDecimal(std::string_view s, size_t maxDigits, int64_t& value)
{
    if (!allDigits(s) || s.size() > maxDigits)
        return false;
    value = 0;
    for (char c : s)
        value = value * 10 + (c - '0');
    return true;
}

bool parseHex16(std::string_view s, uint16_t& value)
{
    if (s.empty() || s.size() > 4)
        return false;
    unsigned v = 0;
    for (char c : s) {
        const int d = hexDigitValue(c);
        if (d < 0)
            return false;
        v = v * 16 + unsigned(d);
    }
    value = uint16_t(v);
    return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// "R:", "D:" ...: one upper-case letter and a colon. Anything else is free text to the readers.
bool isTagged(std::string_view line) { return line.size() >= 2 && line[1] == ':' && line[0] >= 'A' && line[0] <= 'Z'; }

// A line the reader takes something from: a tag, or one of our writes.
bool carriesData(std::string_view line) { return isTagged(line) || line.rfind("# W:", 0) == 0; }

// Parses the lines of a recording one by one; throws nothing, reports through `error` (without
// the line number). Lines belong to the device the last D: line named, device 0 before any.
class LineParser {
public:
    explicit LineParser(CaptureContent content) : keepEvents_(content == CaptureContent::Everything) {}

    bool line(std::string_view text, std::string& error)
    {
        text = trimmed(text);
        if (text.empty())
            return true;
        if (text.rfind("# W:", 0) == 0)
            return timed(text.substr(4), CaptureEvent::Direction::Output, "W:", error);
        if (text[0] == '#') {
            comment(text.substr(text.rfind("# ", 0) == 0 ? 2 : 1));
            return true;
        }
        if (!isTagged(text))
            return true;  // free text, such as a note on what the recording shows
        std::string_view rest = text.substr(2);
        switch (text[0]) {
        case 'D': return select(rest, error);
        case 'N':
            if (!rest.empty() && rest[0] == ' ')
                rest.remove_prefix(1);
            return header(&Seen::name, "N:", error) && (current().name = std::string(rest), true);
        case 'I': return header(&Seen::ids, "I:", error) && ids(rest, error);
        case 'R': return header(&Seen::descriptor, "R:", error) && descriptor(rest, error);
        case 'E': return timed(rest, CaptureEvent::Direction::Input, "E:", error);
        default: return true;  // P: (the physical path), B: (reports a BPF program saw), newer tags
        }
    }

    bool finish(std::string& error) const
    {
        if (devices_.empty()) {
            error = "the file ends without its R: line";
            return false;
        }
        for (size_t i = 0; i < devices_.size(); ++i)
            if (const char* missing = missingHeader(i)) {
                error = std::string("the file ends without ") +
                        (devices_.size() == 1 ? std::string("its ") + missing + " line"
                                              : std::string("the ") + missing + " line of " + deviceName(i));
                return false;
            }
        return true;
    }

    std::vector<CaptureFile> take() { return std::move(devices_); }

private:
    struct Seen {
        bool name = false, ids = false, descriptor = false, report = false;
    };

    // The device the lines are for, made when its first line comes.
    CaptureFile& current()
    {
        if (current_ == kNone) {
            current_ = devices_.size();
            devices_.emplace_back();
            devices_.back().device = selected_;
            devices_.back().comments = std::move(pendingComments_);
            seen_.emplace_back();
        }
        return devices_[current_];
    }

    const char* missingHeader(size_t i) const
    {
        return !seen_[i].descriptor ? "R:" : !seen_[i].ids ? "I:" : nullptr;
    }

    std::string deviceName(size_t i) const { return "device " + std::to_string(devices_[i].device); }

    // Comments before the file's first report are the header's; later ones (decoded reports)
    // are not kept.
    void comment(std::string_view text)
    {
        if (anyEvent_)
            return;
        if (current_ == kNone)
            pendingComments_.emplace_back(text);
        else
            devices_[current_].comments.emplace_back(text);
    }

    // "D: n": the lines that follow belong to device n. The device left must have its header.
    bool select(std::string_view rest, std::string& error)
    {
        const std::vector<std::string_view> f = fields(rest);
        int64_t n = 0;
        if (f.size() != 1 || !parseDecimal(f[0], 6, n)) {
            error = "D: wants a device number";
            return false;
        }
        if (current_ != kNone)
            if (const char* missing = missingHeader(current_)) {
                error = "D: " + std::to_string(n) + " before the " + missing + " line of " + deviceName(current_);
                return false;
            }
        selected_ = unsigned(n);
        current_ = kNone;
        for (size_t i = 0; i < devices_.size(); ++i)
            if (devices_[i].device == selected_)
                current_ = i;
        if (current_ == kNone && devices_.size() == kMaxCaptureDevices) {
            error = "D: " + std::to_string(n) + ": more than " + std::to_string(kMaxCaptureDevices) + " devices";
            return false;
        }
        return true;
    }

    bool header(bool Seen::*line, const char* tag, std::string& error)
    {
        current();
        if (seen_[current_].report) {
            error = std::string(tag) + " after the first report";
            return false;
        }
        bool& seen = seen_[current_].*line;
        if (seen) {
            error = std::string("a second ") + tag + " line for " + deviceName(current_);
            return false;
        }
        seen = true;
        return true;
    }

    bool ids(std::string_view rest, std::string& error)
    {
        const std::vector<std::string_view> f = fields(rest);
        CaptureFile& c = current();
        if (f.size() != 3 || !parseHex16(f[0], c.bus) || !parseHex16(f[1], c.vendorId) ||
            !parseHex16(f[2], c.productId)) {
            error = "I: wants \"<bus> <vendor> <product>\" in hex";
            return false;
        }
        return true;
    }

    bool descriptor(std::string_view rest, std::string& error)
    {
        const std::vector<std::string_view> f = fields(rest);
        return bytes(f, 0, kMaxCaptureDescriptorBytes, "R:", current().descriptor, error);
    }

    bool timed(std::string_view rest, CaptureEvent::Direction direction, const char* tag, std::string& error)
    {
        const char* missing = current_ == kNone ? "R:" : missingHeader(current_);
        if (missing) {
            error = std::string(tag) + " before the " + missing + " line";
            return false;
        }
        const std::vector<std::string_view> f = fields(rest);
        CaptureEvent e;
        e.direction = direction;
        if (f.empty() || !time(f[0], e.timeUs)) {
            error = std::string(tag) + " time is not <seconds>.<6-digit microseconds>";
            return false;
        }
        // One clock for the whole file, whichever device a report came from.
        if (anyEvent_ && e.timeUs < lastTimeUs_) {
            error = std::string(tag) + " time " + formatCaptureTime(e.timeUs) + " goes back before " +
                    formatCaptureTime(lastTimeUs_);
            return false;
        }
        if (!bytes(f, 1, kMaxCaptureReportBytes, tag, e.bytes, error))
            return false;
        anyEvent_ = true;
        seen_[current_].report = true;
        lastTimeUs_ = e.timeUs;
        if (keepEvents_)
            devices_[current_].events.push_back(std::move(e));
        return true;
    }

    static bool time(std::string_view s, int64_t& us)
    {
        const size_t dot = s.find('.');
        int64_t seconds = 0, micro = 0;
        if (dot == std::string_view::npos || s.size() - dot - 1 != 6)
            return false;
        if (!parseDecimal(s.substr(0, dot), kMaxSecondsDigits, seconds) || !parseDecimal(s.substr(dot + 1), 6, micro))
            return false;
        us = seconds * 1000000 + micro;
        return true;
    }

    // "<length> <byte> ...": fields from `first` on.
    static bool bytes(const std::vector<std::string_view>& f, size_t first, size_t maxLength, const char* tag,
                      std::vector<uint8_t>& out, std::string& error)
    {
        int64_t length = 0;
        if (f.size() <= first || !parseDecimal(f[first], 6, length)) {
            error = std::string(tag) + " length is not a decimal number";
            return false;
        }
        if (length == 0 || size_t(length) > maxLength) {
            error = std::string(tag) + " length " + std::to_string(length) + " is outside 1-" + std::to_string(maxLength);
            return false;
        }
        const size_t given = f.size() - first - 1;
        if (given != size_t(length)) {
            error = std::string(tag) + " says " + std::to_string(length) + " bytes but holds " + std::to_string(given);
            return false;
        }
        out.clear();
        out.reserve(given);
        for (size_t i = first + 1; i < f.size(); ++i) {
            const std::string_view b = f[i];
            if (b.size() != 2 || hexDigitValue(b[0]) < 0 || hexDigitValue(b[1]) < 0) {
                error = std::string(tag) + " byte " + std::to_string(i - first) + " \"" + std::string(b.substr(0, 8)) +
                        "\" is not two hex digits";
                return false;
            }
            out.push_back(uint8_t(hexDigitValue(b[0]) * 16 + hexDigitValue(b[1])));
        }
        return true;
    }

    static constexpr size_t kNone = size_t(-1);
    bool keepEvents_;
    std::vector<CaptureFile> devices_;
    std::vector<Seen> seen_;  // per device, the header lines read
    size_t current_ = kNone;  // index into devices_; kNone until the selected device has a line
    unsigned selected_ = 0;   // the number the last D: line gave
    std::vector<std::string> pendingComments_;  // header comments before the first device
    bool anyEvent_ = false;
    int64_t lastTimeUs_ = 0;
};

void appendBytes(std::string& out, const std::vector<uint8_t>& bytes)
{
    static const char* const kHex = "0123456789abcdef";
    out += std::to_string(bytes.size());
    for (uint8_t b : bytes) {
        out += ' ';
        out += kHex[b >> 4];
        out += kHex[b & 15];
    }
    out += '\n';
}

}  // namespace

size_t CaptureFile::inputCount() const
{
    return size_t(std::count_if(events.begin(), events.end(),
                                [](const CaptureEvent& e) { return e.direction == CaptureEvent::Direction::Input; }));
}

std::string formatCaptureTime(int64_t timeUs)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%06lld.%06lld", (long long)(timeUs / 1000000), (long long)(timeUs % 1000000));
    return buf;
}

namespace {

// Feeds every line `next` gives to a parser and names the line of the first fault. `next`
// returns a LineReader status with the line and whether it had its line end.
template <typename NextLine>
bool parseLines(NextLine next, CaptureContent content, std::vector<CaptureFile>& devices, std::string& error)
{
    devices.clear();
    LineParser parser(content);
    size_t lineNumber = 0;
    std::string reason;
    for (;;) {
        std::string_view line;
        bool terminated = true;
        const LineReader::Status status = next(line, terminated);
        if (status == LineReader::Status::End)
            break;
        ++lineNumber;
        if (status == LineReader::Status::TooLong) {
            error = "line " + std::to_string(lineNumber) + ": longer than " + std::to_string(kMaxCaptureLineBytes) +
                    " characters, the longest line a recording holds (a report of " +
                    std::to_string(kMaxCaptureReportBytes) + " bytes)";
            return false;
        }
        if (status == LineReader::Status::Failed)
            return false;  // the reader's error is the caller's to give
        // A recorder ends every line; a last line without its end was cut off (a copy that
        // stopped, a disk that filled) and may read as a shorter valid one ("I: 3 1209 0c1").
        if (!terminated && carriesData(trimmed(line))) {
            error = "line " + std::to_string(lineNumber) + ": the file ends inside this line (it has no line end)";
            return false;
        }
        // Every carriage return before the line end goes with the blanks (a file converted to
        // CR LF twice): kept, one would end a comment or name that the writer's own line end
        // then takes away.
        if (!parser.line(line, reason)) {
            error = "line " + std::to_string(lineNumber) + ": " + reason;
            return false;
        }
    }
    if (!parser.finish(reason)) {
        error = "line " + std::to_string(lineNumber + 1) + ": " + reason;
        return false;
    }
    devices = parser.take();
    return true;
}

}  // namespace

bool parseCaptureDevices(std::string_view text, std::vector<CaptureFile>& devices, std::string& error,
                         CaptureContent content)
{
    size_t pos = 0;
    auto next = [&](std::string_view& line, bool& terminated) {
        if (pos >= text.size())
            return LineReader::Status::End;
        size_t end = text.find('\n', pos);
        terminated = end != std::string_view::npos;
        if (!terminated)
            end = text.size();
        if (end - pos > kMaxCaptureLineBytes)
            return LineReader::Status::TooLong;
        line = text.substr(pos, end - pos);
        pos = end + 1;
        return LineReader::Status::Line;
    };
    return parseLines(next, content, devices, error);
}

bool looksLikeCaptureText(std::string_view text)
{
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = trimmed(text.substr(pos, end - pos));
        if (!line.empty())
            return line[0] == '#' || isTagged(line);
        pos = end + 1;
    }
    return false;
}

namespace {

// The first device of a recording just read, or nothing when it could not be read.
bool takeFirstDevice(bool read, std::vector<CaptureFile>& devices, CaptureFile& capture)
{
    capture = read ? std::move(devices.front()) : CaptureFile{};
    return read;
}

}  // namespace

bool parseCaptureText(std::string_view text, CaptureFile& capture, std::string& error)
{
    std::vector<CaptureFile> devices;
    return takeFirstDevice(parseCaptureDevices(text, devices, error), devices, capture);
}

bool loadCaptureDevices(const std::string& path, std::vector<CaptureFile>& devices, std::string& error,
                        CaptureContent content)
{
    LineReader reader(path, kMaxCaptureLineBytes);
    std::string parseError;
    auto next = [&](std::string_view& line, bool& terminated) { return reader.next(line, terminated); };
    if (parseLines(next, content, devices, parseError))
        return true;
    error = parseError.empty() ? reader.error() : path + ": " + parseError;
    return false;
}

bool loadCaptureFile(const std::string& path, CaptureFile& capture, std::string& error)
{
    std::vector<CaptureFile> devices;
    return takeFirstDevice(loadCaptureDevices(path, devices, error), devices, capture);
}

std::string formatCaptureText(const CaptureFile& capture)
{
    std::string out;
    if (capture.device != 0)
        out += "D: " + std::to_string(capture.device) + "\n";
    // A comment reading "W: ..." written as "# W: ..." would come back as one of our writes;
    // without the blank it stays a comment ("#" alone is stripped when no blank follows).
    for (const std::string& c : capture.comments)
        out += c.empty() ? "#\n" : (c.rfind("W:", 0) == 0 ? "#" : "# ") + c + "\n";
    out += "N: " + capture.name + "\n";
    char ids[40];
    std::snprintf(ids, sizeof ids, "I: %x %04x %04x\n", capture.bus, capture.vendorId, capture.productId);
    out += ids;
    out += "R: ";
    appendBytes(out, capture.descriptor);
    for (const CaptureEvent& e : capture.events) {
        out += e.direction == CaptureEvent::Direction::Input ? "E: " : "# W: ";
        out += formatCaptureTime(e.timeUs);
        out += ' ';
        appendBytes(out, e.bytes);
    }
    return out;
}

bool saveCaptureFile(const std::string& path, const CaptureFile& capture, std::string& error)
{
    std::string writeError;
    if (!writeFileAtomically(path, formatCaptureText(capture), &writeError)) {
        error = writeError;
        return false;
    }
    return true;
}

}  // namespace oculant
