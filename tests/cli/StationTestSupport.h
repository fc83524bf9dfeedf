#pragma once
// What the test station's command tests share: a scratch data folder (XDG_DATA_HOME, so the
// default database, the spool and the attachments land in it) and records read back as JSON.

#include <string>

#include <nlohmann/json.hpp>

#include "tests/support/CliRun.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"

namespace oculant::test {

// The user's data folder pointed at a folder of the test's own while it lives.
class ScratchDataHome {
public:
    const std::string& path() const { return path_; }
    std::string spool() const { return path_ + "/oculant/spool"; }

private:
    TempDir dir_;
    std::string path_ = dir_.str();
    ScopedDataHome home_{path_};
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
