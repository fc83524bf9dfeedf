#pragma once
// Why an emitter/receiver test ended without a verdict, told from what the run saw: the code a
// script reads and the sentence a technician reads. A verdict reached from the frames that did
// arrive stands; these are for a test that ends without one.

#include <cstdint>
#include <string>

#include "diagnostics/DiagnosticSession.h"

namespace oculant {

// What a run saw of the link besides the scans the session judged.
struct DiagnosticRunFacts {
    uint64_t framesSeen = 0;        // signal frames that reached the test
    uint64_t framesLost = 0;        // frames given up on the way (a report of theirs was lost)
    // At the end, since the last frame came or was lost (the whole run when none did): a frame
    // that stopped sending, or a recording played to its end.
    int64_t msSinceLastFrame = 0;
    std::string timeoutText = "60"; // the time-out as the user gave it, in seconds
};

struct NoVerdictReason {
    std::string code;  // no-levels, layout-mismatch, no-frames, frames-lost, hand-on-frame, ambient, pending, timeout
    std::string text;
};

// An element dark in this many scans in a row at the end is stuck (half a second at 50 frames a
// second); a finger sliding by darkens one for a few.
inline constexpr uint16_t kStuckDarkScans = 25;
// Frames stop "coming" after this long without one at the end of a run.
inline constexpr int64_t kFramesStoppedMs = 1000;
// Frames lost past this share of all the run's frames leave too few scans to test every element.
inline constexpr double kFramesLostShare = 0.25;

// The reason, checked in this order: the session's notice of a frame that cannot be tested,
// frames that stopped, frames lost, a hand on the frame, ambient light, elements stuck dark,
// and otherwise the time-out. Empty code with a verdict.
NoVerdictReason explainNoVerdict(const DiagnosticSession& session, const DiagnosticRunFacts& facts);

// The board table never came: nothing can be tested.
NoVerdictReason noLayoutReason(int timesAsked);

}  // namespace oculant
