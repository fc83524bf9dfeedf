#pragma once
// The lookup of the calibration texts, and the choice of the built-in report language.

#include <string_view>

#include "base/TextLookup.h"

namespace oculant {

// The calibration reports carry their own Chinese and English wording; the Chinese one is used
// only when the language selector reads exactly this.
inline constexpr std::string_view kChineseLanguageName = "中文简体";

inline bool usesChineseReport(std::string_view languageSelectorText)
{
    return languageSelectorText == kChineseLanguageName;
}

}  // namespace oculant
