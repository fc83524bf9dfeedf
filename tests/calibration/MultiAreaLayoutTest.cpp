#include <gtest/gtest.h>

#include "calibration/MultiAreaLayout.h"

namespace oculant {
namespace {

LayoutTexts withAreas(size_t n)
{
    LayoutTexts texts = builtInLayoutTexts();
    texts.rows.resize(n, texts.rows[0]);
    return texts;
}

TEST(MultiAreaLayout, built_in_layout_on_full_hd)
{
    LayoutTexts texts = builtInLayoutTexts();
    const LayoutRefresh r = refreshLayout(texts, 1920, 1080);
    ASSERT_TRUE(r.accepted);
    EXPECT_EQ(r.layout.areaCount, 2);
    EXPECT_EQ(r.layout.areas[0].displayPixels, (PixelRect{0, 0, 720, 1080}));
    EXPECT_EQ(r.layout.areas[0].frameLogical, (FrameRect{0, 0, 12288, 32768}));
    EXPECT_EQ(r.layout.areas[1].frameLogical.x0, 12288);
    EXPECT_EQ(r.layout.areas[1].frameLogical.x1, 32768);
    EXPECT_EQ(r.layout.areas[1].displayPixels.x0, 720);
    EXPECT_EQ(r.layout.frameWidth, 9200.0f);
    EXPECT_EQ(r.layout.displayOffsetX, 216.9f);
    EXPECT_EQ(texts.edits, (std::array<std::string, 6>{"9200.0", "2819.0", "8621.6", "2819.0", "216.9", "0.0"}));
    EXPECT_EQ(texts.rows[1], (LayoutTexts::Row{"3450.0", "0.0", "9200.0", "2819.0", "3233.1", "0.0", "8621.6",
                                               "2819.0"}));
}

TEST(MultiAreaLayout, more_than_23_areas_are_refused_unchanged)
{
    LayoutTexts texts = withAreas(24);
    texts.edits[0] = "1e3x";
    const LayoutTexts before = texts;
    const LayoutRefresh r = refreshLayout(texts, 1920, 1080);
    EXPECT_FALSE(r.accepted);
    EXPECT_EQ(r.message, "too many areas!\n");
    EXPECT_EQ(texts.edits, before.edits);
    EXPECT_EQ(texts.rows, before.rows);

    texts = withAreas(23);
    EXPECT_TRUE(refreshLayout(texts, 1920, 1080).accepted);
}

TEST(MultiAreaLayout, text_is_read_leniently_and_sizes_of_zero_stay_finite)
{
    LayoutTexts texts = builtInLayoutTexts();
    texts.edits[0] = "0";     // frame width
    texts.edits[2] = "abc";   // display width
    texts.edits[1] = "1e3x";  // frame height 1000
    texts.rows[0][3] = " 500.56mm";
    const LayoutRefresh r = refreshLayout(texts, 1920, 1080);
    ASSERT_TRUE(r.accepted);
    EXPECT_EQ(texts.edits[2], "0.0");
    EXPECT_EQ(texts.edits[1], "1000.0");
    EXPECT_EQ(texts.rows[0][3], "500.6");
    EXPECT_EQ(r.layout.areas[1].frameLogical.x1, 0);
    EXPECT_EQ(r.layout.areas[1].displayPixels.x1, 0);
    EXPECT_EQ(r.layout.areas[0].frameLogical.y1, 16402);  // trunc(32.768 · 500.56)
}

TEST(MultiAreaLayout, add_inserts_after_the_selected_row_or_appends)
{
    LayoutTexts texts = builtInLayoutTexts();
    const LayoutTexts::Row zeros{"0", "0", "0", "0", "0", "0", "0", "0"};
    ASSERT_TRUE(addLayoutRow(texts, 1));
    ASSERT_EQ(texts.rows.size(), 3u);
    EXPECT_EQ(texts.rows[1], zeros);
    EXPECT_EQ(texts.rows[2][0], "3450");

    ASSERT_TRUE(addLayoutRow(texts, 3));  // the last row: appends
    EXPECT_EQ(texts.rows[3], zeros);
    ASSERT_TRUE(addLayoutRow(texts, 0));  // the header: appends
    EXPECT_EQ(texts.rows.size(), 5u);
    EXPECT_EQ(texts.rows[2][0], "3450");

    texts = withAreas(25);
    EXPECT_FALSE(addLayoutRow(texts, 1));
    EXPECT_EQ(texts.rows.size(), 25u);
}

TEST(MultiAreaLayout, remove_needs_a_selected_area_and_keeps_one)
{
    LayoutTexts texts = builtInLayoutTexts();
    EXPECT_EQ(removeLayoutRow(texts, 0), std::optional<std::string>("选中单元格以确定需要删除的行！"));
    EXPECT_EQ(removeLayoutRow(texts, 3), std::optional<std::string>("选中单元格以确定需要删除的行！"));
    EXPECT_EQ(texts.rows.size(), 2u);

    EXPECT_EQ(removeLayoutRow(texts, 1), std::nullopt);
    ASSERT_EQ(texts.rows.size(), 1u);
    EXPECT_EQ(texts.rows[0][0], "3450");

    EXPECT_EQ(removeLayoutRow(texts, 1), std::nullopt) << "the last area stays, silently";
    EXPECT_EQ(texts.rows.size(), 1u);
}

}  // namespace
}  // namespace oculant
