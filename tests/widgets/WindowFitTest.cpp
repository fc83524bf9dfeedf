#include <gtest/gtest.h>

#include "widgets/WindowFit.h"

namespace oculant {
namespace {

const QRect kScreen(800, 0, 960, 540);  // a second screen right of the first
const QMargins kFrame(4, 30, 4, 4);     // a title bar and a thin border

TEST(WindowFit, a_window_gets_what_it_asks_for_where_there_is_room_and_the_screen_less_its_frame_where_not)
{
    EXPECT_EQ(sizeWithin({600, 400}, kScreen, kFrame, 16), QSize(600, 400));
    EXPECT_EQ(sizeWithin({952, 506}, kScreen, kFrame, 16), QSize(952, 506)) << "just fits";
    // Cut in height: the width gains the vertical scroll bar.
    EXPECT_EQ(sizeWithin({700, 900}, kScreen, kFrame, 16), QSize(716, 506));
    EXPECT_EQ(sizeWithin({945, 900}, kScreen, kFrame, 16), QSize(952, 506));
    // Cut in width: the height gains the horizontal one.
    EXPECT_EQ(sizeWithin({1200, 300}, kScreen, kFrame, 16), QSize(952, 316));
    EXPECT_EQ(sizeWithin({1200, 900}, kScreen, kFrame, 0), QSize(952, 506));
}

TEST(WindowFit, a_window_is_centred_or_moved_just_inside_the_screen_frame_included)
{
    const QSize size(600, 400);
    const QPoint centred = placeWithin({0, 0}, size, kScreen, kFrame, Placement::Centre);
    EXPECT_EQ(QRect(centred, size.grownBy(kFrame)).center(), kScreen.center());
    // Where it is when inside; off the right and bottom edges, moved back in.
    EXPECT_EQ(placeWithin({900, 50}, size, kScreen, kFrame, Placement::KeepInside), QPoint(900, 50));
    EXPECT_EQ(placeWithin({1500, 300}, size, kScreen, kFrame, Placement::KeepInside),
              QPoint(kScreen.right() + 1 - 608, kScreen.bottom() + 1 - 434));
    // Larger than the screen: its title bar stays on it.
    EXPECT_EQ(placeWithin({700, -20}, {1200, 700}, kScreen, kFrame, Placement::KeepInside), kScreen.topLeft());
}

}  // namespace
}  // namespace oculant
