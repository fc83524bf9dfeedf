// oculant-cli calibrate --layout on the virtual frame, on its simulated clock: one capture per
// area of a layout file, then the block with the layout downloaded into the frame's flash.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "calibration/LayoutFile.h"
#include "tests/support/CliRun.h"
#include "tests/support/MisalignedDisplay.h"
#include "tests/support/TextFiles.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;

using misaligned::screenToFrame;

// The built-in two-area layout as a file would hold it, with CR LF line ends.
std::string twoAreaLayoutText(const std::string& area2DispX0 = "3233.1")
{
    return "[Layout]\r\ntouchx=9200\r\ntouchy=2819\r\ndispx=8621.6\r\ndispy=2819\r\ndispxoff=216.9\r\n"
           "dispyoff=0\r\nareas=2\r\n"
           "[Area1]\r\nframex0=0\r\nframey0=0\r\nframex1=3450\r\nframey1=2819\r\n"
           "dispx0=0\r\ndispy0=0\r\ndispx1=3233.1\r\ndispy1=2819\r\n"
           "[Area2]\r\nframex0=3450\r\nframey0=0\r\nframex1=9200\r\nframey1=2819\r\n"
           "dispx0=" + area2DispX0 + "\r\ndispy0=0\r\ndispx1=8621.6\r\ndispy1=2819\r\n";
}

// UTF-16LE with its byte-order mark, as Windows' profile functions write a Unicode file.
std::string utf16le(const std::string& ascii)
{
    return "\xFF\xFE" + test::utf16Bytes(std::u16string(ascii.begin(), ascii.end()), false);
}

struct CalibrateLayoutCli : test::CliTest {
    // On the misaligned display.
    int run(const std::vector<std::string>& command)
    {
        return runOnFrame(write("profile.ini", misaligned::profileText()), command);
    }
};

TEST_F(CalibrateLayoutCli, exported_built_in_layout_is_calibrated_per_area_and_lands_in_flash)
{
    const std::string layout = dir.file("layout.txt");
    ASSERT_TRUE(exportLayoutFile(layout, builtInLayoutTexts()).ok);
    const std::string exportName = dir.file("cal");
    ASSERT_EQ(run({"calibrate", "--layout", layout, "--export", exportName, "--json"}), 0) << out << err;
    const nlohmann::json j = nlohmann::json::parse(out);

    const nlohmann::json area1 = {0, 0, 12288, 32768};
    ASSERT_EQ(j["areas"].size(), 2u);
    EXPECT_EQ(j["areas"][0]["frameLogical"], area1);
    EXPECT_EQ(j["areas"][1]["frameLogical"][0], 12288);
    EXPECT_TRUE(j["downloaded"].get<bool>());
    EXPECT_EQ(j["flashCrcOk"], true);

    // What the frame holds: the multi-area flag, two areas and their rectangles.
    const nlohmann::json& flash = j["flash"];
    EXPECT_EQ(flash["flags"].get<uint32_t>() & 0x7u, 0x5u) << "calibrated, multi-area, no mask";
    EXPECT_EQ(flash["areaCount"], 2);
    ASSERT_EQ(flash["areas"].size(), 2u);
    EXPECT_EQ(flash["areas"][0], area1);
    EXPECT_EQ(flash["areas"][1], j["areas"][1]["frameLogical"]);

    // Each area's set undoes the display's misalignment for points of that area (area 1 is the
    // screen's left 720 of 1920 pixels).
    const std::pair<double, double> inArea[2] = {{6000, 16000}, {24000, 16000}};
    for (size_t a = 0; a < 2; ++a) {
        SCOPED_TRACE(a);
        const nlohmann::json& r = j["areas"][a];
        EXPECT_EQ(r["index"], a);
        EXPECT_LT(r["errorPixels"].get<double>(), 0.5);
        std::array<double, 6> k{};
        for (size_t i = 0; i < 6; ++i)
            k[i] = r["coefficients"][i].get<double>();
        const auto [sx, sy] = inArea[a];
        const auto [fx, fy] = screenToFrame(sx, sy);
        EXPECT_NEAR(k[0] * fx + k[1] * fy + k[2], sx, 0.002 * 32768);
        EXPECT_NEAR(k[3] * fx + k[4] * fy + k[5], sy, 0.002 * 32768);
    }

    // The export takes set 0, which a multi-area run gives to the first area.
    ASSERT_EQ(j["export"], exportName + ".cfg");
    std::ifstream in(exportName + ".cfg", std::ios::binary);
    std::array<float, 7> words{};
    in.read(reinterpret_cast<char*>(words.data()), sizeof words);
    ASSERT_EQ(in.gcount(), 28);
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(words[i], j["areas"][0]["coefficients"][i].get<float>()) << i;
}

TEST_F(CalibrateLayoutCli, utf16_crlf_layout_runs_and_the_text_output_lists_the_turned_rectangles)
{
    const std::string layout = write("unicode.txt", utf16le(twoAreaLayoutText()));
    ASSERT_EQ(run({"calibrate", "--layout", layout, "--direction", "1"}), 0) << out << err;
    EXPECT_NE(out.find("A1: x0=0, y0=0, x1=32768, y1=12288\n"), std::string::npos) << out;
    EXPECT_NE(out.find("A2: x0=0, y0=12288, "), std::string::npos) << out;
    EXPECT_NE(out.find("\nA1 Average calibration error: "), std::string::npos) << out;
    EXPECT_NE(out.find("\nA2 Average calibration error: "), std::string::npos) << out;
}

// Areas that cannot be calibrated are named before any capture opens: nothing is captured,
// downloaded, kept or exported, and --json says why.
TEST_F(CalibrateLayoutCli, areas_off_the_frame_or_display_reversed_or_overlapping_are_refused_before_any_capture)
{
    const auto edited = [](std::initializer_list<std::pair<const char*, const char*>> edits) {
        std::string text = twoAreaLayoutText();
        for (const auto& [from, to] : edits)
            text.replace(text.rfind(from), std::string(from).size(), to);
        return text;
    };
    const struct {
        const char* name;
        std::string layout;
        const char* reason;
    } cases[] = {
        // "9,200" reads as 9 mm: both areas then leave the frame.
        {"frame read as 9 mm", edited({{"touchx=9200", "touchx=9,200"}}),
         "A2: the frame rectangle (3450.0, 0.0) to (9200.0, 2819.0) mm leaves the frame (0 to 9.0 by 0 to 2819.0 mm)!"},
        {"display area past the display", edited({{"dispx0=3233.1", "dispx0=9000"}, {"dispx1=8621.6", "dispx1=9900"}}),
         "A2: the display rectangle (9000.0, 0.0) to (9900.0, 2819.0) mm leaves the display"},
        {"reversed", edited({{"framex0=3450", "framex0=9200"}, {"framex1=9200", "framex1=3450"}}),
         "A2: the frame rectangle (9200.0, 0.0) to (3450.0, 2819.0) mm needs x0 < x1 and y0 < y1!"},
        {"overlapping", edited({{"framex0=3450", "framex0=3000"}}), "A1 and A2 overlap on the frame!"},
    };
    const std::string exportName = dir.file("cal");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run({"calibrate", "--layout", write("bad.txt", c.layout), "--export", exportName, "--json"}),
                  cli::kExitFailed)
            << out << err;
        const nlohmann::json j = nlohmann::json::parse(out);
        EXPECT_NE(j["error"].get<std::string>().find(c.reason), std::string::npos) << j;
        EXPECT_FALSE(j["downloaded"].get<bool>());
        EXPECT_EQ(err.find("Average calibration error"), std::string::npos) << "no area was captured: " << err;
        EXPECT_FALSE(fs::exists(exportName + ".cfg"));
        EXPECT_FALSE(fs::exists(dir / "data/oculant/calibrations/VF-000001")) << "nothing was written, nothing kept";
    }
}

TEST_F(CalibrateLayoutCli, bad_layouts_are_refused_with_their_reason)
{
    struct Case {
        const char* name;
        std::string bytes;  // the file; empty: no file at all
        std::vector<std::string> extra;
        int exit;
        const char* text;
    };
    std::string noArea2Key = twoAreaLayoutText();
    noArea2Key.erase(noArea2Key.find("framey1=2819\r\ndispx0=3233.1"), 14);
    std::string zeroFrame = twoAreaLayoutText();
    zeroFrame.replace(zeroFrame.find("touchx=9200"), 11, "touchx=0");
    const Case cases[] = {
        {"missing file", "", {}, cli::kExitUsage, "cannot be read"},
        {"no areas", "[Layout]\r\ntouchx=1\r\n", {}, cli::kExitUsage, "declares no areas"},
        {"too many areas", "[Layout]\r\nareas=30\r\n", {}, cli::kExitUsage, "more areas than the grid holds"},
        {"24 areas", "[Layout]\r\ntouchx=1\r\ntouchy=1\r\ndispx=1\r\ndispy=1\r\ndispxoff=0\r\ndispyoff=0\r\nareas=24\r\n",
         {}, cli::kExitUsage, "too many areas!"},
        {"missing area key", noArea2Key, {}, cli::kExitUsage, "[Area2] lacks"},
        {"zero frame width", zeroFrame, {}, cli::kExitUsage, "must be positive"},
        {"extension", twoAreaLayoutText(), {"--extension", "3,3,0,0"}, cli::kExitUsage, "--extension does not apply"},
        {"zero-size area", twoAreaLayoutText("8621.6"), {}, cli::kExitFailed,
         "A2: the display rectangle (8621.6, 0.0) to (8621.6, 2819.0) mm needs x0 < x1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.bytes.empty() ? dir.file("absent.txt") : write("bad.txt", c.bytes);
        std::vector<std::string> args{"calibrate", "--layout", path};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        EXPECT_EQ(run(args), c.exit) << out << err;
        EXPECT_NE((out + err).find(c.text), std::string::npos) << out << err;
    }
}

}  // namespace
}  // namespace oculant
