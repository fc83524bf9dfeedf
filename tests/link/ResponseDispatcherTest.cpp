// Answers by response code, parameter-block and signal-frame reassembly, CRC over words.
#include <gtest/gtest.h>

#include <numeric>

#include "protocol/Crc32.h"
#include "link/ResponseDispatcher.h"
#include "protocol/SignalFrameBuilder.h"

namespace oculant {
namespace {

using Slot = ReceiveRing::Slot;

TEST(Crc32Words, KnownValues)
{
    EXPECT_EQ(Crc32Words(nullptr, 0), 0xFFFFFFFFu);
    const uint32_t zero = 0, word = 0x12345678;
    EXPECT_EQ(Crc32Words(&zero, 1), 0xC704DD7Bu);
    EXPECT_EQ(Crc32Words(&word, 1), 0xDF8A8A2Bu);
    const std::array<uint32_t, 16> summary{};
    EXPECT_EQ(Crc32Words(summary.data(), 16), 0x93394E51u);
}

TEST(Crc32Words, EqualsTheBitwiseDefinition)
{
    auto bitwise = [](const std::vector<uint32_t>& words) {
        uint32_t crc = 0xFFFFFFFF;
        for (uint32_t w : words)
            for (int i = 0; i < 32; ++i, w <<= 1)
                crc = ((w ^ crc) & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
        return crc;
    };
    std::vector<uint32_t> words(37);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = uint32_t(i * 0x9E3779B9u);
    for (size_t n = 0; n <= words.size(); ++n)
        EXPECT_EQ(Crc32Words(words.data(), n), bitwise({words.begin(), words.begin() + long(n)})) << n;
}

struct Recorder : ResponseListener {
    int version = 0, identity = 0, user = 0, blocks = 0;
    uint32_t crc = 0;
    std::vector<std::string> status;
    void onVersionStatus(const DeviceRecords&) override { ++version; }
    void onIdentity(const DeviceRecords&) override { ++identity; }
    void onUserParams(const DeviceRecords&) override { ++user; }
    void onParameterBlock(const DeviceRecords&, uint32_t c) override { ++blocks, crc = c; }
    void onStatusText(const std::string& t) override { status.push_back(t); }
};

struct DispatchFixture : ::testing::Test {
    DeviceRecords records;
    Recorder rec;
    ResponseDispatcher dispatcher{records, &rec};

    static Slot report(uint8_t code, std::initializer_list<uint8_t> body = {}, size_t at = 3)
    {
        Slot s{};
        s[0] = 0x03;
        s[1] = code;
        size_t i = at;
        for (uint8_t b : body)
            s[i++] = b;
        return s;
    }
    // Sends a block as chunks of up to 59 bytes, then the end marker with its checksum.
    void sendBlock(const std::vector<uint8_t>& block, uint8_t endCode = 0x22, int checksumDelta = 0)
    {
        for (size_t off = 0; off < block.size(); off += 59) {
            const size_t n = std::min<size_t>(59, block.size() - off);
            Slot s = report(0x22);
            protocol::writeLe16(&s[2], uint16_t(off));
            s[4] = uint8_t(n);
            std::copy_n(block.begin() + long(off), n, s.begin() + 5);
            dispatcher.DispatchResponse(s);
        }
        Slot end = report(endCode);
        end[4] = 0xFF;
        end[5] = uint8_t(std::accumulate(block.begin(), block.end(), 0) + checksumDelta);
        dispatcher.DispatchResponse(end);
    }
    static std::vector<uint8_t> block(size_t length, uint8_t xBoards = 4, uint8_t yBoards = 3)
    {
        std::vector<uint8_t> b(length, 0);
        b[1] = 7;
        b[2] = 9;
        b[8] = xBoards;
        b[9] = yBoards;
        b[94] = 32;
        b[121] = 30;
        return b;
    }
    // One signal chunk: phase in the code's low nibble.
    void chunk(uint8_t phase, size_t n, uint8_t fill)
    {
        Slot s = report(uint8_t(0x30 | phase));
        s[2] = uint8_t(n);
        std::fill_n(s.begin() + 3, std::min<size_t>(n, 61), fill);
        dispatcher.DispatchResponse(s);
    }
    // A frame of 71 bytes marked by `fill` at byte 1; kind 0x0F (a type the frame does not
    // say the length of), so that reassembly takes it at whatever length its chunks give.
    void frame(uint8_t fill)
    {
        Slot s = report(0x30);
        s[2] = 61;
        s[3] = 0x0F;
        std::fill_n(s.begin() + 4, 60, fill);
        dispatcher.DispatchResponse(s);
        chunk(2, 10, fill);
    }
    // The whole frame as the frame sends it: one report per 61 bytes, first, middle..., last.
    static std::vector<Slot> chunksOf(const std::vector<uint8_t>& whole)
    {
        std::vector<Slot> out;
        for (size_t at = 0; at < whole.size(); at += 61) {
            const size_t n = std::min<size_t>(61, whole.size() - at);
            const uint8_t phase = at == 0 ? 0 : at + n == whole.size() ? 2 : 1;
            Slot s = report(uint8_t(0x30 | phase));
            s[2] = uint8_t(n);
            std::copy_n(whole.begin() + long(at), n, s.begin() + 3);
            out.push_back(s);
        }
        return out;
    }
    std::vector<std::vector<uint8_t>> delivered()
    {
        std::vector<std::vector<uint8_t>> frames;
        dispatcher.deliverFrames([&](const uint8_t* d, uint32_t n) { frames.emplace_back(d, d + n); });
        return frames;
    }
};

TEST_F(DispatchFixture, InformationAnswersFillTheRecords)
{
    dispatcher.DispatchResponse(report(0x10, {35, 1, 2, 3, 4, 5, 6, 7, 0x02, 0x01}));
    EXPECT_EQ(records.versionStatus[0], 35);
    EXPECT_EQ(protocol::readLe16(&records.versionStatus[8]), 0x0102);
    EXPECT_TRUE(records.infoAnswered);

    Slot identity = report(0x17);
    for (int i = 0; i < 61; ++i)
        identity[3 + size_t(i)] = uint8_t(100 + i);
    dispatcher.DispatchResponse(identity);
    EXPECT_EQ(records.identifier[0], 100);
    EXPECT_EQ(records.identifier[11], 111);
    EXPECT_EQ(records.identity[60], 160);

    Slot user = report(0x18);
    user[3] = 50;
    protocol::writeLe32(&user[3 + 51], 0x24);
    dispatcher.DispatchResponse(user);
    EXPECT_EQ(records.featureWord(), 0x24u);
    EXPECT_EQ(records.parameterSummary[0], 0x24u);
    user[3] = 0xFF;  // not programmed: the record is kept, the summary is not touched
    protocol::writeLe32(&user[3 + 51], 0x99);
    dispatcher.DispatchResponse(user);
    EXPECT_EQ(records.userParams[0], 0xFF);
    EXPECT_EQ(records.parameterSummary[0], 0x24u);
    EXPECT_EQ(rec.version, 1);
    EXPECT_EQ(rec.identity, 1);
    EXPECT_EQ(rec.user, 2);
}

TEST_F(DispatchFixture, CodesWithoutContentAreIgnored)
{
    const DeviceRecords before = records;
    for (int code : {0x00, 0x0F, 0x11, 0x12, 0x15, 0x1A, 0x1F, 0x40, 0x7F, 0xFF})
        dispatcher.DispatchResponse(report(uint8_t(code), {1, 2, 3, 4}));
    EXPECT_EQ(records.versionStatus, before.versionStatus);
    EXPECT_EQ(records.userParams, before.userParams);
    EXPECT_FALSE(records.infoAnswered);
    EXPECT_EQ(rec.version + rec.identity + rec.user + rec.blocks, 0);
}

TEST_F(DispatchFixture, ParameterBlockBuildsTheBoardTableAndCrc)
{
    std::vector<uint8_t> b = block(200);
    b[102] = 2, b[103] = 28;  // X board 2 has 28 elements
    b[104] = 4, b[105] = 10;  // index equal to the board count: ignored
    b[106] = 1, b[107] = 0;   // count 0: ignored
    b[129] = 0, b[130] = 31;  // Y board 0 has 31
    sendBlock(b);
    ASSERT_EQ(rec.blocks, 1);
    EXPECT_EQ(records.boards.xBoards, 4);
    EXPECT_EQ(records.boards.yBoards, 3);
    EXPECT_EQ((std::vector<int>(records.boards.xElements.begin(), records.boards.xElements.begin() + 5)),
              (std::vector<int>{32, 32, 28, 32, 0}));
    EXPECT_EQ((std::vector<int>(records.boards.yElements.begin(), records.boards.yElements.begin() + 4)),
              (std::vector<int>{31, 30, 30, 0}));
    std::array<uint32_t, 16> summary{};
    summary[10] = 7;
    summary[11] = 9;
    EXPECT_EQ(rec.crc, Crc32Words(summary.data(), 16));
}

TEST_F(DispatchFixture, ParameterBlockLengthLimits)
{
    sendBlock(block(149));
    ASSERT_EQ(rec.status.size(), 1u);
    EXPECT_EQ(rec.status[0], "获取数据长度有误，解析失败！");
    EXPECT_EQ(rec.blocks, 0);
    sendBlock(block(150));
    EXPECT_EQ(rec.blocks, 1);
}

TEST_F(DispatchFixture, RejectedBlocksLeaveEarlierValues)
{
    sendBlock(block(160));
    ASSERT_EQ(rec.blocks, 1);
    const BoardLayoutTable good = records.boards;

    sendBlock(block(160, 5, 5), 0x21);  // end marker of another code
    sendBlock(block(160, 5, 5), 0x22, 1);  // checksum mismatch
    std::vector<uint8_t> unset = block(160, 5, 5);
    unset[1] = 0xFF;
    sendBlock(unset);
    sendBlock(block(160, 31, 3));  // more boards than the table holds
    EXPECT_EQ(rec.blocks, 1);
    EXPECT_EQ(records.boards.xBoards, good.xBoards);
    EXPECT_EQ(records.boards.xElements, good.xElements);
    EXPECT_TRUE(rec.status.empty());
}

// A chunk that ends exactly at byte 16,384 is stored and summed: the end marker refuses only
// what lies beyond (before, the chunk was not stored but the block was summed with it, so the
// block of exactly 16,384 bytes was refused for a checksum of bytes never kept).
TEST_F(DispatchFixture, ChunkEndingAtTheBufferEndIsKeptAndOversizedLengthsAreRefused)
{
    std::vector<uint8_t> whole = block(16384);
    std::fill(whole.end() - 41, whole.end(), 0x5A);
    sendBlock(whole);  // 277 chunks of 59 bytes, then 41 bytes from 16,343 to 16,384
    EXPECT_EQ(dispatcher.parameterAssembledLength(), 16384u);
    EXPECT_EQ(dispatcher.parameterBuffer()[16383], 0x5A);
    EXPECT_EQ(rec.blocks, 1);
    EXPECT_EQ(records.boards.xBoards, 4);
    EXPECT_EQ(dispatcher.malformedChunks(), 0u);
    rec.blocks = 0;

    Slot s = report(0x22);

    protocol::writeLe16(&s[2], 0);
    s[4] = 60;  // more than one report holds after the header
    dispatcher.DispatchResponse(s);
    EXPECT_EQ(dispatcher.parameterAssembledLength(), 16384u);
    EXPECT_EQ(dispatcher.malformedChunks(), 1u);

    protocol::writeLe16(&s[2], 16384 - 58);  // one byte past the buffer: not kept, not summed
    s[4] = 59;
    dispatcher.DispatchResponse(s);
    EXPECT_EQ(dispatcher.parameterAssembledLength(), 16385u);
    Slot end = report(0x22);
    end[4] = 0xFF;
    dispatcher.DispatchResponse(end);
    EXPECT_EQ(dispatcher.malformedChunks(), 2u);

    protocol::writeLe16(&s[2], 0xFFF0);  // far past the buffer: the end marker must not sum it
    s[4] = 50;
    dispatcher.DispatchResponse(s);
    end[5] = 0;
    dispatcher.DispatchResponse(end);
    EXPECT_EQ(rec.blocks + int(rec.status.size()), 0);
    EXPECT_EQ(dispatcher.malformedChunks(), 3u);
}

TEST_F(DispatchFixture, SignalFramesReassembleInOrder)
{
    chunk(0, 61, 2);  // kind 0x02: a type whose length the header does not say
    chunk(1, 61, 3);
    chunk(2, 5, 5);
    std::vector<std::vector<uint8_t>> frames;
    dispatcher.deliverFrames([&](const uint8_t* d, uint32_t n) { frames.emplace_back(d, d + n); });
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(frames[0].size(), 127u);
    EXPECT_EQ(frames[0][0], 2);
    EXPECT_EQ(frames[0][61], 3);
    EXPECT_EQ(frames[0][126], 5);
    EXPECT_EQ(dispatcher.deliverFrames(nullptr), 0);
}

TEST_F(DispatchFixture, RingKeeps63FramesAndCountsTheOverwrittenOnes)
{
    for (int i = 0; i < 63; ++i)
        frame(uint8_t(i));
    EXPECT_EQ(dispatcher.droppedFrames(), 0u);
    frame(63);
    EXPECT_EQ(dispatcher.droppedFrames(), 1u);
    frame(64);  // the 65th overwrites the storage of the oldest
    EXPECT_EQ(dispatcher.droppedFrames(), 2u);
    std::vector<int> firsts;
    dispatcher.deliverFrames([&](const uint8_t* d, uint32_t) { firsts.push_back(d[1]); });
    ASSERT_EQ(firsts.size(), 63u);
    EXPECT_EQ(firsts.front(), 2);
    EXPECT_EQ(firsts.back(), 64);
}

// A frame that would pass 16384 bytes is abandoned with the rest of its chunks: its tail is not
// a frame (before, the chunks after the overflow were assembled from 0 and delivered).
TEST_F(DispatchFixture, OverflowingMiddleChunkAbandonsTheWholeFrame)
{
    chunk(0, 61, 9);
    for (int i = 0; i < 267; ++i)  // 61 + 267 * 61 = 16348 bytes
        chunk(1, 61, 9);
    chunk(1, 61, 7);  // would pass 16384: the frame is dropped
    chunk(1, 20, 5);
    chunk(2, 4, 6);
    chunk(0, 2, 1);   // the next frame is whole
    chunk(2, 1, 2);
    std::vector<std::vector<uint8_t>> frames;
    dispatcher.deliverFrames([&](const uint8_t* d, uint32_t n) { frames.emplace_back(d, d + n); });
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], (std::vector<uint8_t>{1, 1, 2}));
}

// A damaged chunk drops its frame and the frame's remaining chunks (before, the last chunk was
// delivered as a 3-byte frame of its own).
TEST_F(DispatchFixture, DamagedSignalChunksAreDroppedWithoutReadingPastTheReport)
{
    chunk(0, 61, 1);
    chunk(1, 62, 2);  // longer than a report holds: the frame is abandoned
    chunk(2, 3, 3);
    chunk(5, 10, 4);  // phases above 2 are ignored
    chunk(0, 0, 0);
    chunk(2, 3, 5);
    std::vector<uint32_t> lengths;
    dispatcher.deliverFrames([&](const uint8_t*, uint32_t n) { lengths.push_back(n); });
    EXPECT_EQ(lengths, (std::vector<uint32_t>{3}));
    EXPECT_EQ(dispatcher.malformedChunks(), 1u);
    EXPECT_EQ(dispatcher.incompleteFrames(), 0u);
}

// Reports lost on the link: each frame that misses its first or its last chunk is dropped and
// counted once, and the frames around it arrive whole.
TEST_F(DispatchFixture, FramesMissingAChunkAreDroppedAndCountedNeverJoined)
{
    chunk(0, 61, 1);  // frame A: its last chunk is lost
    chunk(1, 61, 1);
    chunk(0, 61, 2);  // frame B, whole
    chunk(1, 61, 2);
    chunk(2, 5, 2);
    chunk(1, 61, 3);  // frame C: its first chunk is lost
    chunk(1, 61, 3);
    chunk(2, 5, 3);
    chunk(2, 7, 4);   // frame D: only its last chunk came
    chunk(0, 0, 5);   // frame E, one report long after an empty first piece
    chunk(2, 9, 5);
    std::vector<std::vector<uint8_t>> frames;
    dispatcher.deliverFrames([&](const uint8_t* d, uint32_t n) { frames.emplace_back(d, d + n); });
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], std::vector<uint8_t>(127, 2));
    EXPECT_EQ(frames[1], std::vector<uint8_t>(9, 5));
    EXPECT_EQ(dispatcher.incompleteFrames(), 3u);
    EXPECT_EQ(dispatcher.droppedFrames(), 0u);
}

// Live scans of a frame of 3 + 3 layers of 40 and 24 positions: 227 bytes, four reports each.
struct LostChunks : DispatchFixture {
    SignalFrameBuilder builder{[] {
        FrameLayout l;
        l.family = kFamilyFullScan;
        l.nX = 40;
        l.nY = 24;
        l.xOffsets = {0, 2, -2};
        l.yOffsets = {0, 2, -2};
        return l;
    }()};
    std::vector<Slot> scan(uint8_t level)
    {
        return chunksOf(builder.liveScan(std::vector<uint8_t>(builder.layout().sampleBlockLength(), level)));
    }
    void send(const std::vector<Slot>& chunks, size_t from = 0, size_t to = SIZE_MAX)
    {
        for (size_t i = from; i < std::min(to, chunks.size()); ++i)
            dispatcher.DispatchResponse(chunks[i]);
    }
};

// Frame N without its last chunk and frame N+1 without its first hold, together, a frame of
// the right kind with a checksum that may well match: it is never delivered, and both frames
// are counted (before, it was joined and only the checksum stood in its way).
TEST_F(LostChunks, the_pieces_of_two_frames_never_make_one)
{
    const std::vector<Slot> a = scan(10), b = scan(20), c = scan(30);
    ASSERT_EQ(a.size(), 4u);
    send(a, 0, 3);  // its last chunk is lost
    send(b, 1);     // its first chunk is lost
    send(c);
    const auto frames = delivered();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], builder.liveScan(std::vector<uint8_t>(builder.layout().sampleBlockLength(), 30)));
    EXPECT_EQ(dispatcher.incompleteFrames(), 2u);
}

// The edges around one whole frame: one that lost its first and last chunks, then a whole
// one, then one that lost its first; and a frame that lost a middle chunk is short of its length.
TEST_F(LostChunks, frames_missing_first_last_or_middle_chunks_are_counted_around_a_whole_one)
{
    const std::vector<Slot> a = scan(1), b = scan(2), c = scan(3), d = scan(4), e = scan(5);
    send(a, 1, 3);
    send(b);
    send(c, 1);
    auto frames = delivered();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][frames[0].size() - 2], 2);  // b's last sample
    EXPECT_EQ(dispatcher.incompleteFrames(), 2u);

    dispatcher.DispatchResponse(d[0]);
    send(d, 2);  // its second chunk is lost
    send(e);
    frames = delivered();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][frames[0].size() - 2], 5);
    EXPECT_EQ(dispatcher.incompleteFrames(), 3u);
}

}  // namespace
}  // namespace oculant
