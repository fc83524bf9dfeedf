#pragma once
// The language file lan.ini beside the program and the lookup of user-visible texts by key.
// The selected language is the text of the main window's language selector; this class holds
// that text and the file, and returns texts. The file is re-read whenever it changes on disk,
// so a lookup always sees its current content. Used on the user-interface thread only.
// Owned by the main window; lives until it closes.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/IniFile.h"

namespace oculant {

inline constexpr std::string_view kNotAvailable = "N/A";
inline constexpr std::string_view kLanguageFileName = "lan.ini";
inline constexpr std::string_view kDefaultSection = "Default";
inline constexpr std::string_view kLanguageKey = "Language";
// What the selector shows before the list is filled, and the fallback of Default/Language.
inline constexpr std::string_view kDesignLanguage = "English";
// The one language whose name also selects the built-in Chinese calibration report.
inline constexpr std::string_view kChineseLanguage = "中文简体";

// The four-line message shown at start when the language file is missing.
std::string missingLanguageFileMessage(const std::string& fullPath);

class Language {
public:
    // The folder of the executable (with its trailing separator) followed by "lan.ini".
    static std::string pathBeside(std::string_view executablePath);

    explicit Language(std::string path);
    // A language over a file already read (a shipped default, a test, a fuzzer): no file lies
    // behind it, so lookups never re-read and fileExists() is true.
    static Language fromIni(IniFile file);

    const std::string& path() const { return path_; }
    bool fileExists() const;
    // Why the file could not be read (too large, not decodable); empty when it was read or is
    // simply missing. An unreadable file gives the same texts as a missing one.
    std::string loadError() const;

    // The selector's text. Lookups use it as the section name; empty means no language.
    const std::string& selected() const { return selected_; }
    void select(std::string_view section) { selected_ = section; }

    // The selector's list after start-up: every section but Default, in file order.
    struct StartupChoice {
        std::vector<std::string> items;
        std::optional<std::size_t> selectedIndex;  // nothing selected: no language applied
    };
    // Fills the list and selects the language named by Default/Language (fallback "English")
    // when it is one of the items; otherwise the selection becomes empty. Never writes.
    StartupChoice startupSelection();
    // The message for a missing file, or nullopt when the file exists (even when empty).
    std::optional<std::string> startupMessage() const;

    // The value of key in the selected section; "N/A" when the section or key is empty or
    // the key is absent. A present empty value gives empty text.
    std::string LookupText(std::string_view key) const;
    // The same with the caller's fallback in place of "N/A".
    std::string LookupTextOr(std::string_view key, std::string_view fallback) const;

    // The calibration report uses its Chinese wording only for this exact selector text.
    bool usesChineseReport() const { return selected_ == kChineseLanguage; }

    // Writes the selected language to Default/Language. The language stays applied either
    // way; on failure the result carries the status bar text saying so.
    struct SaveResult {
        bool saved = true;
        std::string statusText;  // empty when saved
    };
    SaveResult saveSelection();

private:
    struct FileStamp {
        bool exists = false;
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modifiedNs = 0;
        bool operator==(const FileStamp&) const = default;
    };
    FileStamp stampNow() const;
    const IniFile& current() const;

    std::string path_;
    std::string selected_{kDesignLanguage};
    // Cache of the file, refreshed when its stamp changes (mutable: lookups are logically const).
    mutable IniFile file_;
    mutable std::optional<FileStamp> stamp_;
    mutable std::string loadError_;
    bool inMemory_ = false;  // file_ was given, not read from path_
};

}  // namespace oculant
