// Header comments survive a write and a read: one that reads like our own write ("W: ...") must
// not come back as an output event. The data file is the fuzzer's input that showed it.

#include <gtest/gtest.h>

#include "backends/capture/CaptureFile.h"
#include "tests/support/TempDir.h"

namespace oculant {
namespace {

const std::filesystem::path kData = std::filesystem::path(OCULANT_SOURCE_DIR) / "tests/data/capture";

TEST(CaptureFileComments, every_comment_reads_back_as_the_same_comment)
{
    const std::vector<std::string> comments = {"W: 000000.000000 1 00", "W:", "W:x", " W: 000000.000000 1 00",
                                               "", "plain", "#W: 1", "E: 000000.000001 1 00"};
    for (const std::string& comment : comments) {
        SCOPED_TRACE(comment);
        CaptureFile capture;
        capture.name = "frame";
        capture.descriptor = {0x06, 0x00, 0xFF};
        capture.comments = {comment};
        const std::string text = formatCaptureText(capture);
        CaptureFile back;
        std::string error;
        ASSERT_TRUE(parseCaptureText(text, back, error)) << error << "\n" << text;
        EXPECT_EQ(back.comments, capture.comments);
        EXPECT_TRUE(back.events.empty());
        EXPECT_EQ(formatCaptureText(back), text);
    }
}

TEST(CaptureFileComments, a_comment_without_its_blank_survives_a_rewrite)
{
    const std::string original = test::readFile(kData / "fuzz-comment-reads-as-write.txt");
    ASSERT_FALSE(original.empty());
    CaptureFile capture;
    std::string error;
    ASSERT_TRUE(parseCaptureText(original, capture, error)) << error;
    ASSERT_FALSE(capture.comments.empty());

    CaptureFile back;
    ASSERT_TRUE(parseCaptureText(formatCaptureText(capture), back, error)) << error;
    EXPECT_EQ(back.comments, capture.comments);
    EXPECT_EQ(back.events.size(), capture.events.size());
    EXPECT_EQ(back.descriptor, capture.descriptor);
}

TEST(CaptureFileComments, carriage_returns_before_a_line_end_are_not_text)
{
    CaptureFile capture;
    std::string error;
    ASSERT_TRUE(parseCaptureText("# note\r\r\r\nN: frame\r\r\nI: 3 1 2\nR: 1 06\r\n", capture, error)) << error;
    EXPECT_EQ(capture.comments, std::vector<std::string>{"note"});
    EXPECT_EQ(capture.name, "frame");

    // The fuzzer's input: a last comment line ending in a run of carriage returns, no line feed.
    const std::string original = test::readFile(kData / "fuzz-comment-ends-in-carriage-returns.txt");
    ASSERT_FALSE(original.empty());
    ASSERT_TRUE(parseCaptureText(original, capture, error)) << error;
    CaptureFile back;
    ASSERT_TRUE(parseCaptureText(formatCaptureText(capture), back, error)) << error;
    EXPECT_EQ(back.comments, capture.comments);
    EXPECT_EQ(back.name, capture.name);
}

}  // namespace
}  // namespace oculant
