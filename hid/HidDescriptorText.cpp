#include "hid/HidDescriptorText.h"
#include "base/HexDigit.h"

namespace oculant {
namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool appendToken(std::string_view token, size_t position, DescriptorBytes& out)
{
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

bool isHexDescriptorText(std::string_view content)
{
    bool anyDigit = false;
    for (char c : content) {
        if (isSpace(c))
            continue;
        if (hexDigitValue(c) < 0)
            return false;
        anyDigit = true;
    }
    return anyDigit;
}

DescriptorBytes parseHexDescriptorText(std::string_view text)
{
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
    size_t firstNonHex = content.size();
    for (size_t i = 0; i < content.size(); ++i) {
        const auto c = static_cast<unsigned char>(content[i]);
        if (c >= 0x80 || (c < 0x20 && !isSpace(char(c))))
            return DescriptorBytes{true, {}, {content.begin(), content.end()}};
        if (firstNonHex == content.size() && !isSpace(char(c)) && hexDigitValue(char(c)) < 0)
            firstNonHex = i;
    }
    if (firstNonHex == content.size()) {
        out.error = "no descriptor bytes";
        return out;
    }
    out.error = std::string("not hex text: '") + content[firstNonHex] + "' at character " +
                std::to_string(firstNonHex) + " is not a hex digit";
    return out;
}

}  // namespace oculant
