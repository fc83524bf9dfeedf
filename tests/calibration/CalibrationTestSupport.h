#pragma once
// Helpers shared by the calibration tests.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <string_view>

#include "calibration/TextLookup.h"

namespace oculant::testing {

// A language whose text for each key is the key in brackets, so tests see which key was used.
inline TextLookup bracketLookup()
{
    return [](std::string_view key) { return "[" + std::string(key) + "]"; };
}

// A fresh directory per test, removed at the end.
class TempDir {
public:
    TempDir()
    {
        static std::atomic<int> serial{0};
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        path_ = std::filesystem::temp_directory_path() /
                ("oculant-cal-" + std::string(info ? info->name() : "x") + "-" +
                 std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace oculant::testing
