#include "diagnostics/NoVerdictReason.h"

#include <cstdio>
#include <vector>

namespace oculant {

namespace {

std::string boardCode(const PCB_INFO& b)
{
    return std::string(b.onX() ? "X" : "Y") + (b.isEmitter() ? "Emit" : "Recv") + std::to_string(b.index + 1);
}

// "Y receiver 2 (YRecv1)": the axis position from 0, as profiles and fault lists name elements.
std::string elementName(const PCB_INFO& b, size_t j)
{
    return std::string(b.onX() ? "X " : "Y ") + (b.isEmitter() ? "emitter " : "receiver ") +
           std::to_string(b.first + j) + " (" + boardCode(b) + ")";
}

struct PendingElements {
    std::vector<std::string> stuck;  // dark for many scans up to the end, never clear again
    int untouched = 0;               // never seen dark
    int dimmedOnly = 0;              // of those, dimmed under a finger but never dark
    bool anySeenDark = false;        // any element at all was seen dark during the test
};

PendingElements pendingElements(const BoardModel& model)
{
    PendingElements p;
    for (const auto* list : {&model.emitters, &model.receivers})
        for (const PCB_INFO& b : *list)
            for (size_t j = 0; j < b.leds.size(); ++j) {
                const LED_STA& e = b.leds[j];
                p.anySeenDark = p.anySeenDark || e.blockedSeen;
                if (e.status != kPending)
                    continue;
                if (e.blockedSeen) {
                    if (e.darkScans >= kStuckDarkScans)
                        p.stuck.push_back(elementName(b, j));
                } else {
                    ++p.untouched;
                    p.dimmedOnly += e.dimmedSeen;
                }
            }
    return p;
}

std::string seconds(int64_t ms)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", double(ms) / 1000);
    return buf;
}

std::string listed(const std::vector<std::string>& names)
{
    constexpr size_t kNamed = 8;
    std::string out;
    for (size_t i = 0; i < names.size() && i < kNamed; ++i)
        out += (i ? ", " : "") + names[i];
    if (names.size() > kNamed)
        out += " and " + std::to_string(names.size() - kNamed) + " more";
    return out;
}

}  // namespace

NoVerdictReason explainNoVerdict(const DiagnosticSession& session, const DiagnosticRunFacts& facts)
{
    if (session.verdict() != OverallVerdict::None)
        return {};
    switch (session.notice()) {
    case DiagnosticNotice::NoLevels:
        return {"no-levels", session.noticeText()};
    case DiagnosticNotice::LayoutMismatch:
        return {"layout-mismatch", session.noticeText()};
    case DiagnosticNotice::LiftHand:
    case DiagnosticNotice::None:
        break;
    }
    if (facts.framesSeen == 0)
        return {"no-frames", "No verdict: no signal frame came from the frame."};
    if (facts.msSinceLastFrame >= kFramesStoppedMs)
        return {"no-frames", "No verdict: frames stopped coming " + seconds(facts.msSinceLastFrame) +
                                 " s before the end, after " + std::to_string(facts.framesSeen) + " frames."};
    const uint64_t all = facts.framesSeen + facts.framesLost;
    if (double(facts.framesLost) > kFramesLostShare * double(all)) {
        const int percent = int(100.0 * double(facts.framesLost) / double(all) + 0.5);
        return {"frames-lost", "No verdict: " + std::to_string(facts.framesLost) + " of " + std::to_string(all) +
                                   " frames were lost on the link (" + std::to_string(percent) +
                                   " %): too few scans to test every element. Check the cable and the USB port."};
    }
    if (session.notice() == DiagnosticNotice::LiftHand)
        return {"hand-on-frame", session.noticeText()};
    const PendingElements pending = pendingElements(session.model());
    // Ambient light lifts every beam alike: not one element goes dark however the finger lies,
    // while a lossy link only misses some of them.
    if (!pending.anySeenDark && pending.dimmedOnly > 0)
        return {"ambient", "No verdict: ambient light is too strong: " + std::to_string(pending.dimmedOnly) +
                               " elements dimmed under the finger but never read dark. Shade the frame from sunlight "
                               "and lamps."};
    if (!pending.stuck.empty())
        return {"pending", "No verdict: these elements stayed dark to the end: " +
                               listed(pending.stuck) +
                               ". Lift what rests on them; an element that stays dark failed during the test."};
    return {"timeout", "No verdict within " + facts.timeoutText +
                           " s: every element must be blocked once and then clear again (slide a finger along each "
                           "edge of the frame)."};
}

NoVerdictReason noLayoutReason(int timesAsked)
{
    return {"no-layout", "No verdict: the frame did not send its board table (the parameter block, 0x22), asked " +
                             (timesAsked == 1 ? std::string("once") : std::to_string(timesAsked) + " times") +
                             ": nothing can be tested."};
}

}  // namespace oculant
