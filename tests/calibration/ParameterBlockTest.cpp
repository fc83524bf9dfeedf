#include <gtest/gtest.h>

#include <array>

#include "calibration/BlockDownload.h"
#include "calibration/ParameterBlock.h"
#include "protocol/Crc32.h"
#include "tests/support/CalibrationTestSupport.h"

namespace oculant {
namespace {

uint32_t wordAt(const uint8_t* b)
{
    return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

TEST(ParameterBlock, starts_all_zero_and_places_its_fields)
{
    ParameterBlock block;
    for (uint8_t b : block.bytes())
        ASSERT_EQ(b, 0);

    block.setCoefficients(0, CalibrationCoefficients::identity());
    block.setCoefficients(24, {{2, 3, 4, 5, 6, 7}});
    block.setCoefficients(25, {{9, 9, 9, 9, 9, 9}});  // no such set: ignored
    block.setMask({1, 2, 32767, -1});
    block.setAreaRectangle(24, {10, 20, 30, 40});
    block.setFlags(0x80000005u);
    block.writeFixedHeader();

    const auto& b = block.bytes();
    EXPECT_EQ(wordAt(&b[0]), 0x80000005u);
    EXPECT_EQ(b[4], 2);
    EXPECT_EQ(b[5], 2);
    EXPECT_EQ(wordAt(&b[6]), 0x4000u);
    EXPECT_EQ(wordAt(&b[10]), 0x4000u);
    EXPECT_EQ(wordAt(&b[14]), 0x3F800000u);   // K0 of set 0 = 1.0f
    EXPECT_EQ(wordAt(&b[30]), 0x3F800000u);   // K4 of set 0
    EXPECT_EQ(wordAt(&b[14 + 32 * 24]), 0x40000000u);  // K0 of set 24 = 2.0f
    EXPECT_EQ(wordAt(&b[14 + 32 * 24 + 20]), 0x40E00000u);  // K5 of set 24 = 7.0f
    EXPECT_EQ(wordAt(&b[38]), 0u) << "the 8 bytes after a set are not written";
    EXPECT_EQ(wordAt(&b[806 + 12]), 0xFFFFFFFFu);
    EXPECT_EQ(block.mask(), (MaskRectangle{1, 2, 32767, -1}));
    EXPECT_EQ(wordAt(&b[850 + 16 * 24 + 12]), 40u);
    EXPECT_EQ(block.areaRectangle(24), (FrameRect{10, 20, 30, 40}));
    EXPECT_EQ(block.coefficients(24), (CalibrationCoefficients{{2, 3, 4, 5, 6, 7}}));
}

TEST(ParameterBlock, reset_image_is_identity_in_a_field_of_ff)
{
    const ParameterBlock block = ParameterBlock::resetImage();
    const auto& b = block.bytes();
    EXPECT_EQ(block.flags(), 0u);
    EXPECT_EQ(b[4], 2);
    EXPECT_EQ(b[5], 2);
    EXPECT_EQ(wordAt(&b[6]), 0x4000u);
    EXPECT_EQ(block.coefficients(0), CalibrationCoefficients::identity());
    for (size_t i = 38; i < b.size(); ++i)
        ASSERT_EQ(b[i], 0xFF) << "byte " << i;
}

TEST(BlockDownload, crc_word_closes_the_calibration_area)
{
    ParameterBlock block = ParameterBlock::resetImage();
    const auto image = buildDownloadImage(block, {0x0800C000, 2048});
    ASSERT_TRUE(image);
    EXPECT_EQ(image->length, 2048u);
    EXPECT_EQ(image->header, (std::array<uint8_t, 6>{0x07, 0x10, 0x00, 0xC0, 0x00, 0x08}));
    for (size_t i = 0; i < ParameterBlock::kSize; ++i)
        ASSERT_EQ(image->buffer[i], block.bytes()[i]);
    for (size_t i = ParameterBlock::kSize; i < 2044; ++i)
        ASSERT_EQ(image->buffer[i], 0xFF) << "byte " << i;

    std::array<uint32_t, 511> words{};
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = wordAt(&image->buffer[4 * i]);
    EXPECT_EQ(wordAt(&image->buffer[2044]), Crc32Words(words.data(), words.size()));
}

TEST(BlockDownload, a_smaller_area_takes_the_crc_at_its_own_end)
{
    const auto image = buildDownloadImage(ParameterBlock{}, {0, 1280});
    ASSERT_TRUE(image);
    std::array<uint32_t, 319> words{};
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = wordAt(&image->buffer[4 * i]);
    EXPECT_EQ(wordAt(&image->buffer[1276]), Crc32Words(words.data(), words.size()));
    EXPECT_EQ(image->buffer[1280], 0xFF);
}

TEST(BlockDownload, areas_that_cannot_hold_the_block_are_refused)
{
    const ParameterBlock block;
    EXPECT_FALSE(buildDownloadImage(block, {0, 0}));
    EXPECT_FALSE(buildDownloadImage(block, {0, 1252}));  // no room for the CRC
    EXPECT_FALSE(buildDownloadImage(block, {0, 2046}));  // not whole words
    EXPECT_FALSE(buildDownloadImage(block, {0, 4096}));
    EXPECT_TRUE(buildDownloadImage(block, {0, 1256}));
}

TEST(BlockDownload, run_refusals_in_order)
{
    const CalibrationArea area{0x8000, 2048};
    EXPECT_EQ(calibrationRunRefusalKey({0x8000, 0}, 5, true), "FunctionNotValid");
    EXPECT_EQ(calibrationRunRefusalKey(area, 11, true), "FunctionNotValid");
    EXPECT_EQ(calibrationRunRefusalKey(area, 26 | 0x80, false), "FunctionNotValid");
    EXPECT_EQ(calibrationRunRefusalKey(area, 10, false), "PanelUnconnect");
    EXPECT_EQ(calibrationRunRefusalKey(area, 27, true), std::nullopt);
    EXPECT_EQ(calibrationRunRefusalKey(area, 0xFF, true), std::nullopt);  // number 127
}

TEST(BlockDownload, progress_text_is_the_whole_percentage)
{
    const TextLookup lookup = test::bracketLookup();
    EXPECT_EQ(downloadProgressText(0, 2048, lookup), "[DownloadWait]0%");
    EXPECT_EQ(downloadProgressText(1020, 2048, lookup), "[DownloadWait]49%");
    EXPECT_EQ(downloadProgressText(2048, 2048, lookup), "[DownloadWait]100%");
    EXPECT_EQ(downloadProgressText(5, 0, lookup), "[DownloadWait]0%");
    EXPECT_EQ(downloadProgressText(0xFFFFFFFFu, 0xFFFFFFFFu, lookup), "[DownloadWait]100%");
}

TEST(BlockDownload, progress_tick_ends_once_the_worker_is_idle)
{
    const TextLookup lookup = test::bracketLookup();
    bool reportShown = true;
    DownloadTick t = downloadProgressTick(false, 520, 2048, reportShown, lookup);
    EXPECT_FALSE(t.finished);
    EXPECT_EQ(t.statusText, "[DownloadWait]25%");
    EXPECT_TRUE(reportShown);

    t = downloadProgressTick(true, 2048, 2048, reportShown, lookup);
    EXPECT_TRUE(t.finished);
    EXPECT_EQ(t.statusText, "[DownloadFinish]");
    EXPECT_FALSE(t.messageBox) << "the run's report was already shown";
    EXPECT_FALSE(reportShown);

    t = downloadProgressTick(true, 2048, 2048, reportShown, lookup);
    EXPECT_EQ(t.messageBox, std::optional<std::string>("[DownloadFinish]"));
}

}  // namespace
}  // namespace oculant
