#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace oculant {

namespace {

struct AppOption {
    QCommandLineOption option;
    const char* shown;  // as the help shows it
};

// The options of the window program, in the order the help lists them. --virtual-frame also
// comes as --virtual-frame=PROFILE, a value QCommandLineParser has no form for: that word is
// taken out before the parser sees the others (virtualProfileWord).
const std::vector<AppOption>& appOptions()
{
    static const std::vector<AppOption> options = {
        {QCommandLineOption(QStringList{"virtual-frame"},
                            "add the built-in virtual frame (virtual:0), with the default or the given profile file; "
                            "Ctrl+U unplugs and plugs it back"),
         "--virtual-frame[=PROFILE]"},
        {QCommandLineOption(QStringList{"replay"},
                            "play a capture file (oculant-cli capture, or a recording of the Linux HID tools) back as "
                            "the device replay:FILE, listed first; FILE:N plays device N of a recording of several",
                            "FILE[:N]"),
         "--replay FILE[:N]"},
        {QCommandLineOption(QStringList{"replay-speed"}, "play it X times as fast (default 1, at most 1000)", "X"),
         "--replay-speed X"},
        {QCommandLineOption(QStringList{"open-log"}, "open the signal view playing a recorded AD log", "FILE"),
         "--open-log FILE"},
        {QCommandLineOption(QStringList{"V", "version"}, "show the version"), "-V, --version"},
        {QCommandLineOption(QStringList{"h", "help"}, "show this text"), "-h, --help"},
    };
    return options;
}

const QString kProfilePrefix = QStringLiteral("--virtual-frame=");

// Whether word is an option that takes the next word as its value ("--replay FILE").
bool takesNextWord(const QString& word)
{
    if (!word.startsWith(QLatin1String("--")) || word.contains('='))
        return false;
    for (const AppOption& o : appOptions())
        if (!o.option.valueName().isEmpty() && o.option.names().contains(word.mid(2)))
            return true;
    return false;
}

// "--virtual-frame=PROFILE" among the options (not as another option's value, nor after "--").
bool virtualProfileWord(const QStringList& words, qsizetype i)
{
    for (qsizetype k = 0; k < i; ++k) {
        if (words[k] == QLatin1String("--"))
            return false;
        if (takesNextWord(words[k]))
            ++k;
        if (k == i)
            return false;
    }
    return words[i].startsWith(kProfilePrefix);
}

std::string text(const QString& s) { return s.toStdString(); }

}  // namespace

AppOptions parseAppArguments(const std::vector<std::string>& args)
{
    AppOptions o;
    QStringList words;
    for (const std::string& a : args)
        words << QString::fromStdString(a);
    QStringList rest{QStringLiteral("oculant")};
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (!virtualProfileWord(words, i)) {
            rest << words[i];
            continue;
        }
        const std::string profile = text(words[i].mid(kProfilePrefix.size()));
        if (profile.empty()) {
            if (o.error.empty())
                o.error = "--virtual-frame= wants the profile file after the '='";
            continue;
        }
        o.virtualFrame = true;
        o.virtualProfile = profile;
    }

    QCommandLineParser parser;
    for (const AppOption& a : appOptions())
        parser.addOption(a.option);
    const bool parsed = parser.parse(rest);
    // --help and --version count even beside a mistake: they answer without running anything.
    o.help = parser.isSet(QStringLiteral("help"));
    o.version = parser.isSet(QStringLiteral("version"));
    if (!parsed) {
        o.error = text(parser.errorText());
        return o;
    }
    if (!o.error.empty())
        return o;
    if (!parser.positionalArguments().isEmpty()) {
        o.error = "unknown argument '" + text(parser.positionalArguments().first()) + "'";
        return o;
    }
    o.virtualFrame = o.virtualFrame || parser.isSet(QStringLiteral("virtual-frame"));
    o.replayFile = text(parser.value(QStringLiteral("replay")));
    o.openLog = text(parser.value(QStringLiteral("open-log")));
    for (const QString& value : parser.values(QStringLiteral("replay-speed"))) {
        const std::string speed = text(value);
        char* end = nullptr;
        o.replaySpeed = std::strtod(speed.c_str(), &end);
        if (speed.empty() || *end != '\0' || !(o.replaySpeed > 0) || o.replaySpeed > 1000) {
            o.error = "--replay-speed wants a number above 0 (at most 1000), not '" + speed + "'";
            return o;
        }
    }
    if (o.replayFile.empty() && o.replaySpeed != 1.0)
        o.error = "--replay-speed goes with --replay FILE";
    return o;
}

std::string appUsage()
{
    std::string usage =
        "usage: oculant [--virtual-frame[=PROFILE]] [--replay FILE[:N] [--replay-speed X]] [--open-log FILE]\n"
        "\n"
        "Service tool for infrared multi-touch frames.\n"
        "\n"
        "options:\n";
    size_t column = 0;
    for (const AppOption& a : appOptions())
        column = std::max(column, std::string(a.shown).size());
    for (const AppOption& a : appOptions()) {
        const std::string shown = a.shown;
        // The description in lines of 80 columns at most, each after the option's column.
        std::string line = "  " + shown + std::string(column - shown.size() + 2, ' ');
        const size_t indent = line.size();
        for (const QString& word : a.option.description().split(' ')) {
            if (line.size() > indent && line.size() + 1 + size_t(word.size()) > 80) {
                usage += line + "\n";
                line = std::string(indent, ' ');
            }
            line += (line.size() > indent ? " " : "") + text(word);
        }
        usage += line + "\n";
    }
    return usage + "\nA value comes after its option or joined to it by '=' (--replay=FILE). Qt's own options\n"
                   "(-platform NAME, ...) are taken too.\n"
                   "\nKeys: Ctrl+Q quits; Esc leaves the full-screen windows.\n";
}

const char* appVersion() { return OCULANT_VERSION; }

}  // namespace oculant
