// Caps computed from report descriptors: real descriptors against what Windows reported for
// them, and hand-built ones for the frame, a digitizer, a keyboard and the item kinds.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "hid/HidDescriptor.h"
#include "hid/HidDescriptorText.h"
#include "tests/support/HidBytes.h"

namespace oculant {
namespace {

using test::hexBytes;
using Ids = std::vector<uint8_t>;
namespace fs = std::filesystem;

using test::kHidCorpus;
using test::readFile;

std::vector<std::string> corpusNames()
{
    std::vector<std::string> names;
    for (const fs::path& file : test::corpusHexFiles())
        names.push_back(file.stem().string());
    return names;
}

void expectCapsMatchJson(const HidCollectionCaps& caps, const nlohmann::json& want)
{
    EXPECT_EQ(caps.usagePage, want.at("usagePage").get<int>());
    EXPECT_EQ(caps.usage, want.at("usage").get<int>());
    EXPECT_EQ(caps.inputReportByteLength, want.at("inputReportByteLength").get<int>());
    EXPECT_EQ(caps.outputReportByteLength, want.at("outputReportByteLength").get<int>());
    EXPECT_EQ(caps.featureReportByteLength, want.at("featureReportByteLength").get<int>());
    const std::pair<const char*, const Ids*> lists[] = {
        {"inputButtonCapReportIds", &caps.inputButtonCapReportIds},
        {"inputValueCapReportIds", &caps.inputValueCapReportIds},
        {"outputButtonCapReportIds", &caps.outputButtonCapReportIds},
        {"outputValueCapReportIds", &caps.outputValueCapReportIds},
        {"featureButtonCapReportIds", &caps.featureButtonCapReportIds},
        {"featureValueCapReportIds", &caps.featureValueCapReportIds},
    };
    for (const auto& [key, ids] : lists)
        EXPECT_EQ(*ids, want.at(key).get<Ids>()) << key;
    EXPECT_EQ(caps.inputButtonCapReportIds.size(), want.at("numberInputButtonCaps").get<size_t>());
    EXPECT_EQ(caps.featureValueCapReportIds.size(), want.at("numberFeatureValueCaps").get<size_t>());
}

class HidCorpus : public ::testing::TestWithParam<std::string> {};

TEST_P(HidCorpus, caps_agree_with_what_windows_reported)
{
    const DescriptorBytes bytes = decodeDescriptorFile(readFile(kHidCorpus / (GetParam() + ".hex")));
    ASSERT_TRUE(bytes.ok) << bytes.error;
    const nlohmann::json want = nlohmann::json::parse(readFile(kHidCorpus / (GetParam() + ".caps.json")));
    const HidDescriptorResult parsed = parseReportDescriptor(bytes.bytes);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    ASSERT_EQ(parsed.collections.size(), 1u);
    expectCapsMatchJson(parsed.collections[0], want);
}

INSTANTIATE_TEST_SUITE_P(Corpus, HidCorpus, ::testing::ValuesIn(corpusNames()),
                         [](const auto& info) { return info.param; });

TEST(HidCorpusFolder, holds_every_pair)
{
    const std::vector<std::string> names = corpusNames();
    EXPECT_EQ(names.size(), 15u);
    for (const std::string& name : names)
        EXPECT_TRUE(fs::exists(kHidCorpus / (name + ".caps.json"))) << name;
}

HidCollectionCaps parseOne(const std::string& hex)
{
    const HidDescriptorResult parsed = parseReportDescriptor(hexBytes(hex));
    EXPECT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.collections.size(), 1u);
    return parsed.collections.empty() ? HidCollectionCaps{} : parsed.collections[0];
}

// The frame: vendor page, input report 2 of 63 data bytes as an array, output report 3 of 62
// data bytes as values. {input} and {output} are the main items, so variants can be built.
std::string frameDescriptor(const std::string& page = "06 00 FF", const std::string& outCount = "95 3E",
                            const std::string& input = "81 00", const std::string& output = "91 02")
{
    return page + " 09 01 A1 01  85 02 09 02 15 00 26 FF 00 75 08 95 3F " + input +
           "  85 03 09 03 " + outCount + " " + output + "  C0";
}

TEST(HidDescriptor, frame_descriptor_gives_frame_caps_and_matches)
{
    const HidCollectionCaps caps = parseOne(frameDescriptor());
    EXPECT_EQ(caps.usagePage, 0xFF00);
    EXPECT_EQ(caps.usage, 1);
    EXPECT_EQ(caps.inputReportByteLength, 64);
    EXPECT_EQ(caps.outputReportByteLength, 63);
    EXPECT_EQ(caps.featureReportByteLength, 0);
    EXPECT_EQ(caps.inputButtonCapReportIds, Ids{2});
    EXPECT_EQ(caps.inputValueCapReportIds, Ids{});
    EXPECT_EQ(caps.outputValueCapReportIds, Ids{3});
    EXPECT_EQ(caps.outputButtonCapReportIds, Ids{});
    EXPECT_TRUE(caps.usesReportIds);
    EXPECT_TRUE(matchesFrameRule(caps));
    EXPECT_EQ(frameRuleMismatch(caps), "");
}

TEST(HidDescriptor, frame_rule_refuses_each_missing_condition)
{
    struct Case {
        const char* name;
        std::string hex;
        const char* reason;
    };
    const Case cases[] = {
        {"output of 64 bytes", frameDescriptor("06 00 FF", "95 3F"), "output report is 64 bytes, not 63"},
        {"other vendor page", frameDescriptor("06 01 FF"), "usage page 0xFF01 is not the vendor page 0xFF00"},
        {"output as array", frameDescriptor("06 00 FF", "95 3E", "81 00", "91 00"), "no output value caps"},
        {"input as values", frameDescriptor("06 00 FF", "95 3E", "81 02"), "no input button caps"},
    };
    for (const Case& c : cases) {
        const HidCollectionCaps caps = parseOne(c.hex);
        EXPECT_FALSE(matchesFrameRule(caps)) << c.name;
        EXPECT_EQ(frameRuleMismatch(caps), c.reason) << c.name;
    }
}

TEST(HidDescriptor, multitouch_digitizer_with_nested_collection_and_features)
{
    const HidCollectionCaps caps = parseOne(
        "05 0D 09 04 A1 01 85 01"
        "  09 22 A1 02"                                   // finger, a logical collection
        "    09 42 15 00 25 01 75 01 95 01 81 02"         // tip switch: 1 bit
        "    95 07 81 03"                                 // 7 bits of padding
        "    75 08 95 01 09 51 25 7F 81 02"               // contact id
        "    05 01 26 FF 7F 75 10 95 02 09 30 09 31 81 02"  // X, Y
        "  C0"
        "  05 0D 09 54 25 7F 75 08 95 01 81 02"           // contact count
        "  85 02 09 55 25 0A B1 02"                       // contact count maximum
        "  85 03 06 00 FF 09 C5 26 FF 00 96 00 01 B1 02"  // 256-byte vendor feature
        "C0");
    EXPECT_EQ(caps.usagePage, 0x0D);
    EXPECT_EQ(caps.usage, 0x04);
    EXPECT_EQ(caps.inputReportByteLength, 8);  // 1 + 7 + 8 + 32 + 8 bits, plus the id
    EXPECT_EQ(caps.outputReportByteLength, 0);
    EXPECT_EQ(caps.featureReportByteLength, 257);
    EXPECT_EQ(caps.inputButtonCapReportIds, Ids{1});
    EXPECT_EQ(caps.inputValueCapReportIds, (Ids{1, 1, 1, 1}));
    EXPECT_EQ(caps.featureButtonCapReportIds, Ids{});
    EXPECT_EQ(caps.featureValueCapReportIds, (Ids{2, 3}));
    EXPECT_FALSE(matchesFrameRule(caps));
}

TEST(HidDescriptor, keyboard_and_consumer_control_are_two_collections)
{
    const HidDescriptorResult parsed = parseReportDescriptor(hexBytes(
        "05 01 09 06 A1 01 85 01"
        "  05 07 19 E0 29 E7 15 00 25 01 75 01 95 08 81 02"  // modifier bits
        "  95 01 75 08 81 01"                                // reserved byte
        "  95 05 75 01 05 08 19 01 29 05 91 02"              // LEDs
        "  95 01 75 03 91 01"                                // LED padding
        "  95 06 75 08 15 00 25 65 05 07 19 00 29 65 81 00"  // key array
        "C0"
        "05 0C 09 01 A1 01 85 02"
        "  15 00 26 FF 03 75 10 95 01 19 00 2A FF 03 81 00"
        "C0"));
    ASSERT_TRUE(parsed.ok) << parsed.error;
    ASSERT_EQ(parsed.collections.size(), 2u);
    const HidCollectionCaps& keyboard = parsed.collections[0];
    EXPECT_EQ(keyboard.usagePage, 1);
    EXPECT_EQ(keyboard.usage, 6);
    EXPECT_EQ(keyboard.inputReportByteLength, 9);
    EXPECT_EQ(keyboard.outputReportByteLength, 2);
    EXPECT_EQ(keyboard.inputButtonCapReportIds, (Ids{1, 1}));
    EXPECT_EQ(keyboard.outputButtonCapReportIds, Ids{1});
    const HidCollectionCaps& consumer = parsed.collections[1];
    EXPECT_EQ(consumer.usagePage, 0x0C);
    EXPECT_EQ(consumer.usage, 1);
    EXPECT_EQ(consumer.inputReportByteLength, 3);
    EXPECT_EQ(consumer.outputReportByteLength, 0);
    EXPECT_EQ(consumer.inputButtonCapReportIds, Ids{2});
}

TEST(HidDescriptor, report_length_is_the_longest_report_summed_over_its_items)
{
    // Report 5 is split in two items around report 1: 4 + 8 bytes, longer than report 1's 10.
    const HidCollectionCaps caps = parseOne(
        "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08"
        "  85 05 09 10 95 04 81 02"
        "  85 01 09 11 95 0A 81 00"
        "  85 05 09 12 95 08 81 02"
        "C0");
    EXPECT_EQ(caps.inputReportByteLength, 13);
    EXPECT_EQ(caps.inputValueCapReportIds, (Ids{5, 5}));
    EXPECT_EQ(caps.inputButtonCapReportIds, Ids{1});
}

TEST(HidDescriptor, bits_round_up_to_whole_bytes)
{
    // 3 bits of buttons and a 12-bit value: 15 bits, two bytes, plus the id byte.
    const HidCollectionCaps caps = parseOne(
        "05 01 09 02 A1 01 05 09 19 01 29 03 75 01 95 03 81 02"
        "  05 01 09 30 75 0C 95 01 81 02 C0");
    EXPECT_EQ(caps.inputReportByteLength, 3);
    EXPECT_FALSE(caps.usesReportIds);
}

TEST(HidDescriptor, push_and_pop_restore_report_id_size_count_and_page)
{
    const HidDescriptorResult parsed = parseReportDescriptor(hexBytes(
        "06 00 FF 09 01 A1 01 85 01 75 08 95 04"
        "  A4 85 02 75 10 95 08 09 02 81 02"  // Push, then report 2: 8 values of 16 bits
        "  B4 09 03 81 02"                    // Pop: report 1, 4 values of 8 bits again
        "C0"
        "05 01 A4 05 0C B4 09 02 A1 01 C0"));  // the page pushed before 0x0C names this one
    ASSERT_TRUE(parsed.ok) << parsed.error;
    ASSERT_EQ(parsed.collections.size(), 2u);
    EXPECT_EQ(parsed.collections[0].inputReportByteLength, 17);
    EXPECT_EQ(parsed.collections[0].inputValueCapReportIds, (Ids{2, 1}));
    EXPECT_EQ(parsed.collections[1].usagePage, 1);
    EXPECT_EQ(parsed.collections[1].usage, 2);
    EXPECT_EQ(parsed.collections[1].inputReportByteLength, 0);
}

TEST(HidDescriptor, long_items_are_skipped_wherever_they_stand)
{
    const std::string plain = frameDescriptor();
    const HidCollectionCaps want = parseOne(plain);
    const std::string withLong = "FE 03 10 AA BB CC " + plain.substr(0, 9) + "FE 00 F0 " + plain.substr(9);
    const HidCollectionCaps got = parseOne(withLong);
    EXPECT_EQ(got.inputReportByteLength, want.inputReportByteLength);
    EXPECT_EQ(got.outputReportByteLength, want.outputReportByteLength);
    EXPECT_EQ(got.inputButtonCapReportIds, want.inputButtonCapReportIds);
    EXPECT_EQ(got.outputValueCapReportIds, want.outputValueCapReportIds);
}

TEST(HidDescriptor, extended_usages_carry_their_own_page)
{
    // Collection usage 0xFF00:0002 written in four bytes under the Generic Desktop page.
    const HidCollectionCaps caps = parseOne(
        "05 01 0B 02 00 00 FF A1 01"
        "  1B 01 00 09 00 2B 08 00 09 00 75 01 95 08 81 02"  // buttons 1-8 as extended range
        "  0B 38 02 0C 00 75 08 95 01 81 06"                 // AC Pan, page 0x0C
        "C0");
    EXPECT_EQ(caps.usagePage, 0xFF00);
    EXPECT_EQ(caps.usage, 2);
    EXPECT_EQ(caps.inputButtonCapReportIds, Ids{0});
    EXPECT_EQ(caps.inputValueCapReportIds, Ids{0});
    EXPECT_EQ(caps.inputReportByteLength, 3);
}

TEST(HidDescriptor, usage_page_given_after_the_usage_still_names_the_collection)
{
    // The page in force at the main item applies to short usages declared before it.
    const HidCollectionCaps caps = parseOne("09 02 05 01 A1 01 C0");
    EXPECT_EQ(caps.usagePage, 1);
    EXPECT_EQ(caps.usage, 2);
}

TEST(HidDescriptor, collection_without_usage_is_zero)
{
    const HidCollectionCaps caps = parseOne("05 01 A1 01 C0");
    EXPECT_EQ(caps.usagePage, 0);
    EXPECT_EQ(caps.usage, 0);
    EXPECT_EQ(caps.inputReportByteLength, 0);
}

// Cap counts of one input item, table-driven: (body inserted into a Generic Desktop
// collection, expected button caps, expected value caps).
struct CapCase {
    const char* name;
    const char* body;
    size_t buttons;
    size_t values;
};

TEST(HidDescriptor, caps_are_counted_per_usage_or_range_not_per_item)
{
    const CapCase cases[] = {
        {"range covering the count", "05 09 19 01 29 08 75 01 95 08 81 02", 1, 0},
        {"two ranges in one item", "05 09 19 01 29 04 19 09 29 0C 75 01 95 08 81 02", 2, 0},
        {"range wider than the count", "05 09 19 01 29 10 75 01 95 04 81 02", 1, 0},
        {"second range not needed", "05 09 19 01 29 04 19 09 29 0C 75 01 95 04 81 02", 1, 0},
        {"maximum before minimum", "05 09 29 08 19 01 75 01 95 08 81 02", 1, 0},
        {"one usage, value array", "09 30 75 08 95 03 81 02", 0, 1},
        {"three usages, two fields", "09 30 09 31 09 32 75 08 95 02 81 02", 0, 2},
        {"three usages, three fields", "09 30 09 31 09 32 75 08 95 03 81 02", 0, 3},
        {"array keeps every usage", "09 30 09 31 09 32 75 08 95 01 81 00", 3, 0},
        {"array of one-bit size", "09 30 75 01 95 02 81 00", 1, 0},
        {"one-bit variable is a button", "09 30 75 01 95 01 81 02", 1, 0},
        {"no usage is padding", "75 08 95 02 81 02", 0, 0},
        {"constant usage 0 is padding", "09 00 75 08 95 01 81 03", 0, 0},
        {"constant usage 0 array is padding", "09 00 75 08 95 01 81 01", 0, 0},
        {"data usage 0 is a cap", "09 00 75 08 95 01 81 02", 0, 1},
        {"constant with a usage is a cap", "09 30 75 08 95 01 81 03", 0, 1},
        {"count 0 carries nothing", "09 30 75 08 95 00 81 02", 0, 0},
        {"aliases each get a cap", "A9 01 09 30 09 31 A9 00 09 32 75 08 95 02 81 02", 0, 3},
        {"alias set fills the only field", "A9 01 09 30 09 31 A9 00 09 32 75 08 95 01 81 02", 0, 2},
        {"locals end at the main item", "09 30 75 08 95 01 81 02 81 02", 0, 1},
    };
    for (const CapCase& c : cases) {
        const HidCollectionCaps caps = parseOne(std::string("05 01 09 00 A1 01 ") + c.body + " C0");
        EXPECT_EQ(caps.inputButtonCapReportIds.size(), c.buttons) << c.name;
        EXPECT_EQ(caps.inputValueCapReportIds.size(), c.values) << c.name;
    }
}

TEST(HidDescriptor, reserved_main_items_and_unknown_locals_are_ignored)
{
    // 0xD1 is a reserved main tag, 0x79 a String Index, 0x0C a reserved item type.
    const HidCollectionCaps caps = parseOne("05 01 09 02 A1 01 D1 05 0C 79 07 09 30 75 08 95 01 81 02 C0");
    EXPECT_EQ(caps.inputValueCapReportIds, Ids{0});
    EXPECT_EQ(caps.inputReportByteLength, 2);
}

}  // namespace
}  // namespace oculant
