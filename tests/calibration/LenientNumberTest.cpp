#include <gtest/gtest.h>


#include "calibration/LenientNumber.h"

namespace oculant {
namespace {

struct IntCase {
    const char* text;
    int32_t value;
};

class LeadingInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(LeadingInt, reads_like_wtoi)
{
    EXPECT_EQ(readLeadingInt(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingInt,
                         ::testing::Values(IntCase{"80", 80}, IntCase{"  -12abc", -12}, IntCase{"+7", 7},
                                           IntCase{"", 0}, IntCase{"abc", 0}, IntCase{"- 5", 0},
                                           IntCase{"3.9", 3}, IntCase{"99999999999", 2147483647},
                                           IntCase{"-99999999999", -2147483647 - 1}));

struct FloatCase {
    const char* text;
    float value;
};

class LeadingFloat : public ::testing::TestWithParam<FloatCase> {};

TEST_P(LeadingFloat, reads_the_leading_decimal_number)
{
    EXPECT_EQ(readLeadingFloat(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingFloat,
                         ::testing::Values(FloatCase{"8621.6", 8621.6f}, FloatCase{" -0.5mm", -0.5f},
                                           FloatCase{".5", 0.5f}, FloatCase{"5.", 5.0f}, FloatCase{"1e3", 1000.0f},
                                           FloatCase{"2e", 2.0f}, FloatCase{"+3", 3.0f}, FloatCase{"", 0.0f},
                                           FloatCase{".", 0.0f}, FloatCase{"inf", 0.0f}, FloatCase{"nan", 0.0f},
                                           FloatCase{"0x10", 0.0f}, FloatCase{"1e39", 0.0f},
                                           FloatCase{"1e999", 0.0f}));

}  // namespace
}  // namespace oculant
