#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "tests/support/SignalTestSupport.h"
#include "tests/support/TempDir.h"
#include "signal/FrameProcessor.h"

namespace oculant {
namespace {

using test::pattern;
using test::folderEntries;
using test::readFile;
using test::rowCopy;
using test::smallLayout;
using test::TempDir;

// A processor logging into a temporary directory, named by a clock the test sets. Each frame is
// given the time to reach the disk before the test looks (the log is written by its own thread).
class Recording {
public:
    explicit Recording(std::string directory) : processor(store, std::move(directory), [this] { return now; }) {}

    FrameResult feed(const std::vector<uint8_t>& frame)
    {
        FrameResult result = processor.ProcessFrame(frame.data(), frame.size());
        processor.recorder().waitWritten();
        return result;
    }
    void logOn(bool on) { processor.recorder().setLogOn(on); }

    int64_t now = 1700000000;
    SignalStore store;
    FrameProcessor processor;
};

TEST(AdLogRecorder, recording_of_family_0x00_starts_with_the_worked_example)
{
    TempDir dir;
    Recording r(dir.str());
    const std::vector<uint8_t> reference = {4, 0, 0, 0, 0, 2, 1, 4, 0, 3, 0, 0, 0, 1, 0, 0, 0,
                                            10, 20, 30, 40, 11, 21, 31, 41, 5, 6, 7, 237};
    ASSERT_EQ(r.feed(reference).status, FrameStatus::Accepted);
    std::vector<uint8_t> threshold = reference;
    threshold[0] = 1;
    for (size_t i = 17; i < 28; ++i)
        threshold[i] = uint8_t(i);
    threshold.back() = byteSum8(threshold.data(), threshold.size() - 1);

    r.logOn(true);
    EXPECT_EQ(r.feed(threshold).logError, "");
    r.logOn(false);
    r.feed(threshold);  // closes the log; not written
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"1700000000.txt"});
    EXPECT_EQ(readFile(dir.path() / "1700000000.txt"),
              "AD Log Data Version 1.0\n"
              // plane 3, kind 4: the worked example
              "4 0 0 0 2 1 4 3\n0 1 0 \n10 20 30 40 \n11 21 31 41 \n5 6 7 \n237\n"
              // plane 2, kind 1: still zero; header bytes 1+2+1+4+3+1 = 12
              "1 0 0 0 2 1 4 3\n0 1 0 \n0 0 0 0 \n0 0 0 0 \n0 0 0 \n12\n"
              // the frame itself
              "1 0 0 0 2 1 4 3\n0 1 0 \n17 18 19 20 \n21 22 23 24 \n25 26 27 \n" +
                  std::to_string(threshold.back()) + "\n");
}

// Splits a log into its lines.
std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    return out;
}

TEST(AdLogRecorder, long_header_families_log_three_reference_blocks_then_their_frames)
{
    struct Case {
        uint8_t family;
        const char* version;
        std::vector<int> kinds;  // first numbers of the block header rows, in file order
        size_t linesPerBlock;    // header, 2 offset lines, 5 layer rows, (8 boundary rows,) checksum
    };
    const Case cases[] = {
        {kFamilyFullScan, "AD Log Data Version 2.0", {20, 17, 16, 16, 16, 16}, 9},
        {kFamilyBoundary, "AD Log Data Version 5.0", {68, 65, 64, 64, 64, 64}, 17},
    };
    for (const Case& c : cases) {
        TempDir dir;
        Recording r(dir.str());
        const FrameLayout layout = smallLayout(c.family);
        const SignalFrameBuilder builder(layout);
        const auto layers = pattern(layout.sampleBlockLength(), 1);
        const auto boundary = pattern(layout.boundaryBlockLength(), 2);
        r.logOn(true);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(r.feed(builder.liveScan(layers, boundary)).logError, "");
        const auto text = lines(readFile(dir.path() / "1700000000.txt"));
        ASSERT_EQ(text.size(), 1 + c.kinds.size() * c.linesPerBlock) << c.version;
        EXPECT_EQ(text[0], c.version);
        for (size_t b = 0; b < c.kinds.size(); ++b)
            EXPECT_EQ(text[1 + b * c.linesPerBlock],
                      std::to_string(c.kinds[b]) + " 90 1 4660 3 2 10 6")
                << c.version << " block " << b;
        // The first reference block shows plane 3 before this frame was routed: zero.
        EXPECT_EQ(text[1 + 3], "0 0 0 0 0 0 0 0 0 0 ");
        // The frames carry their samples.
        std::string firstRow;
        for (size_t i = 0; i < layout.nX; ++i)
            firstRow += std::to_string(layers[i]) + " ";
        EXPECT_EQ(text[1 + 3 * c.linesPerBlock + 3], firstRow);
    }
}

TEST(AdLogRecorder, each_recording_gets_its_own_file_even_within_one_second)
{
    TempDir dir;
    Recording r(dir.str());
    const FrameLayout layout = smallLayout(kFamilyFullScan);
    const auto scan = SignalFrameBuilder(layout).liveScan(pattern(layout.sampleBlockLength(), 1));
    std::filesystem::create_directory(dir.path() / "keep");
    {
        std::FILE* other = std::fopen((dir.path() / "1700000001.txt").c_str(), "w");
        std::fputs("left by an earlier run", other);
        std::fclose(other);
    }
    auto record = [&] {
        r.logOn(true);
        r.feed(scan);
        const std::string path = r.processor.recorder().path();
        r.logOn(false);
        r.feed(scan);
        return std::filesystem::path(path).filename().string();
    };
    EXPECT_EQ(record(), "1700000000.txt");
    EXPECT_EQ(record(), "1700000000-1.txt");
    EXPECT_EQ(record(), "1700000000-2.txt");
    r.now += 1;
    EXPECT_EQ(record(), "1700000001-1.txt");
    EXPECT_EQ(readFile(dir.path() / "1700000001.txt"), "left by an earlier run");
    for (const char* name : {"1700000000.txt", "1700000000-1.txt", "1700000000-2.txt", "1700000001-1.txt"})
        EXPECT_EQ(readFile(dir.path() / name).rfind("AD Log Data Version 2.0\n", 0), 0u) << name;
}

TEST(AdLogRecorder, the_switch_takes_effect_at_the_next_sample_frame_only)
{
    TempDir dir;
    Recording r(dir.str());
    const FrameLayout layout = smallLayout(kFamilyFullScan);
    const SignalFrameBuilder builder(layout);
    const auto scan = builder.liveScan(pattern(layout.sampleBlockLength(), 1));
    const auto touch = builder.touchReport(1, std::vector<TouchRecord>{{1, 2, 3, 4, 5, 9}});

    r.logOn(true);
    r.logOn(false);
    r.feed(scan);
    EXPECT_TRUE(folderEntries(dir.path()).empty()) << "switched on and off between frames: no log";

    r.logOn(true);
    r.feed(touch);
    EXPECT_TRUE(folderEntries(dir.path()).empty()) << "touch reports neither open nor write a log";
    r.feed(scan);
    ASSERT_EQ(folderEntries(dir.path()).size(), 1u);
    const auto path = dir.path() / folderEntries(dir.path())[0];
    const auto size = std::filesystem::file_size(path);
    r.feed(touch);
    EXPECT_EQ(std::filesystem::file_size(path), size);
    r.feed(scan);
    const auto perFrame = std::filesystem::file_size(path) - size;
    EXPECT_GT(perFrame, 0u);

    r.logOn(false);
    EXPECT_TRUE(r.processor.recorder().recording()) << "closed only by the next sample frame";
    r.feed(scan);
    EXPECT_FALSE(r.processor.recorder().recording());
    r.feed(scan);
    EXPECT_EQ(std::filesystem::file_size(path), size + perFrame);
}

// Updated: a recording started on family 0x30 used to leave an empty file behind, counted as
// frames written. It is refused now, with no file, and the frames are still processed.
TEST(AdLogRecorder, partial_scan_recordings_are_refused_without_a_file)
{
    TempDir dir;
    Recording r(dir.str());
    const FrameLayout layout = smallLayout(kFamilyPartialScan);
    const SignalFrameBuilder builder(layout);
    const auto layers = pattern(layout.sampleBlockLength(), 1);
    r.logOn(true);
    EXPECT_EQ(r.feed(builder.liveScan(layers)).logError, kLogPartialScanText);
    EXPECT_EQ(r.feed(builder.samples(kTypeReference, layers)).logError, kLogPartialScanText);
    EXPECT_EQ(rowCopy(r.store, kPlaneReference, 0), std::vector<uint8_t>(layers.begin(), layers.begin() + 10))
        << "processed even though not logged";
    EXPECT_TRUE(folderEntries(dir.path()).empty());
    EXPECT_FALSE(r.processor.recorder().recording());
    EXPECT_EQ(r.processor.recorder().framesWritten(), 0u);
}

TEST(AdLogRecorder, a_log_that_cannot_be_created_is_reported_at_every_sample_frame_until_it_can)
{
    TempDir dir;
    const auto missing = dir.path() / "not-yet";
    Recording r(missing.string());
    const FrameLayout layout = smallLayout(kFamilyFullScan);
    const SignalFrameBuilder builder(layout);
    const auto layers = pattern(layout.sampleBlockLength(), 1);
    r.logOn(true);
    for (int i = 0; i < 2; ++i) {
        const FrameResult result = r.feed(builder.liveScan(layers));
        EXPECT_EQ(result.status, FrameStatus::Accepted);
        EXPECT_EQ(result.logError, "log 文件创建失败！");
    }
    EXPECT_EQ(r.feed(builder.touchReport(0, {})).logError, "");
    EXPECT_EQ(rowCopy(r.store, kPlaneCurrent, 0), std::vector<uint8_t>(layers.begin(), layers.begin() + 10))
        << "the frame is still stored";
    EXPECT_FALSE(r.processor.recorder().recording());

    std::filesystem::create_directory(missing);
    EXPECT_EQ(r.feed(builder.liveScan(layers)).logError, "");
    EXPECT_TRUE(r.processor.recorder().recording());
    EXPECT_EQ(lines(readFile(missing / "1700000000.txt"))[0], "AD Log Data Version 2.0");
}

// Runs in a child process: the file-size limit it sets must not reach other tests.
std::string writeFailureScenario(const std::filesystem::path& root)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const FrameLayout layout = smallLayout(kFamilyBoundary);
    const SignalFrameBuilder builder(layout);
    std::vector<std::vector<uint8_t>> frames;
    for (uint8_t i = 0; i < 40; ++i)
        frames.push_back(builder.liveScan(pattern(layout.sampleBlockLength(), i),
                                          pattern(layout.boundaryBlockLength(), uint8_t(i + 1))));

    // The whole recording without a limit, to compare with.
    std::filesystem::create_directory(root / "free");
    {
        Recording free((root / "free").string());
        free.logOn(true);
        for (const auto& f : frames)
            free.feed(f);
    }
    const std::string whole = readFile(root / "free" / "1700000000.txt");
    constexpr rlim_t kLimit = 4096;
    if (whole.size() <= 2 * kLimit)
        return "the recording is too short for the test";

    std::filesystem::create_directory(root / "limited");
    Recording r((root / "limited").string());
    const rlimit limit{kLimit, kLimit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return "setrlimit failed";
    r.logOn(true);
    std::string error;
    size_t frame = 0;
    for (; frame < frames.size() && error.empty(); ++frame)
        error = r.feed(frames[frame]).logError;
    if (error.rfind("log 文件写入失败！\n", 0) != 0 || error.find("File too large") == std::string::npos)
        return "unexpected error text: " + error;
    if (r.processor.recorder().recording())
        return "still recording after the failure";
    const std::string kept = readFile(root / "limited" / "1700000000.txt");
    if (kept.size() != kLimit || whole.compare(0, kept.size(), kept) != 0)
        return "the bytes written before the failure are not intact";
    for (; frame < frames.size(); ++frame)
        if (!r.feed(frames[frame]).logError.empty())
            return "failure reported again while the switch stayed on";
    if (folderEntries(root / "limited").size() != 1)
        return "a new log was started without switching";
    r.logOn(false);
    r.feed(frames[0]);
    r.logOn(true);
    if (!r.feed(frames[0]).logError.empty() || !r.processor.recorder().recording())
        return "switching off and on again does not start a new log";
    if (folderEntries(root / "limited") != std::vector<std::string>{"1700000000-1.txt", "1700000000.txt"})
        return "the new log is not named apart";
    return "";
}

TEST(AdLogRecorderDeathTest, a_write_failure_stops_the_recording_and_keeps_what_was_written)
{
    TempDir dir;
    EXPECT_EXIT(
        {
            const std::string failure = writeFailureScenario(dir.path());
            std::fputs(failure.c_str(), stderr);
            std::_Exit(failure.empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace oculant
