// The options of every command as the tables declare them, run as a user types them: the one
// refusal for an option that is unknown, lacks its value, takes none or comes twice; values
// after the option or joined by '='; "--" before an operand that begins with a dash; the help
// of each command listing its table.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <regex>
#include <set>

#include "cli/CommandTable.h"
#include "tests/support/CliRun.h"

namespace oculant::cli {
namespace {

namespace fs = std::filesystem;
using test::CliRun;
using test::runCli;

// The virtual frame's report descriptor, as hex text.
constexpr const char* kFrameDescriptor =
    "06 00 FF 09 01 A1 01 15 00 26 FF 00 75 08 85 03 95 3F 09 02 81 00 85 04 95 3E 09 03 91 02 C0\n";

// Every command and subcommand: its words on the command line ("results report") and its spec.
std::vector<std::pair<std::vector<std::string>, const CommandSpec*>> everyCommand()
{
    std::vector<std::pair<std::vector<std::string>, const CommandSpec*>> all;
    for (const CommandSpec& c : commandTable()) {
        all.push_back({{c.name}, &c});
        for (const CommandSpec& s : c.subcommands)
            all.push_back({{c.name, s.name}, &s});
    }
    return all;
}

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& w : words)
        text += (text.empty() ? "" : " ") + w;
    return text;
}

class Options : public test::CliTest {
protected:
    // The command's words after the global options of the virtual frame, then `args`.
    CliRun onFrame(const std::vector<std::string>& command, const std::vector<std::string>& args)
    {
        std::vector<std::string> all{"--virtual-frame", "--simulated-time"};
        all.insert(all.end(), command.begin(), command.end());
        all.insert(all.end(), args.begin(), args.end());
        return runCli(all);
    }
    void expectRefused(const CliRun& r, const std::string& command, const std::string& what)
    {
        EXPECT_EQ(r.status, kExitUsage) << command << ": " << r.err;
        EXPECT_EQ(r.out, "") << command;
        EXPECT_EQ(r.err, "oculant-cli" + (command.empty() ? "" : " " + command) + ": " + what + "\nTry 'oculant-cli" +
                             (command.empty() ? "" : " " + command) + " --help' for the options.\n");
    }
};

TEST_F(Options, every_command_refuses_what_its_table_does_not_take_in_one_way)
{
    for (const auto& [words, spec] : everyCommand()) {
        const std::string name = joined(words);
        expectRefused(onFrame(words, {"--no-such-option"}), name, "unknown option --no-such-option");
        expectRefused(onFrame(words, {"--no-such-option=1"}), name, "unknown option --no-such-option");
        expectRefused(onFrame(words, {"-q"}), name, "unknown option -q");
        for (const OptionSpec& o : spec->options) {
            const std::string option = "--" + o.name;
            if (o.arg == OptionSpec::Value) {
                expectRefused(onFrame(words, {option}), name, "option " + option + " wants a value: " + option + " " + o.valueName);
            } else if (o.arg == OptionSpec::NoValue) {
                expectRefused(onFrame(words, {option + "=yes"}), name, "option " + option + " takes no value");
                // getopt_long would take a part of the name for the whole: not here.
                if (o.name.size() > 3)
                    expectRefused(onFrame(words, {option.substr(0, option.size() - 1)}), name,
                                  "unknown option " + option.substr(0, option.size() - 1));
            }
            if (!o.stops && !o.repeats) {
                const std::vector<std::string> once =
                    o.arg == OptionSpec::NoValue ? std::vector<std::string>{option} : std::vector<std::string>{option, "1"};
                std::vector<std::string> twice = once;
                twice.insert(twice.end(), once.begin(), once.end());
                expectRefused(onFrame(words, twice), name, "option " + option + " given twice");
            }
        }
    }
    // Before the command the same words, pointing at the program's help.
    expectRefused(runCli({"--no-such-option", "list"}), "", "unknown option --no-such-option");
    expectRefused(runCli({"--device"}), "", "option --device wants a value: --device PATH");
    expectRefused(runCli({"--simulated-time=1", "list"}), "", "option --simulated-time takes no value");
    expectRefused(runCli({"--virt", "list"}), "", "unknown option --virt");
}

TEST_F(Options, a_value_comes_after_its_option_or_joined_by_an_equals_sign_and_the_order_is_free)
{
    // The same recording asked for both ways: each folder gets its log.
    fs::create_directories(dir / "apart");
    fs::create_directories(dir / "joined");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--seconds", "0.5", "--dir", dir.file("apart")},
          {"--dir=" + dir.file("joined"), "--seconds=0.5"}}) {
        const CliRun r = onFrame({"record"}, args);
        ASSERT_EQ(r.status, kExitOk) << r.err;
    }
    for (const char* folder : {"apart", "joined"}) {
        size_t logs = 0;
        for (const auto& entry : fs::directory_iterator(dir / folder))
            logs += entry.is_regular_file();
        EXPECT_EQ(logs, 1u) << folder;
    }

    // Options before or after the operand, a flag anywhere.
    const std::string hex = write("frame.hex", kFrameDescriptor);
    const CliRun before = runCli({"caps", "--json", hex});
    ASSERT_EQ(before.status, kExitOk) << before.err;
    EXPECT_EQ(runCli({"caps", hex, "--json"}).out, before.out);
    EXPECT_NE(runCli({"caps", hex}).out, before.out);

    // Before the command, a repeated option: the last one counts.
    CliRun device = runCli({"--virtual-frame", "--simulated-time", "--device", "/nonexistent/hidraw9",
                            "--device=virtual:0", "info"});
    EXPECT_EQ(device.status, kExitOk) << device.err;
    EXPECT_NE(device.out.find(" virtual:0\n"), std::string::npos) << device.out;
    device = runCli({"--virtual-frame", "--simulated-time", "--device=virtual:0", "--device", "/nonexistent/hidraw9",
                     "info"});
    EXPECT_NE(device.status, kExitOk);
    EXPECT_NE(device.err.find("/nonexistent/hidraw9"), std::string::npos) << device.err;
}

// The current folder for the life of the object.
struct InFolder {
    explicit InFolder(const fs::path& folder) : before(fs::current_path()) { fs::current_path(folder); }
    ~InFolder() { fs::current_path(before); }
    fs::path before;
};

TEST_F(Options, after_a_double_dash_a_word_that_begins_with_a_dash_is_an_operand)
{
    write("-frame.hex", kFrameDescriptor);
    write("--json", kFrameDescriptor);
    const InFolder here(dir.path());
    expectRefused(runCli({"caps", "-frame.hex"}), "caps", "unknown option -f");
    CliRun r = runCli({"caps", "--", "-frame.hex"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out.rfind("-frame.hex: ", 0), 0u) << r.out;
    // "--json" after "--" is the file of that name, not the option: text, not JSON.
    r = runCli({"caps", "--", "--json"});
    EXPECT_EQ(r.status, kExitOk) << r.err;
    EXPECT_EQ(r.out.rfind("--json: ", 0), 0u) << r.out;
    // Before the command "--" ends the global options; the command comes next.
    r = runCli({"--", "caps", "frame.hex"});
    EXPECT_EQ(r.status, kExitFailed) << r.err;  // no such file here, but the command ran
    EXPECT_NE(r.err.find("frame.hex"), std::string::npos) << r.err;
    // A "--" that is an option's value is that value, and ends nothing.
    r = runCli({"log", "--max-drop", "--", "x.log"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("--max-drop goes with --compare BASE"), std::string::npos) << r.err;
}

TEST_F(Options, the_help_of_every_command_lists_its_table_and_its_usage_names_only_options_of_it)
{
    for (const auto& [words, spec] : everyCommand()) {
        const std::string name = joined(words);
        std::vector<std::string> args = words;
        args.push_back("-h");
        const CliRun r = runCli(args);
        ASSERT_EQ(r.status, kExitOk) << name << ": " << r.err;
        EXPECT_EQ(r.out.rfind("usage: oculant-cli [GLOBAL OPTIONS] " + name, 0), 0u) << r.out;
        std::set<std::string> table;
        for (const OptionSpec& o : spec->options) {
            table.insert("--" + o.name);
            const std::string line = "\n  " + optionForm(o);
            const size_t at = r.out.find(line);
            ASSERT_NE(at, std::string::npos) << name << " lacks " << line << " in\n" << r.out;
            EXPECT_TRUE(std::isspace(static_cast<unsigned char>(r.out[at + line.size()]))) << name << line;
            // Its help follows, on the same line or the next.
            const std::string firstWords = o.help.substr(0, o.help.find(' ', o.help.find(' ') + 1));
            EXPECT_LT(r.out.find(firstWords, at), r.out.find("\n  -", at + 1)) << name << " " << o.name;
        }
        for (const CommandSpec& s : spec->subcommands)
            EXPECT_NE(r.out.find("\n  " + s.name + " "), std::string::npos) << name << " " << s.name;
        // The usage lines name only options the parser takes.
        for (const std::string& usage : spec->usages) {
            const std::regex option("--[a-z][a-z0-9-]*");
            for (auto it = std::sregex_iterator(usage.begin(), usage.end(), option); it != std::sregex_iterator(); ++it)
                EXPECT_TRUE(table.count(it->str())) << name << ": the usage names " << it->str() << ", not in its table";
        }
    }
    // The program's help: every global option with its help, every command's usage.
    const CliRun global = runCli({"--help"});
    for (const OptionSpec& o : globalOptionTable())
        EXPECT_EQ(global.out.find("\n  " + optionForm(o) + " ") == std::string::npos, o.hidden) << o.name;
    for (const CommandSpec& c : commandTable())
        EXPECT_NE(global.out.find("\n  " + c.name + " "), std::string::npos) << c.name;
    // The help stops the parsing where it stands: what follows it is not looked at.
    EXPECT_EQ(runCli({"test", "--help", "--no-such-option"}).status, kExitOk);
    EXPECT_EQ(runCli({"test", "--no-such-option", "--help"}).status, kExitUsage);
}

TEST(OptionTable, asking_for_an_option_the_table_does_not_declare_is_the_program_s_fault)
{
    const CommandSpec& list = *commandNamed("list");
    const ParsedArguments parsed = parseArguments(list.options, {"--json"});
    ASSERT_FALSE(parsed.error);
    EXPECT_TRUE(parsed.options.has("json"));
    EXPECT_THROW((void)parsed.options.has("jsn"), std::logic_error);
    EXPECT_THROW((void)parsed.options.value("seconds"), std::logic_error);

    // Stopping at the first operand, as the options before the command do.
    const ParsedArguments globals =
        parseArguments(globalOptionTable(), {"--virtual-frame=p.ini", "--device", "d", "info", "--json"}, true);
    ASSERT_FALSE(globals.error);
    EXPECT_EQ(globals.next, 3u);
    EXPECT_EQ(globals.options.value("virtual-frame"), "p.ini");
    EXPECT_EQ(globals.options.value("device"), "d");
    EXPECT_TRUE(globals.operands.empty());
}

}  // namespace
}  // namespace oculant::cli
