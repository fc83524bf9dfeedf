#include "cli/CommandTable.h"

#include "cli/Cli.h"

namespace oculant::cli {

namespace {

OptionSpec flag(std::string name, std::string help)
{
    OptionSpec o;
    o.name = std::move(name);
    o.help = std::move(help);
    return o;
}

OptionSpec valued(std::string name, std::string valueName, std::string help, Completion completion = Completion::None)
{
    OptionSpec o;
    o.name = std::move(name);
    o.arg = OptionSpec::Value;
    o.valueName = std::move(valueName);
    o.help = std::move(help);
    o.completion = completion;
    return o;
}

OptionSpec helpOption(std::string help)
{
    OptionSpec o = flag("help", std::move(help));
    o.letter = 'h';
    o.stops = true;
    return o;
}

// A command's options: its groups in order, then -h, --help.
std::vector<OptionSpec> options(std::initializer_list<std::vector<OptionSpec>> groups)
{
    std::vector<OptionSpec> all;
    for (const std::vector<OptionSpec>& g : groups)
        all.insert(all.end(), g.begin(), g.end());
    all.push_back(helpOption("print this command's usage and options"));
    return all;
}

// What `test` and every form of `results` take of the results database.
std::vector<OptionSpec> databaseOptions()
{
    return {valued("db", "URL", "the results database: sqlite:PATH or postgresql://... (default: the user's SQLite file)"),
            valued("db-timeout", "S", "bound every wait for the database to S seconds (1 to 3600; default 30)")};
}

// The records a query of `results` takes.
std::vector<OptionSpec> recordFilter()
{
    return {valued("serial", "S", "only the records of the frame with this serial"),
            valued("station", "N", "only the records of this station"),
            valued("since", "DATE", "only the records from DATE on: 2026-01-31, 2026-01-31T08:00 (local time, or UTC with Z)"),
            valued("until", "DATE", "only the records up to DATE"),
            valued("outcome", "PASS|FAIL|ERROR", "only the records of this outcome", Completion::Choices)};
}

std::vector<OptionSpec> periodFilter()
{
    return {valued("station", "N", "only the records of this station"),
            valued("since", "DATE", "only the records from DATE on: 2026-01-31, 2026-01-31T08:00 (local time, or UTC with Z)"),
            valued("until", "DATE", "only the records up to DATE")};
}

const OptionSpec kLimit = valued("limit", "N", "at most N records, the newest");

std::vector<OptionSpec> textFormats(const std::string& what)
{
    return {flag("json", "print " + what + " as JSON"), flag("csv", "print " + what + " as CSV")};
}

std::vector<CommandSpec> makeCommandTable()
{
    const std::string db = "[--db URL] [--db-timeout S]";
    const std::string filter =
        "[--serial S] [--station N] [--since DATE] [--until DATE] [--outcome PASS|FAIL|ERROR]";
    std::vector<CommandSpec> results = {
        {"summary", {filter + " [--json|--csv] " + db}, "count, yield and first-pass yield per station and day",
         Completion::None, options({recordFilter(), textFormats("the rows"), databaseOptions()}), runResultsSummary, {}},
        {"export", {filter + " [--limit N] " + db}, "every matching record whole, one JSON record a line",
         Completion::None, options({recordFilter(), {kLimit}, databaseOptions()}), runResultsExport, {}},
        {"report", {"--html FILE [--station N] [--since DATE] [--until DATE] " + db},
         "the line report of the period, one HTML page", Completion::None,
         options({{valued("html", "FILE", "the HTML page to write (required)", Completion::Files)}, periodFilter(),
                  databaseOptions()}),
         runResultsReport, {}},
        {"import", {"FILE|- " + db}, "store the records export writes (or results --json prints); - reads standard input",
         Completion::Files, options({databaseOptions()}), runResultsImport, {}},
        {"sync", {db}, "send the spooled records to their database (or to --db URL)", Completion::None,
         options({databaseOptions()}), runResultsSync, {}},
        {"migrate", {db}, "bring the database's schema up to this version", Completion::None,
         options({databaseOptions()}), runResultsMigrate, {}},
    };
    return {
        {"list", {"[--json]"}, "the frames found among the HID interfaces", Completion::None,
         options({{flag("json", "print the frames as a JSON array")}}), runList, {}},
        {"caps", {"FILE|/dev/hidrawN [--json]"},
         "HID capabilities of a report descriptor, or of every device of a recording", Completion::Files,
         options({{flag("json", "print the capabilities as JSON")}}), runCaps, {}},
        {"info", {"[--json]"}, "what the frame says about itself, as the Status group shows it", Completion::None,
         options({{flag("json", "print the report as one JSON object")}}), runInfo, {}},
        {"diagnose", {"[--sweep] [--timeout S] [--json]"}, "emitter/receiver test, PASS or FAIL", Completion::None,
         options({{flag("sweep", "slide a virtual finger along every edge (virtual frame only)"),
                   valued("timeout", "S", "end without a verdict after S seconds (default 60, at most 86400)"),
                   flag("json", "print the verdict and the boards as one JSON object")}}),
         runDiagnose, {}},
        {"record", {"--seconds S [--dir DIR] [--signal]"}, "record the signal into an AD log", Completion::None,
         options({{valued("seconds", "S", "record for S seconds (required)"),
                   valued("dir", "DIR", "write the log into DIR (default: the current folder)", Completion::Folders),
                   flag("signal", "add a minimum, mean and maximum line per layer of the last scan")}}),
         runRecord, {}},
        {"log",
         {"FILE [--compare BASE [--max-drop PERCENT]] [--x-boards N,...] [--y-boards N,...] [--json]"},
         "what an AD log holds; each element's level against another log", Completion::Files,
         options({{valued("compare", "BASE", "set each element's level against the same element of the log BASE",
                          Completion::Files),
                   valued("max-drop", "PERCENT", "with --compare: list the elements that fell by more (default 25)"),
                   valued("x-boards", "N,...", "the element count of each X board, to name the boards"),
                   valued("y-boards", "N,...", "the element count of each Y board"),
                   flag("json", "print the summary or the comparison as one JSON object")}}),
         runLog, {}},
        {"calibrate",
         {"[--layout FILE] [--grid CxR] [--aux|--no-aux] [--screen WxH] [--margins L,R,U,D] [--window X,Y,W,H] "
          "[--mask] [--direction 0..3] [--extension L,R,D,U] [--verify N [--verify-limit-mm X]] "
          "[--retake-limit-mm X] [--export FILE] [--json]"},
         "single-area calibration, or one per area of a layout file, a virtual finger on each target",
         Completion::None,
         options({{valued("layout", "FILE", "calibrate the areas of a multi-area layout file one by one", Completion::Files),
                   valued("grid", "CxR", "targets per column and row, 2 to 6 each (default 2x2)"),
                   flag("aux", "with the auxiliary targets (the default)"),
                   flag("no-aux", "without the auxiliary targets"),
                   valued("screen", "WxH", "screen size in pixels (default 1920x1080)"),
                   valued("margins", "L,R,U,D", "distance of the outer targets from the screen edges"),
                   valued("window", "X,Y,W,H", "calibrate a window of the screen instead of the whole screen"),
                   flag("mask", "mask the touches outside the window"),
                   valued("direction", "0..3",
                          "display direction: 0 landscape, 1 portrait, 2 landscape flipped, 3 portrait flipped",
                          Completion::Choices),
                   valued("extension", "L,R,D,U", "extend the touch area beyond the screen, in millimetres"),
                   valued("verify", "N", "after the download, verify with N (5 to 61) fresh targets"),
                   valued("verify-limit-mm", "X", "the largest verify error allowed, in millimetres (default 2)"),
                   valued("retake-limit-mm", "X",
                          "take a touch again that lands more than X mm from its target (default 10; 0: never)"),
                   valued("export", "FILE", "also write the 28-byte calibration export file", Completion::Files),
                   flag("json", "print the fit, the verify pass and the download as one JSON object")}}),
         runCalibrate, {}},
        {"reset-calibration", {"--yes"}, "put the frame's calibration back to the identity", Completion::None,
         options({{flag("yes", "replace the calibration in the frame (required)")}}), runResetCalibration, {}},
        {"restore-calibration", {"FILE.cfg --yes [--json]"},
         "download the calibration an export file (or a kept one) holds", Completion::Files,
         options({{flag("yes", "download it into the frame (required)"),
                   flag("json", "print the coefficients and the download as one JSON object")}}),
         runRestoreCalibration, {}},
        {"capture", {"--out FILE [--seconds S] [--mode 0|1|3|4]"}, "record the frame's HID traffic into a capture file",
         Completion::None,
         options({{valued("out", "FILE", "the capture file to write (required)", Completion::Files),
                   valued("seconds", "S", "record for S seconds (default 10)"),
                   valued("mode", "0|1|3|4", "switch the frame to this working mode first: 0 stop, 1 signal, 3 touch, 4 diagnostic",
                          Completion::Choices)}}),
         runCapture, {}},
        {"test",
         {"[--plan FILE] [--serial S] [--station NAME] [--operator NAME] [--db URL] [--db-timeout S] "
          "[--junit FILE] [--attach-dir DIR] [--sweep] [--json]"},
         "run a test plan on the frame and keep its test record", Completion::None,
         options({{valued("plan", "FILE", "the test plan to run (default: the built-in plan)", Completion::Files),
                   valued("serial", "S", "the serial on the frame's label: a frame that reports another one fails"),
                   valued("station", "NAME", "the station in the record (default: the host name)"),
                   valued("operator", "NAME", "the operator in the record (default: the user)")},
                  databaseOptions(),
                  {valued("junit", "FILE", "also write the record as JUnit XML", Completion::Files),
                   valued("attach-dir", "DIR", "keep the attachments under DIR (default ~/.local/share/oculant/attachments)",
                          Completion::Folders),
                   flag("sweep", "slide the virtual finger in the diagnose phase (virtual frame only)"),
                   flag("json", "print the test record as JSON")}}),
         runTest, {}},
        {"results",
         {filter + " [--limit N] [--json|--csv] " + db, "summary|export|report|import|sync|migrate [OPTIONS]"},
         "the test records, newest first; the summary, export, line report, import, spool and schema",
         Completion::None, options({recordFilter(), {kLimit}, textFormats("the records"), databaseOptions()}), runResults,
         results},
        {"udev-probe", {"PATH"},
         "ID_OCULANT_FRAME=1 when a report descriptor (file or hidraw sysfs folder) is a frame's (for the udev rule)",
         Completion::Files, options({}), runUdevProbe, {}},
    };
}

std::vector<OptionSpec> makeGlobalTable()
{
    OptionSpec virtualFrame = flag("virtual-frame", "add the built-in virtual frame (virtual:0), with the default "
                                                    "profile or the given profile file");
    virtualFrame.arg = OptionSpec::OptionalValue;
    virtualFrame.valueName = "PROFILE";
    virtualFrame.completion = Completion::Files;
    OptionSpec version = flag("version", "print the program's name and version");
    version.letter = 'V';
    version.stops = true;
    OptionSpec completion = flag("bash-completion", "print the bash completion script");
    completion.hidden = true;
    completion.stops = true;
    std::vector<OptionSpec> table = {
        virtualFrame,
        valued("replay", "FILE[:N]",
               "play a capture file back as the device replay:FILE; FILE:N plays device N of a recording of several",
               Completion::Files),
        valued("replay-speed", "X", "play the capture X times as fast (above 0, at most 1000; default 1)"),
        valued("capture", "FILE", "record the traffic of the command's frame into FILE", Completion::Files),
        flag("simulated-time", "run the virtual frame and the timers on a simulated clock, as fast as the machine goes"),
        valued("device", "PATH", "use the frame at PATH (/dev/hidrawN, virtual:0, replay:FILE), not the first found",
               Completion::Files),
        valued("language", "NAME", "print texts in the language NAME, a section of lan.ini"),
        flag("verbose", "say on standard error whether the thread that reads the frame got real-time scheduling"),
        version,
        helpOption("print this text"),
        completion,
    };
    // Before the command every option may be given again: the last one counts.
    for (OptionSpec& o : table)
        o.repeats = true;
    return table;
}

std::string usageLines(const std::string& fullName, const std::vector<std::string>& usages)
{
    std::string text;
    for (size_t i = 0; i < usages.size(); ++i) {
        const std::string line = "oculant-cli [GLOBAL OPTIONS] " + fullName + (usages[i].empty() ? "" : " " + usages[i]);
        text += std::string(i == 0 ? "usage: " : "       ") + wrapped(line, 10, kHelpWidth, true, 7) + "\n";
    }
    return text;
}

// "  list [--json]\n      the frames found ...": a command's forms, then what it does.
std::string commandLines(const CommandSpec& c)
{
    std::string text;
    for (const std::string& usage : c.usages)
        text += "  " + c.name + (usage.empty() ? "" : " " + wrapped(usage, c.name.size() + 3, kHelpWidth, true)) + "\n";
    return text + "      " + wrapped(c.description, 6) + "\n";
}

}  // namespace

const std::vector<OptionSpec>& globalOptionTable()
{
    static const std::vector<OptionSpec> table = makeGlobalTable();
    return table;
}

const std::vector<CommandSpec>& commandTable()
{
    static const std::vector<CommandSpec> table = makeCommandTable();
    return table;
}

const CommandSpec* commandNamed(const std::string& name)
{
    for (const CommandSpec& c : commandTable())
        if (c.name == name)
            return &c;
    return nullptr;
}

const CommandSpec* subcommandNamed(const CommandSpec& command, const std::string& name)
{
    for (const CommandSpec& c : command.subcommands)
        if (c.name == name)
            return &c;
    return nullptr;
}

std::string programHelp()
{
    std::string text =
        "usage: oculant-cli [GLOBAL OPTIONS] COMMAND [ARGS]\n"
        "       oculant-cli --version | --help | COMMAND --help\n"
        "\nglobal options, before the command:\n" +
        optionHelpLines(globalOptionTable()) + "\ncommands:\n";
    for (const CommandSpec& c : commandTable())
        text += commandLines(c);
    return text + "\n" +
           wrapped("A command's options: oculant-cli COMMAND --help. An option's value comes after it or joined to it "
                   "by '=' (--db URL, --db=URL); \"--\" ends the options: what follows is an argument even when it "
                   "begins with a dash.",
                   0) +
           "\n";
}

std::string commandHelp(const CommandSpec& command, const std::string& fullName)
{
    std::string text = usageLines(fullName, command.usages) + "\n" + wrapped(command.description, 0) + "\n\noptions:\n" +
                       optionHelpLines(command.options);
    if (!command.subcommands.empty()) {
        text += "\nsubcommands:\n";
        for (const CommandSpec& s : command.subcommands)
            text += commandLines(s);
        text += "\nA subcommand's options: oculant-cli " + fullName + " SUBCOMMAND --help.\n";
    }
    return text + "\nThe global options: oculant-cli --help.\n";
}

}  // namespace oculant::cli
