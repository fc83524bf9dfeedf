#pragma once
// The diagnose phase judged: the emitter/receiver test's verdict and, for every board at fault,
// its fault numbers and the share of its elements that were accepted.

#include <string>

#include "diagnostics/BoardModel.h"
#include "diagnostics/FaultAnalysis.h"
#include "station/TestRecord.h"

namespace oculant::station {

// "XEmit1", "YRecv3": the board as the fault list names it, whatever the language.
std::string boardName(const PCB_INFO& board);

// A verdict of None ends the phase as ERROR with `noVerdictReason`.
PhaseRecord judgeDiagnosis(OverallVerdict verdict, const BoardModel& model, const std::string& noVerdictReason);

}  // namespace oculant::station
