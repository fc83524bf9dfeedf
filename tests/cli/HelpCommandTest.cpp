// --help and --version as a user types them: the usage of every command the global help lists,
// on standard output with exit 0, and nothing of the command run.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "tests/support/CliRun.h"

namespace oculant::cli {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::runCli;

class Help : public test::CliTest {};

TEST_F(Help, every_command_answers_help_on_standard_output_without_running)
{
    const CliRun global = runCli({"--help"});
    ASSERT_EQ(global.status, kExitOk);
    EXPECT_EQ(global.err, "");
    std::vector<std::string> commands;
    std::istringstream lines(global.out.substr(global.out.find("\ncommands:\n")));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ')
            commands.push_back(line.substr(2, line.find(' ', 2) - 2));
    ASSERT_GE(commands.size(), 12u) << global.out;
    for (const std::string& command : commands)
        for (const char* help : {"--help", "-h"}) {
            const CliRun r = runCli({"--virtual-frame", "--simulated-time", command, help});
            EXPECT_EQ(r.status, kExitOk) << command << " " << help << ": " << r.err;
            EXPECT_EQ(r.err, "") << command;
            EXPECT_EQ(r.out.rfind("usage: oculant-cli [GLOBAL OPTIONS] " + command, 0), 0u) << r.out;
        }
    // The help stops the command: nothing captured, nothing reset.
    const std::string traffic = dir.file("traffic.cap");
    EXPECT_EQ(run({"--virtual-frame", "--simulated-time", "capture", "--out", traffic, "--seconds", "1", "--help"}),
              kExitOk);
    EXPECT_FALSE(fs::exists(traffic));
    // After "--" it is an argument like any other.
    EXPECT_EQ(run({"--virtual-frame", "--simulated-time", "info", "--", "--help"}), kExitUsage);
    // The udev rule's form of the probe, straight to its command, too.
    EXPECT_EQ(run({"udev-probe", "--help"}), kExitOk);
    EXPECT_EQ(out.rfind("usage: oculant-cli [GLOBAL OPTIONS] udev-probe PATH", 0), 0u);
}

TEST_F(Help, version_names_the_program_and_its_version)
{
    for (const char* option : {"--version", "-V"}) {
        const CliRun r = runCli({option});
        EXPECT_EQ(r.status, kExitOk);
        EXPECT_TRUE(std::regex_match(r.out, std::regex("oculant-cli [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

}  // namespace
}  // namespace oculant::cli
