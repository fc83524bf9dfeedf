// oculant-cli diagnose: the emitter/receiver test exactly as the diagnostic window runs it.
#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>

#include "base/JsonText.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/DiagnosticRun.h"
#include "cli/InfoCommand.h"
#include "diagnostics/DiagnosticGeometry.h"
#include "diagnostics/DiagnosticSession.h"

namespace oculant::cli {

namespace {

nlohmann::ordered_json boardJson(const PCB_INFO& b, const std::string& line)
{
    nlohmann::ordered_json faults = nlohmann::json::array();
    for (int n = 1; n <= 32; ++n)
        if (b.hasFault(n))
            faults.push_back(n);
    nlohmann::ordered_json elements = nlohmann::json::array();
    for (const LED_STA& e : b.leds)
        elements.push_back(e.status);
    return {{"axis", b.onX() ? "X" : "Y"},
            {"side", b.isEmitter() ? "emitter" : "receiver"},
            {"number", b.index + 1},
            {"status", b.status},
            {"faults", faults},
            {"okPercent", std::round(okPercentValue(b) * 10) / 10},
            {"line", line},
            {"elements", elements}};
}

}  // namespace

int runDiagnose(CommandContext& ctx)
{
    const bool json = ctx.options.has("json");
    const bool sweep = ctx.options.has("sweep");
    const std::string timeoutText = ctx.options.value("timeout").value_or("60");
    char* end = nullptr;
    const double timeout = std::strtod(timeoutText.c_str(), &end);
    // A day at most: beyond it the milliseconds no longer fit the run's clock.
    if (!ctx.args.empty() || *end != '\0' || !(timeout > 0) || timeout > 86400) {
        ctx.err << "usage: oculant-cli diagnose [--sweep] [--timeout S (above 0, at most 86400)] [--json]\n";
        return kExitUsage;
    }
    if (sweep && !ctx.global.virtualFrame) {
        ctx.err << "oculant-cli diagnose: --sweep needs the virtual frame (--virtual-frame); on a real frame, slide a "
                   "finger along every edge\n";
        return kExitUsage;
    }
    Language language(languageFileBesideProgram());
    language.select(ctx.global.language.empty() ? "English" : ctx.global.language);
    const TextLookup lookup = [&](std::string_view key) { return language.LookupText(key); };

    int exitCode = kExitOk;
    std::unique_ptr<CliSession> cs = CliSession::openConnected(ctx, "diagnose", exitCode);
    if (!cs)
        return exitCode;
    // Without the board table nothing can be tested; the run still ends with its reason and,
    // with --json, its JSON.
    std::optional<DiagnosticRun> run;
    NoVerdictReason reason;
    if (!cs->session().records().boards.valid) {
        reason = noLayoutReason(cs->session().timesAsked());
    } else {
        run.emplace(*cs);
        run->run(sweep, int(timeout * 1000));
        reason = run->noVerdictReason(timeoutText);
    }
    cs->close();
    if (!run) {
        if (json)
            ctx.out << jsonText(nlohmann::ordered_json{{"verdict", "NONE"},
                                                       {"reason", reason.code},
                                                       {"reasonText", reason.text},
                                                       {"boards", nlohmann::json::array()}})
                    << "\n";
        else
            ctx.out << "NONE\n" << reason.text << "\n";
        return kExitNoVerdict;
    }
    const DiagnosticSession& diag = run->diagnostic();

    const OverallVerdict verdict = diag.verdict();
    const char* word = verdict == OverallVerdict::Pass ? "PASS" : verdict == OverallVerdict::Fail ? "FAIL" : "NONE";
    const std::vector<std::string> lines = diag.faultLines(lookup);
    if (json) {
        nlohmann::ordered_json boards = nlohmann::json::array();
        size_t i = 0;
        for (const auto* list : {&diag.model().emitters, &diag.model().receivers})
            for (const PCB_INFO& b : *list)
                boards.push_back(boardJson(b, i < lines.size() ? lines[i++] : ""));
        nlohmann::ordered_json out{{"verdict", word}};
        out["reason"] = reason.code.empty() ? nullptr : nlohmann::ordered_json(reason.code);
        out["reasonText"] = reason.code.empty() ? nullptr : nlohmann::ordered_json(reason.text);
        out["boards"] = boards;
        ctx.out << jsonText(out) << "\n";
    } else {
        ctx.out << word << "\n";
        for (const std::string& line : lines)
            ctx.out << line << "\n";
        if (!reason.code.empty())
            ctx.out << reason.text << "\n";
    }
    return verdict == OverallVerdict::Pass ? kExitOk : verdict == OverallVerdict::Fail ? kExitFailed : kExitNoVerdict;
}

}  // namespace oculant::cli
