#include <gtest/gtest.h>

#include <vector>

#include "tests/support/SignalTestSupport.h"
#include "signal/FrameProcessor.h"
#include "signal/PartialUpdate.h"

namespace oculant {
namespace {

using test::kAllFamilies;
using test::pattern;
using test::planeCopy;
using test::RecordingListener;
using test::rowCopy;
using test::smallLayout;

// Everything a frame can change, to prove a dropped frame changed nothing.
struct StoreSnapshot {
    uint16_t nX, nY;
    uint8_t bX, bY, referenceCount;
    std::vector<int16_t> offsets;
    std::vector<std::vector<uint8_t>> planes;

    explicit StoreSnapshot(const SignalStore& s)
        : nX(s.nX()), nY(s.nY()), bX(s.bX()), bY(s.bY()), referenceCount(s.referenceCaptureCount())
    {
        for (int r = 0; r < s.layerCount(); ++r)
            offsets.push_back(s.rowOffset(r));
        for (int p = 0; p < SignalStore::kPlaneCount; ++p)
            planes.push_back(planeCopy(s, p));
    }
    bool operator==(const StoreSnapshot&) const = default;
};

// The plane a sample frame should produce: layer rows, then boundary rows holding their first
// (last offset + 1) samples and zero after them.
std::vector<uint8_t> expectedPlane(const FrameLayout& l, const std::vector<uint8_t>& layers,
                                   const std::vector<uint8_t>& boundary)
{
    std::vector<uint8_t> plane(layers);
    plane.resize(layers.size() + 4 * (size_t(l.nX) + l.nY), 0);
    if (l.family == kFamilyBoundary) {
        size_t from = 0;
        size_t to = layers.size();
        for (int k = 0; k < 8; ++k) {
            const size_t count = k < 4 ? l.xBoundaryLength() : l.yBoundaryLength();
            std::copy_n(boundary.begin() + long(from), count, plane.begin() + long(to));
            from += count;
            to += k < 4 ? l.nX : l.nY;
        }
    }
    return plane;
}

std::vector<uint8_t> quarter(std::vector<uint8_t> plane)
{
    for (auto& b : plane)
        b = uint8_t(b >> 2);
    return plane;
}

std::vector<uint8_t> zeros(const SignalStore& s) { return std::vector<uint8_t>(s.planeLength(), 0); }

// Rewrites the kind byte and the checksum of a built frame.
std::vector<uint8_t> withKind(std::vector<uint8_t> frame, uint8_t kind)
{
    frame[0] = kind;
    frame.back() = byteSum8(frame.data(), frame.size() - 1);
    return frame;
}

class FrameProcessorTest : public ::testing::Test {
protected:
    FrameResult feed(const std::vector<uint8_t>& frame) { return processor.ProcessFrame(frame.data(), frame.size()); }

    SignalStore store;
    FrameProcessor processor{store};
};

// Sample frames of the families that carry whole sample blocks, every sample type.
TEST_F(FrameProcessorTest, sample_frames_land_exactly_in_their_planes)
{
    for (uint8_t family : {kFamilyShortHeader, kFamilyFullScan, kFamilyBoundary}) {
        SCOPED_TRACE(int(family));
        const FrameLayout layout = smallLayout(family);
        const SignalFrameBuilder builder(layout);
        const auto layers = pattern(layout.sampleBlockLength(), 3);
        const auto boundary = pattern(layout.boundaryBlockLength(), 101);
        const auto full = expectedPlane(layout, layers, boundary);

        SignalStore s;
        FrameProcessor p(s);
        auto run = [&](uint8_t type) {
            const auto f = builder.samples(type, layers, boundary);
            EXPECT_EQ(p.ProcessFrame(f.data(), f.size()).status, FrameStatus::Accepted);
        };

        run(kTypeThreshold);
        EXPECT_EQ(planeCopy(s, kPlaneThreshold), full);
        EXPECT_EQ(planeCopy(s, kPlaneCurrent), zeros(s)) << "a threshold never touches plane 1";
        EXPECT_EQ(planeCopy(s, kPlaneReference), zeros(s)) << "a threshold never touches plane 3";
        EXPECT_EQ(planeCopy(s, kPlaneReceive), zeros(s));

        run(kTypeReference);
        EXPECT_EQ(planeCopy(s, kPlaneReference), full);
        EXPECT_EQ(planeCopy(s, kPlaneCurrent), full);
        EXPECT_EQ(planeCopy(s, kPlaneReceive), zeros(s));

        run(kTypeLiveScan);
        // Family 0x00 stores no live samples, yet plane 1 is overwritten from plane 0 and the
        // capture step runs.
        const auto received = family == kFamilyShortHeader ? zeros(s) : full;
        EXPECT_EQ(planeCopy(s, kPlaneReceive), received);
        EXPECT_EQ(planeCopy(s, kPlaneCurrent), received);
        EXPECT_EQ(planeCopy(s, kPlaneReference), received);
        EXPECT_EQ(planeCopy(s, kPlaneThreshold), quarter(received));
        EXPECT_EQ(s.referenceCaptureCount(), 1);
        EXPECT_EQ(p.drops().total(), 0u);
    }
}

TEST_F(FrameProcessorTest, ranged_update_stores_the_listed_layers_over_their_range)
{
    const FrameLayout layout = smallLayout(kFamilyPartialScan);
    const SignalFrameBuilder builder(layout);
    PartialScan scan;
    scan.xFirst = 2;
    scan.xLast = 5;
    scan.yFirst = 1;
    scan.yLast = 3;
    scan.xLayers = {2, 0};
    scan.yLayers = {1};
    scan.samples = pattern(4 + 4 + 3, 50);
    ASSERT_EQ(feed(builder.rangedUpdate(scan)).status, FrameStatus::Accepted);

    std::vector<uint8_t> x2(10, 0), x0(10, 0), y1(6, 0);
    std::copy_n(scan.samples.begin(), 4, x2.begin() + 2);
    std::copy_n(scan.samples.begin() + 4, 4, x0.begin() + 2);
    std::copy_n(scan.samples.begin() + 8, 3, y1.begin() + 1);
    EXPECT_EQ(rowCopy(store, kPlaneReceive, 2), x2);
    EXPECT_EQ(rowCopy(store, kPlaneReceive, 0), x0);
    EXPECT_EQ(rowCopy(store, kPlaneReceive, 1), std::vector<uint8_t>(10, 0));
    EXPECT_EQ(rowCopy(store, kPlaneReceive, 3 + 1), y1);  // Y layer 1 is row bX + 1
    EXPECT_EQ(rowCopy(store, kPlaneReceive, 3), std::vector<uint8_t>(6, 0));
    EXPECT_EQ(planeCopy(store, kPlaneCurrent), planeCopy(store, kPlaneReceive));
}

TEST_F(FrameProcessorTest, full_row_update_fills_rows_from_position_0_by_store_row)
{
    const FrameLayout layout = smallLayout(kFamilyPartialScan);
    const SignalFrameBuilder builder(layout);
    PartialScan scan;
    scan.xFirst = 7;  // ignored by a full-row update
    scan.xLast = 4;
    scan.yFirst = 9;
    scan.yLast = 5;
    scan.xLayers = {1};
    scan.yLayers = {3};  // Y layer 0, listed by its store row bX + 0
    scan.samples = pattern(5 + 6, 9);
    ASSERT_EQ(feed(builder.fullRowUpdate(scan)).status, FrameStatus::Accepted);

    std::vector<uint8_t> x1(10, 0);
    std::copy_n(scan.samples.begin(), 5, x1.begin());
    EXPECT_EQ(rowCopy(store, kPlaneReceive, 1), x1);
    EXPECT_EQ(rowCopy(store, kPlaneReceive, 3), std::vector<uint8_t>(scan.samples.begin() + 5, scan.samples.end()));
    EXPECT_EQ(rowCopy(store, kPlaneReceive, 0), std::vector<uint8_t>(10, 0));
}

TEST_F(FrameProcessorTest, partial_live_scan_of_every_layer_fills_the_plane_and_no_flag_stores_nothing)
{
    const FrameLayout layout = smallLayout(kFamilyPartialScan);
    const SignalFrameBuilder builder(layout);
    const auto layers = pattern(layout.sampleBlockLength(), 17);
    ASSERT_EQ(feed(builder.liveScan(layers)).status, FrameStatus::Accepted);
    EXPECT_EQ(planeCopy(store, kPlaneCurrent), expectedPlane(layout, layers, {}));

    // Flags without 0x04 and 0x08: nothing stored, but plane 1 and the capture step still run.
    store.plane(kPlaneCurrent)[0] = 0xEE;
    ASSERT_EQ(feed(builder.frame(kTypeLiveScan, std::vector<uint8_t>{0x01})).status, FrameStatus::Accepted);
    EXPECT_EQ(planeCopy(store, kPlaneCurrent), expectedPlane(layout, layers, {}));
    EXPECT_EQ(store.referenceCaptureCount(), 2);
}

TEST_F(FrameProcessorTest, ten_live_scans_become_the_reference_until_the_counter_is_reset)
{
    const FrameLayout layout = smallLayout(kFamilyBoundary);
    const SignalFrameBuilder builder(layout);
    RecordingListener diagnostic(&store);
    processor.addListener(&diagnostic);
    auto scan = [&](uint8_t seed) {
        const auto layers = pattern(layout.sampleBlockLength(), seed);
        const auto boundary = pattern(layout.boundaryBlockLength(), uint8_t(seed + 1));
        EXPECT_EQ(feed(builder.liveScan(layers, boundary)).status, FrameStatus::Accepted);
        return expectedPlane(layout, layers, boundary);
    };

    std::vector<uint8_t> tenth;
    for (uint8_t k = 1; k <= 10; ++k) {
        tenth = scan(uint8_t(20 * k));
        EXPECT_EQ(planeCopy(store, kPlaneReference), tenth);
        EXPECT_EQ(store.referenceCaptureCount(), k);
        EXPECT_EQ(diagnostic.calls.back().referenceCount, k) << "the hook sees the updated counter";
    }
    const auto eleventh = scan(3);
    EXPECT_EQ(planeCopy(store, kPlaneCurrent), eleventh);
    EXPECT_EQ(planeCopy(store, kPlaneReference), tenth);
    EXPECT_EQ(planeCopy(store, kPlaneThreshold), quarter(tenth));
    EXPECT_EQ(store.referenceCaptureCount(), 10);

    store.resetReferenceCapture();
    const auto fresh = scan(77);
    EXPECT_EQ(planeCopy(store, kPlaneReference), fresh);
    EXPECT_EQ(store.referenceCaptureCount(), 1);
    EXPECT_EQ(diagnostic.calls.size(), 12u);
}

TEST_F(FrameProcessorTest, layout_change_zeroes_the_planes_but_keeps_the_capture_counter)
{
    FrameLayout layout = smallLayout(kFamilyFullScan);
    feed(SignalFrameBuilder(layout).liveScan(pattern(layout.sampleBlockLength(), 1)));
    feed(SignalFrameBuilder(layout).liveScan(pattern(layout.sampleBlockLength(), 2)));
    ASSERT_EQ(store.referenceCaptureCount(), 2);

    layout.xOffsets[2] = 1;
    const SignalFrameBuilder changed(layout);
    feed(changed.touchReport(0, {}));
    EXPECT_EQ(store.xOffset(2), 1);
    for (int p = 0; p < SignalStore::kPlaneCount; ++p)
        EXPECT_EQ(planeCopy(store, p), zeros(store)) << "plane " << p;
    EXPECT_EQ(store.referenceCaptureCount(), 2);
}

TEST_F(FrameProcessorTest, touch_reports_go_to_the_draw_test_then_the_capture_screen_with_the_count_clamped)
{
    RecordingListener drawTest(nullptr, false);
    RecordingListener capture(nullptr, false);
    processor.addListener(&drawTest);
    processor.addListener(&capture);
    const SignalFrameBuilder builder(smallLayout(kFamilyFullScan));
    std::vector<TouchRecord> sent;
    for (int i = 0; i < 35; ++i)
        sent.push_back({int16_t(i * 900), int16_t(32767 - i), 5, 6, uint8_t(i), 9});

    ASSERT_EQ(feed(builder.touchReport(40, sent)).status, FrameStatus::Accepted);
    ASSERT_EQ(drawTest.calls.size(), 2u);
    EXPECT_EQ(drawTest.calls[0].hook, "HandleTouches");
    EXPECT_EQ(drawTest.calls[1].hook, "AddTouchReport");
    EXPECT_EQ(drawTest.calls[0].count, 32);
    EXPECT_EQ(drawTest.calls[0].records[31], sent[31]);
    EXPECT_EQ(capture.calls[1].records, drawTest.calls[0].records);

    // The count byte passes unchanged even when fewer records follow; the rest are zero.
    drawTest.calls.clear();
    ASSERT_EQ(feed(builder.touchReport(5, std::span(sent).first(2))).status, FrameStatus::Accepted);
    EXPECT_EQ(drawTest.calls[0].count, 5);
    EXPECT_EQ(drawTest.calls[0].records[1], sent[1]);
    EXPECT_EQ(drawTest.calls[0].records[2], TouchRecord{});
    EXPECT_EQ(drawTest.calls[0].records[31], TouchRecord{});
}

TEST_F(FrameProcessorTest, live_scans_reach_only_a_listener_that_wants_them_and_other_types_none)
{
    RecordingListener active(&store, true);
    RecordingListener inactive(&store, false);
    processor.addListener(&active);
    processor.addListener(&inactive);
    const FrameLayout layout = smallLayout(kFamilyFullScan);
    const SignalFrameBuilder builder(layout);
    const auto layers = pattern(layout.sampleBlockLength(), 1);
    feed(builder.samples(kTypeThreshold, layers));
    feed(builder.samples(kTypeReference, layers));
    feed(builder.frame(2, layers));
    EXPECT_TRUE(active.calls.empty());
    feed(builder.liveScan(layers));
    ASSERT_EQ(active.calls.size(), 1u);
    EXPECT_EQ(active.calls[0].hook, "OnSignalFrame");
    EXPECT_TRUE(inactive.calls.empty());
}

TEST_F(FrameProcessorTest, unprocessed_types_update_the_layout_only)
{
    FrameLayout layout = smallLayout(kFamilyBoundary);
    layout.nX = 12;
    for (uint8_t type : {uint8_t(2), uint8_t(5), uint8_t(15)}) {
        ASSERT_EQ(feed(SignalFrameBuilder(layout).frame(type, pattern(9, 1))).status, FrameStatus::Accepted);
        EXPECT_EQ(store.nX(), 12);
        for (int p = 0; p < SignalStore::kPlaneCount; ++p)
            EXPECT_EQ(planeCopy(store, p), zeros(store));
    }
}

struct Malformed {
    const char* what;
    std::vector<uint8_t> frame;
    FrameStatus expected;
};

std::vector<Malformed> malformedFrames()
{
    const FrameLayout small = smallLayout(kFamilyFullScan);
    const SignalFrameBuilder full(small);
    const SignalFrameBuilder partial(smallLayout(kFamilyPartialScan));
    const auto block = pattern(small.sampleBlockLength(), 5);
    std::vector<Malformed> cases;

    auto badChecksum = full.samples(kTypeReference, block);
    badChecksum.back() ^= 1;
    cases.push_back({"checksum off by one", badChecksum, FrameStatus::BadChecksum});
    cases.push_back({"family 0x20", withKind(full.samples(kTypeReference, block), 0x24), FrameStatus::UnknownFamily});
    cases.push_back({"family 0xF0", withKind(full.frame(0, {}), 0xF0), FrameStatus::UnknownFamily});
    cases.push_back({"empty frame", {}, FrameStatus::Truncated});
    cases.push_back({"checksum byte only", {0}, FrameStatus::Truncated});

    FrameLayout many = small;
    many.xOffsets.assign(31, 0);
    many.xOffsets2.assign(31, 0);
    auto tooMany = SignalFrameBuilder(many).frame(kTypeTouchReport, std::vector<uint8_t>{0});
    tooMany[5] = 32;  // one more X layer than the store holds; the frame is long enough for it
    tooMany.insert(tooMany.end() - 1, {0, 0, 0, 0});
    tooMany.back() = byteSum8(tooMany.data(), tooMany.size() - 1);
    cases.push_back({"32 X layers", tooMany, FrameStatus::BeyondLimits});

    std::vector<uint8_t> huge(kMaxFrameBytes + 1, 0);
    cases.push_back({"16385 bytes", huge, FrameStatus::BeyondLimits});

    auto shortBlock = block;
    shortBlock.pop_back();
    cases.push_back({"threshold one sample short", full.frame(kTypeThreshold, shortBlock), FrameStatus::ShortPayload});
    cases.push_back({"live scan one sample short", full.frame(kTypeLiveScan, shortBlock), FrameStatus::ShortPayload});
    cases.push_back({"family 0x00 live scan short",
                     SignalFrameBuilder(smallLayout(kFamilyShortHeader)).frame(kTypeLiveScan, shortBlock),
                     FrameStatus::ShortPayload});
    cases.push_back({"family 0x40 without boundary rows",
                     SignalFrameBuilder(smallLayout(kFamilyBoundary)).frame(kTypeReference, block),
                     FrameStatus::ShortPayload});
    cases.push_back({"touch report without count byte", full.frame(kTypeTouchReport, {}), FrameStatus::ShortPayload});

    // Family 0x40 whose last X offset is -3: boundary rows of -2 samples.
    FrameLayout negative = small;
    negative.xOffsets = {0, 1, -3};
    negative.xOffsets2 = negative.xOffsets;
    cases.push_back({"boundary rows of negative length",
                     withKind(SignalFrameBuilder(negative).frame(kTypeLiveScan, pattern(200, 1)), kFamilyBoundary),
                     FrameStatus::OutOfRange});

    auto ranged = [&](void (*edit)(PartialScan&)) {
        PartialScan s;
        s.xFirst = 0;
        s.xLast = 9;
        s.yFirst = 0;
        s.yLast = 5;
        s.xLayers = {0};
        s.yLayers = {0};
        edit(s);
        s.samples.resize(s.samples.empty() ? 16 : s.samples.size(), 1);
        return s;
    };
    cases.push_back({"ranged X layer 3 of 3", partial.rangedUpdate(ranged([](PartialScan& s) { s.xLayers = {3}; })),
                     FrameStatus::OutOfRange});
    cases.push_back({"ranged Y layer 2 of 2", partial.rangedUpdate(ranged([](PartialScan& s) { s.yLayers = {2}; })),
                     FrameStatus::OutOfRange});
    cases.push_back({"ranged X first -1", partial.rangedUpdate(ranged([](PartialScan& s) { s.xFirst = -1; })),
                     FrameStatus::OutOfRange});
    cases.push_back({"ranged X last 10", partial.rangedUpdate(ranged([](PartialScan& s) { s.xLast = 10; })),
                     FrameStatus::OutOfRange});
    cases.push_back({"ranged Y first after last",
                     partial.rangedUpdate(ranged([](PartialScan& s) { s.yFirst = 4; s.yLast = 3; })),
                     FrameStatus::OutOfRange});
    cases.push_back({"ranged samples one short",
                     partial.rangedUpdate(ranged([](PartialScan& s) { s.samples.assign(15, 1); })),
                     FrameStatus::ShortPayload});
    cases.push_back({"full-row row beyond the layers",
                     partial.fullRowUpdate(ranged([](PartialScan& s) { s.xLayers = {5}; })), FrameStatus::OutOfRange});
    cases.push_back({"full-row X samples longer than a Y row",
                     partial.fullRowUpdate(ranged([](PartialScan& s) { s.xLayers = {4}; })), FrameStatus::OutOfRange});
    cases.push_back({"full-row X last -1", partial.fullRowUpdate(ranged([](PartialScan& s) { s.xLast = -1; })),
                     FrameStatus::OutOfRange});
    cases.push_back({"partial update header cut", partial.frame(kTypeLiveScan, std::vector<uint8_t>{0x04, 0, 0, 9}),
                     FrameStatus::ShortPayload});
    cases.push_back({"partial update layer list cut",
                     partial.frame(kTypeLiveScan, std::vector<uint8_t>{0x08, 0, 0, 9, 0, 0, 0, 5, 0, 2, 2, 0}),
                     FrameStatus::ShortPayload});
    return cases;
}

TEST_F(FrameProcessorTest, malformed_frames_are_dropped_counted_and_change_nothing)
{
    RecordingListener listener(&store, true);
    processor.addListener(&listener);
    const FrameLayout layout = smallLayout(kFamilyFullScan);
    feed(SignalFrameBuilder(layout).samples(kTypeReference, pattern(layout.sampleBlockLength(), 9)));
    for (const Malformed& m : malformedFrames()) {
        const StoreSnapshot before(store);
        const uint64_t counted = processor.drops().of(m.expected);
        const uint64_t total = processor.drops().total();
        EXPECT_EQ(feed(m.frame).status, m.expected) << m.what;
        EXPECT_EQ(processor.drops().of(m.expected), counted + 1) << m.what;
        EXPECT_EQ(processor.drops().total(), total + 1) << m.what;
        EXPECT_TRUE(StoreSnapshot(store) == before) << m.what;
    }
    EXPECT_TRUE(listener.calls.empty());
}

TEST_F(FrameProcessorTest, every_truncation_of_every_frame_is_dropped_or_safely_accepted)
{
    RecordingListener listener(&store, true);
    processor.addListener(&listener);
    for (uint8_t family : kAllFamilies) {
        const FrameLayout layout = smallLayout(family);
        const SignalFrameBuilder builder(layout);
        const auto layers = pattern(layout.sampleBlockLength(), 40);
        const auto boundary = pattern(layout.boundaryBlockLength(), 80);
        const std::vector<TouchRecord> touches(3, TouchRecord{1, 2, 3, 4, 5, 9});
        struct Source {
            uint8_t type;
            std::vector<uint8_t> frame;
        };
        std::vector<Source> sources = {
            {kTypeLiveScan, builder.liveScan(layers, boundary)},
            {kTypeThreshold, builder.samples(kTypeThreshold, layers, boundary)},
            {kTypeReference, builder.samples(kTypeReference, layers, boundary)},
            {kTypeTouchReport, builder.touchReport(3, touches)},
        };
        if (family == kFamilyPartialScan) {
            PartialScan rows;
            rows.xLast = 9;
            rows.yLast = 5;
            rows.xLayers = {0, 2};
            rows.yLayers = {4};
            rows.samples = pattern(26, 3);
            sources.push_back({kTypeLiveScan, builder.fullRowUpdate(rows)});
        }
        const size_t headerLength = builder.headerLength();
        for (const Source& source : sources) {
            ASSERT_EQ(feed(source.frame).status, FrameStatus::Accepted);
            const StoreSnapshot accepted(store);
            for (size_t keep = 0; keep + 1 < source.frame.size(); ++keep) {
                // As cut (its last byte posing as the checksum), and cut with a valid checksum.
                std::vector<uint8_t> cut(source.frame.begin(), source.frame.begin() + long(keep));
                std::vector<uint8_t> resummed = cut;
                resummed.push_back(byteSum8(cut.data(), cut.size()));
                for (const auto* frame : {&cut, &resummed}) {
                    const uint64_t dropsBefore = processor.drops().total();
                    listener.calls.clear();
                    const FrameStatus status = processor.ProcessFrame(frame->data(), frame->size()).status;
                    SCOPED_TRACE(::testing::Message() << "family " << int(family) << " type " << int(source.type)
                                                      << " cut to " << frame->size());
                    EXPECT_EQ(processor.drops().total(), dropsBefore + (status == FrameStatus::Accepted ? 0 : 1));
                    const bool touchWithCount = source.type == kTypeTouchReport && frame->size() > headerLength + 1;
                    if (status != FrameStatus::Accepted) {
                        EXPECT_TRUE(StoreSnapshot(store) == accepted);
                        EXPECT_TRUE(listener.calls.empty());
                    } else {
                        // Only a touch report keeping its count byte survives being cut short.
                        EXPECT_TRUE(touchWithCount);
                        ASSERT_EQ(listener.calls.size(), 2u);
                        EXPECT_EQ(listener.calls[0].count, 3);
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace oculant
