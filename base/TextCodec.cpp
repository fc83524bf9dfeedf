#include "base/TextCodec.h"

#include <iconv.h>

#include <cerrno>

namespace oculant {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LEBom = "\xFF\xFE";
constexpr std::string_view kUtf16BEBom = "\xFE\xFF";

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

// Whole-buffer conversion through glibc iconv; nullopt on any invalid or incomplete sequence.
std::optional<std::string> convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    std::string out(in.size() * 2 + 16, '\0');
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    size_t used = 0;
    bool flushing = false;  // all input converted; one more call writes any final shift sequence
    bool ok = true;
    for (;;) {
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t r = flushing ? iconv(cd, nullptr, nullptr, &outPtr, &outLeft)
                            : iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        int err = errno;
        used = out.size() - outLeft;
        if (r == static_cast<size_t>(-1)) {
            if (err == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            ok = false;  // EILSEQ or EINVAL (incomplete sequence at the end)
            break;
        }
        if (flushing) break;
        flushing = true;
    }
    iconv_close(cd);
    if (!ok) return std::nullopt;
    out.resize(used);
    return out;
}

std::optional<DecodedText> decodeUtf16(std::string_view body, TextEncoding encoding,
                                        std::string* error) {
    const char* name = encoding == TextEncoding::Utf16LE ? "UTF-16LE" : "UTF-16BE";
    auto utf8 = convert("UTF-8", name, body);
    if (!utf8) {
        setError(error, std::string("it is not valid ") + name + " text");
        return std::nullopt;
    }
    return DecodedText{std::move(*utf8), encoding};
}

}  // namespace

bool isValidUtf8(std::string_view bytes) {
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        unsigned cp;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            auto c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)) return false;  // overlong
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        if (cp > 0x10FFFF) return false;
        i += len;
    }
    return true;
}

namespace {

// Bytes at the end of `bytes` that begin a UTF-8 sequence the file ends too early to complete
// (a file cut off inside its last character), or 0.
size_t cutUtf8Tail(std::string_view bytes) {
    for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto b = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((b & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 ? 2 : 1;
        return len > back ? back : 0;
    }
    return 0;
}

// Valid UTF-8, or valid UTF-8 up to a last character that was cut off: the text without it.
std::optional<std::string_view> utf8Text(std::string_view bytes) {
    if (isValidUtf8(bytes)) return bytes;
    const size_t cut = cutUtf8Tail(bytes);
    if (cut > 0 && isValidUtf8(bytes.substr(0, bytes.size() - cut))) return bytes.substr(0, bytes.size() - cut);
    return std::nullopt;
}

}  // namespace

std::optional<DecodedText> decodeText(std::string_view bytes, std::string* error) {
    std::optional<DecodedText> result;
    if (bytes.substr(0, 3) == kUtf8Bom) {
        const std::optional<std::string_view> body = utf8Text(bytes.substr(3));
        if (!body) {
            setError(error, "it starts with a UTF-8 byte-order mark but is not valid UTF-8");
            return std::nullopt;
        }
        result = DecodedText{std::string(*body), TextEncoding::Utf8Bom};
    } else if (bytes.substr(0, 2) == kUtf16LEBom) {
        result = decodeUtf16(bytes.substr(2), TextEncoding::Utf16LE, error);
    } else if (bytes.substr(0, 2) == kUtf16BEBom) {
        result = decodeUtf16(bytes.substr(2), TextEncoding::Utf16BE, error);
    } else if (const std::optional<std::string_view> text = utf8Text(bytes)) {
        result = DecodedText{std::string(*text), TextEncoding::Utf8};
    } else if (auto gb = convert("UTF-8", "GB18030", bytes)) {
        result = DecodedText{std::move(*gb), TextEncoding::Gb18030};
    } else {
        setError(error, "it is neither UTF-8, UTF-16 with a byte-order mark nor GB18030 text");
        return std::nullopt;
    }
    if (!result) return std::nullopt;
    // A NUL cannot occur in a text file; most likely UTF-16 saved without its byte-order mark.
    if (result->utf8.find('\0') != std::string::npos) {
        setError(error, "it contains NUL characters (UTF-16 without a byte-order mark?)");
        return std::nullopt;
    }
    return result;
}

std::optional<std::string> encodeText(std::string_view utf8, TextEncoding encoding,
                                      std::string* error) {
    if (!isValidUtf8(utf8)) {
        setError(error, "the text is not valid UTF-8");
        return std::nullopt;
    }
    const char* target = nullptr;
    std::string_view bom;
    switch (encoding) {
        case TextEncoding::Utf8: return std::string(utf8);
        case TextEncoding::Utf8Bom: return std::string(kUtf8Bom) + std::string(utf8);
        case TextEncoding::Utf16LE: target = "UTF-16LE"; bom = kUtf16LEBom; break;
        case TextEncoding::Utf16BE: target = "UTF-16BE"; bom = kUtf16BEBom; break;
        case TextEncoding::Gb18030: target = "GB18030"; break;
    }
    auto bytes = convert(target, "UTF-8", utf8);
    if (!bytes) {
        setError(error, std::string("the text cannot be encoded as ") + target);
        return std::nullopt;
    }
    return std::string(bom) + *bytes;
}

}  // namespace oculant
