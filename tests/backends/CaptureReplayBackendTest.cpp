// The recording wrapper and the replay backend on a simulated clock: what is recorded and when,
// the replay's timing and speed, one timeline across reopened handles, a silent end, and a whole
// session replayed from the capture of a live one giving the same records.
#include <gtest/gtest.h>

#include "tests/support/SessionHarness.h"

#include <thread>

#include "link/DeviceSession.h"
#include "backends/capture/RecordingBackend.h"
#include "backends/capture/ReplayBackend.h"
#include "backends/virtual/VirtualBackend.h"

namespace oculant {
namespace {

using Direction = CaptureEvent::Direction;

CaptureFile twoReports()
{
    CaptureFile c;
    c.vendorId = 0x1ff7;
    c.productId = 0x0f0f;
    c.descriptor = VirtualFrame::reportDescriptor();
    c.events = {
        {Direction::Input, 0, {0x03, 0x10, 0x01}},
        {Direction::Output, 100000, {0x04, 0x21}},  // a write of ours: never handed out as input
        {Direction::Input, 500000, {0x03, 0x30, 0x02, 0x03}},
    };
    return c;
}

struct ReplayAt {
    int64_t nowUs = 1000;  // the clock does not start at zero
    std::unique_ptr<ReplayBackend> backend;
    explicit ReplayAt(double speed = 1.0)
        : backend(std::make_unique<ReplayBackend>(twoReports(), "bench.txt", speed, ReplayBackend::Reads::NonBlocking,
                                                  [this] { return nowUs; }))
    {
    }
    IoResult read(HidHandle& h, std::vector<uint8_t>& out)
    {
        out.assign(64, 0xEE);
        const IoResult r = h.read(out.data(), out.size(), 10);
        out.resize(r.bytes);
        return r;
    }
};

TEST(ReplayBackend, presents_one_device_with_the_captured_ids_and_descriptor)
{
    ReplayAt t;
    ReplayBackend& b = *t.backend;
    EXPECT_EQ(b.listInterfaces(), std::vector<std::string>{"replay:bench.txt"});
    EXPECT_TRUE(b.handles("replay:other.txt"));
    EXPECT_FALSE(b.handles("virtual:0"));
    HidAttributes ids;
    std::vector<uint8_t> descriptor;
    ASSERT_TRUE(b.describe("replay:bench.txt", ids, descriptor));
    EXPECT_EQ(ids.vendorId, 0x1ff7);
    EXPECT_EQ(ids.productId, 0x0f0f);
    EXPECT_EQ(descriptor, VirtualFrame::reportDescriptor());
    EXPECT_FALSE(b.describe("replay:other.txt", ids, descriptor));
    OpenFailure failure = OpenFailure::None;
    EXPECT_EQ(b.open("replay:other.txt", &failure, nullptr), nullptr);
    EXPECT_EQ(failure, OpenFailure::NotFound);
}

TEST(ReplayBackend, gives_each_report_at_its_time_from_the_first_open_scaled_by_the_speed)
{
    for (const double speed : {1.0, 2.0, 0.5}) {
        SCOPED_TRACE(speed);
        ReplayAt t(speed);
        t.nowUs = 7000;
        auto h = t.backend->open(t.backend->path(), nullptr, nullptr);
        ASSERT_NE(h, nullptr);
        std::vector<uint8_t> got;
        ASSERT_EQ(t.read(*h, got).status, IoStatus::Ok);
        EXPECT_EQ(got, (std::vector<uint8_t>{0x03, 0x10, 0x01}));
        const int64_t due = 7000 + int64_t(500000 / speed);
        t.nowUs = due - 1;
        EXPECT_EQ(t.read(*h, got).status, IoStatus::Timeout);
        // The write recorded in between is not an input report.
        t.nowUs = due;
        ASSERT_EQ(t.read(*h, got).status, IoStatus::Ok);
        EXPECT_EQ(got, (std::vector<uint8_t>{0x03, 0x30, 0x02, 0x03}));
        EXPECT_TRUE(t.backend->finished());
    }
}

// Played slowly enough, a report's time lies beyond what the clock counts. It used to overflow
// into the past and come at once; now it is never due.
TEST(ReplayBackend, a_speed_too_slow_for_the_clock_never_makes_the_later_reports_due)
{
    ReplayAt t(1e-15);
    auto h = t.backend->open(t.backend->path(), nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    std::vector<uint8_t> got;
    ASSERT_EQ(t.read(*h, got).status, IoStatus::Ok);
    t.nowUs = int64_t(1) << 62;
    EXPECT_EQ(t.read(*h, got).status, IoStatus::Timeout);
    EXPECT_FALSE(t.backend->finished());
}

TEST(ReplayBackend, keeps_one_timeline_when_the_probe_closes_and_reopens)
{
    ReplayAt t;
    auto first = t.backend->open(t.backend->path(), nullptr, nullptr);  // the timeline starts here
    first.reset();
    t.nowUs += 600000;
    auto again = t.backend->open(t.backend->path(), nullptr, nullptr);
    std::vector<uint8_t> got;
    // Both reports are due: neither is lost nor played from the start again.
    ASSERT_EQ(t.read(*again, got).status, IoStatus::Ok);
    EXPECT_EQ(got[1], 0x10);
    ASSERT_EQ(t.read(*again, got).status, IoStatus::Ok);
    EXPECT_EQ(got[1], 0x30);
    EXPECT_EQ(t.backend->delivered(), 2u);
}

TEST(ReplayBackend, ends_as_a_silent_frame_that_takes_writes_and_stays_plugged)
{
    ReplayAt t;
    auto h = t.backend->open(t.backend->path(), nullptr, nullptr);
    t.nowUs += 10'000'000;
    std::vector<uint8_t> got;
    ASSERT_EQ(t.read(*h, got).status, IoStatus::Ok);
    ASSERT_EQ(t.read(*h, got).status, IoStatus::Ok);
    for (int i = 0; i < 3; ++i) {
        t.nowUs += 1'000'000;
        EXPECT_EQ(t.read(*h, got).status, IoStatus::Timeout);
    }
    const uint8_t command[63] = {0x04, 0x10};
    const IoResult w = h->write(command, sizeof command, 100);
    EXPECT_EQ(w.status, IoStatus::Ok);
    EXPECT_EQ(w.bytes, sizeof command);
    EXPECT_EQ(t.backend->listInterfaces().size(), 1u);
    h->cancel();
    EXPECT_EQ(t.read(*h, got).status, IoStatus::Cancelled);
    EXPECT_EQ(h->write(command, sizeof command, 100).status, IoStatus::Cancelled);
}

TEST(ReplayBackend, a_short_read_buffer_takes_the_first_bytes)
{
    ReplayAt t;
    auto h = t.backend->open(t.backend->path(), nullptr, nullptr);
    uint8_t two[2] = {};
    const IoResult r = h->read(two, sizeof two, 10);
    EXPECT_EQ(r.bytes, 2u);
    EXPECT_EQ(two[1], 0x10);
}

TEST(ReplayBackend, cancel_wakes_a_blocked_read_at_once)
{
    CaptureFile c = twoReports();
    // A write at the open keeps the clock where the capture started: the report is an hour away.
    c.events = {{Direction::Output, 0, {0x04, 0x10}}, {Direction::Input, int64_t(3600) * 1'000'000, {0x03, 0x10}}};
    ReplayBackend b(c, "slow.txt", 1.0, ReplayBackend::Reads::Blocking);      // the steady clock
    auto h = b.open(b.path(), nullptr, nullptr);
    IoResult r;
    // A read that missed the wake-up would wait its ten minutes and trip the test time-out.
    std::thread reader([&] {
        uint8_t buffer[64];
        r = h->read(buffer, sizeof buffer, 600'000);
    });
    h->cancel();
    reader.join();
    EXPECT_EQ(r.status, IoStatus::Cancelled);
    EXPECT_EQ(b.delivered(), 0u);
}

// A frame behind the recorder: every write and read is kept, timed from the first open.
struct Recorded {
    int64_t nowUs = 5'000'000;
    VirtualBackend virtualBackend{VirtualBackend::Reads::NonBlocking};
    std::string path = virtualBackend.attach(std::make_shared<VirtualFrame>(VirtualFrameProfile{}, [this] { return nowUs; }));
    RecordingBackend recorder{virtualBackend, [this] { return nowUs; }};
};

TEST(RecordingBackend, records_writes_and_reads_from_the_first_open_across_reopens)
{
    Recorded r;
    EXPECT_FALSE(r.recorder.capture(r.path).has_value());
    auto trial = r.recorder.open(r.path, nullptr, nullptr);  // the enumeration's trial open
    trial.reset();
    r.nowUs += 200000;
    auto h = r.recorder.open(r.path, nullptr, nullptr);
    uint8_t command[63] = {VirtualFrame::kOutputReportId, protocol::kCmdVersionStatus};
    ASSERT_EQ(h->write(command, sizeof command, 100).status, IoStatus::Ok);
    r.nowUs += 3000;
    uint8_t answer[64] = {};
    ASSERT_EQ(h->read(answer, sizeof answer, 10).status, IoStatus::Ok);
    EXPECT_EQ(h->read(answer, sizeof answer, 10).status, IoStatus::Timeout);  // nothing more: not recorded

    const std::optional<CaptureFile> c = r.recorder.capture(r.path);
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->descriptor, VirtualFrame::reportDescriptor());
    EXPECT_EQ(c->vendorId, VirtualFrameProfile{}.vendorId);
    ASSERT_EQ(c->events.size(), 2u);
    EXPECT_EQ(c->events[0].direction, Direction::Output);
    EXPECT_EQ(c->events[0].timeUs, 200000);
    EXPECT_EQ(c->events[0].bytes, std::vector<uint8_t>(command, command + 63));
    EXPECT_EQ(c->events[1].direction, Direction::Input);
    EXPECT_EQ(c->events[1].timeUs, 203000);
    EXPECT_EQ(c->events[1].bytes[1], protocol::kCmdVersionStatus);
    EXPECT_EQ(r.recorder.recordedPaths(), std::vector<std::string>{r.path});
}

TEST(RecordingBackend, passes_arrival_and_removal_on)
{
    Recorded r;
    std::vector<std::pair<DeviceChange, std::string>> seen;
    r.recorder.setChangeCallback([&](DeviceChange c, const std::string& p) { seen.emplace_back(c, p); });
    r.virtualBackend.detach(r.path);
    r.virtualBackend.reattach(r.path);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::make_pair(DeviceChange::Removal, r.path));
    EXPECT_EQ(seen[1], std::make_pair(DeviceChange::Arrival, r.path));
}

// A session core on a backend, ticked on a simulated clock that the backend's frame shares.
struct SteppedSession {
    int64_t& nowUs;
    SessionCore core;
    DeviceSession& session = core.device();
    SteppedSession(HidBackend& backend, int64_t& clock) : nowUs(clock), core(backend, test::manualCore()) {}
    void connectAndReadInfo()
    {
        int nowMs = 0;
        core.start(nowMs);
        test::runTimers(core, nowMs, [this] { nowUs += SessionCore::kTickMs * 1000; }, [] { return false; }, 3000);
    }
};

TEST(RecordingBackend, a_replayed_capture_connects_and_reads_the_same_records)
{
    VirtualFrameProfile profile;
    profile.serial = std::string("VF-REPLAY-1");
    Recorded r;
    r.virtualBackend.detach(r.path);
    const std::string path =
        r.virtualBackend.attach(std::make_shared<VirtualFrame>(profile, [&r] { return r.nowUs; }));
    SteppedSession live(r.recorder, r.nowUs);
    live.connectAndReadInfo();
    ASSERT_TRUE(live.session.connected());
    ASSERT_TRUE(live.session.records().boards.valid);
    std::optional<CaptureFile> c = r.recorder.capture(path);
    ASSERT_TRUE(c.has_value());
    CaptureFile reread;
    std::string error;
    ASSERT_TRUE(parseCaptureText(formatCaptureText(*c), reread, error)) << error;

    int64_t replayUs = 42;
    ReplayBackend replay(reread, "live.txt", 1.0, ReplayBackend::Reads::NonBlocking, [&] { return replayUs; });
    SteppedSession played(replay, replayUs);
    played.connectAndReadInfo();
    ASSERT_TRUE(played.session.connected());
    EXPECT_EQ(played.session.talk().currentDevice()->path, "replay:live.txt");
    const DeviceRecords& a = live.session.records();
    const DeviceRecords& b = played.session.records();
    EXPECT_EQ(a.versionStatus, b.versionStatus);
    EXPECT_EQ(a.identity, b.identity);
    EXPECT_EQ(a.userParams, b.userParams);
    EXPECT_EQ(a.boards.xElements, b.boards.xElements);
    EXPECT_EQ(a.boards.yBoards, b.boards.yBoards);
    EXPECT_TRUE(replay.finished());
}

}  // namespace
}  // namespace oculant
