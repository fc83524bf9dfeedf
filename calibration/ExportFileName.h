#pragma once
// The file name an export really writes: the chosen name as a full path, with the extension
// appended unless the name already ends in it exactly (case counts, so "x.CFG" → "x.CFG.cfg").

#include <string>
#include <string_view>

namespace oculant {

// extension includes its dot and is four characters long (".cfg", ".txt").
std::string exportFileName(const std::string& chosen, std::string_view extension);

}  // namespace oculant
