// What the descriptor parser refuses, and the item reader under it: truncated, unbalanced and
// absurd descriptors get an error naming the fault and are never read out of bounds.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "hid/HidDescriptor.h"
#include "hid/HidItem.h"
#include "tests/support/HidBytes.h"

namespace oculant {
namespace {

using test::hexBytes;

// Parses from a heap block of exactly the descriptor's size, so that a read past the end is
// caught by the sanitizers rather than landing in the vector's spare capacity.
HidDescriptorResult parseExact(const std::vector<uint8_t>& bytes, size_t length)
{
    std::unique_ptr<uint8_t[]> block(new uint8_t[length == 0 ? 1 : length]);
    std::copy(bytes.begin(), bytes.begin() + length, block.get());
    return parseReportDescriptor(length == 0 ? nullptr : block.get(), length);
}

TEST(HidItemReader, reads_every_item_size_and_kind)
{
    struct Case {
        const char* hex;
        HidItemType type;
        uint8_t tag;
        uint8_t dataSize;
        uint32_t data;
        size_t length;
    };
    const Case cases[] = {
        {"C0", HidItemType::Main, 0xC, 0, 0, 1},
        {"05 0D", HidItemType::Global, 0x0, 1, 0x0D, 2},
        {"26 FF 7F", HidItemType::Global, 0x2, 2, 0x7FFF, 3},
        {"27 FF FF 00 00", HidItemType::Global, 0x2, 4, 0xFFFF, 5},
        {"0B 38 02 0C 00", HidItemType::Local, 0x0, 4, 0x000C0238, 5},
        {"A9 01", HidItemType::Local, 0xA, 1, 1, 2},
        {"0C", HidItemType::Reserved, 0x0, 0, 0, 1},
        {"FE 02 10 AA BB", HidItemType::Long, 0x10, 2, 0, 5},
        {"FE 00 F0", HidItemType::Long, 0xF0, 0, 0, 3},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> bytes = hexBytes(c.hex);
        const HidItemRead r = readHidItem(bytes.data(), bytes.size(), 0);
        ASSERT_TRUE(r.ok) << c.hex << ": " << r.error;
        EXPECT_EQ(r.item.type, c.type) << c.hex;
        EXPECT_EQ(r.item.tag, c.tag) << c.hex;
        EXPECT_EQ(r.item.dataSize, c.dataSize) << c.hex;
        EXPECT_EQ(r.item.data, c.data) << c.hex;
        EXPECT_EQ(r.item.length, c.length) << c.hex;
    }
}

TEST(HidItemReader, refuses_items_cut_short)
{
    for (const char* hex : {"05", "26 FF", "27 FF FF 00", "FE", "FE 02", "FE 02 10 AA"}) {
        const std::vector<uint8_t> bytes = hexBytes(hex);
        const HidItemRead r = readHidItem(bytes.data(), bytes.size(), 0);
        EXPECT_FALSE(r.ok) << hex;
        EXPECT_EQ(r.error, "truncated item at offset 0") << hex;
    }
    const std::vector<uint8_t> bytes = hexBytes("05 01 09");
    EXPECT_FALSE(readHidItem(bytes.data(), bytes.size(), 3).ok);  // at the end: nothing to read
    EXPECT_EQ(readHidItem(bytes.data(), bytes.size(), 2).error, "truncated item at offset 2");
}

TEST(HidDescriptor, refuses_malformed_descriptors_with_the_reason)
{
    struct Case {
        const char* name;
        std::string hex;
        const char* error;
    };
    const std::string open = "05 01 09 02 A1 01 ";
    const Case cases[] = {
        {"empty", "", "empty report descriptor"},
        {"globals only", "05 01 75 08", "no top-level collection in the report descriptor"},
        {"cut inside an item", open + "26 FF", "truncated item at offset 6"},
        {"cut inside a long item", open + "FE 04 10 01 02 C0", "truncated item at offset 6"},
        {"pop without push", open + "B4 C0", "offset 6: Pop without Push"},
        {"end without collection", "C0", "offset 0: End Collection without a Collection"},
        {"one end too many", open + "C0 C0", "offset 7: End Collection without a Collection"},
        {"unterminated", open + "A1 00 C0", "collection opened at offset 4 is not closed by the end of the descriptor"},
        {"report id 0", open + "85 00 C0", "offset 6: Report ID 0 is outside 1..255"},
        {"report id 256", open + "86 00 01 C0", "offset 6: Report ID 256 is outside 1..255"},
        {"report size 257", open + "76 01 01 C0", "offset 6: Report Size 257 is above 256 bits"},
        {"report count 65536", open + "97 00 00 01 00 C0", "offset 6: Report Count 65536 is above 65535"},
        {"usage page 32 bits", open + "07 00 00 01 00 C0", "offset 6: Usage Page 0x10000 is wider than 16 bits"},
        {"unknown global", open + "C4 C0", "offset 6: unknown Global item tag 0xC"},
        {"data outside collections", "05 01 09 30 75 08 95 01 81 02", "offset 8: Input, Output or Feature item outside any collection"},
        {"minimum alone", open + "19 01 75 01 95 01 81 02 C0", "offset 12: Usage Minimum without Usage Maximum"},
        {"maximum alone", open + "29 01 75 01 95 01 81 02 C0", "offset 12: Usage Maximum without Usage Minimum"},
        {"minimum twice", open + "19 01 19 02 29 03 C0", "offset 8: Usage Minimum given twice for one range"},
        {"minimum above maximum", open + "19 05 29 01 75 01 95 01 81 02 C0", "offset 14: Usage Minimum 0x05 is above Usage Maximum 0x01"},
        {"range across pages", open + "1B 01 00 09 00 2B 08 00 07 00 75 01 95 01 81 02 C0",
         "offset 20: usage range 0x00090001..0x00070008 crosses usage pages"},
        {"nested delimiter", open + "A9 01 A9 01 C0", "offset 8: delimiter set opened inside another"},
        {"close never opened", open + "A9 00 C0", "offset 6: delimiter set closed but never opened"},
        {"delimiter open at main", open + "A9 01 09 30 81 02 C0", "offset 10: delimiter set still open at a main item"},
        {"delimiter value 2", open + "A9 02 C0", "offset 6: Delimiter 2 is neither open (1) nor close (0)"},
        {"range in delimiter", open + "A9 01 19 01 C0", "offset 8: Usage Minimum inside a delimiter set"},
        {"report too long", open + "75 08 97 FF FF 00 00 81 03 C0", "offset 15: input report 0 is 65535 bytes long, more than a HID report can hold"},
        {"report too long in total", open + "85 07 75 08 96 00 80 B1 03 B1 03 C0",
         "offset 17: feature report 7 is 65536 bytes long, more than a HID report can hold"},
    };
    for (const Case& c : cases) {
        const std::vector<uint8_t> bytes = hexBytes(c.hex);
        const HidDescriptorResult r = parseReportDescriptor(bytes);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_EQ(r.error, c.error) << c.name;
        EXPECT_TRUE(r.collections.empty()) << c.name;
    }
}

TEST(HidDescriptor, longest_report_a_caps_structure_can_state_is_accepted)
{
    // 65534 data bytes plus the id byte: a byte length of 0xFFFF.
    const HidDescriptorResult r = parseReportDescriptor(hexBytes("05 01 09 02 A1 01 75 08 96 FE FF 81 03 C0"));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.collections[0].inputReportByteLength, 0xFFFF);
}

TEST(HidDescriptor, nesting_limits_refuse_runaway_depth)
{
    std::string pushes = "05 01 09 02 A1 01 ";
    for (int i = 0; i < 16; ++i)
        pushes += "A4 ";
    EXPECT_TRUE(parseReportDescriptor(hexBytes(pushes + "C0")).ok);
    EXPECT_EQ(parseReportDescriptor(hexBytes(pushes + "A4 C0")).error, "offset 22: Push nested deeper than 16");

    std::string opens, closes;
    for (int i = 0; i < 32; ++i) {
        opens += "A1 00 ";
        closes += "C0 ";
    }
    EXPECT_TRUE(parseReportDescriptor(hexBytes(opens + closes)).ok);
    EXPECT_EQ(parseReportDescriptor(hexBytes(opens + "A1 00 C0 " + closes)).error,
              "offset 64: collections nested deeper than 32");
}

// Offsets where an item starts, found from the prefix bytes alone (descriptors without long
// items), independently of the reader under test.
std::vector<bool> itemStarts(const std::vector<uint8_t>& bytes)
{
    std::vector<bool> starts(bytes.size() + 1, false);
    for (size_t i = 0; i < bytes.size(); i += 1 + (bytes[i] & 3) + ((bytes[i] & 3) == 3 ? 1 : 0))
        starts[i] = true;
    starts[bytes.size()] = true;
    return starts;
}

std::vector<std::vector<uint8_t>> descriptorsToCut()
{
    std::vector<std::vector<uint8_t>> all;
    for (const std::filesystem::path& file : test::corpusHexFiles())
        all.push_back(hexBytes(test::readFile(file)));
    // Two collections, extended usages, push and pop, a delimiter set.
    all.push_back(hexBytes("05 01 09 06 A1 01 85 01 A4 75 01 95 08 05 07 19 E0 29 E7 81 02 B4 C0"
                           "0B 02 00 00 FF A1 01 85 02 A9 01 09 30 09 31 A9 00 75 10 95 01 B1 02 C0"));
    return all;
}

TEST(HidDescriptor, every_truncation_parses_or_refuses_and_mid_item_cuts_refuse)
{
    for (const std::vector<uint8_t>& full : descriptorsToCut()) {
        ASSERT_TRUE(parseReportDescriptor(full).ok);
        const std::vector<bool> starts = itemStarts(full);
        for (size_t length = 0; length < full.size(); ++length) {
            const HidDescriptorResult r = parseExact(full, length);
            EXPECT_TRUE(r.ok || !r.error.empty()) << "length " << length;
            if (!starts[length]) {
                EXPECT_FALSE(r.ok) << "length " << length;
                EXPECT_NE(r.error.find("truncated item"), std::string::npos) << r.error;
            }
        }
    }
}

TEST(HidDescriptor, cut_after_a_complete_collection_keeps_that_collection)
{
    const std::vector<uint8_t> two = descriptorsToCut().back();
    const HidDescriptorResult r = parseExact(two, 23);  // up to the first End Collection
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.collections.size(), 1u);
    EXPECT_EQ(r.collections[0].usage, 6);
    EXPECT_EQ(r.collections[0].inputReportByteLength, 2);
    EXPECT_FALSE(parseExact(two, 24).ok);  // a dangling prefix of the second one is refused
}

}  // namespace
}  // namespace oculant
