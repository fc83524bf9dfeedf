// Every file a command is given, given a FIFO, a device or a folder instead: refused at once
// with what it is (a FIFO used to make restore-calibration, caps, --layout, --plan, --replay and
// --virtual-frame wait for a writer that never came).
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>

#include "cli/Cli.h"
#include "tests/support/CliRun.h"

namespace oculant::cli {
namespace {

namespace fs = std::filesystem;

struct SpecialFiles : test::CliTest {
    std::string fifo = test::makeFifo(dir / "pipe");
    std::string folder = dir.file("folder");
    SpecialFiles() { fs::create_directory(folder); }

    // Each special file in the place of `{}` in args: the status and the reason it names.
    void refusedEverywhere(const std::vector<std::string>& args, int status, const std::string& prefix,
                           bool devicesToo = true)
    {
        const std::pair<std::string, std::string> specials[] = {
            {fifo, "it is a FIFO (named pipe), not a file"},
            {"/dev/null", "it is a device, not a file"},
            {folder, "it is a folder, not a file"},
        };
        for (const auto& [path, what] : specials) {
            if (!devicesToo && path == "/dev/null")
                continue;
            std::vector<std::string> given = args;
            for (std::string& a : given)
                if (const size_t at = a.find("{}"); at != std::string::npos)
                    a.replace(at, 2, path);
            SCOPED_TRACE(given[2] + " " + path);
            EXPECT_EQ(run(given), status) << err;
            EXPECT_EQ(err.rfind(prefix, 0), 0u) << err;
            EXPECT_NE(err.find("Cannot read \"" + path + "\": " + what + "."), std::string::npos) << err;
        }
    }
};

TEST_F(SpecialFiles, files_read_by_the_commands_are_refused_with_exit_1)
{
    refusedEverywhere({"--virtual-frame", "--simulated-time", "restore-calibration", "{}", "--yes"}, kExitFailed,
                      "oculant-cli restore-calibration: ");
    // caps reads a hidraw node's descriptor: a device is asked for one (CapsCommand's own test).
    refusedEverywhere({"--virtual-frame", "--simulated-time", "caps", "{}"}, kExitFailed, "caps: ", false);
    refusedEverywhere({"--virtual-frame", "--simulated-time", "--replay", "{}", "info"}, kExitFailed, "oculant-cli: ");
}

TEST_F(SpecialFiles, layouts_plans_and_profiles_are_refused_as_usage_with_exit_64)
{
    refusedEverywhere({"--virtual-frame", "--simulated-time", "calibrate", "--layout", "{}"}, kExitUsage,
                      "oculant-cli calibrate: layout file ");
    refusedEverywhere({"--virtual-frame", "--simulated-time", "test", "--plan", "{}"}, kExitUsage,
                      "oculant-cli test: plan refused: ");
    refusedEverywhere({"--virtual-frame={}", "--simulated-time", "info"}, kExitUsage, "oculant-cli: profile refused: ");
}

// A file a command writes, given a FIFO in its place: refused, and the FIFO is still one. The
// write goes through a temporary file renamed over the target, which used to replace whatever
// stood there (run as root, a --export /dev/null turned /dev/null into a plain file).
TEST_F(SpecialFiles, files_written_by_the_commands_never_replace_what_is_not_a_file)
{
    const std::string cfg = test::makeFifo(dir / "export.cfg");
    EXPECT_EQ(run({"--virtual-frame", "--simulated-time", "calibrate", "--export", cfg}), kExitFailed) << out << err;
    EXPECT_TRUE(fs::is_fifo(cfg));
    EXPECT_EQ(run({"--virtual-frame", "--simulated-time", "test", "--db", "sqlite:" + dir.file("r.db"), "--junit",
                   folder}),
              kExitUsage)
        << err;
    EXPECT_TRUE(fs::is_directory(folder));
    // A FIFO as the JUnit file: opening it to check it can be written used to wait for a reader.
    EXPECT_EQ(run({"--virtual-frame", "--simulated-time", "test", "--db", "sqlite:" + dir.file("r.db"), "--junit",
                   fifo}),
              kExitUsage)
        << err;
    EXPECT_NE(err.find("it is a FIFO (named pipe), not a file"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(dir.file("r.db"))) << "refused before the test ran";
}

// A results database that is not a file: SQLite would open a FIFO and wait on it, or take a
// device for an empty database. Refused at once, by the station (a URL that cannot work) and
// by every results command.
TEST_F(SpecialFiles, a_results_database_that_is_not_a_file_is_refused)
{
    for (const std::string& path : {fifo, std::string("/dev/null"), folder}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(run({"results", "summary", "--db", "sqlite:" + path}), kExitFailed) << err;
        EXPECT_NE(err.find("not a database file"), std::string::npos) << err;
        EXPECT_EQ(run({"--virtual-frame", "--simulated-time", "test", "--serial", "S-1", "--db", "sqlite:" + path}),
                  kExitUsage)
            << err;
        EXPECT_NE(err.find("not a database file"), std::string::npos) << err;
    }
    EXPECT_TRUE(fs::is_fifo(fifo));
}

// The language file beside the program: a program copied into the test's folder with a FIFO
// named lan.ini beside it. It says so and ends, instead of waiting.
TEST_F(SpecialFiles, a_language_file_that_is_not_a_file_is_refused_at_start)
{
    const fs::path program = dir / "bin" / "oculant-cli";
    fs::create_directories(program.parent_path());
    fs::copy_file(OCULANT_BUILD_DIR "/oculant-cli", program);
    test::makeFifo(program.parent_path() / "lan.ini");
    const std::string errFile = dir.file("err.txt");
    const int status = std::system(("timeout 20 " + program.string() + " --virtual-frame --simulated-time info 2>" +
                                    errFile + " >/dev/null")
                                       .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitFailed);
    const std::string said = test::readFile(errFile);
    EXPECT_EQ(said, "oculant-cli: language file refused: Cannot read \"" + (program.parent_path() / "lan.ini").string() +
                        "\": it is a FIFO (named pipe), not a file.\n");
}

}  // namespace
}  // namespace oculant::cli
