#pragma once
// The test station's phases run on a connected CLI session, in the plan's order, into one test
// record. A phase that cannot run (the frame gone, no answer, a time-out) ends as ERROR with the
// reason; once the frame has gone every later phase does too, since a frame plugged in then
// may not be the one under test.

#include <functional>
#include <ostream>
#include <string>

#include "cli/InfoCommand.h"
#include "station/IdentityPhase.h"
#include "station/SignalPhase.h"
#include "station/TestPlan.h"
#include "station/TestRecord.h"

namespace oculant::cli {

class CliSession;

// What the station keeps of the main window's view: the information answers, and whether the
// frame went away since the phases started.
class StationView : public InfoView {
public:
    void showUnconnected() override { lost = true; }
    bool lost = false;
};

struct StationSettings {
    bool sweep = false;          // the virtual technician slides the finger in the diagnose phase
    std::string attachFolder;    // this record's files (the AD log); created when first needed
    const Language* language = nullptr;  // texts of the identity measurements
    std::string labelSerial;             // --serial: the identity phase compares the frame's with it
    // A field check's base: the element levels of the serial's first passing record.
    std::function<station::BaseLevels(const std::string& serial)> firstPass;
    // Called after each phase, for a progress line.
    std::function<void(const station::PhaseRecord&)> phaseDone;
};

// The identity of the connected frame from the answers the view collected.
station::IdentityValues identityValues(CliSession& cs, const StationView& view, const Language& language);

// Runs every phase of the plan; fills the record's phases, attachments, outcome, model and
// serial (from the identity answers). The view must be the session's.
void runPlan(CliSession& cs, StationView& view, const station::TestPlan& plan, const StationSettings& settings,
             station::TestRecord& record);

}  // namespace oculant::cli
