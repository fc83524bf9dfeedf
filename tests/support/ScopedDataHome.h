#pragma once
// Points the user's data folder (XDG_DATA_HOME) at a test's own folder while it lives, so that
// the calibrations a run keeps before each download never reach the real one.

#include <cstdlib>
#include <optional>
#include <string>

namespace oculant::test {

class ScopedDataHome {
public:
    explicit ScopedDataHome(const std::string& folder)
    {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            old_ = old;
        ::setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~ScopedDataHome()
    {
        if (old_)
            ::setenv("XDG_DATA_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    ScopedDataHome(const ScopedDataHome&) = delete;
    ScopedDataHome& operator=(const ScopedDataHome&) = delete;

private:
    std::optional<std::string> old_;
};

}  // namespace oculant::test
