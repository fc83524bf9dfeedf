#include "base/IniFile.h"

#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <fcntl.h>

#include <gtest/gtest.h>

#include "tests/support/TextFiles.h"

namespace oculant {
namespace {

using test::readFile;
using test::utf16Bytes;
using test::writeFile;

// ---- decoding --------------------------------------------------------------------------

struct EncodedCase {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    bool crlf;
};

std::vector<EncodedCase> encodedCases() {
    const std::u16string text = u"; lan\r\n[Default]\r\nLanguage=中文简体\r\n[中文简体]\r\nButton4=刷新\r\n";
    // GB18030: 中 D6D0, 文 CEC4, 简 BCF2, 体 CCE5, 刷 CBA2, 新 D0C2.
    const std::string gb = "; lan\n[Default]\nLanguage=\xD6\xD0\xCE\xC4\xBC\xF2\xCC\xE5\n"
                           "[\xD6\xD0\xCE\xC4\xBC\xF2\xCC\xE5]\nButton4=\xCB\xA2\xD0\xC2\n";
    const std::string utf8 = "; lan\n[Default]\nLanguage=中文简体\n[中文简体]\nButton4=刷新\n";
    return {
        {"utf16le_bom_crlf", "\xFF\xFE" + utf16Bytes(text, false), TextEncoding::Utf16LE, true},
        {"utf16be_bom_crlf", "\xFE\xFF" + utf16Bytes(text, true), TextEncoding::Utf16BE, true},
        {"gb18030_lf", gb, TextEncoding::Gb18030, false},
        {"utf8_lf", utf8, TextEncoding::Utf8, false},
        {"utf8_bom_lf", "\xEF\xBB\xBF" + utf8, TextEncoding::Utf8Bom, false},
    };
}

class IniFileRead : public test::ScratchFolder {};

TEST_F(IniFileRead, everyAcceptedEncodingReadsTheChineseSection) {
    for (const auto& c : encodedCases()) {
        SCOPED_TRACE(c.name);
        writeFile(file("lan.ini"), c.bytes);
        std::string error;
        auto ini = IniFile::load(file("lan.ini"), &error);
        ASSERT_TRUE(ini) << error;
        EXPECT_EQ(ini->encoding(), c.encoding);
        EXPECT_EQ(ini->crlf(), c.crlf);
        EXPECT_EQ(ini->sectionNames(), (std::vector<std::string>{"Default", "中文简体"}));
        EXPECT_EQ(ini->value("Default", "Language"), "中文简体");
        EXPECT_EQ(ini->value("中文简体", "Button4"), "刷新");
    }
}

TEST_F(IniFileRead, unchangedFileSavesByteForByte) {
    for (const auto& c : encodedCases()) {
        SCOPED_TRACE(c.name);
        writeFile(file("in.ini"), c.bytes);
        auto ini = IniFile::load(file("in.ini"));
        ASSERT_TRUE(ini);
        ASSERT_TRUE(ini->save(file("out.ini")));
        EXPECT_EQ(readFile(file("out.ini")), c.bytes);
    }
}

TEST_F(IniFileRead, undecodableOrOversizedFilesAreRefusedWithTheirName) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"utf16_odd_length", std::string("\xFF\xFE" "a\0b", 5), "UTF-16LE"},
        {"utf16_lone_surrogate", std::string("\xFF\xFE" "\x00\xD8" "a\0", 6), "UTF-16LE"},
        {"utf8_bom_then_garbage", "\xEF\xBB\xBF[a]\n\xFF\n", "UTF-8"},
        {"neither_utf8_nor_gb18030", "[a]\nk=\xFF\xFF\n", "GB18030"},
        {"utf16_without_bom", std::string("[\0a\0]\0", 6), "NUL"},
        {"too_large", std::string(IniFile::kMaxFileBytes + 1, 'x'), "larger than"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(file("bad.ini"), c.bytes);
        std::string error;
        EXPECT_FALSE(IniFile::load(file("bad.ini"), &error));
        EXPECT_NE(error.find(file("bad.ini")), std::string::npos) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    std::string error;
    EXPECT_FALSE(IniFile::load(file("absent.ini"), &error));
    EXPECT_NE(error.find("absent.ini"), std::string::npos);
}

// ---- lookup ----------------------------------------------------------------------------

TEST(IniFileLookup, privateProfileRules) {
    const auto ini = IniFile::fromText(
        "stray=before any section\n"
        "[English]\n"
        "; Title=commented out\n"
        "# Title=also commented out\n"
        "Title = Oculant  \n"
        "Empty=\n"
        "Blank=   \t\n"
        "title=second spelling loses\n"
        "no equals sign here\n"
        "=value without a key\n"
        "Expr=a=b\n"
        "  [ Other ]  trailing text\n"
        "Title=other section\n"
        "[ENGLISH]\n"
        "Late=from a repeated section\n"
        "Title=repeated section loses\n");
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"English", "Title", "Oculant"},           // blanks trimmed, first match wins
        {"english", "TITLE", "Oculant"},           // names without regard to case
        {"English", "Empty", ""},                  // present but empty: empty, not absent
        {"English", "Blank", ""},
        {"English", "Missing", std::nullopt},
        {"Nowhere", "Title", std::nullopt},
        {"English", "stray", std::nullopt},        // lines before the first section belong to none
        {"English", "no equals sign here", std::nullopt},
        {"English", "", std::nullopt},
        {"English", "Expr", "a=b"},                // the first '=' splits
        {"Other", "Title", "other section"},
        {"English", "Late", "from a repeated section"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.value(c.section, c.key), c.expected);
    }
    EXPECT_EQ(ini.valueOr("English", "Missing", "fallback"), "fallback");
    EXPECT_EQ(ini.valueOr("English", "Empty", "fallback"), "");
    EXPECT_EQ(ini.sectionNames(), (std::vector<std::string>{"English", "Other"}));
    EXPECT_EQ(ini.keys("english"),
              (std::vector<std::string>{"Title", "Empty", "Blank", "Expr", "Late"}));
    EXPECT_TRUE(ini.hasSection("OTHER"));
    EXPECT_FALSE(ini.hasSection("Oth"));
}

TEST(IniFileLookup, chineseNamesMatchExactly) {
    const auto ini = IniFile::fromText("[中文简体]\n按钮=确定\n");
    EXPECT_EQ(ini.value("中文简体", "按钮"), "确定");
    EXPECT_FALSE(ini.value("中文繁体", "按钮"));
    EXPECT_TRUE(IniFile::fromText("").sectionNames().empty());
}

// ---- editing in memory -----------------------------------------------------------------

std::string savedText(const IniFile& ini, const std::string& path) {
    EXPECT_TRUE(ini.save(path));
    return readFile(path);
}

class IniFileEdit : public test::ScratchFolder {};

TEST_F(IniFileEdit, setValuePlacesTheKeyWherePrivateProfileWritingWould) {
    const std::string base = "; top\n[A]\nKey = old ; note\nOther=1\n\n; about B\n[B]\nX=1\n";
    struct Case {
        const char* name;
        const char* section;
        const char* key;
        const char* value;
        std::string expected;
        const char* readBack;
    };
    const std::vector<Case> cases = {
        {"replace keeps spelling and blanks", "a", "KEY", "new", "; top\n[A]\nKey = new\nOther=1\n\n; about B\n[B]\nX=1\n", "new"},
        {"append after the section's last key", "A", "Added", "v", "; top\n[A]\nKey = old ; note\nOther=1\nAdded=v\n\n; about B\n[B]\nX=1\n", "v"},
        {"new section at the end", "C", "K", "v", base + "\n[C]\nK=v\n", "v"},
        {"line breaks cannot split the line", "B", "X", "two\nlines", "; top\n[A]\nKey = old ; note\nOther=1\n\n; about B\n[B]\nX=two lines\n", "two lines"},
        {"empty value", "B", "X", "", "; top\n[A]\nKey = old ; note\nOther=1\n\n; about B\n[B]\nX=\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto ini = IniFile::fromText(base);
        ini.setValue(c.section, c.key, c.value);
        EXPECT_EQ(savedText(ini, file("out.ini")), c.expected);
        EXPECT_EQ(ini.value(c.section, c.key), c.readBack);
    }
}

TEST_F(IniFileEdit, keyInASectionWithoutKeysGoesRightBelowTheHeader) {
    auto ini = IniFile::fromText("[Empty]\n; nothing yet\n[Next]\n");
    ini.setValue("Empty", "K", "v");
    EXPECT_EQ(savedText(ini, file("out.ini")), "[Empty]\nK=v\n; nothing yet\n[Next]\n");
}

TEST_F(IniFileEdit, lineEndsAndMissingFinalLineEndAreKept) {
    auto ini = IniFile::fromText("[A]\r\nK=1\nL=2");
    ini.setValue("A", "M", "3");
    // Each old line keeps its own end; the new line takes the file's first style.
    EXPECT_EQ(savedText(ini, file("out.ini")), "[A]\r\nK=1\nL=2\r\nM=3");
}

TEST_F(IniFileEdit, writingTheLanguageKeepsCommentsSectionsBomAndCrlf) {
    const std::u16string before =
        u"; Oculant texts\r\n[Default]\r\nLanguage=English\r\n\r\n[English]\r\nButton4=Refresh\r\n"
        u"[中文简体]\r\n; 按钮\r\nButton4=刷新\r\n";
    const std::u16string after =
        u"; Oculant texts\r\n[Default]\r\nLanguage=中文简体\r\n\r\n[English]\r\nButton4=Refresh\r\n"
        u"[中文简体]\r\n; 按钮\r\nButton4=刷新\r\n";
    for (bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "UTF-16BE" : "UTF-16LE");
        const std::string bom = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        writeFile(file("lan.ini"), bom + utf16Bytes(before, bigEndian));
        std::string error;
        ASSERT_TRUE(IniFile::writeValue(file("lan.ini"), "Default", "Language", "中文简体", &error))
            << error;
        EXPECT_EQ(readFile(file("lan.ini")), bom + utf16Bytes(after, bigEndian));
    }
    const std::string utf8Before = "\xEF\xBB\xBF; c\r\n[Default]\r\nLanguage=English\r\n[English]\r\nA=b\r\n";
    writeFile(file("lan.ini"), utf8Before);
    ASSERT_TRUE(IniFile::writeValue(file("lan.ini"), "Default", "Language", "中文简体"));
    EXPECT_EQ(readFile(file("lan.ini")),
              "\xEF\xBB\xBF; c\r\n[Default]\r\nLanguage=中文简体\r\n[English]\r\nA=b\r\n");
}

TEST_F(IniFileEdit, gb18030FileStaysGb18030) {
    const std::string before = "[Default]\r\nLanguage=English\r\n[\xD6\xD0\xCE\xC4\xBC\xF2\xCC\xE5]\r\n";
    writeFile(file("lan.ini"), before);
    ASSERT_TRUE(IniFile::writeValue(file("lan.ini"), "Default", "Language", "中文简体"));
    EXPECT_EQ(readFile(file("lan.ini")),
              "[Default]\r\nLanguage=\xD6\xD0\xCE\xC4\xBC\xF2\xCC\xE5\r\n"
              "[\xD6\xD0\xCE\xC4\xBC\xF2\xCC\xE5]\r\n");
}

TEST_F(IniFileEdit, writeValueStartsAMissingFileAndRefusesAnUnreadableOne) {
    ASSERT_TRUE(IniFile::writeValue(file("new.ini"), "Default", "Language", "English"));
    EXPECT_EQ(readFile(file("new.ini")), "[Default]\nLanguage=English\n");

    const std::string garbage = "[Default]\nLanguage=\xFF\xFF\n";
    writeFile(file("bad.ini"), garbage);
    std::string error;
    EXPECT_FALSE(IniFile::writeValue(file("bad.ini"), "Default", "Language", "English", &error));
    EXPECT_NE(error.find("bad.ini"), std::string::npos);
    EXPECT_EQ(readFile(file("bad.ini")), garbage);
}

// ---- atomic replacement ----------------------------------------------------------------

// Child process body: writes a value too large for a 1 KiB file size limit. Without the signal
// ignored the kernel kills the writer mid-write (SIGXFSZ); with it ignored the write fails.
[[noreturn]] void writeBeyondFileSizeLimit(const std::string& path, bool ignoreSignal) {
    if (ignoreSignal) std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    limit.rlim_cur = limit.rlim_max = 1024;
    setrlimit(RLIMIT_FSIZE, &limit);
    std::string error;
    bool ok = IniFile::writeValue(path, "Default", "Language", std::string(4096, 'x'), &error);
    std::exit(!ok && error.find(path) != std::string::npos ? 0 : 1);
}

class IniFileSave : public test::ScratchFolder {
protected:
    const std::string original_ = "; keep me\n[Default]\nLanguage=English\n";
};

TEST_F(IniFileSave, readOnlyFolderFailsCleanlyAndKeepsTheOldFile) {
    writeFile(file("lan.ini"), original_);
    ASSERT_EQ(::chmod(folder_.c_str(), 0555), 0);
    // The write runs in a child that is not root, since root may write anywhere.
    EXPECT_EXIT(
        {
            test::dropRootIfAny();
            std::string error;
            bool ok = IniFile::writeValue(file("lan.ini"), "Default", "Language", "中文简体", &error);
            bool named = error.find(file("lan.ini")) != std::string::npos;
            bool denied = error.find("Permission denied") != std::string::npos;
            std::exit(!ok && named && denied ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(file("lan.ini")), original_);
    EXPECT_EQ(test::folderEntries(folder_), std::vector<std::string>{"lan.ini"});
}

TEST_F(IniFileSave, writerKilledMidWriteLeavesTheOldFileWhole) {
    writeFile(file("lan.ini"), original_);
    // The file size limit kills the writer in the middle of writing the new content.
    EXPECT_EXIT(writeBeyondFileSizeLimit(file("lan.ini"), false),
                ::testing::KilledBySignal(SIGXFSZ), "");
    EXPECT_EQ(readFile(file("lan.ini")), original_);
    const auto leftovers = test::folderEntries(folder_);
    ASSERT_EQ(leftovers.size(), 2u);  // the target and the half-written temporary file
    const std::string temp = leftovers[0] == "lan.ini" ? leftovers[1] : leftovers[0];
    const std::string tempBytes = readFile(file(temp));

    // The leftover disturbs neither the next read nor the next write, and is not touched.
    auto ini = IniFile::load(file("lan.ini"));
    ASSERT_TRUE(ini);
    EXPECT_EQ(ini->value("Default", "Language"), "English");
    ASSERT_TRUE(IniFile::writeValue(file("lan.ini"), "Default", "Language", "中文简体"));
    EXPECT_EQ(readFile(file("lan.ini")), "; keep me\n[Default]\nLanguage=中文简体\n");
    EXPECT_EQ(readFile(file(temp)), tempBytes);
}

TEST_F(IniFileSave, failedWriteReportsAndRemovesItsTemporaryFile) {
    writeFile(file("lan.ini"), original_);
    EXPECT_EXIT(writeBeyondFileSizeLimit(file("lan.ini"), true), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(readFile(file("lan.ini")), original_);
    EXPECT_EQ(test::folderEntries(folder_), std::vector<std::string>{"lan.ini"});
}

TEST_F(IniFileSave, targetIsReplacedByRenameOnly) {
    writeFile(file("lan.ini"), original_);
    ASSERT_EQ(::chmod(file("lan.ini").c_str(), 0640), 0);
    // A reader holding the old file keeps seeing all of it: the new content is a new file.
    int oldFd = ::open(file("lan.ini").c_str(), O_RDONLY);
    ASSERT_GE(oldFd, 0);
    struct stat before {};
    ASSERT_EQ(::stat(file("lan.ini").c_str(), &before), 0);

    ASSERT_TRUE(IniFile::writeValue(file("lan.ini"), "Default", "Language", "中文简体"));

    struct stat after {};
    ASSERT_EQ(::stat(file("lan.ini").c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    std::string seen(original_.size() + 16, '\0');
    ssize_t n = ::pread(oldFd, seen.data(), seen.size(), 0);
    ::close(oldFd);
    ASSERT_GE(n, 0);
    EXPECT_EQ(seen.substr(0, static_cast<size_t>(n)), original_);
    EXPECT_EQ(test::folderEntries(folder_), std::vector<std::string>{"lan.ini"});
}

TEST_F(IniFileSave, symbolicLinkIsFollowedAndKept) {
    std::filesystem::create_directory(file("real"));
    writeFile(file("real/lan.ini"), original_);
    std::filesystem::create_symlink("real/lan.ini", file("lan.ini"));
    ASSERT_TRUE(IniFile::writeValue(file("lan.ini"), "Default", "Language", "中文简体"));
    EXPECT_TRUE(std::filesystem::is_symlink(file("lan.ini")));
    EXPECT_EQ(readFile(file("real/lan.ini")), "; keep me\n[Default]\nLanguage=中文简体\n");
}

}  // namespace
}  // namespace oculant
