#pragma once
// AD logs read back, block by block, as the frames they were written from (the format is in
// AdLogFormat.h): a file of any size is read through one buffer, never whole. Each block becomes
// the frame bytes ProcessFrame takes (header, samples, boundary rows, checksum), so a log plays
// through the same processor and store as live frames.
//
// Strict where a file is damaged: a row with a value that is not a number or out of its range,
// a row with more or fewer values than its header announces, a kind of another family than the
// version line's are refused with the line number. Lenient where the writers are: CR LF line
// ends (a log copied on Windows), blanks or tabs between values, empty lines between blocks. A
// file that ends inside its last block (a copy cut short, a recording the power cut) keeps
// every whole block before it; the reader says where the cut one began.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/SignalFrameLayout.h"

namespace oculant {

struct AdLogBlock {
    size_t line = 0;      // of its header row
    uint64_t offset = 0;  // byte offset of its header row in the file
    // One of the blocks a log starts with: the store's reference, threshold (and, for the long
    // families, current) plane as they stood when the recording began.
    bool startBlock = false;
    // The checksum row holds the sum of the block's values, as every reference block and the
    // frame of a payload of exactly its samples do. A frame whose payload was longer logs the
    // byte after its samples instead; the frame rebuilt carries the computed sum either way.
    bool checksumMatches = true;
    FrameHeader header;
    std::vector<uint8_t> frame;
    // The sample block (every layer row) inside `frame`.
    const uint8_t* samples() const { return frame.data() + header.length; }
};

class AdLogReader {
public:
    AdLogReader();
    ~AdLogReader();
    AdLogReader(const AdLogReader&) = delete;
    AdLogReader& operator=(const AdLogReader&) = delete;

    // Opens the file (a FIFO, a device or a folder is refused at once; one opened before is
    // closed) and reads its version line. false with error() set.
    bool open(const std::string& path);
    // The family the version line names (0x00, 0x10 or 0x40).
    uint8_t family() const { return family_; }
    const std::string& versionLine() const { return versionLine_; }

    // The next block. false at the end of the file (error() empty) or at a damaged block
    // (error(): "FILE line N: ..."); nothing after it is read.
    bool next(AdLogBlock& block);
    const std::string& error() const { return error_; }
    // The header line of a last block the file ends inside; 0 when the file ends whole.
    size_t cutBlockLine() const { return cutBlockLine_; }
    uint64_t bytesRead() const { return bytesRead_; }
    // Goes on reading at a block that next() returned before (its offset and line): a player
    // moves to any frame of a log it indexed without reading what lies before it.
    bool seek(uint64_t offset, size_t line);

private:
    // One line without its line end; `whole` is false for a last line without a line feed.
    // false at the end of the file or on a read error.
    bool nextLine(std::string_view& line, bool& whole);
    bool fail(size_t line, const std::string& why);
    // The values of a line; false (with the error set) when one is not a decimal integer.
    bool values(std::string_view line, size_t lineNumber, std::vector<long>& out);
    // A row of `count` samples appended to the frame.
    bool sampleRow(size_t count, const char* what);

    int fd_ = -1;
    std::string path_;
    std::vector<char> buffer_;
    size_t begin_ = 0, end_ = 0;
    bool eof_ = false;
    size_t line_ = 0;  // lines read so far
    uint64_t lineOffset_ = 0;  // where the last line read begins
    uint64_t bytesRead_ = 0;
    uint8_t family_ = 0;
    std::string versionLine_;
    std::string error_;
    size_t cutBlockLine_ = 0;
    size_t blocks_ = 0;
    std::vector<long> scratch_;
    std::vector<uint8_t>* frame_ = nullptr;  // of the block being read
};

}  // namespace oculant
