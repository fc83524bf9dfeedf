// INI text comes from files the user or Windows tools wrote: the language file lan.ini, the
// multi-area layout files and the virtual frame profiles. Each input is taken as a file's bytes
// (UTF-8 with or without BOM, UTF-16 with BOM, GB18030) and then read by all three readers.
//
// Invariants beside the sanitizers: the text read back from a rewritten file is the text that
// was read; the key list and the key lookup agree; a changed key reads back and leaves the
// others alone; the language list and selection are consistent; an imported layout fits the
// grid; a profile's parameter block decodes to the profile's boards.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "calibration/LayoutFile.h"
#include "calibration/MultiAreaLayout.h"
#include "link/ResponseDispatcher.h"
#include "backends/virtual/VirtualFrame.h"
#include "backends/virtual/VirtualFrameProfile.h"
#include "fuzz/FuzzCheck.h"
#include "base/IniFile.h"
#include "i18n/Language.h"
#include "base/TextCodec.h"

namespace {

using namespace oculant;

bool hasSurroundingBlank(std::string_view s)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    return !s.empty() && (blank(s.front()) || blank(s.back()));
}

// What save() would write reads back as the same text.
void checkReencoding(std::string_view bytes)
{
    const std::optional<DecodedText> decoded = decodeText(bytes);
    if (!decoded)
        return;
    const std::optional<std::string> encoded = encodeText(decoded->utf8, decoded->encoding);
    FUZZ_REQUIRE(encoded.has_value());
    const std::optional<DecodedText> again = decodeText(*encoded);
    FUZZ_REQUIRE(again.has_value());
    FUZZ_REQUIRE(again->utf8 == decoded->utf8);
}

// Lookups scan the lines, so checking every key of a large file is quadratic; the first keys of
// the first sections keep a run fast and still see every line kind.
constexpr size_t kCheckedSections = 8;
constexpr size_t kCheckedKeys = 32;

template <typename T>
std::vector<T> firstOf(std::vector<T> all, size_t count)
{
    if (all.size() > count)
        all.resize(count);
    return all;
}

void checkKeys(const IniFile& ini)
{
    for (const std::string& section : firstOf(ini.sectionNames(), kCheckedSections)) {
        FUZZ_REQUIRE(ini.hasSection(section));
        for (const std::string& key : firstOf(ini.keys(section), kCheckedKeys)) {
            const std::optional<std::string> value = ini.value(section, key);
            FUZZ_REQUIRE(value.has_value());
            FUZZ_REQUIRE(!hasSurroundingBlank(*value));
            FUZZ_REQUIRE(value->find('\n') == std::string::npos);
        }
    }
}

void checkSetValue(IniFile ini)
{
    const std::vector<std::string> sections = ini.sectionNames();
    const std::string section = sections.empty() ? std::string("Fuzz") : sections.front();
    const std::vector<std::string> keysBefore = firstOf(ini.keys(section), kCheckedKeys);
    std::vector<std::optional<std::string>> valuesBefore;
    for (const std::string& key : keysBefore)
        valuesBefore.push_back(ini.value(section, key));

    ini.setValue(section, "FuzzKey", "written value");
    FUZZ_REQUIRE(ini.value(section, "fuzzkey") == std::optional<std::string>("written value"));
    for (size_t i = 0; i < keysBefore.size(); ++i) {
        if (sameIniName(keysBefore[i], "FuzzKey"))
            continue;  // the key written, in the file's spelling
        FUZZ_REQUIRE(ini.value(section, keysBefore[i]) == valuesBefore[i]);
    }
}

void checkLanguage(const IniFile& ini)
{
    Language language = Language::fromIni(ini);
    const Language::StartupChoice choice = language.startupSelection();
    FUZZ_REQUIRE(choice.items.size() + (ini.hasSection("Default") ? 1 : 0) == ini.sectionNames().size());
    if (!choice.selectedIndex) {
        FUZZ_REQUIRE(language.selected().empty());
        FUZZ_REQUIRE(language.LookupText("FormDiagCaption") == kNotAvailable);
        return;
    }
    FUZZ_REQUIRE(*choice.selectedIndex < choice.items.size());
    FUZZ_REQUIRE(language.selected() == choice.items[*choice.selectedIndex]);
    for (const std::string& key : firstOf(ini.keys(language.selected()), kCheckedKeys))
        FUZZ_REQUIRE(language.LookupTextOr(key, "\x01") == *ini.value(language.selected(), key));
    FUZZ_REQUIRE(language.LookupText("") == kNotAvailable);
}

void checkLayout(const IniFile& ini)
{
    LayoutTexts texts = builtInLayoutTexts();
    const LayoutTexts before = texts;
    const LayoutFileResult result = importLayoutIni(ini, texts);
    if (!result.ok) {
        FUZZ_REQUIRE(texts.edits == before.edits && texts.rows == before.rows);
        return;
    }
    FUZZ_REQUIRE(texts.rows.size() <= size_t(kMaxGridAreas));
    refreshLayout(texts, 1920, 1080);
}

void checkProfile(const IniFile& ini)
{
    const ProfileResult result = parseVirtualFrameProfile(ini, "fuzz.ini");
    if (!result.ok) {
        FUZZ_REQUIRE(!result.error.empty());
        return;
    }
    const VirtualFrameProfile& p = result.profile;
    // Every profile the reader accepts makes a frame: the frame builder's layout rule is the
    // reader's (it threw, and aborted the CLI, on 41 X layers), and its block encodes.
    const VirtualFrame frame(p, [] { return int64_t(0); });
    const ParameterBlockImage image = buildParameterBlockImage(p);
    FUZZ_REQUIRE(image.ok);
    BoardLayoutTable table;
    const ParameterBlockVerdict verdict = parseParameterBlock(image.bytes.data(), image.bytes.size(), table);
    if (verdict == ParameterBlockVerdict::NotProgrammed)
        return;  // frames or a parameter byte of 0xFF reads as an unprogrammed frame
    FUZZ_REQUIRE(verdict == ParameterBlockVerdict::Parsed);
    FUZZ_REQUIRE(table.xBoards == p.xBoards.size() && table.yBoards == p.yBoards.size());
    for (size_t i = 0; i < p.xBoards.size(); ++i)
        FUZZ_REQUIRE(table.xElements[i] == p.xBoards[i]);
    for (size_t i = 0; i < p.yBoards.size(); ++i)
        FUZZ_REQUIRE(table.yElements[i] == p.yBoards[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkReencoding(bytes);
    std::string error;
    const std::optional<IniFile> ini = IniFile::fromBytes(bytes, &error);
    if (!ini) {
        FUZZ_REQUIRE(!error.empty());
        return 0;
    }
    checkKeys(*ini);
    checkSetValue(*ini);
    checkLanguage(*ini);
    checkLayout(*ini);
    checkProfile(*ini);
    return 0;
}
