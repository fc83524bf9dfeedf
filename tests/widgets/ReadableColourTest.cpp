#include <gtest/gtest.h>

#include "widgets/ReadableColour.h"

namespace oculant {
namespace {

TEST(ReadableColour, contrast_runs_from_one_for_equal_colours_to_twenty_one_for_black_on_white)
{
    EXPECT_DOUBLE_EQ(contrastRatio(Qt::white, Qt::white), 1.0);
    EXPECT_NEAR(contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(contrastRatio(Qt::white, Qt::black), 21.0, 1e-9);
    EXPECT_NEAR(contrastRatio(QColor(0, 0, 255), Qt::white), 8.59, 0.01);
}

TEST(ReadableColour, a_colour_that_reads_is_kept_and_one_that_does_not_keeps_its_hue_and_changes_only_its_lightness)
{
    const QColor darkRed(139, 0, 0), blue(0, 0, 255), yellow(255, 255, 0);
    EXPECT_EQ(readableOn(darkRed, Qt::white), darkRed);
    EXPECT_EQ(readableOn(blue, Qt::white), blue);

    const struct {
        QColor wanted, background;
        bool lighter;
    } cases[] = {{darkRed, QColor(30, 30, 30), true},
                 {blue, QColor(53, 53, 53), true},
                 {yellow, Qt::white, false},
                 {QColor(96, 96, 96), QColor(80, 80, 80), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wanted.name().toStdString() + " on " + c.background.name().toStdString());
        ASSERT_LT(contrastRatio(c.wanted, c.background), kReadableContrast);
        const QColor made = readableOn(c.wanted, c.background);
        EXPECT_GE(contrastRatio(made, c.background), kReadableContrast);
        EXPECT_EQ(made.lightnessF() > c.wanted.lightnessF(), c.lighter);
        EXPECT_NEAR(made.hslHue(), c.wanted.hslHue(), 1) << "another colour, not a lighter one";
        EXPECT_NE(made, c.lighter ? QColor(Qt::white) : QColor(Qt::black)) << "as close to the colour as it can";
    }
}

}  // namespace
}  // namespace oculant
