#pragma once
// Scratch folders and byte-level file helpers for the i18n tests.

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace oculant::test {

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// UTF-16 bytes of a UTF-16 literal, in either byte order, written out by hand so the codec
// under test is not used to make its own input.
inline std::string utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string out;
    for (char16_t unit : text) {
        char lo = static_cast<char>(unit & 0xFF);
        char hi = static_cast<char>(unit >> 8);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

// Names of the files in a folder, for checking that no temporary file is left behind.
inline std::vector<std::string> folderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Root ignores folder permissions, so a read-only folder only refuses writes to an ordinary
// user: used inside a forked child (death test) before trying to write.
inline void dropRootIfAny() {
    if (geteuid() != 0) return;
    const gid_t nogroup = 65534;
    const uid_t nobody = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(nogroup) != 0 || setuid(nobody) != 0) std::abort();
}

class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "oculant-i18n-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        ::chmod(folder_.c_str(), 0755);  // readable by the unprivileged child of the read-only tests
    }
    void TearDown() override {
        ::chmod(folder_.c_str(), 0755);
        std::filesystem::remove_all(folder_);
    }
    std::string file(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
};

}  // namespace oculant::test
