// Importing a layout from INI text already read: the same rules as importing the file.

#include <gtest/gtest.h>

#include "calibration/LayoutFile.h"
#include "base/IniFile.h"

namespace oculant {
namespace {

TEST(LayoutIniImport, reads_the_keys_present_and_keeps_the_rest)
{
    const IniFile ini = IniFile::fromText("[layout]\r\nTOUCHX=1000\r\nareas=2\r\n[Area2]\r\ndispy1=7.5\r\n");
    LayoutTexts texts = builtInLayoutTexts();
    const LayoutTexts before = texts;
    const LayoutFileResult result = importLayoutIni(ini, texts);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.message, "配置及参数导入成功");
    EXPECT_EQ(texts.edits[LayoutTexts::kFrameX], "1000");
    EXPECT_EQ(texts.edits[LayoutTexts::kFrameY], before.edits[LayoutTexts::kFrameY]);
    ASSERT_EQ(texts.rows.size(), 2u);
    EXPECT_EQ(texts.rows[0], before.rows[0]);  // no Area1 section: row 1 keeps its cells
    EXPECT_EQ(texts.rows[1][7], "7.5");
    EXPECT_EQ(texts.rows[1][0], before.rows[1][0]);
}

TEST(LayoutIniImport, more_areas_than_the_grid_holds_changes_nothing)
{
    const IniFile ini = IniFile::fromText("[Layout]\ntouchx=1\nareas=26\n");
    LayoutTexts texts = builtInLayoutTexts();
    const LayoutTexts before = texts;
    const LayoutFileResult result = importLayoutIni(ini, texts);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "too many areas!\n");
    EXPECT_EQ(texts.edits, before.edits);
    EXPECT_EQ(texts.rows, before.rows);
}

}  // namespace
}  // namespace oculant
