#include <gtest/gtest.h>

#include <vector>

#include "protocol/SignalFrameBuilder.h"
#include "protocol/TouchRecord.h"

namespace oculant {
namespace {

std::vector<TouchRecord> touches(size_t n)
{
    std::vector<TouchRecord> records;
    for (size_t i = 0; i < n; ++i)
        records.push_back({int16_t(100 * i + 1), int16_t(-int(i) - 1), int16_t(30 + i), int16_t(40 + i),
                           uint8_t(i), uint8_t(i % 2 ? 8 : 9)});
    return records;
}

TEST(TouchRecord, records_are_taken_up_to_the_count_byte_32_and_the_payload)
{
    struct Case {
        const char* what;
        uint8_t countByte;
        size_t recordsSent;
        uint8_t count;
        size_t parsed;
    };
    const Case cases[] = {
        {"all announced records present", 3, 3, 3, 3},
        {"announces 40, sends 35", 40, 35, 32, 32},
        {"announces 40, sends 5", 40, 5, 32, 5},
        {"announces 5, sends 3", 5, 3, 5, 3},
        {"announces 2, sends 4", 2, 4, 2, 2},
        {"announces 255, sends 0", 255, 0, 32, 0},
        {"announces 0", 0, 2, 0, 0},
    };
    for (const Case& c : cases) {
        const auto sent = touches(c.recordsSent);
        const auto payload = SignalFrameBuilder::touchPayload(c.countByte, sent);
        const TouchReport report = parseTouchReport(payload.data(), payload.size());
        EXPECT_EQ(report.announced, c.countByte) << c.what;
        EXPECT_EQ(report.count, c.count) << c.what;
        EXPECT_EQ(report.parsed, c.parsed) << c.what;
        for (size_t i = 0; i < kMaxTouchRecords; ++i)
            EXPECT_EQ(report.records[i], i < c.parsed ? sent[i] : TouchRecord{}) << c.what << ", record " << i;
    }
}

TEST(TouchRecord, a_record_cut_short_keeps_its_bytes_and_has_zero_in_the_rest)
{
    const TouchRecord full{0x1234, -2, 0x0506, 0x0708, 0x21, 9};
    auto payload = SignalFrameBuilder::touchPayload(3, std::vector<TouchRecord>{full, full, full});
    // The third record keeps x and the low byte of y: 1 + 20 + 3 bytes.
    payload.resize(1 + 2 * kTouchRecordBytes + 3);
    const TouchReport report = parseTouchReport(payload.data(), payload.size());
    EXPECT_EQ(report.parsed, 3u);
    EXPECT_EQ(report.records[1], full);
    EXPECT_EQ(report.records[2], (TouchRecord{0x1234, 0x00FE, 0, 0, 0, 0}));

    // A record that would start at the payload's end is not taken.
    payload.resize(1 + 2 * kTouchRecordBytes);
    EXPECT_EQ(parseTouchReport(payload.data(), payload.size()).parsed, 2u);
}

TEST(TouchRecord, an_empty_payload_yields_nothing)
{
    const TouchReport report = parseTouchReport(nullptr, 0);
    EXPECT_EQ(report.count, 0);
    EXPECT_EQ(report.parsed, 0u);
}

}  // namespace
}  // namespace oculant
