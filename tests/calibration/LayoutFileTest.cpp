#include <gtest/gtest.h>

#include <filesystem>

#include "calibration/ExportFileName.h"
#include "calibration/LayoutFile.h"
#include "tests/support/TempDir.h"

namespace oculant {
namespace {

std::string dataFile(const char* name)
{
    return std::string(OCULANT_SOURCE_DIR) + "/tests/data/calibration/" + name;
}

using test::readFile;
using test::writeFile;

TEST(LayoutFile, export_then_import_round_trips_the_texts)
{
    test::TempDir dir;
    const std::string path = exportFileName(dir.file("layout"), kLayoutFileExtension);
    ASSERT_EQ(std::filesystem::path(path).filename(), "layout.txt");
    LayoutTexts texts = builtInLayoutTexts();
    texts.rows.push_back({"1", "2", "3", "4", "5", "6", "7", "8"});
    const LayoutFileResult written = exportLayoutFile(path, texts);
    ASSERT_TRUE(written.ok);
    EXPECT_EQ(written.message, "配置及参数导出至：\n" + path);

    const std::string raw = readFile(path);
    EXPECT_EQ(raw.rfind("[Layout]\r\ntouchx=9200\r\ntouchy=2819\r\ndispx=8621.6\r\n", 0), 0u) << raw;
    EXPECT_NE(raw.find("areas=3\r\n"), std::string::npos);
    EXPECT_NE(raw.find("[Area3]\r\nframex0=1\r\n"), std::string::npos);

    LayoutTexts imported;
    imported.edits.fill("x");
    const LayoutFileResult read = importLayoutFile(path, imported);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.message, "配置及参数导入成功");
    EXPECT_EQ(imported.edits, texts.edits);
    EXPECT_EQ(imported.rows, texts.rows);
}

TEST(LayoutFile, export_over_an_old_file_keeps_none_of_its_keys)
{
    test::TempDir dir;
    const std::string path = writeFile(dir / "a.txt", "[Layout]\nstale=1\nareas=9\n[Area9]\nframex0=99\n");
    ASSERT_TRUE(exportLayoutFile(path, builtInLayoutTexts()).ok);
    const std::string raw = readFile(path);
    EXPECT_EQ(raw.find("stale"), std::string::npos);
    EXPECT_EQ(raw.find("Area9"), std::string::npos);
    EXPECT_NE(raw.find("areas=2"), std::string::npos);
}

TEST(LayoutFile, export_failure_is_reported)
{
    test::TempDir dir;
    const LayoutFileResult r = exportLayoutFile(dir.file("no/such/dir/a.txt"), builtInLayoutTexts());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "文件创建失败！");
}

TEST(LayoutFile, missing_area_section_keeps_what_the_grid_held)
{
    test::TempDir dir;
    const std::string path =
        writeFile(dir / "partial.txt", "[Layout]\ntouchx=5000\nareas=3\n[Area1]\nframex0=11\n[Area2]\nframex1=22\n");
    LayoutTexts texts = builtInLayoutTexts();
    texts.rows.push_back({"r3", "r3", "r3", "r3", "r3", "r3", "r3", "r3"});
    const LayoutTexts before = texts;
    ASSERT_TRUE(importLayoutFile(path, texts).ok);
    EXPECT_EQ(texts.edits[0], "5000");
    EXPECT_EQ(texts.edits[1], before.edits[1]) << "absent key keeps the edit's text";
    EXPECT_EQ(texts.rows[0][0], "11");
    EXPECT_EQ(texts.rows[0][1], before.rows[0][1]);
    EXPECT_EQ(texts.rows[1][2], "22");
    EXPECT_EQ(texts.rows[2], before.rows[2]);
}

TEST(LayoutFile, area_count_sets_the_rows)
{
    test::TempDir dir;
    const std::string fewer = writeFile(dir / "fewer.txt", "[Layout]\nareas=1\n");
    LayoutTexts texts = builtInLayoutTexts();
    ASSERT_TRUE(importLayoutFile(fewer, texts).ok);
    EXPECT_EQ(texts.rows.size(), 1u);

    const std::string none = writeFile(dir / "none.txt", "[Layout]\nareas=-4\n");
    ASSERT_TRUE(importLayoutFile(none, texts).ok);
    EXPECT_TRUE(texts.rows.empty());
}

TEST(LayoutFile, unreadable_or_oversized_files_change_nothing)
{
    test::TempDir dir;
    LayoutTexts texts = builtInLayoutTexts();
    const LayoutTexts before = texts;
    LayoutFileResult r = importLayoutFile(dir.file("absent.txt"), texts);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "文件打开失败！");
    EXPECT_EQ(texts.rows, before.rows);

    const std::string huge = writeFile(dir / "huge.txt", "[Layout]\ntouchx=1\nareas=100000000\n");
    r = importLayoutFile(huge, texts);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "too many areas!\n");
    EXPECT_EQ(texts.edits, before.edits);
    EXPECT_EQ(texts.rows, before.rows);
}

TEST(LayoutFile, windows_utf16_file_with_crlf_imports)
{
    LayoutTexts texts = builtInLayoutTexts();
    ASSERT_TRUE(importLayoutFile(dataFile("layout-utf16le-crlf.txt"), texts).ok);
    EXPECT_EQ(texts.edits, (std::array<std::string, 6>{"4000.0", "1000.0", "3800.0", "950.0", "100.0", "25.0"}));
    ASSERT_EQ(texts.rows.size(), 3u);
    EXPECT_EQ(texts.rows[2], (LayoutTexts::Row{"2000.0", "0.0", "4000.0", "1000.0", "1900.0", "0.0", "3800.0",
                                               "950.0"}));

    const LayoutRefresh r = refreshLayout(texts, 1920, 1080);
    ASSERT_TRUE(r.accepted);
    EXPECT_EQ(r.layout.areas[2].frameLogical, (FrameRect{16384, 0, 32768, 32768}));
    EXPECT_EQ(r.layout.areas[1].displayPixels.x1, 960);
}

TEST(LayoutFile, gb18030_file_with_any_case_names_imports)
{
    LayoutTexts texts = builtInLayoutTexts();
    ASSERT_TRUE(importLayoutFile(dataFile("layout-gb18030-crlf.ini"), texts).ok);
    EXPECT_EQ(texts.edits[0], "5000.0");
    EXPECT_EQ(texts.edits[1], "2819");
    ASSERT_EQ(texts.rows.size(), 1u);
    EXPECT_EQ(texts.rows[0][2], "2500.0");
    EXPECT_EQ(texts.rows[0][0], "0");
}

}  // namespace
}  // namespace oculant

namespace oculant {
namespace {

TEST(LayoutDialogFilter, pairs_become_dialog_entries_and_a_bracketed_pattern_is_not_repeated)
{
    EXPECT_EQ(dialogFilterText(kLayoutImportFilter), "配置文件(*.txt);;配置文件(*.ini)");
    EXPECT_EQ(dialogFilterText("Layout|*.txt"), "Layout (*.txt)");
    EXPECT_EQ(dialogFilterText("Layout|*.txt|orphan"), "Layout (*.txt)");
    EXPECT_EQ(dialogFilterText(""), "");
}

}  // namespace
}  // namespace oculant
