// oculant-cli caps: the corpus through the command line, the text report and every error path.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/CliRun.h"
#include "tests/support/HidBytes.h"
#include "cli/CapsCommand.h"
#include "cli/Cli.h"

namespace oculant::cli {
namespace {

namespace fs = std::filesystem;

// The frame: vendor page, input report 2 with 63 bytes as an array, output report 3 with 62
// bytes as values.
const char* const kFrameHex =
    "06 00 FF 09 01 A1 01 85 02 09 02 15 00 26 FF 00 75 08 95 3F 81 00\n"
    "85 03 09 03 95 3E 91 02 C0\n";

using test::CliRun;
using test::readFile;

CliRun caps(std::vector<std::string> args)
{
    args.insert(args.begin(), "caps");
    return test::runCli(args);
}

using CapsCommand = test::CliTest;

TEST_F(CapsCommand, json_of_every_corpus_file_equals_the_reference)
{
    size_t files = 0;
    for (const fs::path& hex : test::corpusHexFiles()) {
        ++files;
        const CliRun r = caps({hex.string(), "--json"});
        ASSERT_EQ(r.status, kExitOk) << hex << ": " << r.err;
        const nlohmann::json got = nlohmann::json::parse(r.out);
        fs::path want = hex;
        want.replace_extension(".caps.json");
        ASSERT_TRUE(got.is_array());
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], nlohmann::json::parse(readFile(want))) << hex;
    }
    EXPECT_EQ(files, 15u);
}

TEST_F(CapsCommand, raw_binary_file_reads_like_its_hex_text)
{
    const std::string hexPath = (test::kHidCorpus / "047F_C056_0003_FFA0.hex").string();
    std::string binary;
    std::istringstream text(readFile(hexPath));
    for (std::string token; text >> token;)
        binary.push_back(char(std::stoi(token, nullptr, 16)));
    const CliRun fromHex = caps({hexPath, "--json"});
    const CliRun fromBinary = caps({write("desc.bin", binary), "--json"});
    ASSERT_EQ(fromBinary.status, kExitOk) << fromBinary.err;
    EXPECT_EQ(fromBinary.out, fromHex.out);
}

TEST_F(CapsCommand, text_report_shows_lengths_caps_and_frame_match)
{
    const std::string path = write("frame.hex", kFrameHex);
    const CliRun r = caps({path});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, path + ": 31-byte report descriptor, 1 top-level collection\n"
                            "collection 1: usage page 0xFF00, usage 0x0001, numbered reports\n"
                            "  input report 64 bytes: 1 button cap [0x02], 0 value caps\n"
                            "  output report 63 bytes: 0 button caps, 1 value cap [0x03]\n"
                            "  feature report 0 bytes: 0 button caps, 0 value caps\n"
                            "  frame rule: match\n");
}

TEST_F(CapsCommand, text_report_folds_repeated_ids_and_says_why_no_match)
{
    const CliRun r = caps({(test::kHidCorpus / "047F_C056_0003_FFA0.hex").string()});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_NE(r.out.find("  input report 33 bytes: 6 button caps [0x14 x5, 0x1F], 2 value caps [0x03, 0x15]\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("  frame rule: no match (output report is 33 bytes, not 63)\n"), std::string::npos) << r.out;
}

TEST_F(CapsCommand, a_recording_shows_the_descriptor_of_every_device)
{
    const std::string path = (fs::path(OCULANT_SOURCE_DIR) / "tests/data/capture/c-recorder-two-devices.txt").string();
    const CliRun r = caps({path});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out.rfind(path + " device 0 \"Logitech USB Optical Mouse\" (bus 3, 046d:c077): 46-byte report "
                                 "descriptor, 1 top-level collection\ncollection 1: usage page 0x0001, usage 0x0002\n",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find(path + " device 1 \"Oculant touch frame\" (bus 3, 1209:0c1a): 31-byte report descriptor, "
                                "1 top-level collection\ncollection 1: usage page 0xFF00, usage 0x0001, numbered reports\n"
                                "  input report 64 bytes: 1 button cap [0x03], 0 value caps\n"),
              std::string::npos)
        << r.out;
    EXPECT_TRUE(r.out.ends_with("  frame rule: match\n")) << r.out;

    const CliRun j = caps({path, "--json"});
    ASSERT_EQ(j.status, kExitOk) << j.err;
    const nlohmann::json devices = nlohmann::json::parse(j.out)["devices"];
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[1]["device"], 1);
    EXPECT_EQ(devices[1]["vendorId"], 0x1209);
    EXPECT_EQ(devices[1]["collections"][0]["outputReportByteLength"], 63);
    EXPECT_EQ(devices[0]["descriptorBytes"], 46);

    // A damaged recording is refused with its line; a device whose descriptor does not parse is
    // named, and the others are still shown.
    const CliRun damaged = caps({write("cut.txt", "N: x\nI: 3 1 2\nR: 4 05 01 09\n")});
    EXPECT_EQ(damaged.status, kExitFailed);
    EXPECT_NE(damaged.err.find("cut.txt: line 3: R: says 4 bytes but holds 3"), std::string::npos) << damaged.err;
    const CliRun refused = caps({write("two.txt", "D: 0\nN: x\nI: 3 1 2\nR: 3 05 01 09\nD:1\nN: y\nI: 3 1 3\n"
                                                  "R: 8 06 00 FF 09 01 A1 01 C0\n")});
    EXPECT_EQ(refused.status, kExitFailed);
    EXPECT_NE(refused.err.find("two.txt device 0: report descriptor refused: "), std::string::npos) << refused.err;
    EXPECT_NE(refused.out.find("two.txt device 1 \"y\""), std::string::npos) << refused.out;
}

TEST_F(CapsCommand, errors_exit_1_with_the_reason)
{
    struct Case {
        const char* name;
        std::string path;
        const char* message;
    };
    const Case cases[] = {
        {"missing file", dir.file("absent.hex"), "No such file or directory"},
        {"bad hex", write("odd.hex", "05 01 0"), "odd number of digits"},
        {"text that is not hex", write("typo.hex", "05 01 09 0Z"), "not hex text"},
        {"empty file", write("empty.hex", ""), "no descriptor bytes"},
        {"truncated descriptor", write("cut.hex", "05 01 09 02 A1 01 26 FF"),
         "report descriptor refused: truncated item at offset 6"},
        {"unbalanced", write("open.hex", "05 01 09 02 A1 01"), "report descriptor refused: collection opened"},
        {"directory", dir.str(), "it is a folder, not a file"},
        {"FIFO", test::makeFifo(dir / "pipe"), "it is a FIFO (named pipe), not a file"},
    };
    for (const Case& c : cases) {
        const CliRun r = caps({c.path});
        EXPECT_EQ(r.status, kExitFailed) << c.name;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.name;
    }
}

TEST_F(CapsCommand, character_device_that_is_not_hidraw_is_refused)
{
    if (!fs::is_character_file("/dev/null"))
        GTEST_SKIP() << "no /dev/null here";
    const CliRun r = caps({"/dev/null"});
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_NE(r.err.find("/dev/null is not a hidraw device"), std::string::npos) << r.err;
}

TEST_F(CapsCommand, usage_errors_exit_64)
{
    const std::string path = write("frame.hex", kFrameHex);
    for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"--json"}, {path, path}}) {
        const CliRun r = caps(args);
        EXPECT_EQ(r.status, kExitUsage);
        EXPECT_NE(r.err.find("usage: oculant-cli caps FILE|/dev/hidrawN [--json]"), std::string::npos) << r.err;
    }
    const CliRun xml = caps({path, "--xml"});
    EXPECT_EQ(xml.status, kExitUsage);
    EXPECT_EQ(xml.err, "oculant-cli caps: unknown option --xml\nTry 'oculant-cli caps --help' for the options.\n");
}

TEST(CapsOpenFailure, permission_on_a_hidraw_node_points_at_the_udev_rule)
{
    const std::string denied = describeOpenFailure("/dev/hidraw3", EACCES, true);
    EXPECT_EQ(denied.rfind("cannot open /dev/hidraw3: Permission denied\n", 0), 0u) << denied;
    // The fix `list` gives, for this node, whatever the state of the rule on this machine.
    EXPECT_NE(denied.find("Fix: the access rule "), std::string::npos) << denied;
    EXPECT_NE(denied.find("'sudo udevadm trigger --action=add /sys/class/hidraw/hidraw3'"), std::string::npos)
        << denied;
    EXPECT_EQ(describeOpenFailure("/tmp/a.hex", EACCES, false).find("udev"), std::string::npos);
    EXPECT_EQ(describeOpenFailure("/dev/hidraw3", ENOENT, true), "cannot open /dev/hidraw3: No such file or directory");
}

}  // namespace
}  // namespace oculant::cli
