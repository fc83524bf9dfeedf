// oculant-cli record on the virtual frame: a real worker thread, real time, a real file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/support/CliRun.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;

struct RecordCli : test::CliTest {
    // A profile of the given text, and an empty folder for the logs.
    std::string profile(const std::string& text) { return write("profile.ini", text); }
    fs::path logsFolder() const
    {
        fs::create_directories(dir / "logs");
        return dir / "logs";
    }
};

TEST_F(RecordCli, WritesOneLogOfTheProfileFamilyWithAboutRateTimesSecondsFrames)
{
    const std::string p = profile("[Geometry]\nFamily=0x40\nXOffsets=0,-3,2\nYOffsets=0,-2,1\nFrameRate=40\n");
    const fs::path logs = logsFolder();
    ASSERT_EQ(run({"--virtual-frame=" + p, "record", "--seconds", "1.5", "--dir", logs.string()}), 0) << err;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(logs))
        files.push_back(e.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(out.find(files[0].string()), std::string::npos) << out;
    std::ifstream in(files[0]);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first, "AD Log Data Version 5.0");
    // The count printed on the second line: 1.5 s at 40 frames per second, plus the reference
    // and threshold frames sent when the stream starts; generous for a loaded machine.
    const long frames = std::stol(out.substr(out.find('\n') + 1));
    EXPECT_GE(frames, 45);
    EXPECT_LE(frames, 70);
}

// --verbose says how the worker that reads the frame is scheduled: real-time where the system
// allows it, else normally with the reasons; the recording is the same either way.
TEST_F(RecordCli, verbose_names_the_worker_scheduling_and_a_disk_that_keeps_up_misses_no_frame)
{
    const fs::path logs = logsFolder();
    ASSERT_EQ(run({"--verbose", "--virtual-frame", "record", "--seconds", "0.5", "--dir", logs.string()}), 0)
        << err;
    const size_t at = err.find("oculant-cli: worker thread: ");
    ASSERT_NE(at, std::string::npos) << err;
    const std::string line = err.substr(at, err.find('\n', at) - at);
    EXPECT_TRUE(line.find("real-time: SCHED_") != std::string::npos || line.find("normal scheduling (") != std::string::npos)
        << line;
    EXPECT_EQ(out.find("not written"), std::string::npos) << out;

    ASSERT_EQ(run({"--verbose", "--virtual-frame", "--simulated-time", "record", "--seconds", "0.5", "--dir",
                   logs.string()}), 0)
        << err;
    EXPECT_NE(err.find("oculant-cli: worker thread: none, the session steps the worker (simulated time)"),
              std::string::npos)
        << err;
}

// The AD log has no format for family 0x30 partial scans: the recording is refused with the
// reason and leaves no file behind, rather than an empty one reported as so many frames.
TEST_F(RecordCli, APartialScanFrameIsRefusedAndNoFileIsLeft)
{
    const fs::path logs = logsFolder();
    EXPECT_EQ(runOnFrame(profile("[Geometry]\nFamily=0x30\n"), {"record", "--seconds", "2", "--dir", logs.string()}),
              cli::kExitFailed);
    EXPECT_TRUE(fs::is_empty(logs)) << fs::directory_iterator(logs)->path();
    EXPECT_EQ(out.find("frames"), std::string::npos) << out;
    EXPECT_NE(err.find("0x30"), std::string::npos) << err;
}

TEST_F(RecordCli, RefusesBadArgumentsAndMissingFolders)
{
    EXPECT_EQ(run({"--virtual-frame", "record"}), cli::kExitUsage);
    EXPECT_EQ(run({"--virtual-frame", "record", "--seconds", "abc"}), cli::kExitUsage);
    EXPECT_EQ(run({"--virtual-frame", "record", "--seconds", "1", "--dir", dir.file("missing")}), cli::kExitFailed);
    EXPECT_NE(err.find("not a folder"), std::string::npos);
}

// Through a link that loses reports the log misses frames: record says how many and where, and
// fails (before, it said nothing and exited 0).
TEST_F(RecordCli, frames_lost_on_a_lossy_link_are_counted_and_fail_the_recording)
{
    const std::string p = profile("[Faults]\nReportLoss=0.05\n");
    const fs::path logs = logsFolder();
    EXPECT_EQ(run({"--virtual-frame=" + p, "--simulated-time", "record", "--seconds", "4", "--dir", logs.string()}), 1)
        << out << err;
    const size_t at = out.find(" frames lost (");
    ASSERT_NE(at, std::string::npos) << out;
    const size_t lineStart = out.rfind('\n', at) + 1;
    EXPECT_GT(std::stol(out.substr(lineStart)), 10) << out;
    EXPECT_NE(out.find("on the link, 0 in the rings, 0 refused)"), std::string::npos) << out;
    EXPECT_NE(err.find("frames of the stream were lost before the log"), std::string::npos) << err;
}

}  // namespace
}  // namespace oculant
