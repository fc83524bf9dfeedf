// oculant-cli caps FILE|/dev/hidrawN [--json]: the capabilities our HID parser computes for a
// report descriptor, read from a file (hex text or raw bytes) or from a hidraw node, or for the
// descriptor of every device of a recording (a capture file).
#include "base/JsonText.h"
#include "cli/CapsCommand.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <sstream>

#include "cli/Cli.h"
#include "backends/capture/CaptureFile.h"
#include "backends/hidraw/AccessRule.h"
#include "base/FileIo.h"
#include "hid/CapsText.h"
#include "hid/HidDescriptorText.h"
#include "link/EnumerationProblemText.h"

namespace oculant::cli {
namespace {

// Far above any report descriptor (the kernel caps them at 4096 bytes), small enough to read
// whole.
constexpr size_t kMaxDescriptorFileBytes = 1 << 20;

// Closes the descriptor it holds when it goes out of scope.
struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// What a caps source holds: one descriptor, or a recording of devices with one each.
struct DescriptorSource : DescriptorBytes {
    bool recording = false;
    std::vector<CaptureFile> devices;
};

DescriptorSource failure(std::string error)
{
    DescriptorSource d;
    d.error = std::move(error);
    return d;
}

DescriptorSource readHidrawDescriptor(int fd, const std::string& path)
{
    int size = 0;
    if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) < 0)
        return failure(path + " is not a hidraw device (" + std::strerror(errno) + ")");
    if (size <= 0 || size > HID_MAX_DESCRIPTOR_SIZE)
        return failure(path + ": the kernel reports a descriptor of " + std::to_string(size) + " bytes");
    hidraw_report_descriptor rd{};
    rd.size = uint32_t(size);
    if (::ioctl(fd, HIDIOCGRDESC, &rd) < 0)
        return failure(path + ": cannot read the report descriptor (" + std::strerror(errno) + ")");
    DescriptorSource d;
    d.ok = true;
    d.bytes.assign(rd.value, rd.value + rd.size);
    return d;
}

// A recording is read line by line, its reports checked and not kept, so a capture of any size
// takes no more than its longest line; anything else is one descriptor, read whole.
DescriptorSource readDescriptorFile(int fd, const std::string& path)
{
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failure("cannot read " + path + ": " + std::strerror(errno));
        if (n == 0)
            break;
        content.append(buffer, size_t(n));
        if (content.size() == size_t(n) && looksLikeCaptureText(content))
            break;
        if (content.size() > kMaxDescriptorFileBytes)
            return failure(path + " is larger than 1 MiB, too large for a report descriptor");
    }
    DescriptorSource d;
    if (looksLikeCaptureText(content)) {
        d.recording = true;
        d.ok = loadCaptureDevices(path, d.devices, d.error, CaptureContent::HeadersOnly);
        return d;
    }
    static_cast<DescriptorBytes&>(d) = decodeDescriptorFile(content);
    if (!d.ok)
        d.error = path + ": " + d.error;
    return d;
}

DescriptorSource readDescriptorSource(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode)) {
        FileDescriptor node{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
        if (node.fd < 0)
            return failure(describeOpenFailure(path, errno, true));
        return readHidrawDescriptor(node.fd, path);
    }
    // Anything else must be a file: a FIFO or a folder is refused before anything waits on it.
    std::string error;
    FileDescriptor file{openFileForReading(path, &error)};
    if (file.fd < 0)
        return failure(error);
    return readDescriptorFile(file.fd, path);
}

std::string hex4(uint16_t v)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", v);
    return text;
}

std::string reportHeading(size_t bytes, const HidDescriptorResult& parsed)
{
    return std::to_string(bytes) + "-byte report descriptor, " + std::to_string(parsed.collections.size()) +
           " top-level collection" + (parsed.collections.size() == 1 ? "" : "s");
}

// Every device of a recording, in file order; one whose descriptor is refused is named on
// standard error and the others are still shown (exit 1 then).
int capsOfRecording(CommandContext& ctx, const std::string& path, const std::vector<CaptureFile>& devices, bool json)
{
    int status = kExitOk;
    nlohmann::ordered_json all = nlohmann::json::array();
    for (const CaptureFile& d : devices) {
        const std::string which = path + " device " + std::to_string(d.device);
        const HidDescriptorResult parsed = parseReportDescriptor(d.descriptor);
        if (!parsed.ok) {
            ctx.err << "caps: " << which << ": report descriptor refused: " << parsed.error << "\n";
            status = kExitFailed;
            continue;
        }
        if (json) {
            all.push_back({{"device", d.device},
                           {"name", d.name},
                           {"bus", d.bus},
                           {"vendorId", d.vendorId},
                           {"productId", d.productId},
                           {"descriptorBytes", d.descriptor.size()},
                           {"collections", capsToJson(parsed.collections)}});
        } else {
            ctx.out << which << " \"" << d.name << "\" (bus " << std::hex << d.bus << std::dec << ", "
                    << hex4(d.vendorId) << ":" << hex4(d.productId) << "): " << reportHeading(d.descriptor.size(), parsed)
                    << "\n"
                    << capsToText(parsed.collections);
        }
    }
    if (json)
        ctx.out << jsonText(nlohmann::ordered_json{{"devices", all}}) << "\n";
    return status;
}

}  // namespace

std::string describeOpenFailure(const std::string& path, int error, bool isDevice)
{
    std::string text = "cannot open " + path + ": " + std::strerror(error);
    if (isDevice && (error == EACCES || error == EPERM))
        if (const auto fix = enumerationProblemFix({path, OpenFailure::PermissionDenied, {}, accessRuleFix(path)}))
            text += "\nThe hidraw node is not readable by this user. " + *fix;
    return text;
}

int runCaps(CommandContext& ctx)
{
    static const char* const kUsage = "usage: oculant-cli caps FILE|/dev/hidrawN [--json]\n";
    const std::vector<std::string>& args = ctx.args;
    const bool json = ctx.options.has("json");
    if (args.size() != 1) {
        ctx.err << kUsage;
        return kExitUsage;
    }
    const std::string& path = args[0];
    const DescriptorSource source = readDescriptorSource(path);
    if (!source.ok) {
        ctx.err << "caps: " << source.error << "\n";
        return kExitFailed;
    }
    if (source.recording)
        return capsOfRecording(ctx, path, source.devices, json);
    const HidDescriptorResult parsed = parseReportDescriptor(source.bytes);
    if (!parsed.ok) {
        ctx.err << "caps: " << path << ": report descriptor refused: " << parsed.error << "\n";
        return kExitFailed;
    }
    if (json)
        ctx.out << jsonText(capsToJson(parsed.collections)) << "\n";
    else
        ctx.out << path << ": " << reportHeading(source.bytes.size(), parsed) << "\n" << capsToText(parsed.collections);
    return kExitOk;
}

}  // namespace oculant::cli
