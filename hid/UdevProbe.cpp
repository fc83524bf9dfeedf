#include "hid/UdevProbe.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>

#include "base/FileIo.h"
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
    // Opened without waiting, so a FIFO put in the file's place after the check is refused too.
    std::string error;
    const std::optional<std::string> content = readFileLimited(file, kMaxDescriptorFileBytes, &error);
    if (!content)
        return unreadable(error);
    const DescriptorBytes bytes = decodeDescriptorFile(*content);
    if (!bytes.ok)
        return unreadable(file + ": " + bytes.error);
    FrameProbe probe;
    probe.readable = true;
    probe.frame = descriptorHoldsFrame(bytes.bytes);
    return probe;
}

FrameProbeAnswer answerFrameProbe(const std::vector<std::string>& args, const std::string& usage)
{
    std::vector<std::string> paths = args;
    // "--" lets a path that starts with a dash through; udev never passes one.
    const bool endOfOptions = !paths.empty() && paths.front() == "--";
    if (endOfOptions)
        paths.erase(paths.begin());
    if (paths.size() != 1 || (!endOfOptions && paths[0].size() > 1 && paths[0][0] == '-'))
        return {64, "", usage + "\n"};
    const FrameProbe probe = probeFrameDescriptor(paths[0]);
    if (!probe.readable)
        return {1, "", "udev-probe: " + probe.error + "\n"};
    // udev imports KEY=value lines; a node that is not a frame gets no key at all.
    return {0, probe.frame ? "ID_OCULANT_FRAME=1\n" : "", ""};
}

int runFrameProbe(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const std::string& usage)
{
    const FrameProbeAnswer answer = answerFrameProbe(args, usage);
    out << answer.out;
    err << answer.err;
    return answer.status;
}

}  // namespace oculant
