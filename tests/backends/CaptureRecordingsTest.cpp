// Recordings made by the other HID recording tools, in the project's own files with the same
// habits (tests/data/capture): every device of each is read as that tool's readers read it, a
// device is picked with FILE:N, and a replay starts at the recording's first report when the
// recorder's clock started long before it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "backends/capture/ReplayBackend.h"
#include "backends/capture/ReplaySource.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;

const fs::path kData = fs::path(OCULANT_SOURCE_DIR) / "tests/data/capture";

struct DeviceSeen {
    unsigned number;
    const char* name;
    uint16_t vendorId, productId;
    size_t descriptorBytes;
    size_t reports;
    int64_t firstUs;  // -1: no report
};

TEST(CaptureRecordings, each_recorders_file_reads_as_its_devices)
{
    struct Case {
        const char* file;
        std::vector<DeviceSeen> devices;
        size_t comments;  // of the first device: those before the file's first report
    } cases[] = {
        // CR LF, "D:0", upper-case hex, P: lines (one of them empty), indented notes without a
        // tag, reports of both devices taken in turn, a clock hours past 0.
        {"c-recorder-two-devices.txt",
         {{0, "Logitech USB Optical Mouse", 0x046D, 0xC077, 46, 3, 83985345954},
          {1, "Oculant touch frame", 0x1209, 0x0C1A, 31, 1, 83985360002}},
         2},
        // The descriptor decoded into comments, no report at all.
        {"python-recorder-header-only.txt", {{0, "Logitech USB Receiver", 0x046D, 0xB010, 24, 0, -1}}, 14},
        // "I: 3 1209 c1a", a blank after the last byte, B: and unknown tags among the reports.
        {"rust-recorder.txt", {{0, "Oculant touch frame", 0x1209, 0x0C1A, 31, 2, 0}}, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::vector<CaptureFile> devices;
        std::string error;
        ASSERT_TRUE(loadCaptureDevices((kData / c.file).string(), devices, error)) << error;
        ASSERT_EQ(devices.size(), c.devices.size());
        for (size_t i = 0; i < devices.size(); ++i) {
            const CaptureFile& d = devices[i];
            const DeviceSeen& want = c.devices[i];
            EXPECT_EQ(d.device, want.number);
            EXPECT_EQ(d.name, want.name);
            EXPECT_EQ(d.vendorId, want.vendorId);
            EXPECT_EQ(d.productId, want.productId);
            EXPECT_EQ(d.descriptor.size(), want.descriptorBytes);
            EXPECT_EQ(d.inputCount(), want.reports);
            EXPECT_EQ(d.events.empty() ? -1 : d.events.front().timeUs, want.firstUs);
            for (const CaptureEvent& e : d.events)
                EXPECT_TRUE(e.bytes.size() == 4 || e.bytes.size() == 64) << e.bytes.size();
        }
        EXPECT_EQ(devices[0].comments.size(), c.comments);
        // The first device is what a replay of the file plays.
        CaptureFile first;
        ASSERT_TRUE(loadCaptureFile((kData / c.file).string(), first, error)) << error;
        EXPECT_EQ(first.descriptor, devices[0].descriptor);
        EXPECT_EQ(first.events.size(), devices[0].events.size());
    }
}

TEST(CaptureRecordings, a_device_of_another_recording_is_written_back_with_its_number)
{
    std::vector<CaptureFile> devices;
    std::string error;
    ASSERT_TRUE(loadCaptureDevices((kData / "c-recorder-two-devices.txt").string(), devices, error)) << error;
    const std::string text = formatCaptureText(devices[1]);
    EXPECT_EQ(text.rfind("D: 1\nN: Oculant touch frame\nI: 3 1209 0c1a\nR: 31 06 00 ff", 0), 0u) << text;
    EXPECT_NE(text.find("\nE: 083985.360002 64 03 10 00 23 "), std::string::npos) << text;
    std::vector<CaptureFile> back;
    ASSERT_TRUE(parseCaptureDevices(text, back, error)) << error;
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].device, 1u);
    EXPECT_EQ(back[0].events.size(), 1u);
    EXPECT_EQ(formatCaptureText(back[0]), text);
}

struct ReplaySourceFiles : ::testing::Test {
    fs::path dir = fs::temp_directory_path() / ("oculant-source-" + std::to_string(::getpid()));
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    std::string copyOf(const char* data, const std::string& name) const
    {
        fs::copy_file(kData / data, dir / name);
        return (dir / name).string();
    }
};

TEST_F(ReplaySourceFiles, a_trailing_number_picks_a_device_unless_the_file_is_named_so)
{
    const std::string two = copyOf("c-recorder-two-devices.txt", "bench.txt");
    const std::string colon = copyOf("rust-recorder.txt", "frame:1");
    struct Case {
        std::string text;
        std::string file;
        std::optional<unsigned> device;
    } cases[] = {
        {two, two, std::nullopt},
        {two + ":1", two, 1u},
        {two + ":0", two, 0u},
        {colon, colon, std::nullopt},         // the file's own name ends in ":1"
        {colon + ":0", colon, 0u},            // and its device 0
        {two + ":x", two + ":x", std::nullopt},  // not a number: a (missing) file of that name
        {two + ":", two + ":", std::nullopt},
        {"missing.txt:2", "missing.txt", 2u},
        {":3", ":3", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const ReplaySource s = parseReplaySource(c.text);
        EXPECT_EQ(s.file, c.file);
        EXPECT_EQ(s.device, c.device);
    }

    CaptureFile device;
    std::string error;
    ASSERT_TRUE(loadReplayDevice(parseReplaySource(two + ":1"), device, error)) << error;
    EXPECT_EQ(device.name, "Oculant touch frame");
    ASSERT_TRUE(loadReplayDevice(parseReplaySource(colon), device, error)) << error;
    EXPECT_EQ(device.device, 0u);
    EXPECT_FALSE(loadReplayDevice(parseReplaySource(two + ":2"), device, error));
    EXPECT_EQ(error, two + ": no device 2 in this recording (it holds devices 0, 1)");
    EXPECT_FALSE(loadReplayDevice(parseReplaySource(colon + ":1"), device, error));
    EXPECT_EQ(error, colon + ": no device 1 in this recording (it holds device 0)");
    EXPECT_FALSE(loadReplayDevice(parseReplaySource("missing.txt:2"), device, error));
    EXPECT_NE(error.find("missing.txt"), std::string::npos) << error;
}

TEST(CaptureRecordings, a_replay_starts_at_the_first_report_of_a_clock_started_long_before)
{
    std::vector<CaptureFile> devices;
    std::string error;
    ASSERT_TRUE(loadCaptureDevices((kData / "c-recorder-two-devices.txt").string(), devices, error)) << error;
    int64_t nowUs = 5'000'000;
    ReplayBackend replay(devices[0], "bench.txt", 1.0, ReplayBackend::Reads::NonBlocking, [&] { return nowUs; });
    auto h = replay.open(replay.path(), nullptr, nullptr);
    uint8_t report[64];
    // 83985.345954 s on the recorder's clock is the moment of the first open here.
    // The mouse has no report ids: its reports come behind a 0 byte, as hidraw's reads give them.
    ASSERT_EQ(h->read(report, sizeof report, 10).status, IoStatus::Ok);
    EXPECT_EQ(report[0], 0x00);
    EXPECT_EQ(report[2], 0x05);
    // The next one came 8007 µs later there, and does here.
    nowUs += 8006;
    EXPECT_EQ(h->read(report, sizeof report, 10).status, IoStatus::Timeout);
    nowUs += 1;
    ASSERT_EQ(h->read(report, sizeof report, 10).status, IoStatus::Ok);
    EXPECT_EQ(report[2], 0x03);

    // A capture made here: its first report came 2.5 s after the open, and comes so again.
    CaptureFile ours = devices[0];
    ours.events.resize(1);
    ours.events[0].timeUs = 2'500'000;
    ReplayBackend again(ours, "ours.txt", 1.0, ReplayBackend::Reads::NonBlocking, [&] { return nowUs; });
    auto h2 = again.open(again.path(), nullptr, nullptr);
    nowUs += 2'499'999;
    EXPECT_EQ(h2->read(report, sizeof report, 10).status, IoStatus::Timeout);
    nowUs += 1;
    EXPECT_EQ(h2->read(report, sizeof report, 10).status, IoStatus::Ok);
}

}  // namespace
}  // namespace oculant
