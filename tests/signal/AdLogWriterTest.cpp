// The log's writer thread: a disk that stalls fills the queue, frames that do not fit are
// refused and counted while the recording goes on; stopping writes out what was queued. (Write
// failures: the fault tests.) The stall is a sink the test holds shut, never a sleep.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/SignalTestSupport.h"
#include "tests/support/TempDir.h"
#include "signal/AdLogWriter.h"
#include "signal/FrameProcessor.h"

namespace oculant {
namespace {

using test::pattern;
using test::readFile;
using test::smallLayout;
using test::TempDir;

// A disk the test opens and shuts; the writer thread waits in append() while it is shut.
class GatedSink : public LogSink {
public:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int appendsEntered = 0;
        std::string bytes;
        bool closed = false;
    };
    explicit GatedSink(State& state) : s_(state) {}

    bool append(const char* data, size_t size) override
    {
        std::unique_lock lock(s_.mutex);
        ++s_.appendsEntered;
        s_.changed.notify_all();
        s_.changed.wait(lock, [&] { return s_.open; });
        s_.bytes.append(data, size);
        return true;
    }
    bool close() override
    {
        std::lock_guard lock(s_.mutex);
        s_.closed = true;
        return true;
    }
    const std::string& error() const override { return error_; }

private:
    State& s_;
    std::string error_;
};

void setOpen(GatedSink::State& s, bool open)
{
    std::lock_guard lock(s.mutex);
    s.open = open;
    s.changed.notify_all();
}

void waitForAppends(GatedSink::State& s, int count)
{
    std::unique_lock lock(s.mutex);
    s.changed.wait(lock, [&] { return s.appendsEntered >= count; });
}

AdLogWriter::Push pushText(AdLogWriter& writer, const std::string& text, bool frame = true)
{
    LogTextBuffer buffer = writer.takeBuffer();
    buffer.append(text);
    return writer.push(std::move(buffer), frame);
}

TEST(AdLogWriter, a_stalled_disk_fills_the_queue_the_frames_that_do_not_fit_are_refused_and_writing_goes_on)
{
    GatedSink::State disk;
    AdLogWriter writer(std::make_unique<GatedSink>(disk), 100);
    const std::string start = "start\n";              // 6 bytes: the log's first record
    const std::string frame(40, 'f');
    EXPECT_EQ(pushText(writer, start, false), AdLogWriter::Push::Queued);
    waitForAppends(disk, 1);  // the thread holds it, waiting on the disk
    std::vector<std::string> kept{start};
    int refused = 0;
    for (int i = 0; i < 5; ++i) {
        const std::string text = frame + char('0' + i) + "\n";
        const AdLogWriter::Push p = pushText(writer, text);
        if (p == AdLogWriter::Push::Queued)
            kept.push_back(text);
        else
            refused += p == AdLogWriter::Push::Full;
    }
    // 6 + 42 + 42 fit the 100 bytes, the next three do not; nothing waited for the disk.
    EXPECT_EQ(kept.size(), 3u);
    EXPECT_EQ(refused, 3);
    EXPECT_EQ(writer.framesWritten(), 0u);

    // The disk takes writes again: what was queued goes out in order, and later frames are taken.
    setOpen(disk, true);
    writer.waitWritten();
    EXPECT_EQ(writer.framesWritten(), 2u);
    const std::string later = frame + "L\n";
    EXPECT_EQ(pushText(writer, later), AdLogWriter::Push::Queued);
    kept.push_back(later);
    EXPECT_TRUE(writer.finish());
    EXPECT_EQ(writer.framesWritten(), 3u) << "reference text is not a frame";
    std::string expected;
    for (const std::string& k : kept)
        expected += k;
    std::lock_guard lock(disk.mutex);
    EXPECT_EQ(disk.bytes, expected);
    EXPECT_TRUE(disk.closed);
}

// Frames that come faster than the thread writes are written together: the file holds every
// record in order, all are counted, and the disk saw a few writes rather than one a frame.
TEST(AdLogWriter, records_queued_together_go_to_the_disk_in_a_few_writes_in_order)
{
    GatedSink::State disk;
    disk.open = true;
    AdLogWriter writer(std::make_unique<GatedSink>(disk));
    std::string expected;
    for (int i = 0; i < 1000; ++i) {
        const std::string text = "frame " + std::to_string(i) + "\n";
        ASSERT_EQ(pushText(writer, text, i % 10 != 0), AdLogWriter::Push::Queued);
        expected += text;
    }
    writer.waitWritten();
    EXPECT_EQ(writer.framesWritten(), 900u) << "every tenth record was not a frame";
    {
        std::lock_guard lock(disk.mutex);
        EXPECT_EQ(disk.bytes, expected);
        EXPECT_LE(disk.appendsEntered, 10) << "1,000 records pushed at once";
    }
    // One record more after the wait is written by the end as well.
    ASSERT_EQ(pushText(writer, "last\n"), AdLogWriter::Push::Queued);
    EXPECT_TRUE(writer.finish());
    EXPECT_EQ(writer.framesWritten(), 901u);
    std::lock_guard lock(disk.mutex);
    EXPECT_EQ(disk.bytes, expected + "last\n");
}

// The recording as the program stops it: the switch goes off and the writer is not waited for,
// or the processor ends with the log still open. Either way every frame queued is in the file,
// byte for byte what a recording waited on frame by frame wrote.
TEST(AdLogWriter, switching_off_and_ending_write_out_everything_queued)
{
    const FrameLayout layout = smallLayout(kFamilyBoundary);
    const SignalFrameBuilder builder(layout);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 300; ++i)
        frames.push_back(builder.liveScan(pattern(layout.sampleBlockLength(), uint8_t(i)),
                                          pattern(layout.boundaryBlockLength(), uint8_t(i + 1))));
    auto record = [&](const std::string& dir, bool waitEachFrame, bool switchOff) {
        SignalStore store;
        FrameProcessor processor(store, dir, [] { return 1700000000; });
        processor.recorder().setLogOn(true);
        for (const auto& f : frames) {
            EXPECT_EQ(processor.ProcessFrame(f.data(), f.size()).logError, "");
            if (waitEachFrame)
                processor.recorder().waitWritten();
        }
        if (switchOff) {
            processor.recorder().setLogOn(false);
            processor.ProcessFrame(frames[0].data(), frames[0].size());
            EXPECT_FALSE(processor.recorder().recording());
        }
        const std::string path = processor.recorder().path();
        return path;  // the processor ends here, and its recorder with it
    };
    TempDir dir;
    for (const char* sub : {"waited", "off", "end"})
        std::filesystem::create_directory(dir.path() / sub);
    const std::string waited = readFile(record((dir.path() / "waited").string(), true, true));
    ASSERT_GT(waited.size(), 80000u);
    EXPECT_EQ(readFile(record((dir.path() / "off").string(), false, true)), waited);
    EXPECT_EQ(readFile(record((dir.path() / "end").string(), false, false)), waited);
}

}  // namespace
}  // namespace oculant
