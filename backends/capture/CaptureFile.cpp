#include "backends/capture/CaptureFile.h"
#include "base/HexDigit.h"

#include <algorithm>
#include <cstdio>

#include "base/FileIo.h"

namespace oculant {

namespace {

// A capture of ten minutes at a thousand reports a second is about 120 MB of text.
constexpr size_t kMaxCaptureFileBytes = size_t(512) << 20;
// Nine digits of seconds: more than thirty years, and no overflow in microseconds.
constexpr size_t kMaxSecondsDigits = 9;

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

// Parses one line of a capture; throws nothing, reports through `error` (without the line number).
class LineParser {
public:
    explicit LineParser(CaptureFile& capture) : c_(capture) {}

    bool line(std::string_view text, std::string& error)
    {
        if (text.empty())
            return true;
        if (text.rfind("# W:", 0) == 0)
            return timed(text.substr(4), CaptureEvent::Direction::Output, "W:", error);
        if (text[0] == '#') {
            if (c_.events.empty())
                c_.comments.emplace_back(text.substr(text.rfind("# ", 0) == 0 ? 2 : 1));
            return true;
        }
        if (text.size() < 2 || text[1] != ':' || (text.size() > 2 && text[2] != ' ')) {
            error = "not a capture line: \"" + std::string(text.substr(0, 20)) + "\"";
            return false;
        }
        const std::string_view rest = text.substr(std::min<size_t>(3, text.size()));
        switch (text[0]) {
        case 'N': return header(seenName_, "N:", error) && (c_.name = std::string(rest), true);
        case 'P': return header(seenPhys_, "P:", error);
        case 'I': return header(seenIds_, "I:", error) && ids(rest, error);
        case 'R': return header(seenDescriptor_, "R:", error) && descriptor(rest, error);
        case 'D': return deviceIndex(rest, error);
        case 'E': return timed(rest, CaptureEvent::Direction::Input, "E:", error);
        default:
            error = std::string("unknown line type \"") + text[0] + ":\"";
            return false;
        }
    }

    bool finish(std::string& error) const
    {
        if (!seenDescriptor_ || !seenIds_) {
            error = std::string("the file ends without its ") + (!seenDescriptor_ ? "R:" : "I:") + " line";
            return false;
        }
        return true;
    }

private:
    bool header(bool& seen, const char* tag, std::string& error)
    {
        if (!c_.events.empty()) {
            error = std::string(tag) + " after the first report";
            return false;
        }
        if (seen) {
            error = std::string("a second ") + tag + " line (one device per file)";
            return false;
        }
        seen = true;
        return true;
    }

    bool ids(std::string_view rest, std::string& error)
    {
        const std::vector<std::string_view> f = fields(rest);
        if (f.size() != 3 || !parseHex16(f[0], c_.bus) || !parseHex16(f[1], c_.vendorId) ||
            !parseHex16(f[2], c_.productId)) {
            error = "I: wants \"<bus> <vendor> <product>\" in hex";
            return false;
        }
        return true;
    }

    bool descriptor(std::string_view rest, std::string& error)
    {
        const std::vector<std::string_view> f = fields(rest);
        return bytes(f, 0, kMaxCaptureDescriptorBytes, "R:", c_.descriptor, error);
    }

    // Recordings of several devices switch with "D: n"; replay serves one device.
    bool deviceIndex(std::string_view rest, std::string& error)
    {
        const std::vector<std::string_view> f = fields(rest);
        if (f.size() != 1 || f[0] != "0") {
            error = "D: other than 0: only recordings of one device can be replayed";
            return false;
        }
        return true;
    }

    bool timed(std::string_view rest, CaptureEvent::Direction direction, const char* tag, std::string& error)
    {
        if (!seenDescriptor_ || !seenIds_) {
            error = std::string(tag) + " before the " + (!seenDescriptor_ ? "R:" : "I:") + " line";
            return false;
        }
        const std::vector<std::string_view> f = fields(rest);
        CaptureEvent e;
        e.direction = direction;
        if (f.empty() || !time(f[0], e.timeUs)) {
            error = std::string(tag) + " time is not <seconds>.<6-digit microseconds>";
            return false;
        }
        if (!c_.events.empty() && e.timeUs < c_.events.back().timeUs) {
            error = std::string(tag) + " time " + formatCaptureTime(e.timeUs) + " goes back before " +
                    formatCaptureTime(c_.events.back().timeUs);
            return false;
        }
        if (!bytes(f, 1, kMaxCaptureReportBytes, tag, e.bytes, error))
            return false;
        c_.events.push_back(std::move(e));
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

    CaptureFile& c_;
    bool seenName_ = false, seenPhys_ = false, seenIds_ = false, seenDescriptor_ = false;
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

bool parseCaptureText(std::string_view text, CaptureFile& capture, std::string& error)
{
    CaptureFile parsed;
    LineParser parser(parsed);
    size_t lineNumber = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        // Every carriage return before the line end goes (a file converted to CR LF twice): kept,
        // one would end a comment or name that the writer's own line end then takes away.
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        pos = end + 1;
        ++lineNumber;
        std::string reason;
        if (!parser.line(line, reason)) {
            capture = CaptureFile{};
            error = "line " + std::to_string(lineNumber) + ": " + reason;
            return false;
        }
    }
    std::string reason;
    if (!parser.finish(reason)) {
        capture = CaptureFile{};
        error = "line " + std::to_string(lineNumber + 1) + ": " + reason;
        return false;
    }
    capture = std::move(parsed);
    return true;
}

bool loadCaptureFile(const std::string& path, CaptureFile& capture, std::string& error)
{
    std::string readError;
    const std::optional<std::string> text = readFileLimited(path, kMaxCaptureFileBytes, &readError);
    if (!text) {
        error = readError;
        return false;
    }
    std::string parseError;
    if (!parseCaptureText(*text, capture, parseError)) {
        error = path + ": " + parseError;
        return false;
    }
    return true;
}

std::string formatCaptureText(const CaptureFile& capture)
{
    std::string out;
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
