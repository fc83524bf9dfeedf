#include <gtest/gtest.h>

#include <limits>

#include "calibration/MultiAreaPreview.h"

namespace oculant {
namespace {

MultiAreaLayout builtInLayout()
{
    LayoutTexts texts = builtInLayoutTexts();
    const LayoutRefresh r = refreshLayout(texts, 1920, 1080);
    EXPECT_TRUE(r.accepted);
    return r.layout;
}

// A frame 775 × 200 mm on the 795 × 225 picture: one pixel per millimetre inside the margins.
MultiAreaLayout unitScaleLayout()
{
    MultiAreaLayout layout;
    layout.frameWidth = 775;
    layout.frameHeight = 200;
    layout.displayWidth = 775;
    layout.displayHeight = 200;
    layout.areaCount = 1;
    return layout;
}

TEST(MultiAreaPreview, built_in_layout_outline_and_frame_areas)
{
    const MultiAreaPreview p = computeMultiAreaPreview(builtInLayout());
    EXPECT_EQ(p.titleAt, (PreviewPoint{367, 3}));
    // sx = 775 / 9200, sy = 200 / 2819: the outline spans 10..784 and 219 up to 20.
    const std::array<PreviewPoint, 5> outline{{{10, 219}, {784, 219}, {784, 20}, {10, 20}, {10, 219}}};
    EXPECT_EQ(p.frameOutline, outline);
    // Area 1 ends at 3450 mm: trunc(10 + 290.625) = 300.
    ASSERT_EQ(p.frameAreas.size(), 2u);
    EXPECT_EQ(p.frameAreas[0], (PreviewRect{{10, 220}, {300, 20}}));
    EXPECT_EQ(p.frameAreas[1], (PreviewRect{{300, 220}, {785, 20}}));
}

TEST(MultiAreaPreview, built_in_layout_display_areas_and_labels)
{
    const MultiAreaPreview p = computeMultiAreaPreview(builtInLayout());
    // Origin trunc(11 + 216.9 · 775 / 9200) = 29, trunc(6 + 0) = 6; scales 773 / 9200, 198 / 2819.
    ASSERT_EQ(p.displayAreas.size(), 2u);
    EXPECT_EQ(p.displayAreas[0], (PreviewRect{{29, 219}, {300, 21}}));   // 3233.1 mm → 29 + 271.65
    EXPECT_EQ(p.displayAreas[1], (PreviewRect{{300, 219}, {753, 21}}));  // 8621.6 mm → 29 + 724.4
    ASSERT_EQ(p.labels.size(), 2u);
    EXPECT_EQ(p.labels[0], (PreviewLabel{"A1", {161, 120}}));  // (29 + 300) / 2 − 3, 225 − 210 / 2
    EXPECT_EQ(p.labels[1], (PreviewLabel{"A2", {523, 120}}));
}

TEST(MultiAreaPreview, positions_are_truncated_toward_zero)
{
    MultiAreaLayout layout = unitScaleLayout();
    // Frame x: 10 + x; frame y: 225 − trunc(5 + y).
    layout.areas[0].frameMm = {-16.5f, -5.5f, 100.9f, 50.9f};
    // Display origin (11, 6) with the offsets 0; scales 773 / 775 and 198 / 200.
    layout.areas[0].displayMm = {-100.0f, 0.0f, 10.0f, 50.0f};
    const MultiAreaPreview p = computeMultiAreaPreview(layout);
    // 10 − 16.5 = −6.5 → −6 (floor would give −7); 5 − 5.5 = −0.5 → 0.
    EXPECT_EQ(p.frameAreas[0], (PreviewRect{{-6, 225}, {110, 170}}));
    // 11 − 99.74 = −88.74 → −88; 11 + 9.97 → 20; 6 + 49.5 → 55.
    EXPECT_EQ(p.displayAreas[0], (PreviewRect{{-88, 219}, {20, 170}}));
    // (−88 + 20) / 2 − 3 = −37; 225 − 61 / 2 = 195 (integer halves).
    ASSERT_EQ(p.labels.size(), 1u);
    EXPECT_EQ(p.labels[0].at, (PreviewPoint{-37, 195}));
}

TEST(MultiAreaPreview, label_is_left_out_when_the_display_ys_sum_to_zero)
{
    struct Case {
        float offsetY, y0, y1;
        bool labelled;
    };
    // offset −6 mm moves the origin to 0; 0.99 px per mm.
    const Case cases[] = {
        {-6.0f, 0.0f, 0.0f, false},   // on the bottom line
        {-6.0f, 10.0f, -10.0f, false},  // 9 + (−9): the sum alone decides
        {-6.0f, 0.0f, 2.0f, true},    // trunc(1.98) = 1
        {0.0f, 0.0f, 0.0f, true},     // origin 6
    };
    for (const Case& c : cases) {
        MultiAreaLayout layout = unitScaleLayout();
        layout.displayOffsetY = c.offsetY;
        layout.areas[0].displayMm = {0.0f, c.y0, 100.0f, c.y1};
        const MultiAreaPreview p = computeMultiAreaPreview(layout);
        EXPECT_EQ(p.displayAreas.size(), 1u);
        EXPECT_EQ(p.labels.size(), c.labelled ? 1u : 0u) << c.offsetY << " " << c.y0 << " " << c.y1;
    }
}

TEST(MultiAreaPreview, zero_and_absurd_sizes_stay_finite)
{
    MultiAreaLayout layout = unitScaleLayout();
    layout.frameWidth = 0;
    layout.frameHeight = 0;
    layout.areas[0].frameMm = {100, 100, 200, 200};
    MultiAreaPreview p = computeMultiAreaPreview(layout);
    // Both axes collapse onto the margins instead of going infinite.
    EXPECT_EQ(p.frameOutline[1], (PreviewPoint{9, 219}));
    EXPECT_EQ(p.frameOutline[2], (PreviewPoint{9, 220}));
    EXPECT_EQ(p.frameAreas[0], (PreviewRect{{10, 220}, {10, 220}}));

    layout = unitScaleLayout();
    layout.areas[0].frameMm = {-1e30f, 0, 1e30f, std::numeric_limits<float>::quiet_NaN()};
    p = computeMultiAreaPreview(layout);
    EXPECT_EQ(p.frameAreas[0].a.x, -kPreviewCoordinateLimit);
    EXPECT_EQ(p.frameAreas[0].b.x, kPreviewCoordinateLimit);
    EXPECT_EQ(p.frameAreas[0].b.y, 225);  // NaN → 0
}

TEST(MultiAreaPreview, draws_only_the_counted_areas)
{
    MultiAreaLayout layout = builtInLayout();
    for (const int count : {-1, 0, 1, 2, MultiAreaLayout::kMaxAreas, MultiAreaLayout::kMaxAreas + 5}) {
        layout.areaCount = count;
        const MultiAreaPreview p = computeMultiAreaPreview(layout);
        const size_t expected = size_t(std::clamp(count, 0, MultiAreaLayout::kMaxAreas));
        EXPECT_EQ(p.frameAreas.size(), expected) << count;
        EXPECT_EQ(p.displayAreas.size(), expected) << count;
    }
}

}  // namespace
}  // namespace oculant
