// Reading INI text and languages that are already in memory (bytes taken from elsewhere than a
// file, built-in defaults, the fuzz targets): the same results as reading the file.

#include <filesystem>

#include <gtest/gtest.h>

#include "tests/support/TextFiles.h"
#include "base/IniFile.h"
#include "i18n/Language.h"

namespace oculant {
namespace {

using test::utf16Bytes;
using test::writeFile;

struct BytesCase {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
};

std::vector<BytesCase> bytesCases() {
    const std::u16string text = u"[中文简体]\r\nButton4 = 刷新 \r\nEmpty=\r\n";
    return {
        {"utf16le", "\xFF\xFE" + utf16Bytes(text, false), TextEncoding::Utf16LE},
        {"utf16be", "\xFE\xFF" + utf16Bytes(text, true), TextEncoding::Utf16BE},
        {"gb18030", "[\xD6\xD0\xCE\xC4\xBC\xF2\xCC\xE5]\nButton4 = \xCB\xA2\xD0\xC2 \nEmpty=\n", TextEncoding::Gb18030},
        {"utf8_bom", "\xEF\xBB\xBF[中文简体]\nButton4 = 刷新 \nEmpty=\n", TextEncoding::Utf8Bom},
    };
}

TEST(IniFromBytes, decodes_every_encoding_as_loading_the_file_does) {
    const test::TempDir dir;
    const std::string path = dir.file("in-memory.ini");
    for (const BytesCase& c : bytesCases()) {
        SCOPED_TRACE(c.name);
        std::string error = "untouched";
        const std::optional<IniFile> fromBytes = IniFile::fromBytes(c.bytes, &error);
        ASSERT_TRUE(fromBytes.has_value()) << error;
        writeFile(path, c.bytes);
        const std::optional<IniFile> loaded = IniFile::load(path);
        ASSERT_TRUE(loaded.has_value());

        EXPECT_EQ(fromBytes->encoding(), c.encoding);
        EXPECT_EQ(fromBytes->sectionNames(), std::vector<std::string>{"中文简体"});
        EXPECT_EQ(fromBytes->value("中文简体", "button4"), std::optional<std::string>("刷新"));
        EXPECT_EQ(fromBytes->value("中文简体", "Empty"), std::optional<std::string>(""));
        EXPECT_EQ(fromBytes->keys("中文简体"), loaded->keys("中文简体"));
        EXPECT_EQ(fromBytes->crlf(), loaded->crlf());
    }
    std::filesystem::remove(path);
}

TEST(IniFromBytes, refuses_what_no_text_file_holds_and_says_why) {
    const struct {
        const char* name;
        std::string bytes;
    } refused[] = {
        {"nul_bytes", std::string("[A]\nK=\0V\n", 9)},
        {"bad_utf8_after_bom", "\xEF\xBB\xBF[A]\n\xFF\xFE\xFD"},
        {"odd_utf16", "\xFF\xFE\x41"},
        {"too_large", std::string(IniFile::kMaxFileBytes + 1, 'a')},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_FALSE(IniFile::fromBytes(c.bytes, &error).has_value());
        EXPECT_FALSE(error.empty());
    }
}

TEST(LanguageFromIni, selects_and_looks_up_without_any_file) {
    const IniFile ini = IniFile::fromText("[Default]\nLanguage=english\n[中文简体]\nA=甲\n[English]\nA=a\nB=\n");
    Language language = Language::fromIni(ini);
    EXPECT_TRUE(language.fileExists());
    EXPECT_EQ(language.startupMessage(), std::nullopt);
    EXPECT_EQ(language.loadError(), "");

    const Language::StartupChoice choice = language.startupSelection();
    EXPECT_EQ(choice.items, (std::vector<std::string>{"中文简体", "English"}));
    ASSERT_EQ(choice.selectedIndex, std::optional<std::size_t>(1));
    EXPECT_EQ(language.selected(), "English");
    EXPECT_EQ(language.LookupText("a"), "a");
    EXPECT_EQ(language.LookupText("B"), "");
    EXPECT_EQ(language.LookupText("C"), "N/A");
    language.select("中文简体");
    EXPECT_EQ(language.LookupTextOr("A", "x"), "甲");
    EXPECT_TRUE(language.usesChineseReport());
}

TEST(LanguageFromIni, an_empty_text_offers_no_language) {
    Language language = Language::fromIni(IniFile::fromText(""));
    const Language::StartupChoice choice = language.startupSelection();
    EXPECT_TRUE(choice.items.empty());
    EXPECT_FALSE(choice.selectedIndex.has_value());
    EXPECT_EQ(language.LookupText("FormDiagCaption"), "N/A");
}

}  // namespace
}  // namespace oculant
