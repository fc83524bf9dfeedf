#pragma once
// The options of oculant-cli and of each of its commands are declared once, as rows of a table:
// the parser (glibc's getopt_long), the help texts, the bash completion and the manual's check
// all read the same rows.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace oculant::cli {

// What the completion offers for a value or an operand.
enum class Completion {
    None,     // free text (a number, a name, a URL)
    Files,    // a file name
    Folders,  // a folder name
    Choices,  // one of the words of the value name: "PASS|FAIL|ERROR", "0..3"
};

struct OptionSpec {
    enum Arg {
        NoValue,
        Value,          // --name VALUE or --name=VALUE
        OptionalValue,  // --name or --name=VALUE (never a separate word)
    };
    std::string name;    // without the dashes: "db-timeout"
    char letter = 0;     // its one-letter form (-h), or 0
    Arg arg = NoValue;
    std::string valueName;  // "S", "FILE", "PASS|FAIL|ERROR"
    std::string help;       // one line
    Completion completion = Completion::None;
    bool repeats = false;  // given again, the last value counts; otherwise a second one is refused
    bool stops = false;    // ends the parsing where it stands (--help, --version)
    bool hidden = false;   // in neither the help nor the manual: for the build
};

// The option as the help and the manual show it: "--db URL", "--virtual-frame[=PROFILE]",
// "-h, --help".
std::string optionForm(const OptionSpec& o, bool withLetter = true);
// The words a Choices value may be: "PASS|FAIL|ERROR" is three, "0..3" four.
std::vector<std::string> valueChoices(const OptionSpec& o);

// What a command line gave of a table's options. Asking for an option that is not in the
// table is a fault of the program, not of the user: it throws std::logic_error.
class ParsedOptions {
public:
    ParsedOptions() = default;
    explicit ParsedOptions(const std::vector<OptionSpec>& table) : table_(&table) {}

    bool declares(std::string_view name) const;
    bool has(std::string_view name) const;
    // The last value given (an occurrence without one, "--virtual-frame", gives none).
    std::optional<std::string> value(std::string_view name) const;
    // Every value given, in order.
    std::vector<std::string> values(std::string_view name) const;

    void add(const OptionSpec& o, std::optional<std::string> value);

private:
    void check(std::string_view name) const;
    const std::vector<OptionSpec>* table_ = nullptr;
    std::vector<std::pair<std::string, std::optional<std::string>>> given_;
};

struct OptionError {
    enum Kind { Unknown, MissingValue, UnwantedValue, Repeated } kind = Unknown;
    std::string option;  // as it was typed: "--bogus", "-x"; the option's name for the others
    std::string valueName;
};

struct ParsedArguments {
    ParsedOptions options;
    std::vector<std::string> operands;
    std::optional<OptionError> error;
    size_t next = 0;  // with stopAtOperand: the index of the first operand (the size when none)
};

// Parses args (what follows the program or the command's name) against table. Options and
// operands may come in any order; "--" ends the options, and what follows is an operand even
// when it begins with a dash. With stopAtOperand the parsing ends at the first operand, which
// is left in args at `next`. Only whole option names are taken, never abbreviations.
ParsedArguments parseArguments(const std::vector<OptionSpec>& table, const std::vector<std::string>& args,
                               bool stopAtOperand = false);

// The one refusal for an option the command line got wrong, for every command: the command
// ("oculant-cli test") says what, and where its options are listed ("oculant-cli test --help").
std::string optionRefusal(const std::string& command, const OptionError& error);

// The table's visible options as help lines: "  --db URL        the results database".
std::string optionHelpLines(const std::vector<OptionSpec>& table);

// The width the help texts fit in, and text broken into lines of it, every line after the first
// indented; with keepGroups a usage's [bracketed group] stays on one line. used: the columns
// already taken on the first line (the indent when not given).
constexpr size_t kHelpWidth = 80;
std::string wrapped(const std::string& text, size_t indent, size_t width = kHelpWidth, bool keepGroups = false,
                    std::optional<size_t> used = std::nullopt);

}  // namespace oculant::cli
