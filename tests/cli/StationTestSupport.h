#pragma once
// What the test station's command tests share: a scratch data folder (XDG_DATA_HOME, so the
// default database, the spool and the attachments land in it) and records read back as JSON.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>

#include <nlohmann/json.hpp>

#include "tests/support/CliRun.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"

extern "C" char** environ;

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

// Starts the processes at once, then waits for them all; their exit statuses. Each one's
// standard output goes to outFiles[i] when given, else nowhere.
inline std::vector<int> runInParallel(const std::vector<std::vector<std::string>>& commands,
                                      const std::vector<std::string>& outFiles = {})
{
    std::vector<pid_t> pids;
    for (size_t i = 0; i < commands.size(); ++i) {
        std::vector<char*> argv;
        for (const std::string& a : commands[i])
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        pid_t pid = -1;
        posix_spawn_file_actions_t output;
        posix_spawn_file_actions_init(&output);
        posix_spawn_file_actions_addopen(&output, 1, i < outFiles.size() ? outFiles[i].c_str() : "/dev/null",
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&pid, argv[0], &output, nullptr, argv.data(), environ) == 0)
            pids.push_back(pid);
        posix_spawn_file_actions_destroy(&output);
    }
    std::vector<int> statuses;
    for (pid_t pid : pids) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        statuses.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return statuses;
}

constexpr const char* kCliProgram = OCULANT_BUILD_DIR "/oculant-cli";

}  // namespace oculant::test
