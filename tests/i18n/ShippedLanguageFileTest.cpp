// The lan.ini shipped in data/: both languages complete and every key the program uses.

#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "tests/support/TextFiles.h"
#include "base/IniFile.h"
#include "i18n/Language.h"
#include "i18n/TextKeys.h"

namespace oculant {
namespace {

const std::string kShipped = std::string(OCULANT_SOURCE_DIR) + "/data/lan.ini";
const std::vector<std::string> kLanguages = {"English", "中文简体"};

TEST(ShippedLanguageFile, isUtf8WithDefaultEnglishAndTwoLanguages) {
    std::string error;
    auto ini = IniFile::load(kShipped, &error);
    ASSERT_TRUE(ini) << error;
    EXPECT_EQ(ini->encoding(), TextEncoding::Utf8);
    EXPECT_EQ(ini->sectionNames(), (std::vector<std::string>{"Default", "English", "中文简体"}));
    EXPECT_EQ(ini->keys("Default"), std::vector<std::string>{"Language"});
    EXPECT_EQ(ini->value("Default", "Language"), "English");
}

TEST(ShippedLanguageFile, bothLanguagesHoldExactlyTheProgramsKeys) {
    auto ini = IniFile::load(kShipped);
    ASSERT_TRUE(ini);
    std::set<std::string> wanted;
    for (auto key : textkeys::allTextKeys()) wanted.emplace(key);
    for (const auto& language : kLanguages) {
        SCOPED_TRACE(language);
        auto keys = ini->keys(language);
        std::set<std::string> present(keys.begin(), keys.end());
        for (const auto& key : wanted) {
            EXPECT_TRUE(present.count(key)) << "missing " << key;
            EXPECT_NE(ini->valueOr(language, key, ""), "") << "empty " << key;
        }
        for (const auto& key : present) EXPECT_TRUE(wanted.count(key)) << "unused " << key;
    }
}

// A repeated key would be shadowed by its first occurrence without notice.
TEST(ShippedLanguageFile, noKeyIsRepeatedWithinASection) {
    std::istringstream text(test::readFile(kShipped));
    std::map<std::string, std::set<std::string>> seen;
    std::string section, line;
    while (std::getline(text, line)) {
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        auto eq = line.find('=');
        ASSERT_NE(eq, std::string::npos) << line;
        EXPECT_TRUE(seen[section].insert(line.substr(0, eq)).second)
            << section << ": repeated " << line.substr(0, eq);
    }
}

TEST(ShippedLanguageFile, startsInEnglishAndSwitchesToChinese) {
    Language language(kShipped);
    auto choice = language.startupSelection();
    EXPECT_EQ(choice.items, kLanguages);
    EXPECT_EQ(choice.selectedIndex, 0u);
    EXPECT_EQ(language.LookupText("PanelUnconnect"), "Not connected");
    language.select("中文简体");
    EXPECT_EQ(language.LookupText("PanelUnconnect"), "触摸框未连接");
}

}  // namespace
}  // namespace oculant
