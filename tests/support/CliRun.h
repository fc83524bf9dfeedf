#pragma once
// One oculant-cli run in-process, with what it printed, and a file read whole: what the command
// tests compare.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

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

inline std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace oculant::test
