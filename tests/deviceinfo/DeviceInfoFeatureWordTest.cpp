// The feature word applied to the feature check boxes and the rotation choice.
#include <gtest/gtest.h>

#include "deviceinfo/FeatureWord.h"

namespace oculant {
namespace {

using B = FeatureBox;

FeatureState withRotation(Rotation r)
{
    FeatureState s = designFeatureState();
    s.rotation = r;
    return s;
}

TEST(FeatureWord, design_state_has_smooth_and_reverse_y_at_zero_degrees)
{
    const FeatureState s = designFeatureState();
    EXPECT_TRUE(s.isChecked(B::Smooth));
    EXPECT_TRUE(s.isChecked(B::ReverseY));
    for (B b : {B::Mac, B::ReverseX, B::ExchangeXY, B::USARTOn, B::SmallPointOn})
        EXPECT_FALSE(s.isChecked(b));
    EXPECT_EQ(s.rotation, Rotation::Deg0);
}

TEST(FeatureWord, word_0x24_checks_smooth_and_reverse_y_and_selects_zero_degrees)
{
    const FeatureState s = applyFeatureWord(0x24, withRotation(Rotation::Deg180));
    EXPECT_TRUE(s.isChecked(B::Smooth));
    EXPECT_TRUE(s.isChecked(B::ReverseY));
    for (B b : {B::ReverseX, B::ExchangeXY, B::USARTOn, B::SmallPointOn})
        EXPECT_FALSE(s.isChecked(b));
    EXPECT_EQ(s.rotation, Rotation::Deg0);
}

TEST(FeatureWord, bit_1_alone_leaves_smooth_unchecked_because_bit_2_is_applied_after_it)
{
    const FeatureState s = applyFeatureWord(0x02, designFeatureState());
    EXPECT_FALSE(s.isChecked(B::Smooth));
    EXPECT_FALSE(s.isChecked(B::ReverseY));
    EXPECT_TRUE(applyFeatureWord(0x04, FeatureState{}).isChecked(B::Smooth));
}

TEST(FeatureWord, word_0x30_checks_both_reverses_and_keeps_the_rotation)
{
    const FeatureState s = applyFeatureWord(0x30, withRotation(Rotation::Deg90));
    EXPECT_TRUE(s.isChecked(B::ReverseX));
    EXPECT_TRUE(s.isChecked(B::ReverseY));
    EXPECT_FALSE(s.isChecked(B::ExchangeXY));
    EXPECT_EQ(s.rotation, Rotation::Deg90);
}

TEST(FeatureWord, rotation_patterns_of_bits_4_to_6)
{
    const struct {
        uint32_t word;
        std::optional<Rotation> rotation;
    } cases[] = {
        {0x20, Rotation::Deg0},   {0x40, Rotation::Deg90}, {0x10, Rotation::Deg180},
        {0x70, Rotation::Deg270}, {0x00, std::nullopt},    {0x30, std::nullopt},
        {0x50, std::nullopt},     {0x60, std::nullopt},    {0xFFFFFF8F, std::nullopt},
        {0xFFFFFF9F, Rotation::Deg180},  // other bits do not matter
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rotationOf(c.word), c.rotation) << std::hex << c.word;
        const FeatureState s = applyFeatureWord(c.word, withRotation(Rotation::Deg270));
        EXPECT_EQ(s.rotation, c.rotation.value_or(Rotation::Deg270)) << std::hex << c.word;
    }
    EXPECT_EQ(rotationCaption(Rotation::Deg270), "270°");
}

TEST(FeatureWord, each_bit_lands_on_its_box)
{
    const struct {
        uint32_t bit;
        B box;
    } cases[] = {{0x04, B::Smooth},     {0x10, B::ReverseX}, {0x20, B::ReverseY},
                 {0x40, B::ExchangeXY}, {0x80, B::USARTOn},  {0x100, B::SmallPointOn}};
    for (const auto& c : cases) {
        const FeatureState s = applyFeatureWord(c.bit, FeatureState{});
        for (size_t b = 0; b < kFeatureBoxCount; ++b)
            EXPECT_EQ(s.checked[b], b == size_t(c.box)) << std::hex << c.bit << " box " << b;
    }
    // Bit 0 and bits above 8 mean nothing here.
    EXPECT_EQ(applyFeatureWord(0xFFFFFE01, FeatureState{}).checked, FeatureState{}.checked);
}

TEST(FeatureWord, mac_entry_is_never_applied)
{
    FeatureState checkedMac{};
    checkedMac.checked[size_t(B::Mac)] = true;
    EXPECT_TRUE(applyFeatureWord(0x00, checkedMac).isChecked(B::Mac));
    EXPECT_FALSE(applyFeatureWord(0x08, FeatureState{}).isChecked(B::Mac));
}

}  // namespace
}  // namespace oculant
