// The pointer's fingers on a bench frame: every way a button's release can go missing still
// takes the finger off the glass, and nothing is lifted twice.
#include <gtest/gtest.h>

#include <map>

#include "link/BenchFingers.h"

namespace oculant {
namespace {

// The glass: which fingers are on it, and where.
struct Glass : FrameTestBench {
    std::map<int, std::pair<double, double>> on;
    int next = 1;
    int lifts = 0;
    BenchGeometry geometry() const override { return {}; }
    int fingerDown(double x, double y) override
    {
        on[next] = {x, y};
        return next++;
    }
    void moveFinger(int id, double x, double y) override
    {
        ASSERT_TRUE(on.count(id)) << "moved a finger that is not down";
        on[id] = {x, y};
    }
    void fingerUp(int id) override
    {
        ASSERT_EQ(on.erase(id), 1u) << "lifted a finger that is not down";
        ++lifts;
    }
    std::pair<double, double> screenToFrameMm(double, double) const override { return {}; }
    void startSweep(unsigned) override {}
    bool sweepRunning() const override { return false; }
    std::vector<uint8_t> calibrationAreaBytes() const override { return {}; }
    int completedCalibrationWrites() const override { return 0; }
    std::optional<bool> calibrationCrcOk() const override { return {}; }
    void setPlugged(bool) override {}
    bool plugged() const override { return true; }
};

TEST(BenchFingers, a_finger_comes_off_however_its_release_went_missing)
{
    Glass glass;
    BenchFingers fingers(glass);
    // Two fingers, dragged together; a second press of a held button adds none.
    fingers.press(BenchFingers::Left, 10, 20);
    fingers.press(BenchFingers::Right, 30, 40);
    fingers.press(BenchFingers::Left, 50, 50);
    ASSERT_EQ(glass.on.size(), 2u);
    fingers.move(true, true, 60, 70);
    EXPECT_EQ(glass.on.at(1), std::make_pair(60.0, 70.0));
    EXPECT_EQ(glass.on.at(2), std::make_pair(60.0, 70.0));

    // The left button was let go over another window: the next move shows it no longer held.
    fingers.move(false, true, 61, 71);
    EXPECT_FALSE(fingers.down(BenchFingers::Left));
    EXPECT_EQ(glass.on.count(1), 0u);
    EXPECT_EQ(glass.on.at(2), std::make_pair(61.0, 71.0));
    // Over a window that maps nothing, the right button is seen released too.
    fingers.buttonsHeld(false, false);
    EXPECT_TRUE(glass.on.empty());

    // The full-screen window closes while the button is held: its release never comes.
    fingers.press(BenchFingers::Left, 1, 1);
    fingers.liftAll();
    EXPECT_TRUE(glass.on.empty());
    // The release that arrives later, anywhere, lifts nothing more.
    fingers.release(BenchFingers::Left);
    fingers.liftAll();
    EXPECT_EQ(glass.lifts, 3);

    // The next press is a new finger on a clear glass.
    fingers.press(BenchFingers::Left, 5, 5);
    EXPECT_EQ(glass.on.size(), 1u);
    fingers.release(BenchFingers::Left);
    EXPECT_TRUE(glass.on.empty());
}

}  // namespace
}  // namespace oculant
