// The bash completion the package installs and the manual page, each against the option tables:
// the completion run in bash as it is at a prompt, the manual read section by section.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "cli/CommandTable.h"
#include "tests/support/CliRun.h"

namespace oculant::cli {
namespace {

namespace fs = std::filesystem;
using Words = std::set<std::string>;

const fs::path kScript = fs::path(OCULANT_BUILD_DIR) / "completions/oculant-cli";
const fs::path kManual = fs::path(OCULANT_SOURCE_DIR) / "docs/man/oculant-cli.1";

// The visible long options of a table, as typed.
Words longOptions(const std::vector<OptionSpec>& table)
{
    Words words;
    for (const OptionSpec& o : table)
        if (!o.hidden)
            words.insert("--" + o.name);
    return words;
}

class BashCompletion : public test::CliTest {
protected:
    void SetUp() override
    {
        if (!fs::exists("/bin/bash"))
            GTEST_SKIP() << "no bash here";
        fs::create_directories(dir / "here/logs");
        write("here/frame.cap", "");
        write("here/base.log", "");
    }
    // What the completion offers with the cursor in the last word, in the folder "here".
    Words complete(const std::vector<std::string>& words)
    {
        std::vector<std::string> argv{"/bin/bash", "--norc", "--noprofile", "-c",
                                      "cd \"$1\" && shift && source \"$0\" && COMP_WORDS=(\"$@\") && "
                                      "COMP_CWORD=$(($# - 1)) && _oculant_cli; printf '%s\\n' \"${COMPREPLY[@]}\"",
                                      kScript.string(), dir.file("here"), "oculant-cli"};
        argv.insert(argv.end(), words.begin(), words.end());
        const test::CliRun r = test::runProgram(argv, dir.str());
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        Words offered;
        std::istringstream lines(r.out);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty())
                offered.insert(line);
        return offered;
    }
};

TEST_F(BashCompletion, the_installed_script_is_the_one_the_program_writes)
{
    const std::string built = test::readFile(kScript);
    ASSERT_FALSE(built.empty()) << kScript;
    const test::CliRun written = test::runCli({"--bash-completion"});
    EXPECT_EQ(written.status, kExitOk);
    EXPECT_EQ(built, written.out) << "the build's " << kScript << " is not the program's";
}

TEST_F(BashCompletion, offers_the_commands_the_options_of_each_and_the_subcommands_of_the_table)
{
    Words commands;
    for (const CommandSpec& c : commandTable())
        commands.insert(c.name);
    EXPECT_EQ(complete({""}), commands);
    EXPECT_EQ(complete({"--"}), longOptions(globalOptionTable()));
    EXPECT_EQ(complete({"--ver"}), (Words{"--verbose", "--version"}));
    for (const CommandSpec& c : commandTable()) {
        EXPECT_EQ(complete({c.name, "--"}), longOptions(c.options)) << c.name;
        // The same after global options and their values.
        EXPECT_EQ(complete({"--device", "virtual:0", "--virtual-frame", c.name, "--"}), longOptions(c.options)) << c.name;
        Words subcommands;
        for (const CommandSpec& s : c.subcommands) {
            subcommands.insert(s.name);
            EXPECT_EQ(complete({c.name, s.name, "--"}), longOptions(s.options)) << c.name << " " << s.name;
            EXPECT_EQ(complete({c.name, s.name, "--json", "--"}), longOptions(s.options)) << c.name << " " << s.name;
        }
        if (!subcommands.empty())
            EXPECT_EQ(complete({c.name, ""}), subcommands) << c.name;
    }
    // A subcommand only right after its command; after "--" no option is offered.
    EXPECT_EQ(complete({"results", "--json", "summary", "--"}), longOptions(commandNamed("results")->options));
    EXPECT_EQ(complete({"list", "--", "--"}), Words{});
}

TEST_F(BashCompletion, offers_what_each_value_and_operand_can_be)
{
    const Words files{"frame.cap", "base.log", "logs"}, folders{"logs"};
    const auto expected = [&](cli::Completion kind, const OptionSpec* o) {
        switch (kind) {
        case cli::Completion::Files: return files;
        case cli::Completion::Folders: return folders;
        case cli::Completion::Choices: {
            const std::vector<std::string> choices = valueChoices(*o);
            return Words(choices.begin(), choices.end());
        }
        case cli::Completion::None: break;
        }
        return Words{};
    };
    size_t values = 0;
    for (const OptionSpec& o : globalOptionTable()) {
        if (o.arg == OptionSpec::Value)
            EXPECT_EQ(complete({"--" + o.name, ""}), expected(o.completion, &o)) << o.name;
        // An optional value only joined: after the bare option come the commands.
        if (o.arg == OptionSpec::OptionalValue)
            EXPECT_EQ(complete({"--" + o.name, ""}).count("list"), 1u) << o.name;
    }
    const auto valuesOf = [&](const std::vector<std::string>& command, const CommandSpec& spec) {
        for (const OptionSpec& o : spec.options) {
            if (o.arg != OptionSpec::Value)
                continue;
            ++values;
            std::vector<std::string> words = command;
            words.push_back("--" + o.name);
            words.push_back("");
            EXPECT_EQ(complete(words), expected(o.completion, &o)) << command.back() << " " << o.name;
        }
    };
    for (const CommandSpec& c : commandTable()) {
        valuesOf({c.name}, c);
        for (const CommandSpec& s : c.subcommands)
            valuesOf({c.name, s.name}, s);
        const Words operands = expected(c.operands, nullptr);
        if (c.subcommands.empty()) {
            EXPECT_EQ(complete({c.name, ""}), operands) << c.name;
            EXPECT_EQ(complete({c.name, "--", ""}), operands) << c.name;
        }
        for (const CommandSpec& s : c.subcommands)
            EXPECT_EQ(complete({c.name, s.name, ""}), expected(s.operands, nullptr)) << c.name << " " << s.name;
    }
    EXPECT_GT(values, 10u);
    // Joined by '=': one word, or the three bash makes of it at the "=".
    EXPECT_EQ(complete({"results", "--outcome=F"}), Words{"--outcome=FAIL"});
    EXPECT_EQ(complete({"results", "--outcome", "=", "F"}), Words{"FAIL"});
    EXPECT_EQ(complete({"results", "--outcome", "="}), (Words{"=PASS", "=FAIL", "=ERROR"}));
    EXPECT_EQ(complete({"record", "--dir=l"}), Words{"--dir=logs"});
    EXPECT_EQ(complete({"--virtual-frame=fr"}), Words{"--virtual-frame=frame.cap"});
    // A value that looks like an option is the value: what follows is the command's.
    EXPECT_EQ(complete({"--replay", "--verbose", "l"}), (Words{"list", "log"}));
    EXPECT_EQ(complete({"test", "--serial", "--json", "--j"}), (Words{"--junit", "--json"}));
}

// The manual's text with roff's escapes taken out, "\-\-json" read as "--json".
std::string manualText()
{
    std::string text = test::readFile(kManual);
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    return std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
}

Words optionsIn(const std::string& text)
{
    Words found;
    const std::regex option("(^|[^A-Za-z0-9-])(--[a-z][a-z0-9-]*)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        found.insert((*it)[2].str());
    return found;
}

// What the manual says of each command: from the .TP whose tag names it to the next command,
// paragraph (.PP) or section.
std::map<std::string, std::string> commandEntries(const std::string& commands)
{
    std::map<std::string, std::string> entries;
    std::istringstream lines(commands);
    std::string line, previous, current;
    const std::regex tag(R"(^\.BR? ([a-z][a-z-]*)( .*)?$)");
    std::smatch m;
    while (std::getline(lines, line)) {
        if (previous == ".TP" && std::regex_match(line, m, tag) && commandNamed(m[1]))
            current = m[1];
        else if (line.rfind(".PP", 0) == 0)
            current.clear();
        if (!current.empty())
            entries[current] += line + "\n";
        previous = line;
    }
    return entries;
}

std::string section(const std::string& text, const std::string& name)
{
    const size_t start = text.find("\n.SH " + name + "\n");
    if (start == std::string::npos)
        return {};
    const size_t end = text.find("\n.SH ", start + 1);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

TEST(Manual, describes_every_option_of_the_tables_where_it_belongs_and_no_other)
{
    const std::string text = manualText();
    ASSERT_FALSE(text.empty()) << kManual;
    const Words global = longOptions(globalOptionTable());
    Words everything = global;

    const std::string globalSection = section(text, "GLOBAL OPTIONS");
    EXPECT_EQ(optionsIn(globalSection), global) << "the GLOBAL OPTIONS section against the global table";
    for (const OptionSpec& o : globalOptionTable())
        if (o.letter)
            EXPECT_NE(globalSection.find(std::string(" -") + o.letter), std::string::npos) << o.name;

    const std::map<std::string, std::string> entries = commandEntries(section(text, "COMMANDS"));
    for (const CommandSpec& c : commandTable()) {
        const auto entry = entries.find(c.name);
        ASSERT_NE(entry, entries.end()) << "the manual has no entry for " << c.name;
        // The command's options and its subcommands', but --help, which the global section
        // describes for every command.
        Words table = longOptions(c.options);
        for (const CommandSpec& s : c.subcommands) {
            const Words sub = longOptions(s.options);
            table.insert(sub.begin(), sub.end());
            EXPECT_NE(entry->second.find(c.name + " " + s.name), std::string::npos) << c.name << " " << s.name;
        }
        table.erase("--help");
        everything.insert(table.begin(), table.end());
        const Words described = optionsIn(entry->second);
        for (const std::string& option : table)
            EXPECT_TRUE(described.count(option)) << "the manual's " << c.name << " does not describe " << option;
        // A global option may be named there (calibrate needs --virtual-frame), nothing else.
        for (const std::string& option : described)
            EXPECT_TRUE(table.count(option) || global.count(option))
                << "the manual's " << c.name << " names " << option << ", which it does not take";
    }
    for (const std::string& option : optionsIn(text))
        EXPECT_TRUE(everything.count(option)) << "the manual names " << option << ", which no table has";
}

}  // namespace
}  // namespace oculant::cli
