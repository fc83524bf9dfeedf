#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "calibration/CalibrationExport.h"
#include "calibration/ExportFileName.h"
#include "tests/support/TempDir.h"

namespace oculant {
namespace {

using test::readFileBytes;
using test::writeFile;

TEST(CalibrationExport, identity_bytes)
{
    const auto bytes = calibrationExportBytes(CalibrationCoefficients::identity());
    const std::array<uint8_t, 28> expected = {0x00, 0x00, 0x80, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0x00, 0x00, 0x80, 0x3F, 0, 0, 0, 0, 0x19, 0xB4, 0x9F, 0xC3};
    EXPECT_EQ(bytes, expected);
}

TEST(CalibrationExport, refused_without_a_completed_capture)
{
    CalibrationData data;
    EXPECT_EQ(exportRefusalKey(data), std::optional<std::string_view>("InvalidCalibData"));
    data.status = CalibrationData::kStatusComplete;
    EXPECT_EQ(exportRefusalKey(data), std::nullopt);
}

struct NameCase {
    const char* chosen;
    const char* extension;
    const char* expectedName;
};

class ExportNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ExportNames, extension_is_appended_unless_already_there_exactly)
{
    const NameCase& c = GetParam();
    const std::string full = exportFileName(std::string("/data/") + c.chosen, c.extension);
    EXPECT_EQ(full, std::string("/data/") + c.expectedName);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ExportNames,
    ::testing::Values(NameCase{"calib", ".cfg", "calib.cfg"}, NameCase{"calib.cfg", ".cfg", "calib.cfg"},
                      NameCase{"calib.CFG", ".cfg", "calib.CFG.cfg"}, NameCase{"cfg", ".cfg", "cfg.cfg"},
                      NameCase{".cfg", ".cfg", ".cfg"}, NameCase{"layout", ".txt", "layout.txt"},
                      NameCase{"a", ".txt", "a.txt"}, NameCase{"a.TXT", ".txt", "a.TXT.txt"},
                      NameCase{"layout.txt", ".txt", "layout.txt"}, NameCase{"布局.txt", ".txt", "布局.txt"},
                      NameCase{"布局", ".txt", "布局.txt"}));

TEST(CalibrationExport, writes_the_28_bytes_to_the_extended_name)
{
    test::TempDir dir;
    const std::string path = exportFileName(dir.file("frame.CFG"), kCalibrationExportExtension);
    ASSERT_EQ(std::filesystem::path(path).filename(), "frame.CFG.cfg");
    const CalibrationCoefficients k{{1.5f, -0.25f, 100.0f, 0.0f, 2.0f, -3.0f}};
    EXPECT_EQ(writeCalibrationExport(path, k), std::nullopt);
    const auto bytes = calibrationExportBytes(k);
    EXPECT_EQ(readFileBytes(path), std::vector<uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_FALSE(std::filesystem::exists(dir.file("frame.CFG")));
}

TEST(CalibrationExport, replaces_an_existing_file_and_leaves_no_temporary)
{
    test::TempDir dir;
    const std::string path = writeFile(dir / "old.cfg", std::string(100, 'x'));
    EXPECT_EQ(writeCalibrationExport(path, CalibrationCoefficients::identity()), std::nullopt);
    EXPECT_EQ(readFileBytes(path).size(), 28u);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

TEST(CalibrationExport, unwritable_place_reports_cannot_create)
{
    test::TempDir dir;
    EXPECT_EQ(writeCalibrationExport(dir.file("missing/sub/x.cfg"), CalibrationCoefficients::identity()),
              std::optional<std::string_view>("CanNotCreateFile"));
}

}  // namespace
}  // namespace oculant
