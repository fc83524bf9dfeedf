#pragma once
// What the test station's command tests share: a scratch data folder (XDG_DATA_HOME, so the
// default database, the spool and the attachments land in it) and records read back as JSON.

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "tests/cli/CliRun.h"

namespace oculant::test {

class ScratchDataHome {
public:
    ScratchDataHome()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "oculant-station-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            old_ = old;
        ::setenv("XDG_DATA_HOME", path_.c_str(), 1);
    }
    ~ScratchDataHome()
    {
        if (old_)
            ::setenv("XDG_DATA_HOME", old_->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string spool() const { return path_ + "/oculant/spool"; }

private:
    std::string path_;
    std::optional<std::string> old_;
};

// results --json with the given filters, parsed; an empty array when the command failed.
inline nlohmann::json queryRecords(std::vector<std::string> args)
{
    args.insert(args.begin(), "results");
    args.push_back("--json");
    const CliRun r = runCli(args);
    if (r.status != 0)
        return nlohmann::json::array();
    return nlohmann::json::parse(r.out);
}

}  // namespace oculant::test
