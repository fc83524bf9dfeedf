// Every --json command given names that are not UTF-8 (a recording's N: line in Latin-1, a
// Latin-1 file name, a model name the frame cut in the middle of a character) still prints
// JSON, with U+FFFD where the bytes were not text.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/Cli.h"
#include "tests/support/CliRun.h"

namespace oculant::cli {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";
// "é" in Latin-1: not UTF-8 on its own.
const std::string kLatin1 = "caf\xE9";

// A frame's descriptor (input report 2 of 64 bytes, output report 3 of 63), as a recording.
std::string frameRecording(const std::string& name)
{
    return "N: " + name + "\nI: 3 1209 0c1a\n"
           "R: 31 06 00 ff 09 01 a1 01 85 02 09 02 15 00 26 ff 00 75 08 95 3f 81 00 85 03 09 03 95 3e 91 02 c0\n";
}

struct JsonNames : test::CliTest {
    // The run's standard output as JSON; a failed parse fails the test.
    nlohmann::json printed(int status, int expected = kExitOk)
    {
        EXPECT_EQ(status, expected) << err;
        const nlohmann::json j = nlohmann::json::parse(out, nullptr, false);
        EXPECT_FALSE(j.is_discarded()) << out;
        return j;
    }
};

TEST_F(JsonNames, caps_and_list_of_a_latin1_recording_print_json_with_replacement_characters)
{
    const std::string path = write(kLatin1 + ".txt", frameRecording("Cam" + kLatin1));
    nlohmann::json j = printed(run({"caps", path, "--json"}));
    ASSERT_EQ(j["devices"].size(), 1u);
    EXPECT_EQ(j["devices"][0]["name"], "Cam" "caf" + kReplacement);

    j = printed(run({"--replay", path, "list", "--json"}));
    ASSERT_EQ(j.size(), 1u);
    EXPECT_TRUE(j[0]["path"].get<std::string>().ends_with("/caf" + kReplacement + ".txt")) << j[0]["path"];
}

TEST_F(JsonNames, info_test_and_results_json_of_names_that_are_not_utf8)
{
    // The identity answer holds 42 bytes of model name after "S\0": 'x' and 41 bytes of two-byte
    // characters, the last one cut in half.
    std::string name = "x";
    for (int i = 0; i < 30; ++i)
        name += "\xC3\xA9";
    const std::string profile = write("long-name.ini", "[Frame]\nSerial=S\nModelName=" + name + "\n");
    nlohmann::json j = printed(runOnFrame(profile, {"info", "--json"}));
    EXPECT_TRUE(j["model"].get<std::string>().ends_with("\xC3\xA9" + kReplacement)) << j["model"];

    const std::string plan = write("identity.ini", "[Plan]\nPhases=identity\n");
    j = printed(runOnFrame(profile, {"test", "--plan", plan, "--operator", kLatin1, "--db",
                                     "sqlite:" + dir.file("results.sqlite"), "--json"}));
    EXPECT_EQ(j["operator"], "caf" + kReplacement);

    j = printed(run({"results", "--db", "sqlite:" + dir.file("results.sqlite"), "--json"}));
    ASSERT_EQ(j.size(), 1u);
    EXPECT_EQ(j[0]["operator"], "caf" + kReplacement);
}

TEST_F(JsonNames, calibrate_and_restore_json_of_a_latin1_calibration_file)
{
    const std::string exported = dir.file(kLatin1 + ".cfg");
    nlohmann::json j = printed(runOnFrame("", {"calibrate", "--no-aux", "--export", exported, "--json"}));
    EXPECT_TRUE(j["export"].get<std::string>().ends_with("/caf" + kReplacement + ".cfg")) << j["export"];

    j = printed(runOnFrame("", {"restore-calibration", exported, "--yes", "--json"}));
    EXPECT_TRUE(j["file"].get<std::string>().ends_with("/caf" + kReplacement + ".cfg")) << j["file"];
    EXPECT_EQ(j["downloaded"], true);
}

}  // namespace
}  // namespace oculant::cli
