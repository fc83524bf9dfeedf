#include "hid/HidDescriptorText.h"
#include "base/HexDigit.h"

namespace oculant {
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool hasCPrefix(std::string_view token)
{
    return token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X');
}

// A descriptor copied out of C source ("0x05, 0x01,  // Usage Page") reads like a hex dump once
// its commas and line comments are blanks; the length stays, so positions still count in the
// file's own characters.
std::string blankedSource(std::string_view text)
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] == ',') {
            out[i] = ' ';
        } else if (out[i] == '/' && i + 1 < out.size() && out[i + 1] == '/') {
            for (; i < out.size() && out[i] != '\n'; ++i)
                out[i] = ' ';
        }
    }
    return out;
}

bool appendToken(std::string_view token, size_t position, DescriptorBytes& out)
{
    // "0x6" or "0x06": one byte, as a C array writes it.
    if (hasCPrefix(token) && token.size() <= 4) {
        int value = 0;
        bool hex = true;
        for (char c : token.substr(2)) {
            hex = hex && hexDigitValue(c) >= 0;
            value = value * 16 + hexDigitValue(c);
        }
        if (hex) {
            out.bytes.push_back(uint8_t(value));
            return true;
        }
    }
    if (token.size() % 2 != 0) {
        out.error = "hex token '" + std::string(token) + "' at character " + std::to_string(position) +
                    " has an odd number of digits";
        return false;
    }
    for (size_t i = 0; i < token.size(); i += 2) {
        const int high = hexDigitValue(token[i]);
        const int low = hexDigitValue(token[i + 1]);
        if (high < 0 || low < 0) {
            out.error = "'" + std::string(token) + "' at character " + std::to_string(position) +
                        " is not hex";
            return false;
        }
        out.bytes.push_back(uint8_t(high * 16 + low));
    }
    return true;
}

}  // namespace

namespace {

// Where the text stops being hex text (the blanks, commas and comments of C source allowed),
// or npos; *digits tells whether it holds any digit at all.
size_t firstNonHexCharacter(std::string_view content, bool* digits = nullptr)
{
    const std::string text = blankedSource(content);
    bool anyDigit = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (isSpace(text[i]))
            continue;
        if (hasCPrefix(std::string_view(text).substr(i)) && (i == 0 || isSpace(text[i - 1])))
            ++i;  // the 'x' of "0x"
        else if (hexDigitValue(text[i]) < 0)
            return i;
        anyDigit = true;
    }
    if (digits)
        *digits = anyDigit;
    return std::string_view::npos;
}

}  // namespace

bool isHexDescriptorText(std::string_view content)
{
    bool digits = false;
    return firstNonHexCharacter(content, &digits) == std::string_view::npos && digits;
}

DescriptorBytes parseHexDescriptorText(std::string_view source)
{
    const std::string blanked = blankedSource(source);
    const std::string_view text = blanked;
    DescriptorBytes out;
    size_t i = 0;
    while (i < text.size()) {
        if (isSpace(text[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !isSpace(text[end]))
            ++end;
        if (!appendToken(text.substr(i, end - i), i, out))
            return out;
        i = end;
    }
    if (out.bytes.empty()) {
        out.error = "no descriptor bytes";
        return out;
    }
    out.ok = true;
    return out;
}

DescriptorBytes decodeDescriptorFile(std::string_view content)
{
    if (isHexDescriptorText(content))
        return parseHexDescriptorText(content);
    DescriptorBytes out;
    // Every collection item has a prefix of 0xA0 or above, so content that is all printable
    // ASCII cannot be a binary descriptor: it is hex text with a typo, and is refused as such.
    for (char c : content) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || (u < 0x20 && !isSpace(c)))
            return DescriptorBytes{true, {}, {content.begin(), content.end()}};
    }
    const size_t firstNonHex = firstNonHexCharacter(content);
    if (firstNonHex == std::string_view::npos) {
        out.error = "no descriptor bytes";
        return out;
    }
    out.error = std::string("not hex text: '") + content[firstNonHex] + "' at character " +
                std::to_string(firstNonHex) + " is not a hex digit";
    return out;
}

}  // namespace oculant
