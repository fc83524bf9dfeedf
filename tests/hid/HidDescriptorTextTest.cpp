// Descriptor files: hex text or raw bytes, told apart by their content.
#include <gtest/gtest.h>

#include "hid/HidDescriptorText.h"

namespace oculant {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(HidDescriptorText, hex_text_in_any_spacing_and_case)
{
    struct Case {
        const char* text;
        Bytes bytes;
    };
    const Case cases[] = {
        {"05 01 09 02", {0x05, 0x01, 0x09, 0x02}},
        {"  05\t01\r\n09 02\n", {0x05, 0x01, 0x09, 0x02}},
        {"a1 Ff c0", {0xA1, 0xFF, 0xC0}},
        {"0501 0902", {0x05, 0x01, 0x09, 0x02}},
        // A C array copied out of a source file, comments and all.
        {"0x05, 0x01,\n0x9, 0x02,", {0x05, 0x01, 0x09, 0x02}},
        {"0x06, 0x00, 0xFF,  // Usage Page (Vendor)\r\n0xA1,0x01 // Collection\n0xC0", {0x06, 0x00, 0xFF, 0xA1, 0x01, 0xC0}},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(isHexDescriptorText(c.text)) << c.text;
        const DescriptorBytes d = decodeDescriptorFile(c.text);
        ASSERT_TRUE(d.ok) << c.text << ": " << d.error;
        EXPECT_EQ(d.bytes, c.bytes) << c.text;
    }
}

TEST(HidDescriptorText, raw_bytes_pass_through_unchanged)
{
    const std::string raw("\x05\x01\x09\x02\xA1\x01\x20\x0A\xC0", 9);
    EXPECT_FALSE(isHexDescriptorText(raw));
    const DescriptorBytes d = decodeDescriptorFile(raw);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.bytes, Bytes(raw.begin(), raw.end()));
}

TEST(HidDescriptorText, refuses_bad_hex_and_empty_content)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"", "no descriptor bytes"},
        {" \n\t ", "no descriptor bytes"},
        {"05 01 9 02", "hex token '9' at character 6 has an odd number of digits"},
        {"05 01 090", "hex token '090' at character 6 has an odd number of digits"},
        {"05 01 0G 02", "not hex text: 'G' at character 7 is not a hex digit"},
        {"0x05, 0x0G", "not hex text: 'G' at character 9 is not a hex digit"},
        {"0x05, x01", "not hex text: 'x' at character 6 is not a hex digit"},
        {"0x05 / 0x01", "not hex text: '/' at character 5 is not a hex digit"},
        {"0x123", "hex token '0x123' at character 0 has an odd number of digits"},
    };
    for (const Case& c : cases) {
        const DescriptorBytes d = decodeDescriptorFile(c.text);
        EXPECT_FALSE(d.ok) << c.text;
        EXPECT_EQ(d.error, c.error) << c.text;
    }
}

}  // namespace
}  // namespace oculant
