#pragma once
// Reads a text file line by line through one buffer, so that a file of any size takes no more
// memory than its longest allowed line: a line longer than that is refused as it comes, before
// the rest of it is read.

#include <cstddef>
#include <string>
#include <string_view>

namespace oculant {

class LineReader {
public:
    enum class Status {
        Line,     // `line` holds the next line, without its '\n'
        End,      // the file has no more lines
        TooLong,  // the next line is longer than the limit
        Failed,   // the file could not be opened or read; error() says why
    };

    // Opens path as openFileForReading does (FIFOs, devices and folders are refused).
    LineReader(const std::string& path, size_t maxLineBytes);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // The view stays valid until the next call. `terminated` is false for a last line that the
    // file ends without a line end.
    Status next(std::string_view& line, bool& terminated);
    const std::string& error() const { return error_; }

private:
    bool fill();

    std::string path_;
    int fd_ = -1;
    size_t maxLineBytes_;
    std::string buffer_;
    size_t start_ = 0;  // the unread part of buffer_ begins here
    bool eof_ = false;
    std::string error_;
};

}  // namespace oculant
