// Captures and recordings at their limits through caps and --replay: files of any size, lines
// of exactly the kernel's largest report and descriptor, ten-digit seconds, a file cut off in
// its last line, one line far too long, descriptors written as C arrays, and a frame whose
// reports carry no report id.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "backends/capture/CaptureFile.h"
#include "cli/Cli.h"
#include "tests/support/CliRun.h"

namespace oculant::cli {
namespace {

const std::string kNoIds = std::string(OCULANT_SOURCE_DIR) + "/tests/data/capture/frame-without-report-ids.txt";

// The virtual frame's descriptor as a recording's header.
const std::string kFrameHeader =
    "N: frame\nI: 3 1209 0c1a\n"
    "R: 31 06 00 ff 09 01 a1 01 15 00 26 ff 00 75 08 85 03 95 3f 09 02 81 00 85 04 95 3e 09 03 91 02 c0\n";

// "E: <time> <n> 03 03 ... " (n bytes).
std::string reportLine(const std::string& time, size_t n)
{
    std::string line = "E: " + time + " " + std::to_string(n);
    for (size_t i = 0; i < n; ++i)
        line += " 03";
    return line + "\n";
}

using CaptureLimits = test::CliTest;

TEST_F(CaptureLimits, caps_reads_a_capture_of_any_size_and_refuses_a_line_no_recording_holds)
{
    // About 4 MB of reports: more than the 1 MiB caps used to read at most.
    std::string big = kFrameHeader;
    for (int i = 0; i < 20000; ++i)
        big += reportLine("000001.000000", 64);
    ASSERT_GT(big.size(), size_t(4) << 20);
    const std::string path = write("big.txt", big);
    ASSERT_EQ(run({"caps", path, "--json"}), kExitOk) << err;
    EXPECT_EQ(nlohmann::json::parse(out)["devices"][0]["descriptorBytes"], 31);

    // One line of 8 MB: refused as it is read, with its number.
    const std::string oneLine = write("one-line.txt", kFrameHeader + "E: 000001.000000 " + std::string(8 << 20, '0'));
    EXPECT_EQ(run({"caps", oneLine}), kExitFailed);
    EXPECT_EQ(err, "caps: " + oneLine + ": line 4: longer than " + std::to_string(kMaxCaptureLineBytes) +
                       " characters, the longest line a recording holds (a report of 16384 bytes)\n");
    EXPECT_EQ(run({"--replay", oneLine, "list"}), kExitFailed);
    EXPECT_NE(err.find("line 4: longer than"), std::string::npos) << err;
}

TEST_F(CaptureLimits, the_largest_report_and_descriptor_the_kernel_passes_are_taken_and_one_byte_more_refused)
{
    // The frame's descriptor padded to 4096 bytes with global items before its End Collection.
    std::string descriptor = "R: 4096 06 00 ff 09 01 a1 01 15 00 26 ff 00 75 08 85 03 95 3f 09 02 81 00 85 04 95 3e 09 03 91 02 26 ff 00";
    for (int i = 0; i < (4096 - 34) / 2; ++i)
        descriptor += " 15 00";  // Logical Minimum (0)
    const std::string header = "N: frame\nI: 3 1209 0c1a\n" + descriptor + " c0\n";
    const std::string atLimits = write("limits.txt", header + reportLine("1767261600.000000", 16384) +
                                                         reportLine("1767261600.500000", 64));
    EXPECT_EQ(run({"--replay", atLimits, "list"}), kExitOk) << err;
    EXPECT_NE(out.find("replay:" + atLimits), std::string::npos) << out;

    const std::string tooLong = write("too-long.txt", header + reportLine("000000.000000", 16385));
    EXPECT_EQ(run({"--replay", tooLong, "list"}), kExitFailed);
    EXPECT_EQ(err, "oculant-cli: " + tooLong + ": line 4: E: length 16385 is outside 1-16384\n");
    const std::string elevenDigits = write("eleven.txt", header + reportLine("17672616000.000000", 64));
    EXPECT_EQ(run({"--replay", elevenDigits, "list"}), kExitFailed);
    EXPECT_NE(err.find("line 4: E: time is not"), std::string::npos) << err;
}

TEST_F(CaptureLimits, a_recording_cut_off_in_its_last_line_is_refused_with_that_line)
{
    const std::string whole = kFrameHeader + reportLine("000001.000000", 64) + reportLine("000001.020000", 64);
    const std::string cut = write("cut.txt", whole.substr(0, whole.size() - 2));  // "… 03 0"
    EXPECT_EQ(run({"--replay", cut, "info"}), kExitFailed);
    EXPECT_EQ(err, "oculant-cli: " + cut + ": line 5: the file ends inside this line (it has no line end)\n");
    EXPECT_EQ(run({"caps", cut}), kExitFailed);
    EXPECT_EQ(err, "caps: " + cut + ": line 5: the file ends inside this line (it has no line end)\n");
    // Cut after a whole byte, where the line would still read as a shorter report.
    const std::string ids = write("ids.txt", "N: frame\nI: 3 1209 0c1");
    EXPECT_EQ(run({"caps", ids}), kExitFailed);
    EXPECT_NE(err.find("line 2: the file ends inside this line"), std::string::npos) << err;
}

TEST_F(CaptureLimits, caps_takes_a_descriptor_written_as_a_c_array)
{
    const std::string hex = write("frame.hex",
                                  "06 00 ff 09 01 a1 01 15 00 26 ff 00 75 08 85 03 95 3f 09 02 81 00 85 04 95 3e 09 03 91 02 c0\n");
    const std::string c = write("frame.c",
                                "0x06, 0x00, 0xff,  // Usage Page (Vendor Defined 0xFF00)\n"
                                "0x09, 0x01,        // Usage (1)\n0xa1, 0x01,  // Collection (Application)\n"
                                "0x15, 0x00, 0x26, 0xff, 0x00, 0x75, 0x08,\n0x85, 0x03, 0x95, 0x3f, 0x09, 0x02, 0x81, 0x00,\n"
                                "0x85, 0x04, 0x95, 0x3e, 0x09, 0x03, 0x91, 0x02,\n0xc0  // End Collection\n");
    ASSERT_EQ(run({"caps", hex, "--json"}), kExitOk) << err;
    const std::string fromHex = out;
    ASSERT_EQ(run({"caps", c, "--json"}), kExitOk) << err;
    EXPECT_EQ(out, fromHex);
}

// A frame without report ids, recorded as the kernel gives its reports: its replay says what the
// live frame said, and a capture of that replay holds the same reports again.
TEST_F(CaptureLimits, a_frame_without_report_ids_replays_and_reads_back_from_its_capture)
{
    ASSERT_EQ(runOnFrame("", {"info", "--json"}), kExitOk) << err;
    const nlohmann::json live = nlohmann::json::parse(out);
    const std::string again = dir.file("again.txt");
    ASSERT_EQ(run({"--replay", kNoIds, "--simulated-time", "--capture", again, "info", "--json"}), kExitOk) << err;
    EXPECT_EQ(nlohmann::json::parse(out), live);

    std::vector<CaptureFile> original, recaptured;
    std::string error;
    ASSERT_TRUE(loadCaptureDevices(kNoIds, original, error)) << error;
    ASSERT_TRUE(loadCaptureDevices(again, recaptured, error)) << error;
    auto inputs = [](const CaptureFile& c) {
        std::vector<std::vector<uint8_t>> bytes;
        for (const CaptureEvent& e : c.events)
            if (e.direction == CaptureEvent::Direction::Input)
                bytes.push_back(e.bytes);
        return bytes;
    };
    ASSERT_FALSE(inputs(original[0]).empty());
    EXPECT_EQ(inputs(recaptured[0]), inputs(original[0]));
    EXPECT_EQ(inputs(original[0]).front().size(), 63u);  // no id byte in the file
}

}  // namespace
}  // namespace oculant::cli
