// The kept calibrations: one folder per serial that no other serial shares, a name per replaced
// set that no other run takes, and only the 20 most recent replaced sets beside the current one.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "calibration/CalibrationExport.h"
#include "calibration/CalibrationHistory.h"
#include "tests/support/TempDir.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> replacedIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind("replaced-", 0) == 0)
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CalibrationHistory, serials_that_differ_never_share_a_folder_and_print_without_control_codes)
{
    const CalibrationHistory h("/data");
    EXPECT_EQ(h.frameFolder("VF-000001"), "/data/VF-000001") << "plain serials keep their name";
    EXPECT_NE(h.frameFolder("A/B"), h.frameFolder("A_B"));
    EXPECT_EQ(h.frameFolder("A/B"), "/data/A_2FB");
    EXPECT_EQ(h.frameFolder("A_B"), "/data/A_5FB");
    EXPECT_EQ(h.frameFolder(".."), "/data/_2E.");
    EXPECT_EQ(h.frameFolder("N/A"), "") << "no serial";

    test::TempDir dir;
    const CalibrationHistory kept(dir.path().string());
    const std::string note = kept.keepBeforeDownload("X\x1b[31mY", 0).note;
    EXPECT_EQ(note.find('\x1b'), std::string::npos) << note;
    EXPECT_NE(note.find("X\\x1B[31mY"), std::string::npos) << note;
}

TEST(CalibrationHistory, replaced_sets_get_names_of_their_own_and_only_the_20_most_recent_stay)
{
    test::TempDir dir;
    const CalibrationHistory h(dir.path().string());
    const std::string folder = h.frameFolder("F1");
    ASSERT_EQ(h.recordWritten("F1", CalibrationCoefficients::identity()), "");
    // Three downloads in one second: three files, none replacing another.
    std::vector<std::string> paths;
    for (int i = 0; i < 3; ++i)
        paths.push_back(h.keepBeforeDownload("F1", 1767261600).path);
    EXPECT_EQ(replacedIn(folder), (std::vector<std::string>{"replaced-20260101-100000-2.cfg", "replaced-20260101-100000-3.cfg",
                                                            "replaced-20260101-100000.cfg"}));
    EXPECT_EQ(fs::path(paths[0]).filename(), "replaced-20260101-100000.cfg");

    // 25 more, a second apart: the 20 latest stay, the current set too.
    for (int i = 1; i <= 25; ++i)
        h.keepBeforeDownload("F1", 1767261600 + i);
    const std::vector<std::string> left = replacedIn(folder);
    ASSERT_EQ(left.size(), size_t(CalibrationHistory::kKeepReplaced));
    EXPECT_EQ(left.front(), "replaced-20260101-100006.cfg");
    EXPECT_EQ(left.back(), "replaced-20260101-100025.cfg");
    EXPECT_TRUE(fs::exists(folder + "/current.cfg"));
}

}  // namespace
}  // namespace oculant
