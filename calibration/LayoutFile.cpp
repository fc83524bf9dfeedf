#include "calibration/LayoutFile.h"

#include <array>
#include <utility>

#include "calibration/LenientNumber.h"
#include "calibration/TextFormat.h"
#include "i18n/IniFile.h"

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
    const std::optional<IniFile> file = IniFile::load(path);
    if (!file)
        return {false, kLayoutOpenFailed};
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

}  // namespace oculant
