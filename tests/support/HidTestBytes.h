#pragma once
// Descriptors in tests are written as hex text, the way they are read in HID documentation.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hid/HidDescriptorText.h"

namespace oculant::test {

inline std::vector<uint8_t> hexBytes(const std::string& text)
{
    if (text.empty())
        return {};
    const DescriptorBytes decoded = parseHexDescriptorText(text);
    EXPECT_TRUE(decoded.ok) << decoded.error << " in: " << text;
    return decoded.bytes;
}

}  // namespace oculant::test
