#include "diagnostics/DiagnosticText.h"

namespace oculant {

std::string FaultLine(const PCB_INFO& board, const TextLookup& lookup)
{
    std::string line = board.onX() ? "X" : "Y";
    if (lookup)
        line += lookup(board.isEmitter() ? diagtext::kEmit : diagtext::kReceive);
    line += std::to_string(board.index + 1);
    line += ": ";
    if (board.faults != 0) {
        bool firstNumber = true;
        for (int n = 1; n <= 32; ++n) {
            if ((board.faults & faultBit(n)) == 0)
                continue;
            if (!firstNumber)
                line += '/';
            line += std::to_string(n);
            firstNumber = false;
        }
    } else if (board.status == kOk) {
        line += "OK";
    } else {
        line += board.isEmitter() ? "NG" : "NA";
    }
    return line;
}

std::string diagnosticCaption(const TextLookup& lookup, bool connected)
{
    if (!lookup)
        return {};
    return lookup(diagtext::kWindowCaption) + " - " + lookup(connected ? diagtext::kConnected : diagtext::kUnconnected);
}

}  // namespace oculant
