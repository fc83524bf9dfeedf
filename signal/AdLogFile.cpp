#include "signal/AdLogFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace oculant {
namespace {

// Enough for every recording that can start within one second.
constexpr int kMaxNameSuffix = 999;

}  // namespace

AdLogFile::~AdLogFile() { close(); }

std::string AdLogFile::fileName(int64_t seconds, int suffix)
{
    std::string name = std::to_string(seconds);
    if (suffix > 0) {
        name += '-';
        name += std::to_string(suffix);
    }
    name += ".txt";
    return name;
}

bool AdLogFile::create(const std::string& directory, int64_t seconds)
{
    close();
    error_.clear();
    const std::string prefix = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    for (int suffix = 0; suffix <= kMaxNameSuffix; ++suffix) {
        const std::string path = prefix + fileName(seconds, suffix);
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            fd_ = fd;
            path_ = path;
            return true;
        }
        if (errno != EEXIST) {
            error_ = path + ": " + std::strerror(errno);
            return false;
        }
    }
    error_ = prefix + fileName(seconds, 0) + ": every name of this second is taken";
    return false;
}

bool AdLogFile::append(const char* data, size_t size)
{
    if (fd_ < 0) {
        error_ = "no log file is open";
        return false;
    }
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error_ = path_ + ": " + (n < 0 ? std::strerror(errno) : "nothing written");
            close();
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    // A log whose folder was deleted (or replaced) keeps taking writes into a file no one can
    // open again: everything recorded from then on would be lost without a word.
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && st.st_nlink == 0) {
        error_ = path_ + ": the file was removed from its folder";
        close();
        return false;
    }
    return true;
}

bool AdLogFile::close()
{
    if (fd_ < 0)
        return true;
    const int fd = fd_;
    fd_ = -1;
    // Not retried on EINTR: the descriptor is released either way on Linux.
    if (::close(fd) != 0 && errno != EINTR) {
        error_ = path_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace oculant
