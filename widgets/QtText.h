#pragma once
// Our texts are UTF-8 std::strings; Qt's are QStrings.

#include <QString>

#include <string_view>

namespace oculant {

inline QString qs(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace oculant
