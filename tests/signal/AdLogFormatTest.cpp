#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/SignalTestSupport.h"
#include "signal/AdLogFormat.h"
#include "signal/FrameProcessor.h"

namespace oculant {
namespace {

// The worked example's reference frame, written out by hand: family 0x00, kind 4, header bytes
// 1 and 2 and word 3 zero, bX = 2, bY = 1, nX = 4, nY = 3, offsets 0, 1, 0.
const std::vector<uint8_t> kWorkedExampleFrame = {
    4, 0, 0, 0, 0, 2, 1, 4, 0, 3, 0,  // header
    0, 0, 1, 0, 0, 0,                 // offsets
    10, 20, 30, 40, 11, 21, 31, 41,   // X rows
    5, 6, 7,                          // Y row
    237,                              // 15 header + 222 samples
};

const char* const kWorkedExampleBlock =
    "4 0 0 0 2 1 4 3\n"
    "0 1 0 \n"
    "10 20 30 40 \n"
    "11 21 31 41 \n"
    "5 6 7 \n"
    "237\n";

FrameHeader headerOf(const std::vector<uint8_t>& frame)
{
    FrameHeader h;
    EXPECT_EQ(parseFrameHeader(frame.data(), frame.size(), h), HeaderStatus::Ok);
    return h;
}

std::string text(const LogTextBuffer& buffer) { return std::string(buffer.view()); }

TEST(AdLogFormat, worked_example_reference_block_is_written_byte_for_byte)
{
    SignalStore store;
    FrameProcessor processor(store);
    ASSERT_EQ(processor.ProcessFrame(kWorkedExampleFrame.data(), kWorkedExampleFrame.size()).status,
              FrameStatus::Accepted);
    LogTextBuffer out;
    ASSERT_TRUE(appendReferenceBlock(out, headerOf(kWorkedExampleFrame), 4, store, kPlaneReference));
    EXPECT_EQ(text(out), kWorkedExampleBlock);

    // The same bytes as a frame (format A) give the same text: its checksum byte follows A.
    LogTextBuffer frame;
    ASSERT_TRUE(appendFrameBlock(frame, headerOf(kWorkedExampleFrame), kWorkedExampleFrame.data() + 17));
    EXPECT_EQ(text(frame), kWorkedExampleBlock);
}

// Family 0x40: byte 1 = 1, byte 2 = 2, word 3 = 259, bX = 2, bY = 1, nX = 4, nY = 3, offsets
// 0 1 1 then 0 2 -1; boundary rows of 1 + 1 = 2 samples on both axes.
FrameLayout boundaryLayout()
{
    FrameLayout l;
    l.family = kFamilyBoundary;
    l.headerByte1 = 1;
    l.headerByte2 = 2;
    l.headerWord3 = 259;
    l.nX = 4;
    l.nY = 3;
    l.xOffsets = {0, 1};
    l.yOffsets = {1};
    l.xOffsets2 = {0, 2};
    l.yOffsets2 = {-1};
    return l;
}

TEST(AdLogFormat, format_b_block_of_a_plane_carries_boundary_rows_and_their_checksum)
{
    const SignalFrameBuilder builder(boundaryLayout());
    const std::vector<uint8_t> layers = {10, 20, 30, 40, 50, 60, 70, 80, 1, 2, 3};
    const std::vector<uint8_t> boundary = {200, 201, 202, 203, 204, 205, 206, 207, 9, 8, 7, 6, 5, 4, 3, 2};
    SignalStore store;
    FrameProcessor processor(store);
    const auto reference = builder.samples(kTypeReference, layers, boundary);
    ASSERT_EQ(processor.ProcessFrame(reference.data(), reference.size()).status, FrameStatus::Accepted);

    LogTextBuffer out;
    ASSERT_TRUE(appendReferenceBlock(out, headerOf(reference), 68, store, kPlaneReference));
    // Header bytes with kind 68: 68+1+2+3+1+2+1+4+3 = 85, first set 0+1+1 = 2, second set
    // 0+2+255+255 = 512: 599. Layer samples 100+260+6 = 366, X boundary 200…207 = 1628,
    // Y boundary 9…2 = 44. 599+366+1628+44 = 2637 = 10 × 256 + 77.
    EXPECT_EQ(text(out),
              "68 1 2 259 2 1 4 3\n"
              "0 1 1 \n"
              "0 2 -1 \n"
              "10 20 30 40 \n"
              "50 60 70 80 \n"
              "1 2 3 \n"
              "200 201 \n"
              "202 203 \n"
              "204 205 \n"
              "206 207 \n"
              "9 8 \n"
              "7 6 \n"
              "5 4 \n"
              "3 2 \n"
              "77\n");

    // Plane 2 is still zero: header bytes with kind 65 only, 596 = 2 × 256 + 84.
    LogTextBuffer threshold;
    ASSERT_TRUE(appendReferenceBlock(threshold, headerOf(reference), 65, store, kPlaneThreshold));
    EXPECT_EQ(threshold.view().substr(threshold.size() - 3), "84\n");
}

TEST(AdLogFormat, format_c_block_takes_rows_and_checksum_from_the_frame)
{
    const SignalFrameBuilder builder(boundaryLayout());
    const std::vector<uint8_t> layers = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const std::vector<uint8_t> boundary = {1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8};
    const auto frame = builder.samples(kTypeLiveScan, layers, boundary);
    // Header with kind 64: 595; samples 66; boundary 20 + 52 = 72. 733 = 2 × 256 + 221.
    ASSERT_EQ(frame.back(), 221);
    const FrameHeader h = headerOf(frame);
    const std::string rows =
        "64 1 2 259 2 1 4 3\n"
        "0 1 1 \n"
        "0 2 -1 \n"
        "1 2 3 4 \n"
        "5 6 7 8 \n"
        "9 10 11 \n"
        "1 1 \n"
        "2 2 \n"
        "3 3 \n"
        "4 4 \n"
        "5 5 \n"
        "6 6 \n"
        "7 7 \n"
        "8 8 \n";
    LogTextBuffer out;
    ASSERT_TRUE(appendFrameBlock(out, h, frame.data() + h.length));
    EXPECT_EQ(text(out), rows + "221\n");

    // With a byte after the boundary rows, that byte is the logged checksum.
    std::vector<uint8_t> payload(layers);
    payload.insert(payload.end(), boundary.begin(), boundary.end());
    payload.push_back(99);
    const auto longer = builder.frame(kTypeLiveScan, payload);
    LogTextBuffer out2;
    ASSERT_TRUE(appendFrameBlock(out2, headerOf(longer), longer.data() + h.length));
    EXPECT_EQ(text(out2), rows + "99\n");
}

TEST(AdLogFormat, format_a_of_family_0x10_writes_the_second_offset_set_on_its_own_line)
{
    FrameLayout l;
    l.family = kFamilyFullScan;
    l.headerWord3 = 65535;
    l.nX = 2;
    l.nY = 1;
    l.xOffsets = {-32768};
    l.yOffsets = {32767};
    l.xOffsets2 = {-1};
    l.yOffsets2 = {0};
    const auto frame = SignalFrameBuilder(l).frame(kTypeThreshold, std::vector<uint8_t>{255, 0, 100, 42});
    const FrameHeader h = headerOf(frame);
    LogTextBuffer out;
    ASSERT_TRUE(appendFrameBlock(out, h, frame.data() + h.length));
    EXPECT_EQ(text(out),
              "17 0 0 65535 1 1 2 1\n"
              "-32768 32767 \n"
              "-1 0 \n"
              "255 0 \n"
              "100 \n"
              "42\n");  // the payload byte after the 3 samples, not the frame's checksum
}

TEST(AdLogFormat, every_sample_value_is_written_in_decimal)
{
    FrameLayout l;
    l.family = kFamilyShortHeader;
    l.nX = 256;
    l.nY = 0;
    l.xOffsets = {0};
    l.yOffsets = {};
    std::vector<uint8_t> all(256);
    for (int v = 0; v < 256; ++v)
        all[size_t(v)] = uint8_t(v);
    const auto frame = SignalFrameBuilder(l).samples(kTypeThreshold, all);
    const FrameHeader h = headerOf(frame);
    LogTextBuffer out;
    ASSERT_TRUE(appendFrameBlock(out, h, frame.data() + h.length));
    std::string expected = "1 0 0 0 1 0 256 0\n0 \n";
    for (int v = 0; v < 256; ++v)
        expected += std::to_string(v) + " ";
    expected += "\n" + std::to_string(frame.back()) + "\n";
    EXPECT_EQ(text(out), expected);
}

}  // namespace
}  // namespace oculant
