#include "hid/UdevProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "hid/HidDescriptor.h"
#include "hid/HidDescriptorText.h"

namespace oculant {
namespace {

// The kernel keeps descriptors of at most 4096 bytes; their hex text is about three times as
// long. Anything much larger is not a descriptor and is not read whole.
constexpr size_t kMaxDescriptorFileBytes = 64 * 1024;

FrameProbe unreadable(std::string error)
{
    FrameProbe probe;
    probe.error = std::move(error);
    return probe;
}

std::string errnoText(int error) { return std::strerror(error); }

// In a HID device's folder the descriptor is report_descriptor; a hidraw node's folder reaches
// it through its device link.
std::string descriptorInFolder(const std::string& folder)
{
    for (const char* name : {"/report_descriptor", "/device/report_descriptor"}) {
        struct stat st {};
        if (::stat((folder + name).c_str(), &st) == 0)
            return folder + name;
    }
    return {};
}

struct ReadOutcome {
    bool ok = false;
    std::string content;  // the file, or the reason it could not be read
};

ReadOutcome readRegularFile(const std::string& path)
{
    // O_NONBLOCK: should a FIFO take the file's place after the check, open and read return at
    // once instead of waiting for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return {false, "cannot open " + path + ": " + errnoText(errno)};
    ReadOutcome outcome;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        outcome.content = path + " is not a regular file";
        ::close(fd);
        return outcome;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            outcome.content = "cannot read " + path + ": " + errnoText(errno);
            break;
        }
        if (n == 0) {
            outcome.ok = true;
            break;
        }
        outcome.content.append(buffer, size_t(n));
        if (outcome.content.size() > kMaxDescriptorFileBytes) {
            outcome.content = path + " is larger than 64 KiB, too large for a report descriptor";
            break;
        }
    }
    ::close(fd);
    return outcome;
}

}  // namespace

bool descriptorHoldsFrame(const std::vector<uint8_t>& descriptor)
{
    const HidDescriptorResult parsed = parseReportDescriptor(descriptor);
    if (!parsed.ok)
        return false;
    for (const HidCollectionCaps& c : parsed.collections)
        if (matchesFrameRule(c))
            return true;
    return false;
}

FrameProbe probeFrameDescriptor(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return unreadable("cannot read " + path + ": " + errnoText(errno));
    std::string file = path;
    if (S_ISDIR(st.st_mode)) {
        file = descriptorInFolder(path);
        if (file.empty())
            return unreadable(path + " holds no report_descriptor (nor device/report_descriptor)");
    } else if (!S_ISREG(st.st_mode)) {
        return unreadable(path + " is not a descriptor file or a sysfs folder (a device node is never opened: "
                                 "give its sysfs folder, such as /sys/class/hidraw/hidraw0)");
    }
    const ReadOutcome read = readRegularFile(file);
    if (!read.ok)
        return unreadable(read.content);
    const DescriptorBytes bytes = decodeDescriptorFile(read.content);
    if (!bytes.ok)
        return unreadable(file + ": " + bytes.error);
    FrameProbe probe;
    probe.readable = true;
    probe.frame = descriptorHoldsFrame(bytes.bytes);
    return probe;
}

}  // namespace oculant
