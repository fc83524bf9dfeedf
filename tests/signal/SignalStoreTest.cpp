#include <gtest/gtest.h>

#include <vector>

#include "tests/support/SignalTestSupport.h"
#include "signal/SignalStore.h"

namespace oculant {
namespace {

using test::planeCopy;
using test::smallLayout;

// Parses a built frame and runs the layout update with it, as the processor does.
bool update(SignalStore& store, const std::vector<uint8_t>& frame)
{
    FrameHeader h;
    EXPECT_EQ(parseFrameHeader(frame.data(), frame.size(), h), HeaderStatus::Ok);
    return store.updateLayout(h, frame.data());
}

std::vector<uint8_t> headerFrame(const FrameLayout& layout, uint8_t type = kTypeTouchReport)
{
    return SignalFrameBuilder(layout).frame(type, {});
}

void fillPlanes(SignalStore& store)
{
    for (int p = 0; p < SignalStore::kPlaneCount; ++p)
        for (auto& b : store.plane(p))
            b = uint8_t(0x40 + p);
}

bool allPlanesZero(const SignalStore& store)
{
    for (int p = 0; p < SignalStore::kPlaneCount; ++p)
        for (uint8_t b : store.plane(p))
            if (b != 0)
                return false;
    return true;
}

TEST(SignalStore, starts_with_one_layer_of_one_position_per_axis)
{
    SignalStore store;
    EXPECT_EQ(store.nX(), 1);
    EXPECT_EQ(store.nY(), 1);
    EXPECT_EQ(store.bX(), 1);
    EXPECT_EQ(store.bY(), 1);
    EXPECT_EQ(store.xOffset(0), 0);
    EXPECT_EQ(store.referenceCaptureCount(), 0);
    EXPECT_EQ(store.rowCount(), 2 + 8);
    EXPECT_EQ(store.planeLength(), 2u + 8u);
    EXPECT_TRUE(allPlanesZero(store));
}

TEST(SignalStore, rows_are_addressed_by_layer_then_boundary_number)
{
    SignalStore store;
    update(store, headerFrame(smallLayout(kFamilyBoundary)));
    ASSERT_EQ(store.rowCount(), 5 + 8);
    EXPECT_EQ(store.planeLength(), 3u * 10 + 2u * 6 + 4u * 10 + 4u * 6);
    // Every row lies inside the plane, rows do not overlap, and they tile the plane in order.
    size_t next = 0;
    for (int r = 0; r < store.rowCount(); ++r) {
        const auto row = store.row(kPlaneCurrent, r);
        const size_t expectedLength = (r < 3 || (r >= 5 && r < 9)) ? 10 : 6;
        EXPECT_EQ(row.size(), expectedLength) << "row " << r;
        EXPECT_EQ(size_t(row.data() - store.plane(kPlaneCurrent).data()), next) << "row " << r;
        next += row.size();
    }
    EXPECT_EQ(next, store.planeLength());
    EXPECT_EQ(store.xBoundaryRow(0), 5);
    EXPECT_EQ(store.yBoundaryRow(3), 12);
    EXPECT_TRUE(store.row(kPlaneCurrent, store.rowCount()).empty());
    EXPECT_TRUE(store.row(kPlaneCurrent, -1).empty());
    EXPECT_TRUE(store.row(4, 0).empty());
    EXPECT_EQ(store.xOffset(1), -2);
    EXPECT_EQ(store.yOffset(1), 1);
    EXPECT_EQ(store.rowOffset(4), 1);
    EXPECT_EQ(store.rowOffset(7), 0);   // boundary rows have no offset
    EXPECT_EQ(store.xOffset(3), 0);     // no such layer
}

TEST(SignalStore, repeated_layout_keeps_the_planes_and_changed_layout_clears_all_four)
{
    struct Case {
        const char* what;
        void (*change)(FrameLayout&);
        bool rebuilds;
    };
    const Case cases[] = {
        {"same header", [](FrameLayout&) {}, false},
        {"opaque header bytes only", [](FrameLayout& l) { l.headerByte1 ^= 0xFF; l.headerWord3 = 9; }, false},
        {"one X offset", [](FrameLayout& l) { l.xOffsets[1] = -1; }, true},
        {"one Y offset", [](FrameLayout& l) { l.yOffsets[0] = 1; }, true},
        {"second set only", [](FrameLayout& l) { l.yOffsets2[1] = 4; }, true},
        {"nX", [](FrameLayout& l) { l.nX = 11; }, true},
        {"nY", [](FrameLayout& l) { l.nY = 5; }, true},
        {"one more Y layer", [](FrameLayout& l) { l.yOffsets.push_back(2); l.yOffsets2.push_back(2); }, true},
    };
    for (const Case& c : cases) {
        SignalStore store;
        FrameLayout layout = smallLayout(kFamilyFullScan);
        EXPECT_TRUE(update(store, headerFrame(layout)));
        fillPlanes(store);
        store.countReferenceScan();
        const auto before = planeCopy(store, kPlaneReference);
        c.change(layout);
        EXPECT_EQ(update(store, headerFrame(layout, kTypeLiveScan)), c.rebuilds) << c.what;
        if (c.rebuilds)
            EXPECT_TRUE(allPlanesZero(store)) << c.what;
        else
            EXPECT_EQ(planeCopy(store, kPlaneReference), before) << c.what;
        EXPECT_EQ(store.referenceCaptureCount(), 1) << c.what << ": the counter survives";
    }
}

TEST(SignalStore, first_frame_of_the_other_header_cache_rebuilds_once)
{
    SignalStore store;
    const FrameLayout shortLayout = smallLayout(kFamilyShortHeader);
    FrameLayout longLayout = smallLayout(kFamilyFullScan);
    longLayout.xOffsets2 = longLayout.xOffsets;
    longLayout.yOffsets2 = longLayout.yOffsets;
    EXPECT_TRUE(update(store, headerFrame(shortLayout)));
    EXPECT_FALSE(update(store, headerFrame(shortLayout)));
    EXPECT_TRUE(update(store, headerFrame(longLayout)));  // the long cache was still empty
    EXPECT_FALSE(update(store, headerFrame(longLayout)));
}

TEST(SignalStore, a_stale_cache_never_leaves_the_store_in_another_layout)
{
    SignalStore store;
    const FrameLayout first = smallLayout(kFamilyShortHeader);
    FrameLayout other = smallLayout(kFamilyFullScan);
    other.nX = 20;
    update(store, headerFrame(first));
    update(store, headerFrame(other));
    ASSERT_EQ(store.nX(), 20);
    // The short cache still holds the first layout, yet the store must take it back.
    EXPECT_TRUE(update(store, headerFrame(first)));
    EXPECT_EQ(store.nX(), 10);
    EXPECT_EQ(store.planeLength(), 3u * 10 + 2u * 6 + 4u * 10 + 4u * 6);
}

TEST(SignalStore, a_zero_layout_on_the_first_frame_still_takes_effect)
{
    SignalStore store;
    FrameLayout empty;
    empty.family = kFamilyShortHeader;
    empty.nX = 0;
    empty.nY = 0;
    empty.xOffsets.clear();
    empty.yOffsets.clear();
    EXPECT_TRUE(update(store, headerFrame(empty)));
    EXPECT_EQ(store.bX(), 0);
    EXPECT_EQ(store.nX(), 0);
    EXPECT_EQ(store.planeLength(), 0u);
    EXPECT_EQ(store.rowCount(), 8);
    EXPECT_TRUE(store.row(kPlaneCurrent, 0).empty());
}

}  // namespace
}  // namespace oculant
