// oculant-cli diagnose: the emitter/receiver test exactly as the diagnostic window runs it.
#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/InfoCommand.h"
#include "diagnostics/DiagnosticGeometry.h"
#include "diagnostics/DiagnosticSession.h"

namespace oculant::cli {

namespace {

void send(DeviceSession& s, const DiagnosticCommand& c)
{
    s.talk().SendCommand(c.code, c.payload.data(), c.payload.size());
}

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

// A frame whose scans cannot be tested (no levels, a layout that does not match its table) is
// given this long to change its mind before the run ends without a verdict.
constexpr int64_t kUntestableMs = 2000;

bool untestable(DiagnosticNotice n) { return n == DiagnosticNotice::NoLevels || n == DiagnosticNotice::LayoutMismatch; }

// Why there is no verdict, for --json: the notice, or a time-out without one.
const char* reasonCode(DiagnosticNotice n)
{
    switch (n) {
    case DiagnosticNotice::NoLevels:
        return "no-levels";
    case DiagnosticNotice::LayoutMismatch:
        return "layout-mismatch";
    case DiagnosticNotice::LiftHand:
        return "hand-on-frame";
    case DiagnosticNotice::None:
        break;
    }
    return "timeout";
}

}  // namespace

int runDiagnose(CommandContext& ctx)
{
    const bool json = takeFlag(ctx.args, "--json");
    const bool sweep = takeFlag(ctx.args, "--sweep");
    const std::string timeoutText = takeOption(ctx.args, "--timeout").value_or("60");
    char* end = nullptr;
    const double timeout = std::strtod(timeoutText.c_str(), &end);
    if (!ctx.args.empty() || *end != '\0' || !(timeout > 0)) {
        ctx.err << "usage: oculant-cli diagnose [--sweep] [--timeout S] [--json]\n";
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
    DeviceSession& session = cs->session();
    if (!session.records().boards.valid) {
        ctx.err << "oculant-cli diagnose: the frame did not report its board layout\n";
        return kExitFailed;
    }

    // The Diagnostic button, then the window's show and activation.
    DiagnosticSession diag(cs->store(), session.records().boards);
    cs->processor().addListener(&diag);
    session.setActiveWindow(ActiveWindow::Diagnostic);
    send(session, diagnosticModeCommand());
    diag.restartTest();
    diag.FormShow();
    send(session, diag.FormActivate());
    diag.setActive(true);

    bool sweepStarted = false;
    int64_t lastTimerMs = cs->nowMs();
    int64_t untestableSinceMs = -1;
    const auto finished = [&] {
        if (!untestable(diag.notice()))
            untestableSinceMs = -1;
        else if (untestableSinceMs < 0)
            untestableSinceMs = cs->nowMs();
        else if (cs->nowMs() - untestableSinceMs >= kUntestableMs && !cs->replaying())
            return true;
        if (cs->nowMs() - lastTimerMs >= DiagnosticSession::kTimerIntervalMs) {
            lastTimerMs = cs->nowMs();
            diag.TimerTimer(true);
        }
        if (sweep && !sweepStarted && diag.testState() == TestState::Testing) {
            cs->testBench()->startSweep();
            sweepStarted = true;
        }
        const OverallVerdict v = diag.verdict();
        if (v == OverallVerdict::Pass)
            return true;
        // A fault is final; with a sweep running or a capture replaying, let it finish so every
        // board is judged.
        return v == OverallVerdict::Fail && !(sweepStarted && cs->testBench()->sweepRunning()) && !cs->replaying();
    };
    cs->runFor(int(timeout * 1000), finished);
    send(session, diag.FormClose());
    diag.setActive(false);
    cs->close();

    const OverallVerdict verdict = diag.verdict();
    const char* word = verdict == OverallVerdict::Pass ? "PASS" : verdict == OverallVerdict::Fail ? "FAIL" : "NONE";
    const std::vector<std::string> lines = diag.faultLines(lookup);
    // Without a verdict: the window's notice, else the time-out.
    const std::string reason = verdict != OverallVerdict::None ? std::string()
                               : diag.notice() != DiagnosticNotice::None
                                   ? diag.noticeText()
                                   : "No verdict within " + timeoutText + " s: every element must be blocked once and "
                                         "then clear again (slide a finger along each edge of the frame).";
    if (json) {
        nlohmann::ordered_json boards = nlohmann::json::array();
        size_t i = 0;
        for (const auto* list : {&diag.model().emitters, &diag.model().receivers})
            for (const PCB_INFO& b : *list)
                boards.push_back(boardJson(b, i < lines.size() ? lines[i++] : ""));
        nlohmann::ordered_json out{{"verdict", word}};
        out["reason"] = reason.empty() ? nullptr : nlohmann::ordered_json(reasonCode(diag.notice()));
        out["reasonText"] = reason.empty() ? nullptr : nlohmann::ordered_json(reason);
        out["boards"] = boards;
        ctx.out << out.dump(2) << "\n";
    } else {
        ctx.out << word << "\n";
        for (const std::string& line : lines)
            ctx.out << line << "\n";
        if (!reason.empty())
            ctx.out << reason << "\n";
    }
    return verdict == OverallVerdict::Pass ? kExitOk : verdict == OverallVerdict::Fail ? kExitFailed : kExitNoVerdict;
}

}  // namespace oculant::cli
