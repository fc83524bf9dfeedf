// The bash completion of oculant-cli, written from the command and option tables: the build
// runs `oculant-cli --bash-completion` and the package installs what it prints.
#include <string>

#include "cli/CommandTable.h"

namespace oculant::cli {

namespace {

// A scope is where the completion stands: '' before the command, a command, "results report".
struct Scope {
    std::string key;
    const std::vector<OptionSpec>* options;
    Completion operands;
    const std::vector<CommandSpec>* subcommands;
};

std::vector<Scope> scopes()
{
    std::vector<Scope> all{{"", &globalOptionTable(), Completion::None, nullptr}};
    for (const CommandSpec& c : commandTable()) {
        all.push_back({c.name, &c.options, c.operands, &c.subcommands});
        for (const CommandSpec& s : c.subcommands)
            all.push_back({c.name + " " + s.name, &s.options, s.operands, &s.subcommands});
    }
    return all;
}

std::string completionWord(Completion c, const std::vector<std::string>& choices)
{
    switch (c) {
    case Completion::Files: return "files";
    case Completion::Folders: return "folders";
    case Completion::Choices: {
        std::string words = "words";
        for (const std::string& w : choices)
            words += " " + w;
        return words;
    }
    case Completion::None: break;
    }
    return "none";
}

}  // namespace

std::string bashCompletionScript()
{
    const std::vector<Scope> all = scopes();
    std::string commands;
    for (const CommandSpec& c : commandTable())
        commands += (commands.empty() ? "" : " ") + c.name;

    std::string s =
        "# bash completion for oculant-cli: its commands, the options of each and what their values are.\n"
        "# Written from the program's own option tables by `oculant-cli --bash-completion`.\n"
        "\n"
        "# The options of a scope: '' (before the command), a command, or a command and its subcommand.\n"
        "_oculant_cli_options()\n"
        "{\n"
        "    case $1 in\n";
    for (const Scope& scope : all) {
        std::string words;
        for (const OptionSpec& o : *scope.options)
            if (!o.hidden)
                words += (words.empty() ? "--" : " --") + o.name;
        s += "    '" + scope.key + "') REPLY='" + words + "' ;;\n";
    }
    s += "    *) REPLY='' ;;\n"
         "    esac\n"
         "}\n"
         "\n"
         "# What the value of an option of a scope is (REPLY: files, folders, 'words W...' or none).\n"
         "# Status 0: the value may be the next word; 2: only --option=VALUE; 1: the option takes none.\n"
         "_oculant_cli_value()\n"
         "{\n"
         "    case \"$1|$2\" in\n";
    for (const Scope& scope : all)
        for (const OptionSpec& o : *scope.options) {
            if (o.arg == OptionSpec::NoValue)
                continue;
            s += "    '" + scope.key + "|--" + o.name + "') REPLY='" + completionWord(o.completion, valueChoices(o)) +
                 "'" + (o.arg == OptionSpec::OptionalValue ? "; return 2" : "") + " ;;\n";
        }
    s += "    *) return 1 ;;\n"
         "    esac\n"
         "}\n"
         "\n"
         "# The subcommands of a scope, named right after the command.\n"
         "_oculant_cli_subcommands()\n"
         "{\n"
         "    case $1 in\n";
    for (const Scope& scope : all) {
        if (!scope.subcommands || scope.subcommands->empty())
            continue;
        std::string words;
        for (const CommandSpec& c : *scope.subcommands)
            words += (words.empty() ? "" : " ") + c.name;
        s += "    '" + scope.key + "') REPLY='" + words + "' ;;\n";
    }
    s += "    *) REPLY='' ;;\n"
         "    esac\n"
         "}\n"
         "\n"
         "# What the operands of a scope are.\n"
         "_oculant_cli_operands()\n"
         "{\n"
         "    case $1 in\n";
    for (const Scope& scope : all)
        if (scope.operands != Completion::None)
            s += "    '" + scope.key + "') REPLY='" + completionWord(scope.operands, {}) + "' ;;\n";
    s += "    *) REPLY=none ;;\n"
         "    esac\n"
         "}\n"
         "\n"
         "# COMPREPLY: the candidates of a kind that begin with the current text, each after `before`.\n"
         "_oculant_cli_fill()\n"
         "{\n"
         "    local kind=$1 current=$2 before=${3-}\n"
         "    case $kind in\n"
         "    files) mapfile -t COMPREPLY < <(compgen -f -- \"$current\") ;;\n"
         "    folders) mapfile -t COMPREPLY < <(compgen -d -- \"$current\") ;;\n"
         "    words\\ *) mapfile -t COMPREPLY < <(compgen -W \"${kind#words }\" -- \"$current\") ;;\n"
         "    *) COMPREPLY=(); return ;;\n"
         "    esac\n"
         "    if [[ -n $before ]]; then\n"
         "        COMPREPLY=(\"${COMPREPLY[@]/#/\"$before\"}\")\n"
         "    elif [[ $kind == files || $kind == folders ]]; then\n"
         "        compopt -o filenames 2>/dev/null\n"
         "    fi\n"
         "}\n"
         "\n"
         "_oculant_cli()\n"
         "{\n"
         "    local cur=${COMP_WORDS[COMP_CWORD]} prev='' scope='' named=0 first=0 ended=0 i word status REPLY\n"
         "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
         "    COMPREPLY=()\n"
         "    # The words before the cursor: the global options and their values, the command, a\n"
         "    # subcommand right after it, the command's options and operands.\n"
         "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
         "        word=${COMP_WORDS[i]}\n"
         "        ((ended)) && continue\n"
         "        case $word in\n"
         "        --)\n"
         "            ((named)) && ended=1\n"
         "            continue ;;\n"
         "        =)\n"
         "            # bash splits --option=VALUE at the \"=\": the value is the next word.\n"
         "            ((i++))\n"
         "            continue ;;\n"
         "        -*)\n"
         "            if [[ $word != *=* && ${COMP_WORDS[i + 1]-} != = ]] && _oculant_cli_value \"$scope\" \"$word\"; then\n"
         "                ((i++))\n"
         "            fi\n"
         "            continue ;;\n"
         "        esac\n"
         "        if ((!named)); then\n"
         "            scope=$word named=1 first=$((i + 1))\n"
         "        elif ((i == first)); then\n"
         "            _oculant_cli_subcommands \"$scope\"\n"
         "            [[ \" $REPLY \" == *\" $word \"* ]] && scope=\"$scope $word\"\n"
         "        fi\n"
         "    done\n"
         "    if ((!ended)); then\n"
         "        # An option's value: --option VALUE, --option=VALUE, or the two split by bash at the \"=\".\n"
         "        if [[ $cur == = && $prev == -* ]]; then\n"
         "            _oculant_cli_value \"$scope\" \"$prev\"; status=$?\n"
         "            ((status != 1)) && _oculant_cli_fill \"$REPLY\" '' =\n"
         "            return 0\n"
         "        fi\n"
         "        if [[ $prev == = ]] && ((COMP_CWORD >= 2)); then\n"
         "            _oculant_cli_value \"$scope\" \"${COMP_WORDS[COMP_CWORD - 2]}\"; status=$?\n"
         "            ((status != 1)) && _oculant_cli_fill \"$REPLY\" \"$cur\"\n"
         "            return 0\n"
         "        fi\n"
         "        if [[ $cur == --*=* ]]; then\n"
         "            _oculant_cli_value \"$scope\" \"${cur%%=*}\"; status=$?\n"
         "            ((status != 1)) && _oculant_cli_fill \"$REPLY\" \"${cur#*=}\" \"${cur%%=*}=\"\n"
         "            return 0\n"
         "        fi\n"
         "        if [[ $prev == -* ]] && _oculant_cli_value \"$scope\" \"$prev\"; then\n"
         "            _oculant_cli_fill \"$REPLY\" \"$cur\"\n"
         "            return 0\n"
         "        fi\n"
         "        if [[ $cur == -* ]]; then\n"
         "            _oculant_cli_options \"$scope\"\n"
         "            _oculant_cli_fill \"words $REPLY\" \"$cur\"\n"
         "            return 0\n"
         "        fi\n"
         "    fi\n"
         "    if ((!named)); then\n"
         "        _oculant_cli_fill 'words " + commands + "' \"$cur\"\n"
         "        return 0\n"
         "    fi\n"
         "    if ((!ended && COMP_CWORD == first)); then\n"
         "        _oculant_cli_subcommands \"$scope\"\n"
         "        if [[ -n $REPLY ]]; then\n"
         "            _oculant_cli_fill \"words $REPLY\" \"$cur\"\n"
         "            return 0\n"
         "        fi\n"
         "    fi\n"
         "    _oculant_cli_operands \"$scope\"\n"
         "    _oculant_cli_fill \"$REPLY\" \"$cur\"\n"
         "    return 0\n"
         "}\n"
         "complete -F _oculant_cli oculant-cli\n";
    return s;
}

}  // namespace oculant::cli
