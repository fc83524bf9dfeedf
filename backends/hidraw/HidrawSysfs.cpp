#include "backends/hidraw/HidrawSysfs.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>

namespace oculant {

namespace {

namespace fs = std::filesystem;

// The kernel refuses descriptors above this size (HID_MAX_DESCRIPTOR_SIZE), so a longer file
// is not a report descriptor.
constexpr size_t kMaxDescriptorSize = 4096;

std::optional<std::string> readSmallFile(const fs::path& path, size_t limit)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string content;
    content.resize(limit + 1);
    in.read(content.data(), std::streamsize(content.size()));
    if (in.bad())
        return std::nullopt;
    content.resize(size_t(in.gcount()));
    return content;
}

std::optional<uint32_t> parseHexField(std::string_view text)
{
    uint32_t value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, 16);
    if (text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

fs::path deviceFolder(const std::string& sysfsRoot, const std::string& name)
{
    return fs::path(sysfsRoot) / "class" / "hidraw" / name / "device";
}

}  // namespace

int hidrawNodeNumber(std::string_view name)
{
    constexpr std::string_view prefix = "hidraw";
    if (name.substr(0, prefix.size()) != prefix)
        return -1;
    const std::string_view digits = name.substr(prefix.size());
    // The kernel names nodes by a decimal minor count: no sign, no leading zero, a few digits.
    if (digits.empty() || digits.size() > 9 || (digits[0] == '0' && digits.size() > 1))
        return -1;
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        number = number * 10 + (c - '0');
    }
    return number;
}

std::vector<std::string> listHidrawNodes(const std::string& sysfsRoot)
{
    std::vector<std::pair<int, std::string>> numbered;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(fs::path(sysfsRoot) / "class" / "hidraw", ec)) {
        std::string name = entry.path().filename().string();
        const int number = hidrawNodeNumber(name);
        if (number >= 0)
            numbered.emplace_back(number, std::move(name));
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> names;
    names.reserve(numbered.size());
    for (auto& [number, name] : numbered)
        names.push_back(std::move(name));
    return names;
}

std::optional<HidAttributes> parseHidIdUevent(std::string_view uevent)
{
    constexpr std::string_view key = "HID_ID=";
    size_t start = 0;
    while (start < uevent.size()) {
        size_t end = uevent.find('\n', start);
        if (end == std::string_view::npos)
            end = uevent.size();
        std::string_view line = uevent.substr(start, end - start);
        start = end + 1;
        if (line.substr(0, key.size()) != key)
            continue;
        line.remove_prefix(key.size());
        // bus:vendor:product, each printed as 4 or 8 hex digits.
        const size_t c1 = line.find(':');
        const size_t c2 = c1 == std::string_view::npos ? c1 : line.find(':', c1 + 1);
        if (c2 == std::string_view::npos)
            return std::nullopt;
        const auto bus = parseHexField(line.substr(0, c1));
        const auto vendor = parseHexField(line.substr(c1 + 1, c2 - c1 - 1));
        const auto product = parseHexField(line.substr(c2 + 1));
        if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF)
            return std::nullopt;
        return HidAttributes{uint16_t(*vendor), uint16_t(*product)};
    }
    return std::nullopt;
}

std::optional<HidrawNodeInfo> readHidrawNode(const std::string& sysfsRoot, const std::string& name)
{
    if (hidrawNodeNumber(name) < 0)
        return std::nullopt;
    const fs::path folder = deviceFolder(sysfsRoot, name);
    const std::optional<std::string> uevent = readSmallFile(folder / "uevent", 64 * 1024);
    if (!uevent)
        return std::nullopt;
    const std::optional<HidAttributes> ids = parseHidIdUevent(*uevent);
    const std::optional<std::string> descriptor = readSmallFile(folder / "report_descriptor", kMaxDescriptorSize);
    if (!ids || !descriptor || descriptor->empty() || descriptor->size() > kMaxDescriptorSize)
        return std::nullopt;
    HidrawNodeInfo info;
    info.attributes = *ids;
    info.descriptor.assign(descriptor->begin(), descriptor->end());
    return info;
}

}  // namespace oculant
