#include "calibration/CalibrationHistory.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/FileIo.h"
#include "i18n/TextKeys.h"
#include "calibration/CalibrationExport.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;

// A serial as a folder name that no other serial shares: letters, digits, dot and dash stay;
// every other byte (the underscore too, and a leading dot) becomes "_" and two hex digits, so
// "A/B" is "A_2FB" and "A_B" is "A_5FB", and no name is "." or "..".
std::string folderName(const std::string& serial)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string name;
    for (size_t i = 0; i < serial.size(); ++i) {
        const auto c = static_cast<unsigned char>(serial[i]);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                           (c == '.' && i > 0);
        if (plain) {
            name += char(c);
        } else {
            name += '_';
            name += kHex[c >> 4];
            name += kHex[c & 15];
        }
    }
    return name;
}

// A replaced set's name: its time stamp and, for a second one in the same second, its number.
struct ReplacedName {
    std::string stamp;
    int number = 1;
    bool operator<(const ReplacedName& o) const { return stamp != o.stamp ? stamp < o.stamp : number < o.number; }
};

std::optional<ReplacedName> parseReplacedName(const std::string& file)
{
    // replaced-YYYYMMDD-HHMMSS.cfg or replaced-YYYYMMDD-HHMMSS-N.cfg
    constexpr size_t kStampAt = 9, kStampLength = 15;
    if (file.rfind("replaced-", 0) != 0 || file.size() < kStampAt + kStampLength + 4 ||
        file.compare(file.size() - 4, 4, ".cfg") != 0)
        return std::nullopt;
    ReplacedName name{file.substr(kStampAt, kStampLength)};
    const std::string rest = file.substr(kStampAt + kStampLength, file.size() - 4 - kStampAt - kStampLength);
    if (!rest.empty()) {
        if (rest[0] != '-' || rest.size() < 2 || rest.find_first_not_of("0123456789", 1) != std::string::npos)
            return std::nullopt;
        name.number = std::atoi(rest.c_str() + 1);
    }
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

std::string printableSerial(const std::string& serial)
{
    static const char* const kHex = "0123456789ABCDEF";
    std::string text;
    for (char ch : serial) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            text += "\\x";
            text += kHex[c >> 4];
            text += kHex[c & 15];
        } else {
            text += ch;
        }
    }
    return text;
}

// Claims a name no other run holds: O_EXCL makes two runs in the same second (or two tools at
// once) take different numbers. The empty file is then replaced by the whole set.
std::string CalibrationHistory::claimReplacedName(const std::string& folder, std::time_t now, std::string* error)
{
    const std::string base = folder + "/replaced-" + timeStamp(now);
    for (int n = 1; n < 10000; ++n) {
        const std::string path = base + (n == 1 ? std::string() : "-" + std::to_string(n)) + ".cfg";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            if (error)
                *error = path + ": " + std::strerror(errno);
            return {};
        }
    }
    if (error)
        *error = base + ": no free name";
    return {};
}

// The current set and the kKeepReplaced most recent replaced ones stay; older ones go.
void CalibrationHistory::pruneReplaced(const std::string& folder)
{
    std::vector<std::pair<ReplacedName, fs::path>> replaced;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (const auto name = parseReplacedName(it->path().filename().string()))
            replaced.emplace_back(*name, it->path());
    }
    if (replaced.size() <= size_t(kKeepReplaced))
        return;
    std::sort(replaced.begin(), replaced.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i + kKeepReplaced < replaced.size(); ++i)
        fs::remove(replaced[i].second, ec);
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
        kept.note = word(k.key, k.fallback, {printableSerial(serial)});
        return kept;
    }
    std::string error;
    const std::string path = claimReplacedName(folder, now, &error);
    if (path.empty() || !writeFileAtomically(path, *bytes, &error)) {
        kept.error = error;
        kept.note = word(textkeys::kKeptFailed.key, textkeys::kKeptFailed.fallback, {error});
        return kept;
    }
    pruneReplaced(folder);
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
