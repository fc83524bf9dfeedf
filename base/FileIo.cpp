#include "base/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace oculant {

namespace {

std::string quoted(const std::string& path) { return "\"" + path + "\""; }

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::string reason(int err) { return std::strerror(err); }

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Follows a symbolic link so that saving replaces the file it points to.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

// The rename is durable only once the folder entry itself is on disk; best effort.
void syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

std::string notAFile(const struct stat& st)
{
    if (S_ISDIR(st.st_mode)) return "a folder";
    if (S_ISFIFO(st.st_mode)) return "a FIFO (named pipe)";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device";
    if (S_ISSOCK(st.st_mode)) return "a socket";
    return "something else";
}

}  // namespace

std::string nonFileAt(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
        return {};
    return notAFile(st);
}

int openFileForReading(const std::string& path, std::string* error, ReadFailure* failure, bool allowCharDevice)
{
    if (failure) *failure = ReadFailure::Other;
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and is then refused.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        int err = errno;
        if (failure && err == ENOENT) *failure = ReadFailure::Missing;
        setError(error, "Cannot open " + quoted(path) + ": " + reason(err) + ".");
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        setError(error, "Cannot read " + quoted(path) + ": " + reason(err) + ".");
        return -1;
    }
    if (!S_ISREG(st.st_mode) && !(allowCharDevice && S_ISCHR(st.st_mode))) {
        ::close(fd);
        setError(error, "Cannot read " + quoted(path) + ": it is " + notAFile(st) + ", not a file.");
        return -1;
    }
    // Reads of a regular file never block; a device keeps the flag so that nothing waits on it.
    if (S_ISREG(st.st_mode)) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (failure) *failure = ReadFailure::None;
    return fd;
}

std::optional<std::string> readFileLimited(const std::string& path, std::size_t maxBytes,
                                           std::string* error, ReadFailure* failure) {
    int fd = openFileForReading(path, error, failure);
    if (fd < 0) return std::nullopt;
    if (failure) *failure = ReadFailure::Other;
    std::string bytes;
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            int err = errno;
            ::close(fd);
            setError(error, "Cannot read " + quoted(path) + ": " + reason(err) + ".");
            return std::nullopt;
        }
        if (n == 0) break;
        bytes.append(chunk.data(), static_cast<size_t>(n));
        // Checked while reading: the file may grow after fstat.
        if (bytes.size() > maxBytes) {
            ::close(fd);
            setError(error, "Cannot read " + quoted(path) + ": it is larger than " +
                                std::to_string(maxBytes) + " bytes.");
            return std::nullopt;
        }
    }
    ::close(fd);
    if (failure) *failure = ReadFailure::None;
    return bytes;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error, unsigned newFileMode) {
    const std::string target = resolveTarget(path);
    const std::string folder = folderOf(target);
    std::string temp = folder + "/." + nameOf(target) + ".tmp-XXXXXX";
    const std::string prefix = "Cannot save " + quoted(path) + ": ";

    // A device, a FIFO or a folder in the file's place would be replaced by the rename (a root
    // user's /dev/null becoming a file): refused instead.
    if (const std::string what = nonFileAt(target); !what.empty()) {
        setError(error, prefix + "it is " + what + ", not a file.");
        return false;
    }

    int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        setError(error, prefix + "cannot create a temporary file in " + quoted(folder) + ": " +
                            reason(errno) + ".");
        return false;
    }
    auto fail = [&](const std::string& what, int err) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        setError(error, prefix + what + ": " + reason(err) + ".");
        return false;
    };

    struct stat st {};
    mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : mode_t(newFileMode);
    if (::fchmod(fd, mode) != 0) return fail("cannot set the permissions", errno);
    if (!writeAll(fd, bytes)) return fail("cannot write the temporary file", errno);
    if (::fsync(fd) != 0) return fail("cannot flush the temporary file", errno);
    int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return fail("cannot close the temporary file", errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail("cannot replace the file", errno);
    syncFolder(folder);
    return true;
}

}  // namespace oculant
