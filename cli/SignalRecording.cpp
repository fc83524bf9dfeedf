#include "cli/SignalRecording.h"

#include "cli/CliSession.h"

namespace oculant::cli {

void recordSignal(CliSession& cs, int ms, const std::function<bool()>& stop)
{
    DeviceSession& session = cs.session();
    // As the Record Data button: run the frame if it is stopped, then the signal stream.
    if (session.records().runState() != 1)
        session.talk().SendCommand(protocol::kCmdRun);
    session.sendModeStream(protocol::kModeSignal);
    cs.processor().recorder().setLogOn(true);
    // A log error ends the recording.
    cs.runFor(ms, [&] { return !cs.logError().empty() || (stop && stop()); });
    // Switching off takes effect with the next frame of the stream; give it one.
    cs.processor().recorder().setLogOn(false);
    cs.runFor(1000, [&] { return !cs.processor().recorder().recording(); });
}

}  // namespace oculant::cli
