#pragma once
// oculant-cli run in-process, with what it printed: what the command tests compare. CliTest
// gives each test a folder of its own for the files a command reads and writes, and its user
// data folder.

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/support/ScopedDataHome.h"
#include "tests/support/TempDir.h"

namespace oculant::test {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

inline CliRun runCli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

// A program run as a process of its own (argv[0] its path), its output kept in files of
// `scratch`; status -1 when it could not be started or did not exit.
inline CliRun runProgram(const std::vector<std::string>& argv, const std::string& scratch)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const std::string outFile = scratch + "/program.out", errFile = scratch + "/program.err";
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&files, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    int status = -1;
    if (posix_spawn(&pid, args[0], &files, nullptr, args.data(), environ) == 0 && ::waitpid(pid, &status, 0) == pid)
        status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    else
        status = -1;
    posix_spawn_file_actions_destroy(&files);
    return {status, readFile(outFile), readFile(errFile)};
}

struct CliTest : ::testing::Test {
    TempDir dir;
    ScopedDataHome dataHome{(dir / "data").string()};  // what a command keeps stays in the test's folder
    std::string out, err;  // of the last run

    // The exit status; what the command printed is kept in out and err.
    int run(const std::vector<std::string>& args)
    {
        CliRun r = runCli(args);
        out = std::move(r.out);
        err = std::move(r.err);
        return r.status;
    }
    // On the virtual frame of the profile at `profile` (the built-in one when empty), on
    // simulated time.
    int runOnFrame(const std::string& profile, const std::vector<std::string>& command)
    {
        std::vector<std::string> args{profile.empty() ? "--virtual-frame" : "--virtual-frame=" + profile,
                                      "--simulated-time"};
        args.insert(args.end(), command.begin(), command.end());
        return run(args);
    }
    // `bytes` as the file `name` of the test's folder; its path.
    std::string write(const std::string& name, const std::string& bytes) const { return writeFile(dir / name, bytes); }
};

}  // namespace oculant::test
