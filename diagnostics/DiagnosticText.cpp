#include "diagnostics/DiagnosticText.h"

#include <cstdio>

#include "diagnostics/DiagnosticSession.h"
#include "i18n/TextKeys.h"

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

std::string progressText(const DiagnosticProgress& p, int64_t timeoutMs, const TextLookupOr& words)
{
    namespace k = textkeys::diagwords;
    const auto word = [&](const textkeys::KeyFallback& t) { return textOf(words, t); };
    const auto seconds = [](int64_t ms) { return std::to_string((ms + 999) / 1000); };
    if (p.finished)
        return fillIn(word(k::kProgressDone), {std::to_string(p.total), seconds(p.elapsedMs)});
    if (!p.testing || p.total == 0)
        return {};
    char share[16];
    std::snprintf(share, sizeof share, "%.1f", 100.0 * p.accepted / p.total);
    const std::string accepted = std::to_string(p.accepted), total = std::to_string(p.total);
    if (p.elapsedMs >= timeoutMs)
        return fillIn(word(k::kProgressTimedOut), {accepted, total, share, seconds(timeoutMs)});
    return fillIn(word(k::kProgress), {accepted, total, share, seconds(timeoutMs - p.elapsedMs)});
}

}  // namespace oculant
