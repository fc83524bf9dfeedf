#pragma once
// The emitter/receiver test run on a connected CLI session exactly as the diagnostic window
// runs it, until a verdict or the time-out: what `diagnose` prints and the test station's
// diagnose phase judges.

#include <functional>
#include <string>
#include <vector>

#include "base/TextLookup.h"
#include "diagnostics/DiagnosticSession.h"

namespace oculant::cli {

class CliSession;

class DiagnosticRun {
public:
    // The session must be connected with a valid board layout, and outlive the run.
    explicit DiagnosticRun(CliSession& cs);
    ~DiagnosticRun();
    DiagnosticRun(const DiagnosticRun&) = delete;
    DiagnosticRun& operator=(const DiagnosticRun&) = delete;

    // The Diagnostic button, the window's show and activation, its timer until a verdict or
    // `timeoutMs`, then its close. With `sweep` the virtual frame's technician slides the
    // finger once the test runs. `stop`, when given, ends the run early when it says so.
    void run(bool sweep, int timeoutMs, const std::function<bool()>& stop = {});

    const DiagnosticSession& diagnostic() const { return diag_; }
    OverallVerdict verdict() const { return diag_.verdict(); }
    // Without a verdict: the window's notice, else the time-out ("within S s", S as given).
    std::string noVerdictReason(const std::string& timeoutText) const;
    // Why there is no verdict, as a code: the notice, or "timeout".
    const char* reasonCode() const;

private:
    CliSession& cs_;
    DiagnosticSession diag_;
};

}  // namespace oculant::cli
