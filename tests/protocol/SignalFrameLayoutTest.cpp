#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "tests/support/SignalTestSupport.h"
#include "protocol/SignalFrameLayout.h"

namespace oculant {
namespace {

using test::smallLayout;

TEST(SignalFrameLayout, layer_offsets_leave_the_positions_at_the_far_end_without_beam)
{
    struct Case {
        int offset;
        std::vector<int> dark;  // positions 0 … 9 without beam
    };
    const Case cases[] = {
        {0, {}},
        {-2, {0, 1}},
        {3, {7, 8, 9}},
        {-3, {0, 1, 2}},
        {10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        std::vector<int> dark;
        for (int p = 0; p < 10; ++p)
            if (!layerHasBeam(p, c.offset, 10))
                dark.push_back(p);
        EXPECT_EQ(dark, c.dark) << "offset " << c.offset;
    }
}

// A family 0x10 threshold frame written out by hand: bX = 1, bY = 1, nX = 2, nY = 1,
// offsets 0, -1 then 0, 2; header byte 1 = 7, byte 2 = 8, word 3 = 0x0302; samples 9 8 | 6.
const std::vector<uint8_t> kHandFrame = {
    0x11, 7, 8, 0x02, 0x03, 1, 1, 2, 0, 1, 0,   // kind … nY
    0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00, 0x02, 0x00,  // offsets 0, -1, 0, 2
    9, 8, 6,
    0,  // checksum, set below
};

std::vector<uint8_t> handFrame()
{
    std::vector<uint8_t> f = kHandFrame;
    f.back() = byteSum8(f.data(), f.size() - 1);
    return f;
}

TEST(SignalFrameLayout, long_header_decodes_little_endian_fields_and_both_offset_sets)
{
    const std::vector<uint8_t> f = handFrame();
    FrameHeader h;
    ASSERT_EQ(parseFrameHeader(f.data(), f.size(), h), HeaderStatus::Ok);
    EXPECT_EQ(h.family(), kFamilyFullScan);
    EXPECT_EQ(h.type(), kTypeThreshold);
    EXPECT_EQ(h.byte1, 7);
    EXPECT_EQ(h.byte2, 8);
    EXPECT_EQ(h.word3, 0x0302);
    EXPECT_EQ(h.nX, 2);
    EXPECT_EQ(h.nY, 1);
    EXPECT_EQ(h.length, 19u);
    EXPECT_EQ(std::vector<int16_t>(h.firstSet().begin(), h.firstSet().end()), (std::vector<int16_t>{0, -1}));
    EXPECT_EQ(std::vector<int16_t>(h.secondSet().begin(), h.secondSet().end()), (std::vector<int16_t>{0, 2}));
    EXPECT_EQ(h.xOffset(0), 0);
    EXPECT_EQ(h.yOffset(0), -1);
    EXPECT_EQ(h.sampleBlockLength(), 3u);
    // 7 + 8 + 2 + 3 + 1 + 1 + 2 + 1 + 0xFF + 0xFF + 2
    EXPECT_EQ(h.sumAfterKind, 7u + 8 + 2 + 3 + 1 + 1 + 2 + 1 + 255 + 255 + 2);
}

TEST(SignalFrameLayout, builder_writes_the_frame_a_touch_frame_sends)
{
    FrameLayout layout;
    layout.family = kFamilyFullScan;
    layout.headerByte1 = 7;
    layout.headerByte2 = 8;
    layout.headerWord3 = 0x0302;
    layout.nX = 2;
    layout.nY = 1;
    layout.xOffsets = {0};
    layout.yOffsets = {-1};
    layout.xOffsets2 = {0};
    layout.yOffsets2 = {2};
    const std::vector<uint8_t> samples = {9, 8, 6};
    EXPECT_EQ(SignalFrameBuilder(layout).samples(kTypeThreshold, samples), handFrame());
}

TEST(SignalFrameLayout, headers_beyond_the_limits_or_cut_short_are_refused)
{
    struct Case {
        const char* what;
        uint8_t bX, bY;
        uint16_t nX, nY;
        size_t keep;  // bytes of the frame given to the parser (0 = all)
        HeaderStatus expected;
    };
    const Case cases[] = {
        {"31 layers on each axis", 31, 31, 200, 200, 0, HeaderStatus::Ok},
        {"32 X layers", 32, 1, 10, 10, 0, HeaderStatus::BeyondLimits},
        {"32 Y layers", 1, 32, 10, 10, 0, HeaderStatus::BeyondLimits},
        {"sample block above 16384", 2, 1, 8192, 1, 0, HeaderStatus::BeyondLimits},
        {"row longer than a frame", 0, 1, 20000, 10, 0, HeaderStatus::BeyondLimits},
        {"offset table cut off", 3, 3, 10, 10, 11 + 4 * 6, HeaderStatus::Truncated},
        {"fixed header only", 1, 1, 1, 1, 11, HeaderStatus::Truncated},
        {"header and checksum exactly", 1, 1, 1, 1, 11 + 4 * 2 + 1, HeaderStatus::Ok},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> f(11 + 4 * size_t(c.bX + c.bY) + 1, 0);
        f[0] = kFamilyBoundary;
        f[5] = c.bX;
        f[6] = c.bY;
        f[7] = uint8_t(c.nX);
        f[8] = uint8_t(c.nX >> 8);
        f[9] = uint8_t(c.nY);
        f[10] = uint8_t(c.nY >> 8);
        FrameHeader h;
        EXPECT_EQ(parseFrameHeader(f.data(), c.keep ? c.keep : f.size(), h), c.expected) << c.what;
    }
}

TEST(SignalFrameLayout, boundary_rows_are_one_longer_than_the_last_offset_and_must_fit_the_axis)
{
    struct Case {
        std::vector<int16_t> xOffsets;
        uint16_t nX;
        std::optional<size_t> expected;
    };
    const Case cases[] = {
        {{0, 1, 5}, 10, 6},
        {{0, -1}, 10, 0},
        {{0, 9}, 10, 10},
        {{0, 10}, 10, std::nullopt},   // longer than the row
        {{0, -2}, 10, std::nullopt},   // negative length
        {{}, 10, std::nullopt},        // no X layer
    };
    for (const Case& c : cases) {
        FrameHeader h;
        h.kind = kFamilyBoundary;
        h.bX = uint8_t(c.xOffsets.size());
        h.nX = c.nX;
        for (size_t i = 0; i < c.xOffsets.size(); ++i)
            h.offsets[i] = c.xOffsets[i];
        EXPECT_EQ(h.xBoundaryLength(), c.expected) << "nX " << c.nX << ", " << c.xOffsets.size() << " layers";
    }
}

TEST(SignalFrameLayout, builder_refuses_layouts_a_frame_cannot_carry)
{
    auto withFamily = [](uint8_t family) { return smallLayout(family); };
    FrameLayout tooManyLayers = withFamily(kFamilyFullScan);
    tooManyLayers.xOffsets.assign(32, 0);
    tooManyLayers.xOffsets2.assign(32, 0);
    FrameLayout secondSetShort = withFamily(kFamilyFullScan);
    secondSetShort.yOffsets2 = {0};
    FrameLayout negativeBoundary = withFamily(kFamilyBoundary);
    negativeBoundary.xOffsets = {0, -3};
    negativeBoundary.xOffsets2 = {0, 0};
    FrameLayout unknownFamily = withFamily(kFamilyFullScan);
    unknownFamily.family = 0x20;
    for (const FrameLayout* bad : {&tooManyLayers, &secondSetShort, &negativeBoundary, &unknownFamily})
        EXPECT_THROW(SignalFrameBuilder{*bad}, std::invalid_argument);

    const SignalFrameBuilder builder(withFamily(kFamilyBoundary));
    const auto layers = test::pattern(builder.layout().sampleBlockLength(), 1);
    EXPECT_THROW(builder.samples(kTypeLiveScan, layers), std::invalid_argument);  // boundary missing
    EXPECT_NO_THROW(builder.samples(kTypeLiveScan, layers, test::pattern(4 * (3 + 2), 2)));
}

}  // namespace
}  // namespace oculant
