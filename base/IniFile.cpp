#include "base/IniFile.h"

#include <utility>

#include "base/FileIo.h"
#include "base/TextCodec.h"

namespace oculant {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// A stray CR (last line of a CR LF file without its LF) counts as a blank too.
constexpr std::string_view kBlanks = " \t\r";

std::string_view trimBlanks(std::string_view s) {
    auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

char foldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Names compare without regard to ASCII case; other bytes (Chinese names) must match exactly.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    }
    return true;
}

bool isComment(std::string_view trimmed) {
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// "[name]" with optional blanks; text after the closing bracket is ignored.
std::optional<std::string_view> sectionName(std::string_view line) {
    auto t = trimBlanks(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    auto close = t.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trimBlanks(t.substr(1, close - 1));
}

struct KeyValue {
    std::string_view key;
    std::string_view value;
    size_t valueOffset;  // where the value starts in the line (after '=' and its blanks)
};

std::optional<KeyValue> keyValue(std::string_view line) {
    auto t = trimBlanks(line);
    if (t.empty() || isComment(t) || t.front() == '[') return std::nullopt;
    auto eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    auto key = trimBlanks(line.substr(0, eq));
    if (key.empty()) return std::nullopt;
    size_t offset = eq + 1;
    while (offset < line.size() && (line[offset] == ' ' || line[offset] == '\t')) ++offset;
    return KeyValue{key, trimBlanks(line.substr(eq + 1)), offset};
}

// A line break inside a name or value would split it into lines of its own.
std::string singleLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

void setError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

std::optional<DecodedText> readDecoded(const std::string& path, std::string* error,
                                       ReadFailure* failure) {
    auto bytes = readFileLimited(path, IniFile::kMaxFileBytes, error, failure);
    if (!bytes) return std::nullopt;
    std::string reason;
    auto decoded = decodeText(*bytes, &reason);
    if (!decoded) {
        if (failure) *failure = ReadFailure::Other;
        setError(error, "Cannot read \"" + path + "\": " + reason + ".");
    }
    return decoded;
}

}  // namespace

bool sameIniName(std::string_view a, std::string_view b) { return sameName(a, b); }

std::vector<std::string> iniListItems(std::string_view value)
{
    std::vector<std::string> items;
    for (size_t start = 0;;) {
        const size_t comma = value.find(',', start);
        items.emplace_back(trimBlanks(value.substr(start, comma == std::string_view::npos ? comma : comma - start)));
        if (comma == std::string_view::npos)
            return items;
        start = comma + 1;
    }
}

IniFile IniFile::fromDecoded(std::string_view text, TextEncoding encoding) {
    IniFile file;
    file.encoding_ = encoding;
    bool sawLineEnd = false;
    size_t pos = 0;
    while (pos < text.size()) {
        auto nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            file.lines_.emplace_back(text.substr(pos));
            file.lineCrlf_.push_back(false);  // set below once the file's style is known
            file.finalLineEnd_ = false;
            break;
        }
        auto line = text.substr(pos, nl - pos);
        bool cr = !line.empty() && line.back() == '\r';
        if (cr) line.remove_suffix(1);
        if (!sawLineEnd) {
            file.crlf_ = cr;
            sawLineEnd = true;
        }
        file.lines_.emplace_back(line);
        file.lineCrlf_.push_back(cr);
        pos = nl + 1;
    }
    if (!file.finalLineEnd_) file.lineCrlf_.back() = file.crlf_;
    return file;
}

IniFile IniFile::fromText(std::string_view utf8) {
    if (utf8.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        return fromDecoded(utf8.substr(kUtf8Bom.size()), TextEncoding::Utf8Bom);
    }
    return fromDecoded(utf8, TextEncoding::Utf8);
}

std::optional<IniFile> IniFile::fromBytes(std::string_view bytes, std::string* error) {
    if (bytes.size() > kMaxFileBytes) {
        setError(error, "it is larger than a language or layout file can be");
        return std::nullopt;
    }
    auto decoded = decodeText(bytes, error);
    if (!decoded) return std::nullopt;
    return fromDecoded(decoded->utf8, decoded->encoding);
}

std::optional<IniFile> IniFile::load(const std::string& path, std::string* error) {
    auto decoded = readDecoded(path, error, nullptr);
    if (!decoded) return std::nullopt;
    return fromDecoded(decoded->utf8, decoded->encoding);
}

std::optional<std::size_t> IniFile::findKeyLine(std::string_view section,
                                                std::string_view key) const {
    bool inSection = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = sectionName(lines_[i])) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection) continue;
        auto kv = keyValue(lines_[i]);
        if (kv && sameName(kv->key, key)) return i;
    }
    return std::nullopt;
}

// Index just after the last key of the first matching section (after its header when it has
// no key), so that comments and blank lines before the next section stay with that section.
std::optional<std::size_t> IniFile::findSectionEnd(std::string_view section) const {
    std::optional<std::size_t> end;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (auto name = sectionName(lines_[i])) {
            if (end) break;
            if (sameName(*name, section)) end = i + 1;
            continue;
        }
        if (end && keyValue(lines_[i])) end = i + 1;
    }
    return end;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    auto line = findKeyLine(section, key);
    if (!line) return std::nullopt;
    return std::string(keyValue(lines_[*line])->value);
}

std::string IniFile::valueOr(std::string_view section, std::string_view key,
                             std::string_view fallback) const {
    auto v = value(section, key);
    return v ? *v : std::string(fallback);
}

bool IniFile::hasSection(std::string_view section) const {
    for (const auto& line : lines_) {
        auto name = sectionName(line);
        if (name && sameName(*name, section)) return true;
    }
    return false;
}

std::vector<std::string> IniFile::sectionNames() const {
    std::vector<std::string> names;
    for (const auto& line : lines_) {
        auto name = sectionName(line);
        if (!name) continue;
        bool known = false;
        for (const auto& n : names) known = known || sameName(n, *name);
        if (!known) names.emplace_back(*name);
    }
    return names;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> result;
    bool inSection = false;
    for (const auto& line : lines_) {
        if (auto name = sectionName(line)) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection) continue;
        auto kv = keyValue(line);
        if (!kv) continue;
        bool known = false;
        for (const auto& k : result) known = known || sameName(k, kv->key);
        if (!known) result.emplace_back(kv->key);
    }
    return result;
}

std::vector<IniEntry> IniFile::entries() const {
    std::vector<IniEntry> result;
    std::string section;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const auto t = trimBlanks(lines_[i]);
        if (t.empty() || isComment(t)) continue;
        IniEntry e;
        e.line = i + 1;
        if (auto name = sectionName(lines_[i])) {
            section = std::string(*name);
            e.kind = IniEntry::Kind::Section;
        } else if (auto kv = keyValue(lines_[i])) {
            e.kind = IniEntry::Kind::Key;
            e.key = std::string(kv->key);
            e.value = std::string(kv->value);
        }
        e.section = section;
        result.push_back(std::move(e));
    }
    return result;
}

void IniFile::insertLine(std::size_t index, std::string line) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
    lineCrlf_.insert(lineCrlf_.begin() + static_cast<std::ptrdiff_t>(index), crlf_);
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string text = singleLine(value);
    if (auto line = findKeyLine(section, key)) {
        std::string& target = lines_[*line];
        target = target.substr(0, keyValue(target)->valueOffset) + text;
        return;
    }
    const std::string entry = singleLine(key) + "=" + text;
    if (auto end = findSectionEnd(section)) {
        insertLine(*end, entry);
        return;
    }
    if (!lines_.empty() && !trimBlanks(lines_.back()).empty()) insertLine(lines_.size(), "");
    insertLine(lines_.size(), "[" + singleLine(section) + "]");
    insertLine(lines_.size(), entry);
}

std::string IniFile::joinLines() const {
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
        text += lines_[i];
        if (i + 1 < lines_.size() || finalLineEnd_) text += lineCrlf_[i] ? "\r\n" : "\n";
    }
    return text;
}

bool IniFile::save(const std::string& path, std::string* error) const {
    std::string reason;
    auto bytes = encodeText(joinLines(), encoding_, &reason);
    if (!bytes) {
        setError(error, "Cannot save \"" + path + "\": " + reason + ".");
        return false;
    }
    return writeFileAtomically(path, *bytes, error);
}

bool IniFile::writeValue(const std::string& path, std::string_view section, std::string_view key,
                         std::string_view value, std::string* error) {
    ReadFailure failure = ReadFailure::None;
    std::string readError;
    IniFile file;
    if (auto decoded = readDecoded(path, &readError, &failure)) {
        file = fromDecoded(decoded->utf8, decoded->encoding);
    } else if (failure != ReadFailure::Missing) {
        // Never overwrite a file that could not be read: its content would be lost.
        setError(error, readError);
        return false;
    }
    file.setValue(section, key, value);
    return file.save(path, error);
}

}  // namespace oculant
