// oculant-cli calibrate on the virtual frame, on its simulated clock: a virtual finger held on
// each target of a display that sits under the frame scaled, rotated and shifted.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "calibration/LayoutFile.h"
#include "protocol/Crc32.h"
#include "tests/support/CliRun.h"
#include "tests/support/MisalignedDisplay.h"

namespace oculant {
namespace {

using namespace misaligned;

struct CalibrateCli : test::CliTest {
    std::string profile(const std::string& text) { return write("profile.ini", text); }
    std::string misalignedProfile() { return profile(misaligned::profileText()); }
};

TEST_F(CalibrateCli, misaligned_display_is_fitted_downloaded_and_exported)
{
    const std::string exportName = dir.file("cal");
    ASSERT_EQ(runOnFrame(misalignedProfile(), {"calibrate", "--grid", "3x3", "--export", exportName, "--json"}), 0)
        << out << err;
    const nlohmann::json j = nlohmann::json::parse(out);
    ASSERT_EQ(j["coefficients"].size(), 6u);
    std::array<double, 6> k{};
    for (size_t i = 0; i < 6; ++i)
        k[i] = j["coefficients"][i].get<double>();

    // The fit is the inverse of the misalignment: screen points sent through the frame map back
    // onto themselves within 0.1 % of the span.
    for (const auto& [sx, sy] : {std::pair{2000.0, 2000.0}, {30000.0, 2000.0}, {2000.0, 30000.0}, {30000.0, 30000.0},
                                 {16384.0, 16384.0}}) {
        const auto [fx, fy] = screenToFrame(sx, sy);
        EXPECT_NEAR(k[0] * fx + k[1] * fy + k[2], sx, 0.001 * 32768) << sx << "," << sy;
        EXPECT_NEAR(k[3] * fx + k[4] * fy + k[5], sy, 0.001 * 32768) << sx << "," << sy;
    }
    const double t = kRotationDeg * M_PI / 180.0;
    EXPECT_NEAR(k[0], std::cos(t) / kScaleX, 0.001 * std::cos(t) / kScaleX);
    EXPECT_NEAR(k[4], std::cos(t) / kScaleY, 0.001 * std::cos(t) / kScaleY);

    EXPECT_LT(j["errorPixels"].get<double>(), 0.5);
    EXPECT_GE(j["errorPixels"].get<double>(), 0.0);
    EXPECT_TRUE(j["downloaded"].get<bool>());
    EXPECT_EQ(j["flashCrcOk"], true);

    // The export: set 0 as written, then the CRC of its six words.
    ASSERT_EQ(j["export"], exportName + ".cfg");
    const std::vector<uint8_t> bytes = test::readFileBytes(exportName + ".cfg");
    ASSERT_EQ(bytes.size(), 28u);
    std::array<uint32_t, 7> words{};
    for (size_t i = 0; i < 7; ++i)
        words[i] = uint32_t{bytes[4 * i]} | uint32_t{bytes[4 * i + 1]} << 8 | uint32_t{bytes[4 * i + 2]} << 16 |
                   uint32_t{bytes[4 * i + 3]} << 24;
    EXPECT_EQ(words[6], Crc32Words(words.data(), 6));
    float k0 = 0;
    std::memcpy(&k0, &words[0], 4);
    EXPECT_FLOAT_EQ(k0, float(k[0]));
}

TEST_F(CalibrateCli, text_output_is_the_report_then_the_end_of_the_download)
{
    ASSERT_EQ(runOnFrame(misalignedProfile(), {"calibrate", "--no-aux", "--direction", "2"}), 0) << out << err;
    EXPECT_NE(out.find("K0: "), std::string::npos) << out;
    EXPECT_NE(out.find("K5: "), std::string::npos) << out;
    EXPECT_NE(out.find("Average calibration error: "), std::string::npos) << out;
    // Direction 2 turns the targets half round: the map's diagonal is negative.
    EXPECT_NE(out.find("K0: -"), std::string::npos) << out;

    // On the default frame the fit's K5 is a few 1e-11 below zero: printed as zero, not as
    // "-0.000000", as are the residuals' zeros.
    ASSERT_EQ(runOnFrame("", {"calibrate"}), 0) << out << err;
    EXPECT_NE(out.find("K5: 0.000000\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("-0.000000"), std::string::npos) << out;
}

TEST_F(CalibrateCli, refusals_end_with_status_one_and_a_missing_frame_with_two)
{
    struct Case {
        const char* profile;
        std::vector<std::string> args;
        int exit;
        const char* text;  // in out or err
    };
    const Case cases[] = {
        {"[Frame]\nModelCode=11\n", {"calibrate"}, 1, ""},
        {"", {"calibrate", "--window", "1900,0,100,1080"}, 1, "Window Width out of range!"},
        {"[Frame]\nAnswerInfo=0\n", {"calibrate"}, 2, ""},
        {"", {"calibrate", "--grid"}, cli::kExitUsage, "option --grid wants a value"},
        {"", {"reset-calibration"}, cli::kExitUsage, "usage"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.profile + std::string(" ") + c.args.back());
        EXPECT_EQ(runOnFrame(profile(c.profile), c.args), c.exit) << out << err;
        EXPECT_NE((out + err).find(c.text), std::string::npos) << out << err;
    }
}

// A frame that stops taking reports after 300 bytes: every run that downloads says so and fails,
// and none claims the calibration is in the frame.
TEST_F(CalibrateCli, a_stalled_download_fails_reset_calibrate_and_the_multi_area_run)
{
    const std::string stall = profile(misaligned::profileText() + "\n[Faults]\nStallAfterBytes=300\n");
    const std::string aborted = "Download aborted: the frame did not take the whole calibration block. Written: 15%";

    EXPECT_EQ(runOnFrame(stall, {"reset-calibration", "--yes"}), cli::kExitFailed) << out << err;
    EXPECT_NE(out.find(aborted), std::string::npos) << out;

    EXPECT_EQ(runOnFrame(stall, {"calibrate", "--json"}), cli::kExitFailed) << out << err;
    nlohmann::json j = nlohmann::json::parse(out);
    EXPECT_FALSE(j["downloaded"].get<bool>());
    EXPECT_TRUE(j["flashCrcOk"].is_null()) << "the frame never completed a calibration write";
    EXPECT_NE(err.find(aborted), std::string::npos) << err;

    const std::string layout = dir.file("layout.txt");
    ASSERT_TRUE(exportLayoutFile(layout, builtInLayoutTexts()).ok);
    EXPECT_EQ(runOnFrame(stall, {"calibrate", "--layout", layout, "--json"}), cli::kExitFailed) << out << err;
    j = nlohmann::json::parse(out);
    EXPECT_EQ(j["areas"].size(), 2u);
    EXPECT_FALSE(j["downloaded"].get<bool>());
    EXPECT_TRUE(j["flash"].is_null());
}

TEST_F(CalibrateCli, reset_downloads_the_identity_with_a_good_crc)
{
    ASSERT_EQ(runOnFrame(profile(""), {"reset-calibration", "--yes"}), 0) << out << err;
    EXPECT_FALSE(out.empty());
}

}  // namespace
}  // namespace oculant
