// Damaged files: the language file (truncated, binary, in an unexpected encoding, too large,
// missing, spoiled while the tool runs), layout files and frame profiles. Each gives a clear
// error or its fallbacks, keeps what was there, and never crashes.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/FaultScenario.h"
#include "calibration/LayoutFile.h"
#include "calibration/MultiAreaLayout.h"
#include "base/IniFile.h"
#include "i18n/Language.h"

namespace oculant {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

std::string shippedLanguageFile() { return readFile(std::filesystem::path(OCULANT_SOURCE_DIR) / "data" / "lan.ini"); }

std::string randomBytes(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string bytes(n, '\0');
    for (char& c : bytes)
        c = char(random() & 0xFF);
    return bytes;
}

std::string utf16leWithoutBom(const std::string& ascii)
{
    std::string out;
    for (char c : ascii)
        out += c, out += '\0';
    return out;
}

struct LanguageCase {
    const char* name;
    std::optional<std::string> bytes;  // nullopt: no file
    bool message;                      // the start-up "missing file" message
    bool loadError;                    // a reason is given
    const char* selected;              // the language chosen at start ("" none)
    const char* panelConnect;          // LookupText("PanelConnect") afterwards
};

std::vector<LanguageCase> languageCases()
{
    const std::string shipped = shippedLanguageFile();
    // Cut one byte into the first Chinese value: the file ends inside a UTF-8 character.
    const size_t chinese = shipped.find("已连接");
    const std::string englishOnly = "[Default]\nLanguage=English\n[English]\nPanelConnect=Connected\n";
    return {
        {"missing", std::nullopt, true, false, "", "N/A"},
        {"empty", std::string(), false, false, "", "N/A"},
        {"cut_inside_a_character", shipped.substr(0, chinese + 1), false, false, "English", "Connected"},
        {"cut_inside_a_key", shipped.substr(0, shipped.find("PanelConnect=") + 7), false, false, "English", "N/A"},
        {"cut_inside_the_default_section", shipped.substr(0, shipped.find("Language=English") + 12), false, false, "", "N/A"},
        {"binary_garbage", randomBytes(4096, 5), false, true, "", "N/A"},
        {"utf16_without_byte_order_mark", utf16leWithoutBom(englishOnly), false, true, "", "N/A"},
        {"latin1_value", "[Default]\nLanguage=English\n[English]\nFormDiagCaption=Caf\xE9 touch\nPanelConnect=Connected\n",
         false, true, "", "N/A"},
        {"too_large", englishOnly + std::string(IniFile::kMaxFileBytes, ';'), false, true, "", "N/A"},
    };
}

TEST(FaultDamagedFiles, language_file_damage_gives_fallbacks_and_a_reason)
{
    for (const LanguageCase& c : languageCases()) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::filesystem::path path = dir.path() / "lan.ini";
        if (c.bytes)
            writeFile(path, *c.bytes);
        Language language(path.string());
        EXPECT_EQ(language.startupMessage().has_value(), c.message);
        EXPECT_EQ(!language.loadError().empty(), c.loadError) << language.loadError();
        const Language::StartupChoice choice = language.startupSelection();
        EXPECT_EQ(language.selected(), c.selected);
        EXPECT_EQ(choice.selectedIndex.has_value(), std::string(c.selected) != "");
        EXPECT_EQ(language.LookupText("PanelConnect"), c.panelConnect);
        EXPECT_EQ(language.LookupTextOr("PanelConnect", "fb"), std::string(c.panelConnect) == "N/A" ? "fb" : c.panelConnect);
        // Picking a language stays possible and writing the choice either works or says why;
        // the damaged bytes are not replaced by a half-written file.
        language.select("English");
        const Language::SaveResult saved = language.saveSelection();
        EXPECT_EQ(saved.saved, saved.statusText.empty());
        if (!saved.saved && c.bytes) {
            EXPECT_EQ(readFile(path), *c.bytes);
        }
    }
}

TEST(FaultDamagedFiles, a_language_file_spoiled_while_running_reads_as_missing_until_repaired)
{
    TempDir dir;
    const std::filesystem::path path = dir.path() / "lan.ini";
    writeFile(path, shippedLanguageFile());
    Language language(path.string());
    language.startupSelection();
    ASSERT_EQ(language.LookupText("PanelConnect"), "Connected");
    int tick = 0;
    auto touch = [&] {  // a new time stamp, as a later save has
        std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(++tick));
    };
    for (const std::string& spoiled : {randomBytes(2048, 9), utf16leWithoutBom("[English]\nPanelConnect=X\n")}) {
        writeFile(path, spoiled);
        touch();
        // An unreadable file gives the texts of a missing one, with the reason; the selection
        // (the selector's text) stays.
        EXPECT_EQ(language.LookupText("PanelConnect"), "N/A");
        EXPECT_EQ(language.LookupTextOr("PanelConnect", "Connected"), "Connected");
        EXPECT_FALSE(language.loadError().empty());
        EXPECT_EQ(language.selected(), "English");
    }
    writeFile(path, "[English]\nPanelConnect=Linked\n");
    touch();
    EXPECT_EQ(language.LookupText("PanelConnect"), "Linked");
    EXPECT_TRUE(language.loadError().empty());
}

struct LayoutCase {
    const char* name;
    std::optional<std::string> bytes;
    bool ok;
    // Expected texts after the import, as changes to the built-in layout.
    std::function<void(LayoutTexts&)> change;
};

TEST(FaultDamagedFiles, layout_file_damage_changes_nothing_or_only_what_the_file_holds)
{
    const std::vector<LayoutCase> cases = {
        {"missing", std::nullopt, false, [](LayoutTexts&) {}},
        {"binary_garbage", randomBytes(4096, 17), false, [](LayoutTexts&) {}},
        {"utf16_without_byte_order_mark", utf16leWithoutBom("[Layout]\ntouchx=1\nareas=1\n"), false, [](LayoutTexts&) {}},
        {"cut_inside_an_area", "[Layout]\r\ntouchx=100\r\nareas=2\r\n[Area1]\r\nframex0=5\r\nframey0=", true,
         [](LayoutTexts& t) {
             t.edits[LayoutTexts::kFrameX] = "100";
             t.rows[0][0] = "5";
             t.rows[0][1] = "";  // present and empty
         }},
        {"cut_inside_a_section_name", "[Layout]\ntouchy=7\nareas=1\n[Are", true,
         [](LayoutTexts& t) {
             t.edits[LayoutTexts::kFrameY] = "7";
             t.rows.resize(1);
         }},
        {"areas_not_a_number", "[Layout]\nareas=many\n", true, [](LayoutTexts& t) { t.rows.clear(); }},
        {"areas_negative", "[Layout]\nareas=-3\n", true, [](LayoutTexts& t) { t.rows.clear(); }},
        {"areas_beyond_every_integer", "[Layout]\nareas=99999999999999999999\n", false, [](LayoutTexts&) {}},
        {"too_many_areas", "[Layout]\nareas=26\n", false, [](LayoutTexts&) {}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::filesystem::path path = dir.path() / "layout.txt";
        if (c.bytes)
            writeFile(path, *c.bytes);
        LayoutTexts texts = builtInLayoutTexts();
        LayoutTexts expected = texts;
        c.change(expected);
        const LayoutFileResult r = importLayoutFile(path.string(), texts);
        EXPECT_EQ(r.ok, c.ok) << r.message;
        EXPECT_FALSE(r.message.empty());
        EXPECT_EQ(texts.edits, expected.edits);
        EXPECT_EQ(texts.rows, expected.rows);
        // Whatever was imported, the refresh parses it without trouble.
        const LayoutRefresh refreshed = refreshLayout(texts, 1920, 1080);
        EXPECT_TRUE(refreshed.accepted) << refreshed.message;
    }
}

TEST(FaultDamagedFiles, a_damaged_frame_profile_is_refused_naming_the_file)
{
    TempDir dir;
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"binary", randomBytes(1024, 23)},
        {"truncated number", "[Geometry]\nXBoards=32,32,"},
        {"utf16", utf16leWithoutBom("[Frame]\nModelCode=3\n")},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const std::filesystem::path path = dir.path() / "profile.ini";
        writeFile(path, bytes);
        const ProfileResult r = loadVirtualFrameProfile(path.string());
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("profile.ini"), std::string::npos) << r.error;
    }
    const ProfileResult missing = loadVirtualFrameProfile((dir.path() / "absent.ini").string());
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("absent.ini"), std::string::npos) << missing.error;
}

}  // namespace
}  // namespace oculant
