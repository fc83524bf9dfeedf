// What proves a calibration on the virtual frame, through oculant-cli: the residual of every
// target, the orientation check on mirrored and turned frames, the verify pass, and the way
// back (the set kept before each download, restore-calibration of an export).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "calibration/CalibrationExport.h"
#include "calibration/LayoutFile.h"
#include "tests/support/CliRun.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kProfiles = fs::path(OCULANT_SOURCE_DIR) / "data/profiles";

struct CalibrationTrustCli : test::CliTest {
    static test::CliRun cli(const std::string& profile, std::vector<std::string> command)
    {
        std::vector<std::string> args{"--virtual-frame=" + (kProfiles / profile).string(), "--simulated-time"};
        args.insert(args.end(), command.begin(), command.end());
        return test::runCli(args);
    }
    fs::path frameFolder() const { return dir / "data/oculant/calibrations/VF-000001"; }
};

double hypotOf(const json& pair) { return std::hypot(pair[0].get<double>(), pair[1].get<double>()); }

// The shipped misaligned display on a 1920 × 1200 screen, whose pixels are not as high on the
// frame as they are wide: each axis's millimetres come from its own pitch.
TEST_F(CalibrationTrustCli, misaligned_display_reports_each_residual_passes_a_verify_within_1_mm_and_flags_nothing)
{
    const test::CliRun r = cli("misaligned.ini", {"calibrate", "--grid", "3x3", "--screen", "1920x1200", "--verify", "5",
                                                  "--verify-limit-mm", "1", "--json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const json j = json::parse(r.out);
    std::array<double, 6> k{};
    for (size_t i = 0; i < 6; ++i)
        k[i] = j["coefficients"][i].get<double>();

    // 3 × 3 targets and the centres of the 4 cells. The residual is the map applied to the
    // touch, minus the target; 160 × 5.969 mm span the 1920 pixels, 90 × 5.969 mm the 1200.
    const json& points = j["points"];
    ASSERT_EQ(points.size(), 13u);
    double maxPx = 0, maxMm = 0;
    for (const json& p : points) {
        const double tx = p["touch"][0].get<double>(), ty = p["touch"][1].get<double>();
        const double mx = (k[0] * tx + k[1] * ty + k[2] + 0.5) * 1920 / 32768;
        const double my = (k[3] * tx + k[4] * ty + k[5] + 0.5) * 1200 / 32768;
        EXPECT_NEAR(p["residualPx"][0].get<double>(), mx - p["target"][0].get<double>(), 0.01) << p;
        EXPECT_NEAR(p["residualPx"][1].get<double>(), my - p["target"][1].get<double>(), 0.01) << p;
        EXPECT_NEAR(p["residualMm"][0].get<double>(), p["residualPx"][0].get<double>() * 955 / 1920, 1e-6) << p;
        EXPECT_NEAR(p["residualMm"][1].get<double>(), p["residualPx"][1].get<double>() * 537 / 1200, 1e-6) << p;
        maxPx = std::max(maxPx, hypotOf(p["residualPx"]));
        maxMm = std::max(maxMm, hypotOf(p["residualMm"]));
    }
    EXPECT_DOUBLE_EQ(j["maxErrorPixels"].get<double>(), maxPx);
    EXPECT_DOUBLE_EQ(j["maxErrorMm"].get<double>(), maxMm);
    EXPECT_GE(maxPx, j["errorPixels"].get<double>()) << "the largest is not below the mean";
    EXPECT_GT(maxPx, 0.0);

    EXPECT_EQ(j["orientation"], (json{{"mirroredX", false}, {"mirroredY", false}, {"swappedXY", false},
                                      {"rotationDeg", 0}, {"advice", ""}}));

    // Five fresh targets: none on a calibration target, one at the middle, one near each corner.
    const json& verify = j["verify"];
    ASSERT_EQ(verify["points"].size(), 5u) << verify;
    EXPECT_TRUE(verify["completed"].get<bool>());
    EXPECT_TRUE(verify["passed"].get<bool>()) << verify;
    EXPECT_LE(verify["maxErrorMm"].get<double>(), 1.0);
    EXPECT_LE(verify["meanErrorMm"].get<double>(), verify["maxErrorMm"].get<double>());
    EXPECT_EQ(verify["limitMm"].get<double>(), 1.0);
    std::vector<std::pair<double, double>> shown;
    for (const json& v : verify["points"]) {
        const double x = v["target"][0].get<double>(), y = v["target"][1].get<double>();
        for (const json& p : points)
            EXPECT_GT(std::hypot(x - p["target"][0].get<double>(), y - p["target"][1].get<double>()), 20.0)
                << "verify target " << v["target"] << " on calibration target " << p["target"];
        EXPECT_NEAR(v["errorPx"].get<double>(),
                    std::hypot(v["measured"][0].get<double>() - x, v["measured"][1].get<double>() - y), 1e-6);
        shown.emplace_back(x / 1920, y / 1200);
    }
    EXPECT_NEAR(shown[0].first, 0.5, 0.1);
    EXPECT_NEAR(shown[0].second, 0.5, 0.1);
    for (const auto& [cx, cy] : {std::pair{0.0, 0.0}, {1.0, 0.0}, {0.0, 1.0}, {1.0, 1.0}})
        EXPECT_TRUE(std::any_of(shown.begin() + 1, shown.end(),
                                [&](auto p) { return std::hypot(p.first - cx, p.second - cy) < 0.25; }))
            << "near the corner " << cx << "," << cy;

    // The first calibration of this frame had nothing to replace; the one now in it is kept.
    EXPECT_TRUE(j["kept"].is_null());
    const CalibrationImport current = readCalibrationExport((frameFolder() / "current.cfg").string());
    ASSERT_TRUE(current.coefficients) << current.refusal;
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(current.coefficients->k[i], j["coefficients"][i].get<float>());
}

// Mirrored X and a quarter turn are fitted all the same (the fit absorbs them) and flagged;
// choosing the display direction the advice names takes the turn up.
TEST_F(CalibrationTrustCli, mirrored_and_turned_frames_are_flagged_with_what_to_change)
{
    struct Case {
        const char* profile;
        std::vector<std::string> args;
        json orientation;  // without advice
        const char* advice;
    };
    const Case cases[] = {
        {"mirrored-x.ini", {}, {{"mirroredX", true}, {"mirroredY", false}, {"swappedXY", false}, {"rotationDeg", 0}},
         "Change the frame's \"Reverse X\" feature"},
        {"turned-90.ini", {}, {{"mirroredX", false}, {"mirroredY", false}, {"swappedXY", false}, {"rotationDeg", 90}},
         "This calibration already corrects the turn: touches land where they are shown. Choose display direction 1 "
         "(纵向) only for a desktop that turns its picture by 90°"},
        {"turned-90.ini", {"--direction", "1"},
         {{"mirroredX", false}, {"mirroredY", false}, {"swappedXY", false}, {"rotationDeg", 0}}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.profile) + (c.args.empty() ? "" : " --direction 1"));
        std::vector<std::string> args{"calibrate", "--no-aux", "--json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const test::CliRun r = cli(c.profile, args);
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        json o = json::parse(r.out)["orientation"];
        const std::string advice = o["advice"];
        o.erase("advice");
        EXPECT_EQ(o, c.orientation);
        if (*c.advice) {
            EXPECT_NE(advice.find(c.advice), std::string::npos) << advice;
        } else {
            EXPECT_EQ(advice, "");
        }
        EXPECT_NE(r.err.find(advice), std::string::npos) << "the report says it too: " << r.err;
        EXPECT_LT(json::parse(r.out)["maxErrorMm"].get<double>(), 1.0) << "the fit absorbs the orientation";
    }

    // The text output: the report with the largest error and the orientation, a line per target.
    const test::CliRun text = cli("mirrored-x.ini", {"calibrate", "--no-aux"});
    ASSERT_EQ(text.status, 0) << text.out << text.err;
    EXPECT_NE(text.out.find("Average calibration error: "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Largest error: "), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Orientation: touch X runs against the display (mirrored)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  4: ("), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("<- largest"), std::string::npos) << text.out;
}

// Export, then restore: the frame's flash holds the exported set again and its CRC checks; the
// set the restore replaced was kept first. A damaged or truncated file is refused, with why.
TEST_F(CalibrationTrustCli, export_then_restore_round_trips_and_a_damaged_file_is_refused)
{
    const std::string cfg = (dir / "cal").string();
    const test::CliRun calibrated = cli("misaligned.ini", {"calibrate", "--no-aux", "--export", cfg, "--json"});
    ASSERT_EQ(calibrated.status, 0) << calibrated.out << calibrated.err;
    const json coefficients = json::parse(calibrated.out)["coefficients"];

    const test::CliRun restored = cli("misaligned.ini", {"restore-calibration", cfg + ".cfg", "--yes", "--json"});
    ASSERT_EQ(restored.status, 0) << restored.out << restored.err;
    const json j = json::parse(restored.out);
    EXPECT_EQ(j["coefficients"], coefficients);
    EXPECT_TRUE(j["downloaded"].get<bool>());
    EXPECT_EQ(j["flashCrcOk"], true);
    EXPECT_EQ(j["flashCoefficients"], coefficients) << "set 0 as the frame's flash holds it";
    EXPECT_NE(restored.err.find("K0: "), std::string::npos) << "the coefficients are shown";
    // What the restore replaced (the calibration before it) was kept, byte for byte.
    ASSERT_TRUE(j["kept"].is_string()) << j;
    const std::string kept = j["kept"];
    EXPECT_EQ(fs::path(kept).parent_path(), frameFolder());
    EXPECT_EQ(test::readFile(kept), test::readFile(cfg + ".cfg"));

    std::string bytes = test::readFile(cfg + ".cfg");
    bytes[5] ^= 0x01;
    std::ofstream(dir / "damaged.cfg", std::ios::binary) << bytes;
    std::ofstream(dir / "short.cfg", std::ios::binary) << bytes.substr(0, 27);
    const struct {
        const char* file;
        const char* reason;
    } refused[] = {{"damaged.cfg", "does not match its coefficients"}, {"short.cfg", "27 bytes long, not the 28"}};
    for (const auto& c : refused) {
        SCOPED_TRACE(c.file);
        const test::CliRun r = cli("misaligned.ini", {"restore-calibration", (dir / c.file).string(), "--yes"});
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("K0: "), std::string::npos) << "nothing is shown or downloaded";
    }
    EXPECT_EQ(cli("misaligned.ini", {"restore-calibration", cfg + ".cfg"}).status, 64) << "--yes is the confirmation";
}

// Each area of a layout is verified on its own, with its own set and its own display rectangle.
TEST_F(CalibrationTrustCli, a_multi_area_run_verifies_every_area)
{
    const std::string layout = (dir / "layout.txt").string();
    ASSERT_TRUE(exportLayoutFile(layout, builtInLayoutTexts()).ok);
    const test::CliRun r = cli("misaligned.ini", {"calibrate", "--layout", layout, "--no-aux", "--verify", "5", "--json"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const json areas = json::parse(r.out)["areas"];
    ASSERT_EQ(areas.size(), 2u);
    for (int a = 0; a < 2; ++a) {
        SCOPED_TRACE(a);
        const json& v = areas[size_t(a)]["verify"];
        EXPECT_TRUE(v["passed"].get<bool>()) << v;
        ASSERT_EQ(v["points"].size(), 5u);
        for (const json& p : v["points"]) {
            // Area 1 is shown on pixels 0..720 of the 1920, area 2 on 720..1920.
            const double x = p["target"][0].get<double>();
            EXPECT_TRUE(a == 0 ? x < 720 : x > 720) << x;
        }
        EXPECT_FALSE(areas[size_t(a)]["orientation"]["mirroredX"].get<bool>());
        EXPECT_EQ(areas[size_t(a)]["points"].size(), 4u);
    }
}

}  // namespace
}  // namespace oculant
