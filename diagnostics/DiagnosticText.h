#pragma once
// Texts of the diagnostic: the keys it looks up in the language file, the fixed verdict words,
// the fault line of a board and the window caption. Texts are looked up through a function so
// that the core never depends on where the language file lives.

#include "base/TextLookup.h"
#include <functional>
#include <string>
#include <string_view>

#include "diagnostics/BoardModel.h"

namespace oculant {

struct DiagnosticProgress;

// The line under the diagnostic picture: "412 of 480 elements accepted (85.8 %), 48 s left";
// past the time-out, which elements are still wanted; empty before the test judges scans.
std::string progressText(const DiagnosticProgress& progress, int64_t timeoutMs, const TextLookupOr& words = {});

namespace diagtext {
inline constexpr std::string_view kTestSteps = "TestSteps";
inline constexpr std::string_view kTestStep[4] = {"TestStep1", "TestStep2", "TestStep3", "TestStep4"};
inline constexpr std::string_view kTestResults = "TestResults";
inline constexpr std::string_view kTestResult[4] = {"TestResult1", "TestResult2", "TestResult3", "TestResult4"};
inline constexpr std::string_view kFaults = "Faults";
inline constexpr std::string_view kFault[4] = {"Fault1", "Fault2", "Fault3", "Fault4"};
inline constexpr std::string_view kFaultStatus = "FaultStatus";
inline constexpr std::string_view kEmit = "Emit";
inline constexpr std::string_view kReceive = "Receive";
inline constexpr std::string_view kTitleReceiving = "DiagnosticTitle1";
inline constexpr std::string_view kTitleNoData = "DiagnosticTitle2";
inline constexpr std::string_view kWindowCaption = "FormImgDiag";
inline constexpr std::string_view kConnected = "PanelConnect";
inline constexpr std::string_view kUnconnected = "PanelUnconnect";
// Fixed in the program, not looked up.
inline constexpr std::string_view kFail = "FAIL";
inline constexpr std::string_view kPass = "PASS";
inline constexpr std::string_view kUsb = "USB";
}  // namespace diagtext

// A board's line in the fault list: "X" or "Y", the looked-up word for its side ("Emit" or
// "Receive"), its number from 1, ": ", then its fault numbers joined by "/" (2/4), or when it
// has none "OK" (status OK), "NG" (emitter board) or "NA" (receiver board).
std::string FaultLine(const PCB_INFO& board, const TextLookup& lookup);

// The caption the main window gives this window on connection changes:
// FormImgDiag + " - " + PanelConnect or PanelUnconnect.
std::string diagnosticCaption(const TextLookup& lookup, bool connected);

}  // namespace oculant
