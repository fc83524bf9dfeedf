#pragma once
// The emitter/receiver test run on a connected CLI session exactly as the diagnostic window
// runs it, until a verdict or the time-out: what `diagnose` prints and the test station's
// diagnose phase judges.

#include <functional>
#include <string>
#include <vector>

#include "base/TextLookup.h"
#include "diagnostics/DiagnosticSession.h"
#include "diagnostics/NoVerdictReason.h"

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
    // finger once the test runs, and again along every edge while it has no verdict. `stop`,
    // when given, ends the run early when it says so.
    void run(bool sweep, int timeoutMs, const std::function<bool()>& stop = {});

    const DiagnosticSession& diagnostic() const { return diag_; }
    OverallVerdict verdict() const { return diag_.verdict(); }
    // Why there is no verdict (code and text; empty with a verdict), from what the run saw of
    // the link; the time-out as given ("within S s").
    NoVerdictReason noVerdictReason(const std::string& timeoutText) const;

private:
    CliSession& cs_;
    DiagnosticSession diag_;
    DiagnosticRunFacts facts_;
};

}  // namespace oculant::cli
