// Capture files: the strict reader (a good file from a recording tool, each damage refused on its
// own line), the writer's exact text, and writer -> reader round trips.
#include <gtest/gtest.h>

#include <filesystem>

#include "backends/capture/CaptureFile.h"
#include "tests/support/TempDir.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;

// The three header lines of one device, and lines 1-4 of every malformed case below.
const std::string kDeviceHeader =
    "N: Touch Frame\n"
    "I: 3 1ff7 0f0f\n"
    "R: 3 06 00 ff\n";
const std::string kHeader = "# recorded on a bench\n" + kDeviceHeader;

TEST(CaptureFileReader, reads_a_recording_tool_file_with_every_line_type)
{
    const std::string text =
        "# Touch Frame\r\n"
        "R: 5 06 00 ff A1 01\r\n"  // upper-case hex from a hand edit is still hex
        "N: Touch Frame\r\n"
        "P: usb-0000:00:14.0-4/input0\r\n"
        "I: 3 1ff7 f0f\r\n"
        "D: 0\r\n"
        "E: 0.000000 2 03 10\r\n"  // the older tools wrote seconds unpadded
        "# W: 000000.100000 3 04 21 00\r\n"
        "# a note\r\n"
        "\r\n"
        "E: 000001.250000 4 03 30 02 ff\r\n";
    CaptureFile c;
    std::string error;
    ASSERT_TRUE(parseCaptureText(text, c, error)) << error;
    EXPECT_EQ(c.name, "Touch Frame");
    EXPECT_EQ(c.bus, 3);
    EXPECT_EQ(c.vendorId, 0x1ff7);
    EXPECT_EQ(c.productId, 0x0f0f);
    EXPECT_EQ(c.descriptor, (std::vector<uint8_t>{0x06, 0x00, 0xff, 0xa1, 0x01}));
    ASSERT_EQ(c.events.size(), 3u);
    EXPECT_EQ(c.inputCount(), 2u);
    EXPECT_EQ(c.events[0].timeUs, 0);
    EXPECT_EQ(c.events[1].direction, CaptureEvent::Direction::Output);
    EXPECT_EQ(c.events[1].timeUs, 100000);
    EXPECT_EQ(c.events[1].bytes, (std::vector<uint8_t>{0x04, 0x21, 0x00}));
    EXPECT_EQ(c.events[2].timeUs, 1250000);
    EXPECT_EQ(c.events[2].bytes, (std::vector<uint8_t>{0x03, 0x30, 0x02, 0xff}));
    EXPECT_EQ(c.durationUs(), 1250000);
    EXPECT_EQ(c.comments, (std::vector<std::string>{"Touch Frame"}));
}

TEST(CaptureFileReader, refuses_each_damage_on_its_own_line)
{
    struct Case {
        const char* what;
        std::string text;
        const char* error;  // the start of the expected error
    } cases[] = {
        {"length says more than the line holds", kHeader + "E: 000000.000000 3 03 10\n", "line 5: E: says 3 bytes but holds 2"},
        {"length says fewer", kHeader + "E: 000000.000000 1 03 10\n", "line 5: E: says 1 bytes but holds 2"},
        {"not hex", kHeader + "E: 000000.000000 2 03 1g\n", "line 5: E: byte 2 \"1g\" is not two hex digits"},
        {"one digit", kHeader + "E: 000000.000000 2 03 f\n", "line 5: E: byte 2 \"f\""},
        {"three digits", kHeader + "E: 000000.000000 1 100\n", "line 5: E: byte 1 \"100\""},
        {"time going back", kHeader + "E: 000002.000000 1 03\nE: 000001.999999 1 03\n",
         "line 6: E: time 000001.999999 goes back before 000002.000000"},
        {"a write going back before a report", kHeader + "E: 000002.000000 1 03\n# W: 000001.000000 1 04\n",
         "line 6: W: time"},
        {"five-digit microseconds", kHeader + "E: 000001.25000 1 03\n", "line 5: E: time is not"},
        {"no time", kHeader + "E: 1 03\n", "line 5: E: time is not"},
        {"negative length", kHeader + "E: 000000.000000 -1 03\n", "line 5: E: length is not a decimal number"},
        {"empty report", kHeader + "E: 000000.000000 0\n", "line 5: E: length 0 is outside 1-16384"},
        {"report before the descriptor", "N: x\nI: 3 1 2\nE: 000000.000000 1 03\nR: 1 00\n", "line 3: E: before the R: line"},
        {"report before the ids", "R: 1 00\nE: 000000.000000 1 03\n", "line 2: E: before the I: line"},
        {"descriptor length mismatch", "N: x\nR: 4 06 00 ff\n", "line 2: R: says 4 bytes but holds 3"},
        {"empty descriptor", "R: 0\n", "line 1: R: length 0 is outside 1-4096"},
        {"a second descriptor", kHeader + "R: 1 00\n", "line 5: a second R: line"},
        {"ids not hex", "I: 3 1ff7 xyz\n", "line 1: I: wants"},
        {"ids missing the product", "I: 3 1ff7\n", "line 1: I: wants"},
        {"name after the first report", kHeader + "E: 000000.000000 1 03\nN: y\n", "line 6: N: after the first report"},
        // Several devices: each needs its own header, and one clock runs through the file.
        {"a device left without its descriptor", "D: 0\nN: x\nI: 3 1 2\nD: 1\n" + kDeviceHeader,
         "line 4: D: 1 before the R: line of device 0"},
        {"the last device without its ids", kHeader + "D: 1\nR: 1 00\n", "line 7: the file ends without the I: line of device 1"},
        {"a report of a device without its descriptor", kHeader + "D: 1\nE: 000000.000000 1 03\n", "line 6: E: before the R: line"},
        {"time going back across devices", kHeader + "E: 000002.000000 1 03\nD: 1\n" + kDeviceHeader + "D: 0\n" +
         "E: 000001.000000 1 03\n", "line 11: E: time 000001.000000 goes back"},
        {"a second descriptor after coming back", kHeader + "D: 1\n" + kDeviceHeader + "D: 0\nR: 1 00\n",
         "line 10: a second R: line for device 0"},
        {"a device number that is not one", kHeader + "D: one\n", "line 5: D: wants a device number"},
        {"two device numbers", kHeader + "D: 1 2\n", "line 5: D: wants a device number"},
        {"a damaged report without its blank", kHeader + "E:000000.000000 2 03\n", "line 5: E: says 2 bytes but holds 1"},
        {"plain text only", "hello\n   - a note\n", "line 3: the file ends without its R: line"},
        {"ends without the descriptor", "N: x\nI: 3 1 2\n", "line 3: the file ends without its R: line"},
        {"ends without the ids", "# only\nR: 1 00\n", "line 3: the file ends without its I: line"},
        // A file cut off: its last line may read as a shorter valid one.
        {"the ids cut off", "R: 1 00\nI: 3 1209 0c1", "line 2: the file ends inside this line (it has no line end)"},
        {"a report cut off", kHeader + "E: 000001.000000 2 03 1", "line 5: the file ends inside this line"},
        {"a write cut off", kHeader + "# W: 000001.000000 1 03", "line 5: the file ends inside this line"},
        {"empty file", "", "line 1: the file ends without its R: line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CaptureFile capture;
        capture.name = "left from before";
        std::string error;
        EXPECT_FALSE(parseCaptureText(c.text, capture, error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        // Nothing half-read is handed out.
        EXPECT_TRUE(capture.name.empty());
        EXPECT_TRUE(capture.events.empty());
    }
}

TEST(CaptureFileReader, refuses_a_report_longer_than_the_kernel_buffer)
{
    std::string line = "E: 000000.000000 16385";
    for (int i = 0; i < 16385; ++i)
        line += " 00";
    CaptureFile c;
    std::string error;
    EXPECT_FALSE(parseCaptureText(kHeader + line + "\n", c, error));
    EXPECT_EQ(error, "line 5: E: length 16385 is outside 1-16384");
}

CaptureFile sampleCapture()
{
    CaptureFile c;
    c.comments = {"Oculant capture of virtual:0", ""};
    c.name = "Oculant capture of virtual:0";
    c.vendorId = 0x1ff7;
    c.productId = 0x0013;
    c.descriptor = {0x06, 0x00, 0xff, 0x09, 0x01};
    std::vector<uint8_t> everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.push_back(uint8_t(b));
    c.events = {
        {CaptureEvent::Direction::Output, 0, {0x04, 0x21, 0x00, 0x00}},
        {CaptureEvent::Direction::Input, 0, {0x03, 0x10, 0x00, 0x5a}},
        {CaptureEvent::Direction::Input, 1250000, {0xfc, 0x10, 0x0a}},
        {CaptureEvent::Direction::Input, 1250000, everyByte},
        {CaptureEvent::Direction::Output, 123456789012, {0x04, 0x11}},
    };
    return c;
}

bool sameCapture(const CaptureFile& a, const CaptureFile& b)
{
    if (a.events.size() != b.events.size())
        return false;
    for (size_t i = 0; i < a.events.size(); ++i)
        if (a.events[i].direction != b.events[i].direction || a.events[i].timeUs != b.events[i].timeUs ||
            a.events[i].bytes != b.events[i].bytes)
            return false;
    return a.name == b.name && a.bus == b.bus && a.vendorId == b.vendorId && a.productId == b.productId &&
           a.descriptor == b.descriptor && a.comments == b.comments;
}

TEST(CaptureFileWriter, writes_the_recording_tools_line_format)
{
    const std::string text = formatCaptureText(sampleCapture());
    EXPECT_EQ(text.rfind("# Oculant capture of virtual:0\n#\nN: Oculant capture of virtual:0\nI: 3 1ff7 0013\n"
                         "R: 5 06 00 ff 09 01\n# W: 000000.000000 4 04 21 00 00\nE: 000000.000000 4 03 10 00 5a\n"
                         "E: 000001.250000 3 fc 10 0a\n",
                         0),
              0u)
        << text;
    EXPECT_NE(text.find("E: 000001.250000 256 00 01 02"), std::string::npos);
    EXPECT_NE(text.find(" fe ff\n# W: 123456.789012 2 04 11\n"), std::string::npos);
    EXPECT_EQ(formatCaptureTime(999999), "000000.999999");
}

TEST(CaptureFileWriter, round_trips_through_the_reader)
{
    const CaptureFile original = sampleCapture();
    CaptureFile back;
    std::string error;
    ASSERT_TRUE(parseCaptureText(formatCaptureText(original), back, error)) << error;
    EXPECT_TRUE(sameCapture(original, back));
    // And the text it gives again is the same text.
    EXPECT_EQ(formatCaptureText(back), formatCaptureText(original));
}

TEST(CaptureFileWriter, saves_atomically_and_loads_back)
{
    const test::TempDir dir;
    const std::string path = dir.file("bench.txt");
    std::string error;
    ASSERT_TRUE(saveCaptureFile(path, sampleCapture(), error)) << error;
    CaptureFile back;
    ASSERT_TRUE(loadCaptureFile(path, back, error)) << error;
    EXPECT_TRUE(sameCapture(sampleCapture(), back));
    // Only the file itself is left: the temporary was renamed over it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

    // A damaged file names itself and the line.
    test::writeFile(path, kHeader + "E: 000000.000000 2 03\n");
    EXPECT_FALSE(loadCaptureFile(path, back, error));
    EXPECT_EQ(error, path + ": line 5: E: says 2 bytes but holds 1");
    EXPECT_FALSE(loadCaptureFile((dir / "missing.txt").string(), back, error));
    EXPECT_NE(error.find("missing.txt"), std::string::npos) << error;
    // A folder that does not exist: refused, nothing written.
    EXPECT_FALSE(saveCaptureFile((dir / "no" / "such.txt").string(), sampleCapture(), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace oculant
