#pragma once
// Texts shown to the user are looked up by key in the selected language; the core receives the
// lookup as a function so that it never depends on where the language file lives.

#include <functional>
#include <string>
#include <string_view>

namespace oculant {

using TextLookup = std::function<std::string(std::string_view key)>;

}  // namespace oculant
