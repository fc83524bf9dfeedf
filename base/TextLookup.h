#pragma once
// Texts shown to the user are looked up by key in the selected language; the core receives the
// lookup as a function so that it never depends on where the language file lives.

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace oculant {

using TextLookup = std::function<std::string(std::string_view key)>;
// The text of key, or the fallback when the language file has none.
using TextLookupOr = std::function<std::string(std::string_view key, std::string_view fallback)>;

// The text of a key-and-fallback pair (anything with .key and .fallback) through words, or its
// fallback without them.
template <typename KeyAndFallback>
std::string textOf(const TextLookupOr& words, const KeyAndFallback& k)
{
    return words ? words(k.key, k.fallback) : std::string(k.fallback);
}

// A text's %1, %2 ... replaced by the values in order, in one pass (a value holding "%2" stays as
// it is); a place without a value is left as written.
inline std::string fillIn(std::string_view text, std::initializer_list<std::string_view> values)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t n = i + 1 < text.size() ? size_t(text[i + 1] - '1') : values.size();
        if (text[i] == '%' && n < values.size() && n < 9) {
            out += values.begin()[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace oculant
