#include "i18n/Language.h"

#include <sys/stat.h>

#include "i18n/TextKeys.h"

namespace oculant {

namespace {

std::string dq(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::string missingLanguageFileMessage(const std::string& fullPath) {
    return "未发现语言文件: " + dq(fullPath) + "\n" +
           "界面某些地方可能会显示成 " + dq(std::string(kNotAvailable)) + "\n\n" +
           "Can NOT find language file: " + dq(fullPath) + "\n" +
           "Something will be displayed as " + dq(std::string(kNotAvailable));
}

std::string Language::pathBeside(std::string_view executablePath) {
    auto slash = executablePath.rfind('/');
    std::string folder = slash == std::string_view::npos
                             ? std::string("./")
                             : std::string(executablePath.substr(0, slash + 1));
    return folder + std::string(kLanguageFileName);
}

Language::Language(std::string path) : path_(std::move(path)) {}

Language Language::fromIni(IniFile file) {
    Language language{std::string()};
    language.file_ = std::move(file);
    language.inMemory_ = true;
    return language;
}

Language::FileStamp Language::stampNow() const {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return {};
    return FileStamp{true, static_cast<std::uint64_t>(st.st_dev),
                     static_cast<std::uint64_t>(st.st_ino), static_cast<std::uint64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 +
                         st.st_mtim.tv_nsec};
}

// Saving replaces the file by rename, so a new inode shows a rewrite even within one
// timestamp tick; size and time catch editors that write in place.
const IniFile& Language::current() const {
    if (inMemory_) return file_;
    FileStamp now = stampNow();
    if (stamp_ && *stamp_ == now) return file_;
    stamp_ = now;
    file_ = IniFile();
    loadError_.clear();
    if (!now.exists) return file_;
    std::string error;
    if (auto loaded = IniFile::load(path_, &error)) {
        file_ = std::move(*loaded);
    } else {
        loadError_ = error;
    }
    return file_;
}

bool Language::fileExists() const { return inMemory_ || stampNow().exists; }

std::string Language::loadError() const {
    current();
    return loadError_;
}

Language::StartupChoice Language::startupSelection() {
    StartupChoice choice;
    const IniFile& file = current();
    choice.items = file.sectionNames();
    selected_.clear();
    bool hasDefault = false;
    for (auto it = choice.items.begin(); it != choice.items.end(); ++it) {
        if (sameIniName(*it, kDefaultSection)) {
            choice.items.erase(it);
            hasDefault = true;
            break;
        }
    }
    if (!hasDefault) return choice;
    const std::string wanted = file.valueOr(kDefaultSection, kLanguageKey, kDesignLanguage);
    // An empty name is no language (as select("") is), even beside a section named "[]".
    if (wanted.empty()) return choice;
    for (std::size_t i = 0; i < choice.items.size(); ++i) {
        if (sameIniName(choice.items[i], wanted)) {
            choice.selectedIndex = i;
            selected_ = choice.items[i];  // the list's spelling, as the selector shows it
            break;
        }
    }
    return choice;
}

std::optional<std::string> Language::startupMessage() const {
    if (fileExists()) return std::nullopt;
    return missingLanguageFileMessage(path_);
}

std::string Language::LookupTextOr(std::string_view key, std::string_view fallback) const {
    if (selected_.empty() || key.empty()) return std::string(fallback);
    return current().valueOr(selected_, key, fallback);
}

std::string Language::LookupText(std::string_view key) const {
    return LookupTextOr(key, kNotAvailable);
}

Language::SaveResult Language::saveSelection() {
    std::string error;
    if (IniFile::writeValue(path_, kDefaultSection, kLanguageKey, selected_, &error)) return {};
    const auto& notSaved = textkeys::kLanguageNotSaved;
    return {false, LookupTextOr(notSaved.key, notSaved.fallback) + ": " + error};
}

}  // namespace oculant
