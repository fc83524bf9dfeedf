// The draw test's arithmetic: logical units to pixels, sizes in millimetres, id colours and the
// caption text, with worked values.
#include <gtest/gtest.h>

#include "drawtest/PointCaption.h"
#include "drawtest/TouchGeometry.h"

namespace oculant {
namespace {

TEST(TouchGeometry, logical_units_map_to_pixels_truncated_toward_zero)
{
    struct Case {
        int v, extent, pixel;
    };
    const Case cases[] = {
        {16384, 1920, 960}, {16384, 1080, 540}, {32767, 1920, 1919}, {0, 1920, 0},
        {1, 1920, 0},       {17, 1920, 0},      {18, 1920, 1},       {-17, 1920, 0},  // -0.996 → 0
        {-18, 1920, -1},    {32767, 0, 0},      {-32768, 1080, -1080},
    };
    for (const Case& c : cases)
        EXPECT_EQ(logicalToPixel(c.v, c.extent), c.pixel) << c.v << " on " << c.extent;
}

TEST(TouchGeometry, the_box_halves_the_size_on_each_side)
{
    EXPECT_EQ(logicalBox(1000, 2000, 301, 99), (PixelBox{850, 1951, 1150, 2049}));
    // A zero-sized touch is a point; a negative size turns the box inside out, as it comes.
    EXPECT_EQ(logicalBox(1000, 2000, 0, 0), (PixelBox{1000, 2000, 1000, 2000}));
    EXPECT_EQ(logicalBox(1000, 2000, -10, 0), (PixelBox{1005, 2000, 995, 2000}));
    const PixelBox px = boxToPixels(logicalBox(16384, 16384, 2048, 4096), {1920, 1080});
    EXPECT_EQ(px, (PixelBox{900, 472, 1020, 607}));
    EXPECT_EQ(px.centre(), (PixelPoint{960, 539}));
}

TEST(TouchGeometry, sizes_in_millimetres_use_the_5_96_mm_pitch)
{
    struct Case {
        int size, positions, mm;
    };
    const Case cases[] = {
        {20000, 100, 363},  // 20000 × 5.96 × 100 / 32768 = 363.77
        {32768, 1, 5},      // one position across: 5.96
        {2254, 100, 40},    // 40.99: not above 40
        {2255, 100, 41},    // 41.01
        {0, 160, 0},
        {-20000, 100, -363},
    };
    for (const Case& c : cases)
        EXPECT_EQ(logicalToMm(c.size, c.positions), c.mm) << c.size << " over " << c.positions;
}

TEST(TouchGeometry, a_contact_is_large_when_either_side_exceeds_40_mm)
{
    EXPECT_TRUE(isLargeContact(20000, 0, 100, 60));
    EXPECT_TRUE(isLargeContact(0, 2255 * 100 / 60 + 1, 100, 60));  // tall on the short side
    EXPECT_FALSE(isLargeContact(2254, 2254, 100, 100));
    EXPECT_TRUE(isLargeContact(2254, 2255, 100, 100));
    // Fixed size on a usual screen: 170 × 303 units, about 5 mm on 160 × 90 positions.
    EXPECT_FALSE(isLargeContact(fixedTouchSize(1920), fixedTouchSize(1080), 160, 90));
}

TEST(TouchGeometry, fixed_size_is_about_ten_pixels_across)
{
    EXPECT_EQ(fixedTouchSize(1920), 170);
    EXPECT_EQ(fixedTouchSize(1080), 303);
    EXPECT_EQ(logicalToPixel(fixedTouchSize(1920), 1920), 9);
    EXPECT_EQ(fixedTouchSize(0), 0x50000) << "an empty axis divides as one pixel";
}

TEST(TouchGeometry, ids_take_eight_colours_by_id_modulo_8)
{
    const InkColour expected[] = {{0, 0, 0},     {255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                            {255, 0, 255}, {0, 255, 255}, {255, 255, 0}, {128, 128, 128}};
    for (int id = 0; id < 256; ++id)
        EXPECT_EQ(idColour(uint8_t(id)), expected[id % 8]) << id;
}

TEST(PointCaption, entries_give_the_id_in_three_digits_and_the_centre_four_wide)
{
    EXPECT_EQ(pointEntry(0, {960, 540}), "000:( 960, 540) ");
    EXPECT_EQ(pointEntry(7, {1919, 3}), "007:(1919,   3) ");
    EXPECT_EQ(pointEntry(255, {12345, -5}), "255:(12345,  -5) ");
}

TEST(PointCaption, the_title_stands_alone_without_contacts)
{
    EXPECT_EQ(pointCaption("Draw test", 0, "001:(  10,  10) "), "Draw test");
    EXPECT_EQ(pointCaption("Draw test", 2, "001:(  10,  10) 002:(  20,  20) "),
              "Draw test 2 - 001:(  10,  10) 002:(  20,  20) ");
}

}  // namespace
}  // namespace oculant
