#include "cli/OptionTable.h"

#include <getopt.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <stdexcept>

namespace oculant::cli {

namespace {

// getopt_long's option codes: above every letter, one per row of the table.
constexpr int kFirstCode = 256;

// getopt_long keeps its state in globals (optind, optarg, optopt): one parse at a time.
std::mutex parsing;

const OptionSpec* byLetter(const std::vector<OptionSpec>& table, int letter)
{
    for (const OptionSpec& o : table)
        if (o.letter != 0 && o.letter == letter)
            return &o;
    return nullptr;
}

// "--bogus=1" is refused as --bogus.
std::string typedOption(const std::string& word)
{
    return word.substr(0, word.find('='));
}

}  // namespace

std::string optionForm(const OptionSpec& o, bool withLetter)
{
    std::string text = withLetter && o.letter ? std::string("-") + o.letter + ", " : std::string();
    text += "--" + o.name;
    if (o.arg == OptionSpec::Value)
        text += " " + o.valueName;
    else if (o.arg == OptionSpec::OptionalValue)
        text += "[=" + o.valueName + "]";
    return text;
}

std::vector<std::string> valueChoices(const OptionSpec& o)
{
    std::vector<std::string> words;
    if (o.completion != Completion::Choices)
        return words;
    const std::string& v = o.valueName;
    if (const size_t dots = v.find(".."); dots != std::string::npos) {
        const int first = std::atoi(v.substr(0, dots).c_str()), last = std::atoi(v.substr(dots + 2).c_str());
        for (int n = first; n <= last; ++n)
            words.push_back(std::to_string(n));
        return words;
    }
    size_t start = 0;
    for (size_t bar; (bar = v.find('|', start)) != std::string::npos; start = bar + 1)
        words.push_back(v.substr(start, bar - start));
    words.push_back(v.substr(start));
    return words;
}

void ParsedOptions::check(std::string_view name) const
{
    if (!declares(name))
        throw std::logic_error("the option table has no --" + std::string(name));
}

bool ParsedOptions::declares(std::string_view name) const
{
    return table_ && std::any_of(table_->begin(), table_->end(), [&](const OptionSpec& o) { return o.name == name; });
}

bool ParsedOptions::has(std::string_view name) const
{
    check(name);
    return std::any_of(given_.begin(), given_.end(), [&](const auto& g) { return g.first == name; });
}

std::optional<std::string> ParsedOptions::value(std::string_view name) const
{
    check(name);
    for (auto it = given_.rbegin(); it != given_.rend(); ++it)
        if (it->first == name && it->second)
            return it->second;
    return std::nullopt;
}

std::vector<std::string> ParsedOptions::values(std::string_view name) const
{
    check(name);
    std::vector<std::string> all;
    for (const auto& [option, value] : given_)
        if (option == name && value)
            all.push_back(*value);
    return all;
}

void ParsedOptions::add(const OptionSpec& o, std::optional<std::string> value)
{
    given_.emplace_back(o.name, std::move(value));
}

ParsedArguments parseArguments(const std::vector<OptionSpec>& table, const std::vector<std::string>& args,
                               bool stopAtOperand)
{
    ParsedArguments result;
    result.options = ParsedOptions(table);
    result.next = args.size();
    // "-": the operands in the order given (whatever POSIXLY_CORRECT says), ":" a missing
    // value told apart from an unknown option.
    std::string letters = "-:";
    std::vector<option> longs;
    for (size_t i = 0; i < table.size(); ++i) {
        const OptionSpec& o = table[i];
        const int has = o.arg == OptionSpec::NoValue ? no_argument
                        : o.arg == OptionSpec::Value ? required_argument
                                                     : optional_argument;
        longs.push_back({o.name.c_str(), has, nullptr, kFirstCode + int(i)});
        if (o.letter)
            letters += std::string(1, o.letter) + (has == required_argument ? ":" : has == optional_argument ? "::" : "");
    }
    longs.push_back({nullptr, 0, nullptr, 0});
    std::vector<std::string> words{"oculant-cli"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const int argc = int(words.size());

    const std::lock_guard<std::mutex> lock(parsing);
    opterr = 0;
    optind = 0;  // glibc: start afresh
    const auto fail = [&](OptionError::Kind kind, std::string option, const OptionSpec* o) {
        result.error = OptionError{kind, std::move(option), o ? o->valueName : std::string()};
        return result;
    };
    for (;;) {
        // The word being read: getopt_long moves optind past it (and its value) once it is done.
        const int at = std::max(optind, 1);
        const std::string word = at < argc ? words[size_t(at)] : std::string();
        const int code = getopt_long(argc, argv.data(), letters.c_str(), longs.data(), nullptr);
        if (code == -1) {
            // The end, or "--": every word after it is an operand.
            if (stopAtOperand) {
                result.next = size_t(optind - 1);
                return result;
            }
            for (int i = optind; i < argc; ++i)
                result.operands.push_back(words[size_t(i)]);
            return result;
        }
        if (code == 1) {
            if (stopAtOperand) {
                result.next = size_t(at - 1);
                return result;
            }
            result.operands.push_back(optarg);
            continue;
        }
        if (code == ':') {
            const OptionSpec* o = optopt >= kFirstCode ? &table[size_t(optopt - kFirstCode)] : byLetter(table, optopt);
            return fail(OptionError::MissingValue, optopt >= kFirstCode ? "--" + o->name : typedOption(word), o);
        }
        if (code == '?') {
            if (optopt >= kFirstCode) {
                const OptionSpec& o = table[size_t(optopt - kFirstCode)];
                return fail(OptionError::UnwantedValue, "--" + o.name, &o);
            }
            // An unknown long option (optopt 0), or a letter no option has.
            return fail(OptionError::Unknown, optopt ? std::string("-") + char(optopt) : typedOption(word), nullptr);
        }
        const OptionSpec& o = code >= kFirstCode ? table[size_t(code - kFirstCode)] : *byLetter(table, code);
        // getopt_long takes "--js" for --json when no other option begins so: not here, where a
        // name that a later option might share must not change its meaning.
        if (code >= kFirstCode && typedOption(word) != "--" + o.name)
            return fail(OptionError::Unknown, typedOption(word), nullptr);
        if (!o.repeats && result.options.has(o.name))
            return fail(OptionError::Repeated, "--" + o.name, &o);
        result.options.add(o, optarg ? std::optional<std::string>(optarg) : std::nullopt);
        if (o.stops)
            return result;
    }
}

std::string optionRefusal(const std::string& command, const OptionError& error)
{
    std::string text = command + ": ";
    switch (error.kind) {
    case OptionError::Unknown: text += "unknown option " + error.option; break;
    case OptionError::MissingValue: text += "option " + error.option + " wants a value: " + error.option + " " + error.valueName; break;
    case OptionError::UnwantedValue: text += "option " + error.option + " takes no value"; break;
    case OptionError::Repeated: text += "option " + error.option + " given twice"; break;
    }
    return text + "\nTry '" + command + " --help' for the options.\n";
}

std::string wrapped(const std::string& text, size_t indent, size_t width, bool keepGroups, std::optional<size_t> used)
{
    // The words: what lies between spaces, or with keepGroups between spaces outside brackets.
    std::vector<std::string> words{""};
    int depth = 0;
    for (char c : text) {
        depth += c == '[' ? 1 : c == ']' ? -1 : 0;
        if (c == ' ' && (!keepGroups || depth <= 0))
            words.emplace_back();
        else
            words.back() += c;
    }
    std::string out, line;
    size_t start = used.value_or(indent);  // where the line being filled begins
    for (const std::string& word : words) {
        if (!line.empty() && start + line.size() + 1 + word.size() > width) {
            out += line + "\n" + std::string(indent, ' ');
            line.clear();
            start = indent;
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line;
}

std::string optionHelpLines(const std::vector<OptionSpec>& table)
{
    // The help starts in one column for all; an option too long for it has its help below.
    constexpr size_t kWidest = 28;
    size_t column = 0;
    for (const OptionSpec& o : table)
        if (!o.hidden && optionForm(o).size() <= kWidest)
            column = std::max(column, optionForm(o).size());
    std::string text;
    for (const OptionSpec& o : table) {
        if (o.hidden)
            continue;
        const std::string form = optionForm(o);
        text += "  " + form;
        if (form.size() > column)
            text += "\n  " + std::string(column, ' ');
        else
            text += std::string(column - form.size(), ' ');
        text += "  " + wrapped(o.help, column + 4, kHelpWidth) + "\n";
    }
    return text;
}

}  // namespace oculant::cli
