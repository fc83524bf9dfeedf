#include "i18n/Language.h"

#include <sys/stat.h>

#include <cstdio>
#include <map>

#include <gtest/gtest.h>

#include "tests/support/TextFiles.h"
#include "i18n/LanguageApply.h"
#include "i18n/TextKeys.h"

namespace oculant {
namespace {

using test::readFile;
using test::writeFile;

const std::string kSample =
    "; sample\n"
    "[Default]\n"
    "Language=中文简体\n"
    "[English]\n"
    "PanelUnconnect=Not connected\n"
    "Empty=\n"
    "Label17=www.example.com\n"
    "[中文简体]\n"
    "PanelUnconnect=未连接\n";

class LanguageFile : public test::ScratchFolder {
protected:
    Language languageWith(const std::string& text) {
        writeFile(file("lan.ini"), text);
        return Language(file("lan.ini"));
    }
};

TEST(LanguagePath, fileLiesBesideTheExecutable) {
    EXPECT_EQ(Language::pathBeside("/opt/oculant/bin/oculant"), "/opt/oculant/bin/lan.ini");
    EXPECT_EQ(Language::pathBeside("/oculant"), "/lan.ini");
    EXPECT_EQ(Language::pathBeside("oculant"), "./lan.ini");
}

TEST_F(LanguageFile, lookupRules) {
    Language language = languageWith(kSample);
    // Before the list is filled the selector shows its design text.
    EXPECT_EQ(language.selected(), "English");
    struct Case {
        const char* section;
        const char* key;
        const char* text;
        const char* textOr;  // LookupTextOr with the fallback "fb"
    };
    const std::vector<Case> cases = {
        {"English", "PanelUnconnect", "Not connected", "Not connected"},
        {"english", "panelunconnect", "Not connected", "Not connected"},
        {"English", "Empty", "", ""},  // present but empty is not missing
        {"English", "Missing", "N/A", "fb"},
        {"English", "", "N/A", "fb"},
        {"", "PanelUnconnect", "N/A", "fb"},  // no language selected
        {"Klingon", "PanelUnconnect", "N/A", "fb"},
        {"中文简体", "PanelUnconnect", "未连接", "未连接"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        language.select(c.section);
        EXPECT_EQ(language.LookupText(c.key), c.text);
        EXPECT_EQ(language.LookupTextOr(c.key, "fb"), c.textOr);
    }
    // An empty selection means no language, even if the file has a section with an empty name.
    Language odd = languageWith("[]\nPanelUnconnect=nameless\n");
    odd.select("");
    EXPECT_EQ(odd.LookupText("PanelUnconnect"), "N/A");
    EXPECT_EQ(odd.LookupTextOr("PanelUnconnect", "fb"), "fb");
}

TEST_F(LanguageFile, startupSelection) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> items;
        std::optional<std::size_t> index;
    };
    const std::vector<Case> cases = {
        {"default names a language", kSample, {"English", "中文简体"}, 1},
        {"default without its key falls back to English",
         "[中文简体]\na=1\n[Default]\n[English]\n", {"中文简体", "English"}, 1},
        {"default names no section", "[Default]\nLanguage=Klingon\n[English]\n", {"English"}, {}},
        {"no default section", "[English]\n[中文简体]\n", {"English", "中文简体"}, {}},
        {"default in other case", "[DEFAULT]\nLanguage=english\n[English]\n", {"English"}, 0},
        {"only default", "[Default]\nLanguage=English\n", {}, {}},
        {"an empty Language= chooses no language, not a nameless section",
         "[]\nPanelUnconnect=nameless\n[Default]\nLanguage=\n", {""}, {}},
        {"empty file", "", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Language language = languageWith(c.text);
        auto choice = language.startupSelection();
        EXPECT_EQ(choice.items, c.items);
        EXPECT_EQ(choice.selectedIndex, c.index);
        EXPECT_EQ(language.selected(), c.index ? c.items[*c.index] : "");
        EXPECT_FALSE(language.startupMessage());  // the file exists, even when empty
        if (!c.index) {
            EXPECT_EQ(language.LookupText("PanelUnconnect"), "N/A");
        }
    }
}

TEST_F(LanguageFile, chineseReportOnlyForTheExactName) {
    Language language = languageWith(kSample);
    language.startupSelection();
    EXPECT_TRUE(language.usesChineseReport());
    language.select("English");
    EXPECT_FALSE(language.usesChineseReport());
    language.select("");
    EXPECT_FALSE(language.usesChineseReport());
}

TEST_F(LanguageFile, missingFileBehavesLikeEmptyAndHasItsMessage) {
    Language language(file("lan.ini"));
    auto choice = language.startupSelection();
    EXPECT_TRUE(choice.items.empty());
    EXPECT_EQ(language.LookupText("PanelUnconnect"), "N/A");
    const std::string path = file("lan.ini");
    EXPECT_EQ(language.startupMessage(),
              "未发现语言文件: \"" + path + "\"\n"
              "界面某些地方可能会显示成 \"N/A\"\n\n"
              "Can NOT find language file: \"" + path + "\"\n"
              "Something will be displayed as \"N/A\"");
    EXPECT_EQ(language.loadError(), "");
}

TEST_F(LanguageFile, unreadableFileGivesNotAvailableAndSaysWhy) {
    Language language = languageWith("[English]\nPanelUnconnect=\xFF\xFF\n");
    EXPECT_EQ(language.LookupText("PanelUnconnect"), "N/A");
    EXPECT_NE(language.loadError().find("lan.ini"), std::string::npos);
}

TEST_F(LanguageFile, lookupsFollowTheFileAsItChanges) {
    Language language = languageWith(kSample);
    EXPECT_EQ(language.LookupText("PanelUnconnect"), "Not connected");
    // Rewritten in place by an editor (new size).
    writeFile(file("lan.ini"), "[English]\nPanelUnconnect=Offline\n");
    EXPECT_EQ(language.LookupText("PanelUnconnect"), "Offline");
    // Replaced by rename (a new file), same size as before.
    ASSERT_TRUE(IniFile::writeValue(file("lan.ini"), "English", "PanelUnconnect", "Offlin2"));
    EXPECT_EQ(language.LookupText("PanelUnconnect"), "Offlin2");
    std::remove(file("lan.ini").c_str());
    EXPECT_EQ(language.LookupText("PanelUnconnect"), "N/A");
}

// ---- applying a language ---------------------------------------------------------------

// The windows as they stand: design captions, plus whatever a test changes.
struct FakeWindows {
    std::map<std::pair<std::string, std::string>, std::string> captions;

    FakeWindows() {
        using namespace textkeys;
        captions[{std::string(kMainWindow), ""}] = std::string(kMainWindowDesignCaption);
        for (const auto& c : kMainWindowControls) set(kMainWindow, c.control, c.design);
        set(kMainWindow, kMakerNameLabel, "Maker Inc.");
        set(kMainWindow, "Label17", "www.maker.example");
        set(kMainWindow, "Label36", kDevicePathDesignCaption);
        set(kSignalWindow, "", kSignalDesignCaption);
        for (const auto& c : kSignalCharts) set(kSignalWindow, c.control, c.design);
        for (const auto& c : kSignalMenu) set(kSignalWindow, c.control, c.design);
        set(kDrawTestWindow, "", kDrawTestCaption.design);
        for (const auto& c : kDrawTestMenu) set(kDrawTestWindow, c.control, c.design);
        set(kDiagnosticWindow, "", kDiagnosticCaption.design);
    }
    void set(std::string_view window, std::string_view control, std::string_view text) {
        captions[{std::string(window), std::string(control)}] = text;
    }
    std::string get(std::string_view window, std::string_view control) const {
        auto it = captions.find({std::string(window), std::string(control)});
        return it == captions.end() ? "<unknown>" : it->second;
    }
    CaptionState state(bool connected, bool recording) const {
        return {connected, recording,
                [this](const CaptionTarget& t) { return get(t.window, t.control); }};
    }
    void apply(const LanguageApplied& applied) {
        for (const auto& c : applied.captions) set(c.target.window, c.target.control, c.text);
    }
};

const std::string kFull =
    "[Default]\nLanguage=English\n"
    "[English]\nFormDiagCaption=Oculant\nPanelConnect=Connected\nPanelUnconnect=Not connected\n"
    "Label1=Model:\nLabel16=Oculant\nLabel17=Service tool\nLabel36=Device:\n"
    "DisplayOrientation1=Landscape\nDisplayOrientation3=Landscape (flipped)\n"
    "FormSignal=Signal view\nRecording=Recording\nChartSigX0=Long side X0\n"
    "PopupMenu11=Record data\nFormPoints=Draw test\nPopupMenu22=Fixed size\n"
    "FormImgDiag=Diagnostic\n"
    "[Sparse]\nLabel1=型号：\n";

TEST_F(LanguageFile, applyRecaptionsEveryWindow) {
    Language language = languageWith(kFull);
    language.startupSelection();
    FakeWindows windows;
    windows.set(textkeys::kMainWindow, textkeys::kStatusBar, "old status");
    auto applied = ComboBoxLanChange(language, false, windows.state(true, true));
    windows.apply(applied);

    using namespace textkeys;
    EXPECT_EQ(windows.get(kMainWindow, ""), "Oculant - Connected");
    EXPECT_EQ(windows.get(kMainWindow, kStatusBar), "");
    EXPECT_EQ(windows.get(kMainWindow, "Label1"), "Model:");
    EXPECT_EQ(windows.get(kMainWindow, "Label2"), "Ship Date:");  // absent: kept
    EXPECT_EQ(windows.get(kMainWindow, "Label16"), "Oculant");
    EXPECT_EQ(windows.get(kMainWindow, "Label17"), "Service tool");
    EXPECT_EQ(windows.get(kMainWindow, "Label36"), "Device:");
    EXPECT_EQ(applied.displayDirItems,
              (std::vector<std::string>{"Landscape", "portrait", "Landscape (flipped)",
                                        "portrait(flipped)"}));
    EXPECT_EQ(windows.get(kSignalWindow, ""), "Signal view - Recording");
    EXPECT_EQ(windows.get(kSignalWindow, "ChartSigX0"), "Long side X0");
    EXPECT_EQ(windows.get(kSignalWindow, "ChartSigX1"), "长边信号 X1");
    EXPECT_EQ(windows.get(kSignalWindow, "LogOn"), "Record data");
    EXPECT_EQ(windows.get(kSignalWindow, "NSignalQulity"), "信号质量");
    EXPECT_EQ(windows.get(kDrawTestWindow, ""), "Draw test");
    EXPECT_EQ(windows.get(kDrawTestWindow, "DrawLine"), "Draw Line");
    EXPECT_EQ(windows.get(kDrawTestWindow, "FixSize1"), "Fixed size");
    EXPECT_EQ(windows.get(kDiagnosticWindow, ""), "Diagnostic");
    EXPECT_TRUE(applied.saved);

    // Order of application: main caption, status bar, then the panels in their listed order.
    ASSERT_GT(applied.captions.size(), 2 + kMainWindowControls.size());
    EXPECT_EQ(applied.captions[0].target, (CaptionTarget{kMainWindow, ""}));
    EXPECT_EQ(applied.captions[1].target, (CaptionTarget{kMainWindow, kStatusBar}));
    for (std::size_t i = 0; i < kMainWindowControls.size(); ++i) {
        EXPECT_EQ(applied.captions[2 + i].target.control, kMainWindowControls[i].control);
    }
}

TEST_F(LanguageFile, sparseSectionKeepsCaptionsButBlanksAddressAndPathLabels) {
    Language language = languageWith(kFull);
    language.select("Sparse");
    FakeWindows windows;
    windows.apply(ComboBoxLanChange(language, false, windows.state(false, false)));

    using namespace textkeys;
    // No caption key: the whole current caption stays and the fallback connection text follows,
    // so each apply adds another part.
    const std::string first = std::string(kMainWindowDesignCaption) + " - Unonnected";
    EXPECT_EQ(windows.get(kMainWindow, ""), first);
    windows.apply(ComboBoxLanChange(language, false, windows.state(true, false)));
    EXPECT_EQ(windows.get(kMainWindow, ""), first + " - Connected");

    EXPECT_EQ(windows.get(kMainWindow, "Label1"), "型号：");
    EXPECT_EQ(windows.get(kMainWindow, "Label2"), "Ship Date:");
    EXPECT_EQ(windows.get(kMainWindow, "Label31"), "显示方向：");
    EXPECT_EQ(windows.get(kMainWindow, "Label16"), "Maker Inc.");
    EXPECT_EQ(windows.get(kMainWindow, "Label17"), "");
    EXPECT_EQ(windows.get(kMainWindow, "Label36"), "");
    // Captions built with LookupText show "N/A" for their absent keys.
    EXPECT_EQ(windows.get(kSignalWindow, ""), "N/A");
    EXPECT_EQ(windows.get(kDiagnosticWindow, ""), "Diagnostic");
}

TEST_F(LanguageFile, onlyTheUsersChoiceIsWritten) {
    Language language = languageWith(kFull);
    struct stat before {};
    ASSERT_EQ(::stat(file("lan.ini").c_str(), &before), 0);
    language.startupSelection();
    FakeWindows windows;
    ComboBoxLanChange(language, false, windows.state(false, false));
    struct stat after {};
    ASSERT_EQ(::stat(file("lan.ini").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_EQ(readFile(file("lan.ini")), kFull);

    language.select("Sparse");
    auto applied = ComboBoxLanChange(language, true, windows.state(false, false));
    EXPECT_TRUE(applied.saved);
    auto saved = IniFile::load(file("lan.ini"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->value("Default", "Language"), "Sparse");
    EXPECT_EQ(Language(file("lan.ini")).startupSelection().selectedIndex, 1u);
}

// Child process body: the user picks a language while the folder is read-only.
[[noreturn]] void chooseInReadOnlyFolder(const std::string& path) {
    test::dropRootIfAny();
    Language language(path);
    language.startupSelection();
    language.select("Sparse");
    FakeWindows windows;
    auto applied = ComboBoxLanChange(language, true, windows.state(false, false));
    windows.apply(applied);
    const std::string status = windows.get(textkeys::kMainWindow, textkeys::kStatusBar);
    bool ok = !applied.saved &&
              windows.get(textkeys::kMainWindow, "Label1") == "型号：" &&  // applied anyway
              status.rfind("Language choice not saved: ", 0) == 0 &&
              status.find(path) != std::string::npos;
    if (!ok) fprintf(stderr, "status: %s\n", status.c_str());
    std::exit(ok ? 0 : 1);
}

TEST_F(LanguageFile, failedWriteStillAppliesAndReportsInTheStatusBar) {
    writeFile(file("lan.ini"), kFull);
    ASSERT_EQ(::chmod(folder_.c_str(), 0555), 0);
    EXPECT_EXIT(chooseInReadOnlyFolder(file("lan.ini")), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(file("lan.ini")), kFull);
}

}  // namespace
}  // namespace oculant
