#pragma once
// What the expected texts are made of: the shipped language file's entries, and dates broken
// down in UTC, so that the texts hold on any machine.

#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/IniFile.h"

namespace oculant::test {

inline const std::filesystem::path kShippedLanguageFile = std::filesystem::path(OCULANT_SOURCE_DIR) / "data/lan.ini";

// The entry of the shipped language file; "?" where it has none.
inline std::string shipped(std::string_view section, std::string_view key)
{
    const auto ini = IniFile::load(kShippedLanguageFile.string());
    return ini ? ini->valueOr(section, key, "?") : "?";
}

inline std::optional<std::tm> utc(int64_t seconds)
{
    const std::time_t t = std::time_t(seconds);
    std::tm out{};
    if (!gmtime_r(&t, &out))
        return std::nullopt;
    return out;
}

}  // namespace oculant::test
