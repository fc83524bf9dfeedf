#include "signal/AdLogReader.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "base/FileIo.h"
#include "signal/AdLogFormat.h"

namespace oculant {
namespace {

// Read a megabyte at a time; a line may be as long as a row of 16,384 samples of "255 ".
constexpr size_t kBufferBytes = size_t(1) << 20;
constexpr size_t kMaxLineBytes = 4 * kMaxFrameBytes + 64;

// The kinds of the blocks a recording starts with, as AdLogRecorder writes them.
std::vector<uint8_t> startKinds(uint8_t family)
{
    if (family == kFamilyShortHeader)
        return {uint8_t(family | kTypeReference), uint8_t(family | kTypeThreshold)};
    return {uint8_t(family | kTypeReference), uint8_t(family | kTypeThreshold), uint8_t(family | kTypeLiveScan)};
}

std::string hex(uint8_t v)
{
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[v >> 4] + digits[v & 15];
}

void putU16(std::vector<uint8_t>& out, long v)
{
    out.push_back(uint8_t(v & 0xFF));
    out.push_back(uint8_t((v >> 8) & 0xFF));
}

}  // namespace

AdLogReader::AdLogReader() : buffer_(kBufferBytes) {}

AdLogReader::~AdLogReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool AdLogReader::fail(size_t line, const std::string& why)
{
    error_ = path_ + " line " + std::to_string(line) + ": " + why;
    return false;
}

bool AdLogReader::open(const std::string& path)
{
    if (fd_ >= 0)
        ::close(fd_);
    begin_ = end_ = 0;
    eof_ = false;
    line_ = 0;
    bytesRead_ = 0;
    error_.clear();
    cutBlockLine_ = 0;
    blocks_ = 0;
    path_ = path;
    std::string why;
    fd_ = openFileForReading(path, &why);
    if (fd_ < 0) {
        error_ = why;
        return false;
    }
    std::string_view line;
    bool whole = true;
    if (!nextLine(line, whole)) {
        if (error_.empty())
            error_ = path + ": the file is empty, not an AD log";
        return false;
    }
    // A log edited on Windows may begin with a byte order mark.
    if (line.substr(0, 3) == "\xEF\xBB\xBF")
        line.remove_prefix(3);
    for (uint8_t family : {kFamilyShortHeader, kFamilyFullScan, kFamilyBoundary})
        if (line == logVersionLine(family)) {
            family_ = family;
            versionLine_ = std::string(line);
            return true;
        }
    const std::string shown(line.substr(0, 60));
    return fail(1, "'" + shown + "' is not the first line of an AD log (\"AD Log Data Version 1.0\", \"2.0\" or \"5.0\")");
}

bool AdLogReader::nextLine(std::string_view& line, bool& whole)
{
    for (;;) {
        const char* start = buffer_.data() + begin_;
        lineOffset_ = bytesRead_ - (end_ - begin_);
        if (const void* lf = std::memchr(start, '\n', end_ - begin_)) {
            const size_t length = size_t(static_cast<const char*>(lf) - start);
            line = std::string_view(start, length);
            begin_ += length + 1;
            whole = true;
            break;
        }
        if (end_ - begin_ > kMaxLineBytes)
            return fail(line_ + 1, "a line longer than any row of an AD log (" + std::to_string(kMaxLineBytes) +
                                       " bytes)");
        if (eof_) {
            if (begin_ == end_)
                return false;
            line = std::string_view(start, end_ - begin_);
            begin_ = end_;
            whole = false;
            break;
        }
        // Keep the start of the line, fill the rest of the buffer.
        std::memmove(buffer_.data(), start, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        const ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error_ = path_ + ": " + std::strerror(errno);
            return false;
        }
        if (n == 0)
            eof_ = true;
        end_ += size_t(n);
        bytesRead_ += uint64_t(n);
    }
    ++line_;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return true;
}

bool AdLogReader::values(std::string_view line, size_t lineNumber, std::vector<long>& out)
{
    out.clear();
    const char* p = line.data();
    const char* const end = p + line.size();
    for (;;) {
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        if (p == end)
            return true;
        const bool negative = *p == '-';
        if (negative)
            ++p;
        long v = 0;
        const char* digits = p;
        while (p < end && *p >= '0' && *p <= '9' && p - digits < 9)
            v = v * 10 + (*p++ - '0');
        if (p == digits || (p < end && *p != ' ' && *p != '\t'))
            return fail(lineNumber, "'" + std::string(line.substr(size_t(digits - line.data()), 20)) +
                                        "' is not a decimal number");
        out.push_back(negative ? -v : v);
    }
}

bool AdLogReader::sampleRow(size_t count, const char* what)
{
    std::string_view line;
    bool whole = true;
    if (!nextLine(line, whole) || !whole)
        return false;
    if (!values(line, line_, scratch_))
        return false;
    if (scratch_.size() != count)
        return fail(line_, std::to_string(scratch_.size()) + " samples in " + what + ", the header says " +
                               std::to_string(count));
    for (long v : scratch_) {
        if (v < 0 || v > 255)
            return fail(line_, "sample " + std::to_string(v) + " in " + what + " is not a level of 0 to 255");
        frame_->push_back(uint8_t(v));
    }
    return true;
}

bool AdLogReader::seek(uint64_t offset, size_t line)
{
    if (fd_ < 0 || ::lseek(fd_, off_t(offset), SEEK_SET) < 0) {
        error_ = path_ + ": cannot move to byte " + std::to_string(offset) + ": " + std::strerror(errno);
        return false;
    }
    begin_ = end_ = 0;
    eof_ = false;
    bytesRead_ = offset;
    line_ = line - 1;
    error_.clear();
    cutBlockLine_ = 0;
    blocks_ = SIZE_MAX;  // past the start blocks
    return true;
}

bool AdLogReader::next(AdLogBlock& block)
{
    if (!error_.empty() || fd_ < 0)
        return false;
    std::string_view line;
    bool whole = true;
    bool blank = true;
    do {
        if (!nextLine(line, whole))
            return false;
        blank = line.find_first_not_of(" \t") == std::string_view::npos;
    } while (whole && blank);
    if (blank)  // blanks after the last line end
        return false;
    const size_t headerLine = line_;
    block.offset = lineOffset_;
    // Whatever stops the block from here on without an error is the end of the file inside it.
    auto cut = [&] {
        if (error_.empty())
            cutBlockLine_ = headerLine;
        return false;
    };
    if (!whole)
        return cut();
    if (!values(line, headerLine, scratch_))
        return false;
    if (scratch_.size() != 8)
        return fail(headerLine, "a block's header row holds 8 values (kind, two bytes, a word, bX, bY, nX, nY), "
                                "not " + std::to_string(scratch_.size()));
    const long limits[8] = {255, 255, 255, 65535, 255, 255, 65535, 65535};
    static const char* const names[8] = {"kind", "byte 1", "byte 2", "word 3", "bX", "bY", "nX", "nY"};
    for (size_t i = 0; i < 8; ++i)
        if (scratch_[i] < 0 || scratch_[i] > limits[i])
            return fail(headerLine, std::string(names[i]) + " " + std::to_string(scratch_[i]) + " is out of range");
    const uint8_t kind = uint8_t(scratch_[0]);
    if (frameFamily(kind) != family_)
        return fail(headerLine, "kind " + std::to_string(kind) + " is of family " + hex(frameFamily(kind)) +
                                    ", the log's version line is of family " + hex(family_));
    block.line = headerLine;
    block.frame.clear();
    frame_ = &block.frame;
    std::vector<uint8_t>& f = block.frame;
    f.push_back(kind);
    f.push_back(uint8_t(scratch_[1]));
    f.push_back(uint8_t(scratch_[2]));
    putU16(f, scratch_[3]);
    f.push_back(uint8_t(scratch_[4]));
    f.push_back(uint8_t(scratch_[5]));
    putU16(f, scratch_[6]);
    putU16(f, scratch_[7]);
    const int layers = int(scratch_[4] + scratch_[5]);
    for (int set = 0; set < (hasLongHeader(family_) ? 2 : 1); ++set) {
        if (!nextLine(line, whole) || !whole)
            return cut();
        if (!values(line, line_, scratch_))
            return false;
        if (scratch_.size() != size_t(layers))
            return fail(line_, std::to_string(scratch_.size()) + " layer offsets, the header says " +
                                   std::to_string(layers) + " layers");
        for (long o : scratch_) {
            if (o < -32768 || o > 32767)
                return fail(line_, "offset " + std::to_string(o) + " is out of range");
            putU16(f, o);
        }
    }
    // The header as a frame's: the same limits as frames from the device.
    f.push_back(0);
    if (parseFrameHeader(f.data(), f.size(), block.header) != HeaderStatus::Ok)
        return fail(headerLine, "a layout no frame can carry (" + std::to_string(block.header.bX) + " X and " +
                                    std::to_string(block.header.bY) + " Y layers of " +
                                    std::to_string(block.header.nX) + " and " + std::to_string(block.header.nY) +
                                    " positions)");
    f.pop_back();
    const FrameHeader& h = block.header;
    for (int i = 0; i < h.bX; ++i)
        if (!sampleRow(h.nX, "an X layer row"))
            return cut();
    for (int j = 0; j < h.bY; ++j)
        if (!sampleRow(h.nY, "a Y layer row"))
            return cut();
    if (family_ == kFamilyBoundary) {
        const auto x = h.xBoundaryLength();
        const auto y = h.yBoundaryLength();
        if (!x || !y)
            return fail(headerLine, "the last layer offsets give boundary rows that do not fit their axis");
        for (int k = 0; k < kBoundaryRowsPerAxis; ++k)
            if (!sampleRow(*x, "an X boundary row"))
                return cut();
        for (int k = 0; k < kBoundaryRowsPerAxis; ++k)
            if (!sampleRow(*y, "a Y boundary row"))
                return cut();
    }
    if (!nextLine(line, whole) || !whole)
        return cut();
    if (!values(line, line_, scratch_))
        return false;
    if (scratch_.size() != 1 || scratch_[0] < 0 || scratch_[0] > 255)
        return fail(line_, "a block ends with one checksum of 0 to 255");
    const uint8_t sum = byteSum8(f.data(), f.size());
    block.checksumMatches = uint8_t(scratch_[0]) == sum;
    f.push_back(sum);
    const std::vector<uint8_t> starts = startKinds(family_);
    block.startBlock = blocks_ < starts.size() && kind == starts[blocks_];
    if (blocks_ != SIZE_MAX)
        ++blocks_;
    return true;
}

}  // namespace oculant
