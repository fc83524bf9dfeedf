#include "calibration/CalibrationHistory.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/FileIo.h"
#include "i18n/TextKeys.h"
#include "calibration/CalibrationExport.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;

// A serial as a folder name: letters, digits, dot, dash and underscore stay, anything else
// (a slash above all) becomes an underscore.
std::string folderName(const std::string& serial)
{
    std::string name;
    for (char c : serial) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        name += plain ? c : '_';
    }
    if (name.find_first_not_of('.') == std::string::npos)
        name = "_" + name;  // never "." or ".."
    return name;
}

std::string timeStamp(std::time_t now)
{
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &utc);
    return text;
}

}  // namespace

std::string CalibrationHistory::userFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/oculant/calibrations";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/oculant/calibrations";
    return {};
}

std::string CalibrationHistory::frameFolder(const std::string& serial) const
{
    if (folder_.empty() || serial.empty() || serial == "N/A")
        return {};
    return folder_ + "/" + folderName(serial);
}

std::string CalibrationHistory::word(std::string_view key, std::string_view fallback,
                                     std::initializer_list<std::string_view> values) const
{
    return fillIn(words_ ? words_(key, fallback) : std::string(fallback), values);
}

CalibrationHistory::Kept CalibrationHistory::keepBeforeDownload(const std::string& serial, std::time_t now) const
{
    Kept kept;
    const std::string folder = frameFolder(serial);
    if (folder.empty()) {
        kept.note = word(textkeys::kKeptNoSerial.key, textkeys::kKeptNoSerial.fallback, {});
        return kept;
    }
    const std::string current = folder + "/" + kCurrentFile;
    const std::optional<std::string> bytes = readFileLimited(current, 4096);
    std::error_code ec;
    if (!bytes) {
        const textkeys::KeyFallback& k =
            fs::exists(folder + "/" + kMultiAreaMark, ec) ? textkeys::kKeptMultiArea : textkeys::kKeptNothingKnown;
        kept.note = word(k.key, k.fallback, {serial});
        return kept;
    }
    std::string path = folder + "/replaced-" + timeStamp(now) + ".cfg";
    for (int n = 2; fs::exists(path, ec); ++n)
        path = folder + "/replaced-" + timeStamp(now) + "-" + std::to_string(n) + ".cfg";
    std::string error;
    if (!writeFileAtomically(path, *bytes, &error)) {
        kept.note = word(textkeys::kKeptFailed.key, textkeys::kKeptFailed.fallback, {error});
        return kept;
    }
    kept.path = path;
    kept.note = word(textkeys::kKept.key, textkeys::kKept.fallback, {path});
    return kept;
}

std::string CalibrationHistory::recordWritten(const std::string& serial,
                                              const std::optional<CalibrationCoefficients>& set) const
{
    const std::string folder = frameFolder(serial);
    if (folder.empty())
        return {};
    const std::string current = folder + "/" + kCurrentFile;
    const std::string mark = folder + "/" + kMultiAreaMark;
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec)
        return "Could not create " + folder + ": " + ec.message();
    if (!set) {
        fs::remove(current, ec);
        if (ec || !writeFileAtomically(mark, ""))
            return "Could not update " + current;
        return {};
    }
    fs::remove(mark, ec);
    if (writeCalibrationExport(current, *set))
        return "Could not write " + current;
    return {};
}

}  // namespace oculant
