#include "calibration/LayoutFile.h"

#include <array>
#include <utility>
#include <vector>

#include "calibration/LenientNumber.h"
#include "calibration/TextFormat.h"
#include "base/IniFile.h"

namespace oculant {
namespace {

constexpr std::string_view kLayoutSection = "Layout";
constexpr std::string_view kAreasKey = "areas";
// In the order of LayoutTexts::edits.
constexpr std::array<std::string_view, 6> kLayoutKeys = {"touchx", "touchy", "dispx", "dispy", "dispxoff",
                                                         "dispyoff"};
// In the order of the grid columns 1..8.
constexpr std::array<std::string_view, 8> kAreaKeys = {"framex0", "framey0", "framex1", "framey1",
                                                       "dispx0",  "dispy0",  "dispx1",  "dispy1"};

std::string areaSection(size_t row)
{
    return "Area" + formatInt(static_cast<long long>(row));
}

}  // namespace

LayoutFileResult exportLayoutFile(const std::string& path, const LayoutTexts& texts)
{
    // Starting from a bare section header gives the new file its CR LF line ends.
    IniFile file = IniFile::fromText("[Layout]\r\n");
    for (size_t i = 0; i < kLayoutKeys.size(); ++i)
        file.setValue(kLayoutSection, kLayoutKeys[i], texts.edits[i]);
    file.setValue(kLayoutSection, kAreasKey, formatInt(static_cast<long long>(texts.rows.size())));
    for (size_t row = 0; row < texts.rows.size(); ++row) {
        const std::string section = areaSection(row + 1);
        for (size_t c = 0; c < kAreaKeys.size(); ++c)
            file.setValue(section, kAreaKeys[c], texts.rows[row][c]);
    }
    if (!file.save(path))
        return {false, kLayoutCreateFailed};
    return {true, std::string(kLayoutExported) + path};
}

LayoutFileResult importLayoutFile(const std::string& path, LayoutTexts& texts)
{
    std::string reason;
    const std::optional<IniFile> file = IniFile::load(path, &reason);
    if (!file)
        return {false, kLayoutOpenFailed, reason};
    return importLayoutIni(*file, texts);
}

LayoutFileResult importLayoutIni(const IniFile& file, LayoutTexts& texts)
{
    const int32_t declared = readLeadingInt(file.valueOr(kLayoutSection, kAreasKey, "0"));
    if (declared > kMaxGridAreas)
        return {false, kTooManyAreas};
    const size_t areas = declared > 0 ? static_cast<size_t>(declared) : 0;

    LayoutTexts next = texts;
    for (size_t i = 0; i < kLayoutKeys.size(); ++i)
        next.edits[i] = file.valueOr(kLayoutSection, kLayoutKeys[i], next.edits[i]);
    next.rows.resize(areas);
    for (size_t row = 0; row < areas; ++row) {
        const std::string section = areaSection(row + 1);
        for (size_t c = 0; c < kAreaKeys.size(); ++c)
            next.rows[row][c] = file.valueOr(section, kAreaKeys[c], next.rows[row][c]);
    }
    texts = std::move(next);
    return {true, kLayoutImported};
}

std::string dialogFilterText(std::string_view filter)
{
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        const size_t bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
        if (bar == std::string_view::npos)
            break;
        start = bar + 1;
    }
    std::string out;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        const std::string_view description = parts[i], pattern = parts[i + 1];
        const std::string bracketed = "(" + std::string(pattern) + ")";
        if (!out.empty())
            out += ";;";
        out += description;
        if (!description.ends_with(bracketed))
            out += " " + bracketed;
    }
    return out;
}

}  // namespace oculant
