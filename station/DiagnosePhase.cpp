#include "station/DiagnosePhase.h"

#include <cmath>

#include "diagnostics/DiagnosticGeometry.h"
#include "station/Measure.h"
#include "station/TestPlan.h"

namespace oculant::station {

std::string boardName(const PCB_INFO& board)
{
    return std::string(board.onX() ? "X" : "Y") + (board.isEmitter() ? "Emit" : "Recv") +
           std::to_string(board.index + 1);
}

PhaseRecord judgeDiagnosis(OverallVerdict verdict, const BoardModel& model, const std::string& noVerdictReason)
{
    const std::string name(phaseName(PhaseKind::Diagnose));
    const char* word = verdict == OverallVerdict::Pass ? "PASS" : verdict == OverallVerdict::Fail ? "FAIL" : "NONE";
    std::vector<Measurement> m;
    m.push_back(textMeasurement("verdict", word, "PASS", verdict == OverallVerdict::Pass));
    for (const auto* list : {&model.emitters, &model.receivers})
        for (const PCB_INFO& b : *list) {
            if (b.status != kFault)
                continue;
            std::string faults;
            for (int n = 1; n <= 32; ++n)
                if (b.hasFault(n))
                    faults += (faults.empty() ? "" : "/") + std::to_string(n);
            const std::string board = boardName(b);
            m.push_back(textMeasurement(board + ".faults", faults, "none", false));
            m.push_back(numberMeasurement(board + ".okPercent", std::round(okPercentValue(b) * 10) / 10, "%", 100));
        }
    PhaseRecord phase = judgedPhase(name, std::move(m));
    if (verdict == OverallVerdict::None) {
        phase.outcome = Outcome::Error;
        phase.reason = noVerdictReason;
    } else if (verdict == OverallVerdict::Fail) {
        // The boards at fault, as the line's technician will look for them.
        std::string boards;
        for (const Measurement& x : phase.measurements)
            if (x.name.size() > 7 && x.name.compare(x.name.size() - 7, 7, ".faults") == 0)
                boards += (boards.empty() ? "" : ", ") + x.name.substr(0, x.name.size() - 7) + " " + x.text;
        phase.reason = boards.empty() ? "the verdict is FAIL" : "faulty boards: " + boards;
    }
    return phase;
}

}  // namespace oculant::station
