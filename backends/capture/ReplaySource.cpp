#include "backends/capture/ReplaySource.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace oculant {

ReplaySource parseReplaySource(const std::string& text)
{
    std::error_code ec;
    const size_t colon = text.rfind(':');
    const bool digitsAfter = colon != std::string::npos && colon > 0 && colon + 1 < text.size() &&
                             text.size() - colon - 1 <= 6 &&
                             std::all_of(text.begin() + long(colon) + 1, text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digitsAfter || std::filesystem::exists(text, ec))
        return {text, std::nullopt};
    return {text.substr(0, colon), unsigned(std::stoul(text.substr(colon + 1)))};
}

bool loadReplayDevice(const ReplaySource& source, CaptureFile& device, std::string& error)
{
    std::vector<CaptureFile> devices;
    if (!loadCaptureDevices(source.file, devices, error))
        return false;
    if (!source.device) {
        device = std::move(devices.front());
        return true;
    }
    for (CaptureFile& d : devices)
        if (d.device == *source.device) {
            device = std::move(d);
            return true;
        }
    std::string held;
    for (const CaptureFile& d : devices)
        held += (held.empty() ? "" : ", ") + std::to_string(d.device);
    error = source.file + ": no device " + std::to_string(*source.device) + " in this recording (it holds device" +
            (devices.size() == 1 ? " " : "s ") + held + ")";
    return false;
}

}  // namespace oculant
