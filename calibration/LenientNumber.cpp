#include "calibration/LenientNumber.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace oculant {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

size_t skipBlanks(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return i;
}

size_t skipDigits(std::string_view text, size_t i)
{
    while (i < text.size() && isDigit(text[i]))
        ++i;
    return i;
}

}  // namespace

int32_t readLeadingInt(std::string_view text)
{
    size_t i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            value = limit;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

float readLeadingFloat(std::string_view text)
{
    size_t i = skipBlanks(text);
    const size_t signAt = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const size_t mantissaAt = i;
    size_t end = skipDigits(text, i);
    bool digits = end > mantissaAt;
    if (end < text.size() && text[end] == '.') {
        const size_t fraction = skipDigits(text, end + 1);
        digits = digits || fraction > end + 1;
        end = fraction;
    }
    if (!digits)
        return 0.0f;
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        size_t e = end + 1;
        if (e < text.size() && (text[e] == '+' || text[e] == '-'))
            ++e;
        const size_t exponentEnd = skipDigits(text, e);
        if (exponentEnd > e)
            end = exponentEnd;
    }
    // from_chars is locale-independent but takes no '+'.
    std::string number(text.substr(mantissaAt, end - mantissaAt));
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc())
        return 0.0f;
    if (text[signAt] == '-')
        value = -value;
    const float result = static_cast<float>(value);
    return std::isfinite(result) ? result : 0.0f;
}

}  // namespace oculant
