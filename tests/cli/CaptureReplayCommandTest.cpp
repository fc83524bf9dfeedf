// Capture and replay end to end on simulated time: a command run live on the virtual frame with
// --capture, then the same command on --replay of that file, must say the same; the capture
// command's file drives record; a damaged file is refused with its line.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "backends/capture/CaptureFile.h"
#include "tests/support/CliRun.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;

const std::string kDeadEmitter = std::string(OCULANT_SOURCE_DIR) + "/data/profiles/dead-emitter.ini";

struct CaptureReplayCli : test::CliTest {
    CaptureFile load(const std::string& path)
    {
        CaptureFile c;
        std::string error;
        EXPECT_TRUE(loadCaptureFile(path, c, error)) << error;
        return c;
    }
};

size_t inputsWithCode(const CaptureFile& c, uint8_t low, uint8_t high)
{
    size_t n = 0;
    for (const CaptureEvent& e : c.events)
        n += e.direction == CaptureEvent::Direction::Input && e.bytes.size() > 1 && e.bytes[1] >= low && e.bytes[1] <= high;
    return n;
}

TEST_F(CaptureReplayCli, info_from_a_replayed_capture_equals_the_live_info)
{
    const std::string capture = dir.file("info.txt");
    ASSERT_EQ(run({"--virtual-frame=" + kDeadEmitter, "--simulated-time", "--capture", capture, "info", "--json"}), 0)
        << err;
    const nlohmann::json live = nlohmann::json::parse(out);

    // The capture starts with the probe: mode 0, then 0x10, and holds the answers.
    const CaptureFile c = load(capture);
    ASSERT_GE(c.events.size(), 3u);
    EXPECT_EQ(c.events[0].direction, CaptureEvent::Direction::Output);
    EXPECT_EQ(c.events[0].bytes[1], 0x21);
    EXPECT_EQ(c.events[1].bytes[1], 0x10);
    EXPECT_EQ(inputsWithCode(c, 0x10, 0x10), 2u);  // the probe's and the sequence's
    EXPECT_GT(inputsWithCode(c, 0x22, 0x22), 0u);  // the parameter block chunks

    ASSERT_EQ(run({"--replay", capture, "--simulated-time", "info", "--json"}), 0) << err;
    const nlohmann::json replayed = nlohmann::json::parse(out);
    EXPECT_EQ(replayed, live) << replayed.dump(1) << "\n" << live.dump(1);
    EXPECT_NE(live["serial"], "");
    EXPECT_FALSE(live["xBoards"].empty());

    ASSERT_EQ(run({"--replay=" + capture, "--simulated-time", "info"}), 0) << err;
    EXPECT_NE(out.find("replay:" + capture), std::string::npos) << out;
}

TEST_F(CaptureReplayCli, diagnose_of_a_replayed_capture_finds_the_same_faults)
{
    const std::string capture = dir.file("diagnose.txt");
    EXPECT_EQ(run({"--virtual-frame=" + kDeadEmitter, "--simulated-time", "--capture", capture, "diagnose", "--sweep",
                   "--json"}),
              cli::kExitFailed)
        << err;
    const nlohmann::json live = nlohmann::json::parse(out);
    ASSERT_EQ(live["verdict"], "FAIL");
    bool emitterBoard1Failed = false;
    for (const auto& b : live["boards"])
        if (b["axis"] == "X" && b["side"] == "emitter" && b["number"] == 1)
            emitterBoard1Failed = b["status"] == 2;
    EXPECT_TRUE(emitterBoard1Failed) << live.dump(1);
    // The signal frames of the test are in the capture.
    EXPECT_GT(inputsWithCode(load(capture), 0x30, 0x3F), 100u);

    EXPECT_EQ(run({"--replay", capture, "--simulated-time", "diagnose", "--json"}), cli::kExitFailed) << err;
    const nlohmann::json replayed = nlohmann::json::parse(out);
    EXPECT_EQ(replayed, live) << replayed.dump(1);
}

TEST_F(CaptureReplayCli, capture_command_records_the_stream_and_record_logs_it_from_the_replay)
{
    const std::string capture = dir.file("signal.txt");
    ASSERT_EQ(run({"--virtual-frame", "--simulated-time", "capture", "--out", capture, "--seconds", "2", "--mode", "1"}),
              0)
        << err;
    EXPECT_EQ(out.rfind(capture + "\n", 0), 0u) << out;
    EXPECT_NE(out.find(" s of virtual:0\n"), std::string::npos) << out;
    const CaptureFile c = load(capture);
    const size_t signal = inputsWithCode(c, 0x30, 0x3F);
    EXPECT_GT(signal, 100u);
    EXPECT_NE(out.find(std::to_string(c.inputCount()) + " input reports, "), std::string::npos) << out;
    // Two seconds of streaming after connecting; the last report is the end of the capture.
    EXPECT_GE(c.durationUs(), 2'000'000);
    EXPECT_LT(c.durationUs(), 5'000'000);
    // The last thing sent is mode 0, when the command closes.
    EXPECT_EQ(c.events.back().direction, CaptureEvent::Direction::Output);
    EXPECT_EQ(c.events.back().bytes[1], 0x21);
    EXPECT_EQ(c.events.back().bytes[2], 0x00);

    const fs::path logs = dir / "logs";
    fs::create_directories(logs);
    ASSERT_EQ(run({"--replay", capture, "--simulated-time", "record", "--seconds", "1", "--dir", logs.string()}), 0)
        << err;
    std::istringstream lines(out);
    std::string logPath, frames;
    std::getline(lines, logPath);
    std::getline(lines, frames);
    EXPECT_TRUE(fs::exists(logPath)) << out;
    EXPECT_GT(std::stoi(frames), 10) << out;
}

TEST_F(CaptureReplayCli, a_damaged_capture_is_refused_with_its_line)
{
    const std::string capture = write("damaged.txt", "N: x\nI: 3 1209 0001\nR: 2 06\nE: 000000.000000 1 03\n");
    EXPECT_EQ(run({"--replay", capture, "--simulated-time", "info"}), cli::kExitFailed);
    EXPECT_EQ(err, "oculant-cli: " + capture + ": line 3: R: says 2 bytes but holds 1\n");
    EXPECT_EQ(run({"--replay", dir.file("missing.txt"), "diagnose"}), cli::kExitFailed);
    EXPECT_NE(err.find("missing.txt"), std::string::npos) << err;
}

TEST_F(CaptureReplayCli, a_device_of_a_recording_of_several_is_replayed_by_its_number)
{
    // Device 0 of this recording is a mouse, device 1 a frame.
    const std::string recording = (fs::path(OCULANT_SOURCE_DIR) / "tests/data/capture/c-recorder-two-devices.txt").string();
    ASSERT_EQ(run({"--replay", recording, "--simulated-time", "list"}), 0) << err;
    EXPECT_EQ(out, "No touch frame found.\n");
    EXPECT_EQ(err, "");
    ASSERT_EQ(run({"--replay", recording + ":1", "--simulated-time", "list", "--json"}), 0) << err;
    const nlohmann::json listed = nlohmann::json::parse(out);
    ASSERT_EQ(listed.size(), 1u) << out;
    EXPECT_EQ(listed[0]["path"], "replay:" + recording + ":1");
    EXPECT_EQ(listed[0]["vendorId"], 0x1209);

    EXPECT_EQ(run({"--replay", recording + ":2", "--simulated-time", "list"}), cli::kExitFailed);
    EXPECT_EQ(err, "oculant-cli: " + recording + ": no device 2 in this recording (it holds devices 0, 1)\n");
    // A file whose own name ends in ":1" is that file.
    const std::string named = dir.file("frame:1");
    fs::copy_file(recording, named);
    ASSERT_EQ(run({"--replay", named, "--simulated-time", "list"}), 0) << err;
    EXPECT_EQ(out, "No touch frame found.\n");
    ASSERT_EQ(run({"--replay", named + ":1", "--simulated-time", "list"}), 0) << err;
    EXPECT_NE(out.find("replay:" + named + ":1  vendor 0x1209"), std::string::npos) << out;
}

TEST_F(CaptureReplayCli, refuses_bad_options)
{
    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"--virtual-frame", "capture"}, cli::kExitUsage},                                   // no --out
        {{"--virtual-frame", "capture", "--out", "x", "--mode", "2"}, cli::kExitUsage},      // no mode 2
        {{"--virtual-frame", "capture", "--out", "x", "--seconds", "0"}, cli::kExitUsage},   // no time
        {{"--virtual-frame", "--capture", "y", "capture", "--out", "x"}, cli::kExitUsage},   // two files
        {{"--replay", "x", "--replay-speed", "0", "info"}, cli::kExitUsage},
        {{"--replay", "x", "--replay-speed", "fast", "info"}, cli::kExitUsage},
        {{"--simulated-time", "info"}, cli::kExitUsage},  // neither a virtual frame nor a replay
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(run(c.args), c.status) << err;
    }
    EXPECT_FALSE(fs::exists("x"));
}

TEST_F(CaptureReplayCli, capture_of_a_command_that_opens_no_frame_fails)
{
    // caps reads a descriptor file and opens no device: nothing to capture, and it says so.
    const std::string descriptor = write("descriptor.txt", "06 00 ff 09 01 a1 01 c0\n");
    const std::string capture = dir.file("none.txt");
    EXPECT_NE(run({"--capture", capture, "caps", descriptor}), 0);
    EXPECT_NE(err.find("no capture written to " + capture), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(capture));
}

}  // namespace
}  // namespace oculant
