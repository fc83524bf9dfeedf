// The frame probe, as the udev rule runs it (oculant-udev-probe) and as people do (oculant-cli
// udev-probe): frames and not-frames over the whole corpus and a fake sysfs, the paths it refuses,
// the libraries the rule's program loads, and the rule file the build makes for the install prefix.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <regex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/HidBytes.h"
#include "tests/support/HidrawFakeTree.h"
#include "tests/support/CliRun.h"
#include "cli/Cli.h"
#include "backends/hidraw/AccessRule.h"
#include "backends/virtual/VirtualFrame.h"

namespace oculant::cli {
namespace {

namespace fs = std::filesystem;

using test::CliRun;
using test::readFile;
using test::runCli;
using test::runProgram;

constexpr const char* kProbeProgram = OCULANT_BUILD_DIR "/oculant-udev-probe";

// What the frame rule says of the caps Windows reported for a corpus descriptor: the oracle
// the probe is held to, independent of our parser.
bool referenceIsFrame(const fs::path& capsJson)
{
    const nlohmann::json caps = nlohmann::json::parse(readFile(capsJson));
    return caps["outputReportByteLength"] == 63 && caps["usagePage"] == 0xFF00 &&
           caps["numberOutputValueCaps"] > 0 && caps["numberInputButtonCaps"] > 0;
}

class UdevProbe : public test::CliTest {
protected:
    // The sysfs folder of node N of a fake sysfs (the shape the kernel gives it).
    std::string sysfsNode(int n, const std::vector<uint8_t>& descriptor)
    {
        tree_.addNode(n, 0x1209, 0x0C1A, descriptor);
        return tree_.sysfs() + "/class/hidraw/hidraw" + std::to_string(n);
    }

    test::HidrawFakeTree tree_;
};

std::string bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST_F(UdevProbe, answers_for_frames_and_not_frames_and_refuses_what_it_cannot_read)
{
    const std::string frame = bytes(VirtualFrame::reportDescriptor());
    // The frame's collection with no Report ID: 62 output bytes still make a 63-byte report.
    const std::string frameWithoutIds = bytes({0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF,
                                               0x00, 0x75, 0x08, 0x95, 0x3F, 0x09, 0x02, 0x81, 0x00, 0x95, 0x3E,
                                               0x09, 0x03, 0x91, 0x02, 0xC0});
    const std::vector<uint8_t> mouse = test::corpusDescriptor("046D_C077_0002_0001.hex");
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directories(dir / "empty-folder");

    struct Case {
        std::string name, path;
        int status;
        bool frame;
        std::string error;  // in the message on stderr, for status 1
    };
    std::vector<Case> cases = {
        {"virtual frame, raw", write("frame.bin", frame), kExitOk, true, ""},
        {"virtual frame, hex text", write("frame.hex", "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 85 03 95 3F\n"
                                                       "09 02 81 00 85 04 95 3E 09 03 91 02 C0\n"),
         kExitOk, true, ""},
        {"frame without report ids", write("noids.bin", frameWithoutIds), kExitOk, true, ""},
        {"frame as the second collection, after a mouse's", write("composite.bin", bytes(mouse) + frame), kExitOk,
         true, ""},
        {"hidraw sysfs folder of a frame", sysfsNode(3, VirtualFrame::reportDescriptor()), kExitOk, true, ""},
        {"HID device folder of a frame", tree_.hidDeviceFolder(3).string(), kExitOk, true, ""},
        {"hidraw sysfs folder of a mouse", sysfsNode(4, mouse), kExitOk, false, ""},
        {"descriptor the parser refuses", write("cut.hex", "06 00 FF 09 01 A1 01 26 FF"), kExitOk, false, ""},
        {"missing file", dir.file("absent"), kExitFailed, false, "No such file or directory"},
        {"empty file", write("empty", ""), kExitFailed, false, "no descriptor bytes"},
        {"text that is not hex", write("typo.hex", "05 01 09 0Z"), kExitFailed, false, "not hex text"},
        {"folder without a descriptor", dir.file("empty-folder"), kExitFailed, false,
         "holds no report_descriptor"},
        {"FIFO, never opened", fifo, kExitFailed, false, "is not a descriptor file or a sysfs folder"},
        {"device node, never opened", "/dev/null", kExitFailed, false, "is not a descriptor file or a sysfs folder"},
    };
    for (const fs::path& hex : test::corpusHexFiles()) {
        fs::path caps = hex;
        caps.replace_extension(".caps.json");
        cases.push_back({hex.filename().string(), hex.string(), kExitOk, referenceIsFrame(caps), ""});
    }
    ASSERT_EQ(cases.size(), 14u + 15u);

    const std::string scratch = dir.file("scratch");
    fs::create_directories(scratch);
    for (const Case& c : cases)
        for (const CliRun& r : {runCli({"udev-probe", c.path}), runProgram({kProbeProgram, c.path}, scratch)}) {
            EXPECT_EQ(r.status, c.status) << c.name << ": " << r.err;
            EXPECT_EQ(r.out, c.frame ? "ID_OCULANT_FRAME=1\n" : "") << c.name;
            if (c.status == kExitOk)
                EXPECT_EQ(r.err, "") << c.name;
            else
                EXPECT_NE(r.err.find("udev-probe: "), std::string::npos) << c.name << ": " << r.err;
            EXPECT_NE(r.err.find(c.error), std::string::npos) << c.name << ": " << r.err;
        }
    const CliRun usage = runCli({"udev-probe"});
    EXPECT_EQ(usage.status, kExitUsage);
    EXPECT_NE(usage.err.find("usage: oculant-cli udev-probe PATH"), std::string::npos) << usage.err;
    const CliRun twoPaths = runProgram({kProbeProgram, "a", "b"}, scratch);
    EXPECT_EQ(twoPaths.status, kExitUsage);
    EXPECT_NE(twoPaths.err.find("usage: oculant-udev-probe PATH"), std::string::npos) << twoPaths.err;
}

// What udev starts as root on every hidraw event loads the C and C++ runtimes and nothing else:
// no database, Qt, TLS or Kerberos library (the command-line tool loads a dozen).
TEST_F(UdevProbe, the_rules_program_loads_no_database_qt_or_network_library)
{
    const std::string scratch = dir.file("scratch");
    fs::create_directories(scratch);
    const CliRun loaded = runProgram({"/usr/bin/env", "LD_TRACE_LOADED_OBJECTS=1", kProbeProgram}, scratch);
    ASSERT_EQ(loaded.status, 0) << loaded.err;
    std::vector<std::string> libraries;
    std::istringstream lines(loaded.out);
    for (std::string line; std::getline(lines, line);)
        if (const size_t so = line.find(".so"); so != std::string::npos) {
            const size_t start = line.find_first_not_of(" \t");
            libraries.push_back(line.substr(start, line.find(' ', start) - start));
        }
    ASSERT_FALSE(libraries.empty()) << loaded.out;
    for (const std::string& library : libraries)
        EXPECT_TRUE(library.rfind("linux-vdso", 0) == 0 || library.rfind("libc.so", 0) == 0 ||
                    library.rfind("libm.so", 0) == 0 || library.rfind("libstdc++", 0) == 0 ||
                    library.rfind("libgcc_s", 0) == 0 || library.find("ld-linux") != std::string::npos ||
                    std::regex_search(library, std::regex("^lib(a|t|ub|l)san\\.so")))  // a sanitizer build's runtime
            << library << " loaded by the udev rule's program";
}

// The rule the build made for CMAKE_INSTALL_PREFIX: it runs the probe by the program's installed
// path on each hidraw node's sysfs folder and tags a node the probe answers for with uaccess.
TEST_F(UdevProbe, rule_runs_the_installed_probe_and_tags_its_frames)
{
    const std::string rule = readFile(fs::path(OCULANT_BUILD_DIR) / "udev/70-oculant.rules");
    const std::string program = std::string(OCULANT_INSTALL_PREFIX) + "/lib/oculant/oculant-udev-probe";
    std::vector<std::string> active;
    std::istringstream lines(rule);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line[0] != '#')
            active.push_back(line);
    const std::string import = "IMPORT{program}=\"" + program + " %S%p\"";
    EXPECT_EQ(active, (std::vector<std::string>{
                          "ACTION==\"remove\", GOTO=\"oculant_end\"",
                          "SUBSYSTEM!=\"hidraw\", GOTO=\"oculant_end\"",
                          "KERNEL!=\"hidraw*\", GOTO=\"oculant_end\"",
                          import,
                          "ENV{ID_OCULANT_FRAME}==\"1\", TAG+=\"uaccess\"",
                          "LABEL=\"oculant_end\"",
                      }));
    EXPECT_EQ(rule.find('@'), std::string::npos) << "a template placeholder is left";
    // What `list` reads in an installed rule is this program.
    EXPECT_EQ(parseAccessRuleText(rule).probeProgram, program);

    // The command as udev runs it, %S%p standing for a frame's node: its answer is the key the
    // ENV line matches.
    const std::string node = sysfsNode(7, VirtualFrame::reportDescriptor());
    std::istringstream words(import.substr(import.find('"') + 1, import.rfind('"') - import.find('"') - 1));
    std::vector<std::string> argv;
    for (std::string w; words >> w;)
        argv.push_back(w == "%S%p" ? node : w);
    ASSERT_EQ(argv.size(), 2u);
    argv[0] = kProbeProgram;  // the program the build made, at its installed path once installed
    const CliRun r = runProgram(argv, dir.file("."));
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out, "ID_OCULANT_FRAME=1\n");
}

}  // namespace
}  // namespace oculant::cli
