#pragma once
// Recording the signal stream into an AD log on a connected CLI session, as the Record Data
// button does: what `record` writes and the test station's signal phase attaches.

#include <functional>

namespace oculant::cli {

class CliSession;

// Runs the frame if it is stopped, streams the signal and logs it into the session's log folder
// for `ms` milliseconds (a log error ends it sooner), then switches the log off and gives the
// stream one more frame to close it. The stream is left on. `stop`, when given, ends the
// recording early when it says so.
void recordSignal(CliSession& cs, int ms, const std::function<bool()>& stop = {});

}  // namespace oculant::cli
