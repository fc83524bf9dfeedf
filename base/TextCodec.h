#pragma once
// Byte <-> UTF-8 conversion for the INI files: detects the encoding of a file written by
// Windows tools (byte-order mark, else UTF-8 when the bytes are valid UTF-8, else GB18030) and
// writes text back in the same encoding.

#include <optional>
#include <string>
#include <string_view>

#include "base/IniFile.h"

namespace oculant {

struct DecodedText {
    std::string utf8;
    TextEncoding encoding = TextEncoding::Utf8;
};

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// On failure returns nullopt and sets *error to the reason (without the file name).
std::optional<DecodedText> decodeText(std::string_view bytes, std::string* error = nullptr);
// Encodes UTF-8 text in the given encoding, byte-order mark included where it has one.
std::optional<std::string> encodeText(std::string_view utf8, TextEncoding encoding,
                                      std::string* error = nullptr);

}  // namespace oculant
