// A recording is not a frame: on --replay, the commands that download a calibration refuse to,
// and keep nothing for the recorded frame's serial (before, reset-calibration said "Calibration
// written to the frame.", exited 0 and replaced the kept current calibration of that serial).
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/Cli.h"
#include "tests/support/CliRun.h"

namespace oculant::cli {
namespace {

namespace fs = std::filesystem;

using ReplayWrites = test::CliTest;

TEST_F(ReplayWrites, reset_and_restore_on_a_replay_write_nothing_and_keep_nothing)
{
    // The frame calibrated for real first: its current calibration is kept.
    const std::string exported = dir.file("cal.cfg");
    ASSERT_EQ(runOnFrame("", {"calibrate", "--no-aux", "--export", exported}), kExitOk) << err;
    const fs::path kept = dir / "data" / "oculant" / "calibrations" / "VF-000001";
    const std::vector<std::string> keptBefore = test::folderEntries(kept);
    ASSERT_FALSE(keptBefore.empty());
    const std::string currentBefore = test::readFile(kept / "current.cfg");

    const std::string capture = dir.file("info.txt");
    ASSERT_EQ(run({"--virtual-frame", "--simulated-time", "--capture", capture, "info"}), kExitOk) << err;
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"reset-calibration", "--yes"}, {"restore-calibration", exported, "--yes", "--json"}}) {
        SCOPED_TRACE(command[0]);
        std::vector<std::string> args{"--replay", capture, "--simulated-time"};
        args.insert(args.end(), command.begin(), command.end());
        EXPECT_EQ(run(args), kExitFailed) << out << err;
        EXPECT_NE((out + err).find("This is a recording: nothing can be written to it."), std::string::npos)
            << out << err;
        EXPECT_EQ((out + err).find("Calibration written to the frame."), std::string::npos) << out;
        EXPECT_EQ(test::folderEntries(kept), keptBefore);
        EXPECT_EQ(test::readFile(kept / "current.cfg"), currentBefore);
    }
}

}  // namespace
}  // namespace oculant::cli
