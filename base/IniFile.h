#pragma once
// INI files with private-profile semantics: sections in file order, section and key names
// compared case-insensitively, first match wins, an absent key gives the caller's fallback, a
// present empty value gives empty text, values trimmed of surrounding blanks. Reads UTF-8 (with
// or without BOM), UTF-16LE/BE with BOM and legacy GB18030/GBK text, CRLF or LF line ends.
// Writing a key keeps every other line, the encoding and the line ends, and replaces the file
// atomically (temporary file, then rename).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oculant {

enum class TextEncoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Gb18030 };

// Names as the file compares them: ASCII letters without regard to case, other bytes exactly.
bool sameIniName(std::string_view a, std::string_view b);
// A value's comma-separated items, each without its surrounding blanks ("a, b," gives a, b and
// an empty item).
std::vector<std::string> iniListItems(std::string_view value);

// One line of a file that says something, with its 1-based line number, for readers that must
// point at the line they refuse (a test plan). Blank lines and comments are left out.
struct IniEntry {
    enum class Kind { Section, Key, Other };  // Other: neither a header nor "key=value"
    std::size_t line = 0;
    Kind kind = Kind::Other;
    std::string section;  // the section the line is in (its own name for a header); empty before the first
    std::string key;      // Key lines: the key and its trimmed value
    std::string value;
};

class IniFile {
public:
    IniFile() = default;

    // Reads and decodes a file. On failure returns nullopt and, when given, sets *error to a
    // sentence naming the file and the reason.
    static std::optional<IniFile> load(const std::string& path, std::string* error = nullptr);
    // Parses text already in UTF-8 (used for built-in defaults and in tests).
    static IniFile fromText(std::string_view utf8);
    // Decodes and parses a file's bytes already in memory, as load does after reading; refuses
    // (nullopt, *error set to the reason) what load refuses.
    static std::optional<IniFile> fromBytes(std::string_view bytes, std::string* error = nullptr);

    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string valueOr(std::string_view section, std::string_view key, std::string_view fallback) const;
    bool hasSection(std::string_view section) const;
    std::vector<std::string> sectionNames() const;                 // file order, first spelling
    std::vector<std::string> keys(std::string_view section) const;  // file order, first spelling
    // Every line but blanks and comments, in file order, duplicates included.
    std::vector<IniEntry> entries() const;

    // Changes or adds one key in memory, keeping every other line as it stands.
    void setValue(std::string_view section, std::string_view key, std::string_view value);
    // Writes the whole file in its original encoding and line ends, atomically.
    bool save(const std::string& path, std::string* error = nullptr) const;

    // Private-profile write of one key: loads the file (or starts an empty UTF-8 one when it
    // does not exist), sets the key and saves atomically.
    static bool writeValue(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view value, std::string* error = nullptr);

    TextEncoding encoding() const { return encoding_; }
    bool crlf() const { return crlf_; }

    // Files above this size are refused: a language or layout file is a few kilobytes.
    static constexpr std::size_t kMaxFileBytes = 4 * 1024 * 1024;

private:
    static IniFile fromDecoded(std::string_view utf8, TextEncoding encoding);
    std::optional<std::size_t> findKeyLine(std::string_view section, std::string_view key) const;
    std::optional<std::size_t> findSectionEnd(std::string_view section) const;
    void insertLine(std::size_t index, std::string line);
    std::string joinLines() const;

    std::vector<std::string> lines_;  // decoded UTF-8, without line ends
    std::vector<bool> lineCrlf_;      // per line: ended by CR LF (else LF); new lines take crlf_
    bool finalLineEnd_ = true;        // the last line is followed by a line end
    TextEncoding encoding_ = TextEncoding::Utf8;
    bool crlf_ = false;               // style of the file's first line end, used for new lines
};

}  // namespace oculant
