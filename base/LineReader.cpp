#include "base/LineReader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/FileIo.h"

namespace oculant {

namespace {
constexpr size_t kChunkBytes = 64 * 1024;
}

LineReader::LineReader(const std::string& path, size_t maxLineBytes) : path_(path), maxLineBytes_(maxLineBytes)
{
    fd_ = openFileForReading(path, &error_);
}

LineReader::~LineReader()
{
    if (fd_ >= 0)
        ::close(fd_);
}

// Appends one chunk to the buffer, first dropping the lines already handed out.
bool LineReader::fill()
{
    buffer_.erase(0, start_);
    start_ = 0;
    const size_t had = buffer_.size();
    buffer_.resize(had + kChunkBytes);
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_.data() + had, kChunkBytes);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error_ = "Cannot read \"" + path_ + "\": " + std::strerror(errno) + ".";
            buffer_.resize(had);
            return false;
        }
        buffer_.resize(had + size_t(n));
        eof_ = n == 0;
        return true;
    }
}

LineReader::Status LineReader::next(std::string_view& line, bool& terminated)
{
    if (fd_ < 0)
        return Status::Failed;
    size_t searched = start_;
    for (;;) {
        const size_t end = buffer_.find('\n', searched);
        if (end != std::string::npos && end - start_ <= maxLineBytes_) {
            line = std::string_view(buffer_).substr(start_, end - start_);
            start_ = end + 1;
            terminated = true;
            return Status::Line;
        }
        if (buffer_.size() - start_ > maxLineBytes_)
            return Status::TooLong;
        if (eof_) {
            if (start_ == buffer_.size())
                return Status::End;
            line = std::string_view(buffer_).substr(start_);
            start_ = buffer_.size();
            terminated = false;
            return Status::Line;
        }
        searched = buffer_.size() - start_;  // fill() moves the unread part to the front
        if (!fill())
            return Status::Failed;
    }
}

}  // namespace oculant
