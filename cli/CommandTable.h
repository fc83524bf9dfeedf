#pragma once
// oculant-cli's commands and the options of each, in one table: what the parser takes, what
// --help prints, what the bash completion offers and what the manual page is checked against.

#include <string>
#include <vector>

#include "cli/OptionTable.h"

namespace oculant::cli {

struct CommandContext;

struct CommandSpec {
    std::string name;                 // "results"; a subcommand's own name, "report"
    std::vector<std::string> usages;  // what follows the name, one line per form of the command
    std::string description;          // one line
    Completion operands = Completion::None;  // what its operands are (None: it takes none, or text)
    std::vector<OptionSpec> options;  // -h, --help last
    int (*handler)(CommandContext&) = nullptr;
    std::vector<CommandSpec> subcommands;  // named right after the command: "results report"
};

// The options before the command's name.
const std::vector<OptionSpec>& globalOptionTable();
// Every command, in the order the help lists them.
const std::vector<CommandSpec>& commandTable();
const CommandSpec* commandNamed(const std::string& name);
const CommandSpec* subcommandNamed(const CommandSpec& command, const std::string& name);

// oculant-cli --help, and COMMAND --help ("results report" for a subcommand).
std::string programHelp();
std::string commandHelp(const CommandSpec& command, const std::string& fullName);

// The bash completion script, from the tables (oculant-cli --bash-completion writes it at build time).
std::string bashCompletionScript();

}  // namespace oculant::cli
