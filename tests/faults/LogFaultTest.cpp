// The log stops being writable in the middle of a recording. The tests run as root, so file
// modes do not stop writes: the disk "fills up" through the file-size limit instead (writes
// beyond it fail with EFBIG), in a child process so that the limit stays there.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>

#include "tests/support/FaultScenario.h"

namespace oculant {
namespace {

using test::FaultScenario;

// Returns what went wrong, empty when the scenario held.
std::string fullDiskScenario(const std::filesystem::path& root)
{
    std::signal(SIGXFSZ, SIG_IGN);
    std::filesystem::create_directory(root / "live");
    std::filesystem::create_directory(root / "replay");
    FaultScenario s((root / "live").string());
    s.h.start();
    if (!s.h.session.connected())
        return "not connected";
    s.processor.recorder().setLogOn(true);
    s.h.session.setActiveWindow(ActiveWindow::Signal);
    s.h.session.sendModeStream(protocol::kModeSignal);
    s.h.advance(500);
    const std::string logPath = s.processor.recorder().path();
    const auto sizeBefore = std::filesystem::file_size(logPath);
    if (!s.logErrors.empty() || sizeBefore < 10000)
        return "the recording did not start well";

    // The disk fills up a little further on, in the middle of a frame.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlim_t limit = sizeBefore + 10007;
    const rlimit full{limit, old.rlim_max};
    if (setrlimit(RLIMIT_FSIZE, &full) != 0)
        return "setrlimit failed";
    const uint64_t acceptedBefore = s.accepted;
    s.h.advance(1000);
    setrlimit(RLIMIT_FSIZE, &old);

    if (s.logErrors.size() != 1)
        return "the failure was reported " + std::to_string(s.logErrors.size()) + " times";
    if (s.logErrors[0].rfind(kLogWriteFailedText, 0) != 0 || s.logErrors[0].find("File too large") == std::string::npos)
        return "unexpected error text: " + s.logErrors[0];
    if (s.processor.recorder().recording())
        return "still recording after the failure";
    if (s.accepted < acceptedBefore + 45 || s.accepted != s.frames.size())
        return "the signal stopped with the log";

    // Byte for byte what the whole recording would have been, up to the limit; every frame
    // before the failing one is complete in it, and those are the frames counted as written.
    // (Updated: the log is written by a thread of its own now, so the failure is reported at a
    // frame after the one whose write failed, and the count says where the log ends.)
    const std::string kept = test::readFile(logPath);
    const uint64_t written = s.processor.recorder().framesWritten();
    if (written > s.firstLogErrorFrame)
        return "frames counted as written after the failure was reported";
    auto replayedPrefix = [&](size_t frames) {
        std::filesystem::remove_all(root / "replay");
        std::filesystem::create_directory(root / "replay");
        return test::replayedLog({s.frames.begin(), s.frames.begin() + ptrdiff_t(frames)}, root / "replay");
    };
    const std::string beforeText = replayedPrefix(written);
    const std::string withFailingText = replayedPrefix(written + 1);
    const std::string wholeText = replayedPrefix(s.frames.size());
    if (kept.size() != limit)
        return "the log holds " + std::to_string(kept.size()) + " bytes, not the " + std::to_string(limit) + " that fit";
    if (wholeText.compare(0, kept.size(), kept) != 0)
        return "the bytes written before the failure are not intact";
    if (kept.compare(0, beforeText.size(), beforeText) != 0 || beforeText.size() > kept.size())
        return "a frame recorded before the failure is missing";
    if (withFailingText.size() <= kept.size())
        return "framesWritten disagrees with the frames in the log";

    // Space again: switching the recording off and on starts a new log beside the old one.
    s.processor.recorder().setLogOn(false);
    s.h.advance(100);
    s.processor.recorder().setLogOn(true);
    s.h.advance(300);
    if (s.logErrors.size() != 1 || !s.processor.recorder().recording())
        return "no new recording after the disk has room again";
    if (s.processor.recorder().path() == logPath || test::readFile(logPath) != kept)
        return "the new recording touched the old log";
    return "";
}

TEST(FaultLogDeathTest, a_full_disk_mid_recording_stops_the_log_cleanly_and_keeps_every_earlier_frame)
{
    test::TempDir dir;
    EXPECT_EXIT(
        {
            const std::string failure = fullDiskScenario(dir.path());
            std::fputs(failure.c_str(), stderr);
            std::_Exit(failure.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(FaultLog, a_log_folder_deleted_or_replaced_by_a_file_mid_recording_is_reported_and_streaming_goes_on)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced by a file" : "deleted");
        test::TempDir dir;
        const std::filesystem::path folder = dir.path() / "logs";
        std::filesystem::create_directory(folder);
        FaultScenario s(folder.string());
        s.h.start();
        s.processor.recorder().setLogOn(true);
        s.h.session.sendModeStream(protocol::kModeSignal);
        s.h.advance(300);
        ASSERT_TRUE(s.processor.recorder().recording());
        ASSERT_TRUE(s.logErrors.empty());

        std::filesystem::remove_all(folder);
        if (replaced)
            test::writeFile(folder, "a file now");
        const uint64_t accepted = s.accepted;
        s.h.advance(500);
        ASSERT_EQ(s.logErrors.size(), 1u) << "the lost log is reported once";
        EXPECT_EQ(s.logErrors[0].rfind(kLogWriteFailedText, 0), 0u) << s.logErrors[0];
        EXPECT_NE(s.logErrors[0].find("removed"), std::string::npos) << s.logErrors[0];
        EXPECT_FALSE(s.processor.recorder().recording());
        EXPECT_GE(s.accepted, accepted + 20) << "the signal goes on without its log";
        EXPECT_EQ(s.accepted, s.frames.size());
    }
}

TEST(FaultLog, a_log_folder_that_cannot_take_a_file_is_reported_at_each_sample_frame_and_streaming_goes_on)
{
    test::TempDir dir;
    // The folder was replaced by a plain file before the recording started.
    const std::filesystem::path folder = dir.path() / "logs";
    test::writeFile(folder, "not a folder");
    FaultScenario s(folder.string());
    s.h.start();
    s.processor.recorder().setLogOn(true);
    s.h.session.sendModeStream(protocol::kModeSignal);
    s.h.advance(500);
    ASSERT_FALSE(s.frames.empty());
    EXPECT_EQ(s.logErrors.size(), s.frames.size()) << "every sample frame tries again and says so";
    EXPECT_EQ(s.logErrors.front(), kLogCreateFailedText);
    EXPECT_EQ(s.accepted, s.frames.size()) << "the signal is processed all the same";
    EXPECT_EQ(test::readFile(folder), "not a folder");

    // The folder is back: the next sample frame starts the log.
    std::filesystem::remove(folder);
    std::filesystem::create_directory(folder);
    const size_t errors = s.logErrors.size();
    s.h.advance(200);
    EXPECT_EQ(s.logErrors.size(), errors);
    EXPECT_TRUE(s.processor.recorder().recording());
    EXPECT_GT(s.processor.recorder().framesWritten(), 5u);
}

}  // namespace
}  // namespace oculant
