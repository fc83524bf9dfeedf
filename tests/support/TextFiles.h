#pragma once
// Scratch folders and byte-level text helpers of the language and INI file tests.

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

namespace oculant::test {

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

// Root ignores folder permissions, so a read-only folder only refuses writes to an ordinary
// user: used inside a forked child (death test) before trying to write.
inline void dropRootIfAny() {
    if (geteuid() != 0) return;
    const gid_t nogroup = 65534;
    const uid_t nobody = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(nogroup) != 0 || setuid(nobody) != 0) std::abort();
}

// A folder per test, readable by the unprivileged child of the read-only tests.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override { ::chmod(folder_.c_str(), 0755); }
    void TearDown() override { ::chmod(folder_.c_str(), 0755); }  // a test may have left it read-only
    std::string file(const std::string& name) const { return dir_.file(name); }

    TempDir dir_;
    const std::string folder_ = dir_.str();
};

}  // namespace oculant::test
