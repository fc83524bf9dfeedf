#pragma once
// The boards of the frame as the emitter/receiver diagnostic sees them: every board number of an
// axis once as an emitter board and once as a receiver board, with a verdict per board and per
// element, built from the board layout table of the parameter block answer.

#include <cstdint>
#include <vector>

#include "protocol/DeviceRecords.h"

namespace oculant {

// Verdict codes of boards and elements alike.
enum Verdict : int32_t {
    kNotTested = 0,  // model just built
    kPending = 1,    // not yet accepted
    kFault = 2,
    kOk = 3,         // accepted
};

enum BoardKind : uint8_t { kReceiverBoard = 1, kEmitterBoard = 2 };
enum BoardAxis : uint8_t { kAxisX = 1, kAxisY = 2 };

// Fault numbers; fault n is bit n − 1 of PCB_INFO::faults.
enum FaultNumber : int {
    kFaultDarkBoard = 1,     // whole board dark
    kFaultDarkElement = 2,   // a dark element, or a beam below level 60
    kFaultScattered = 3,     // partly blocked elements not in one run
    kFaultPending = 4,       // elements still pending
};
constexpr uint32_t faultBit(int number) { return uint32_t(1) << (number - 1); }

// One emitter or receiver.
struct LED_STA {
    uint8_t level = 0;  // signal level used by the judgement
    int32_t status = kNotTested;
    // Seen with every covering beam blocked since it became pending; it is accepted once its
    // beams are clear again, so an element that goes dark and stays dark is never accepted.
    bool blockedSeen = false;
    // Seen with every covering beam at most 3/4 of its reference, not blocked, while pending:
    // a finger over it that could not darken it (strong ambient light).
    bool dimmedSeen = false;
    // Scans in a row, up to the last one, with every covering beam blocked: a finger sliding by
    // darkens an element for a few, one resting on it or a failed element for ever more.
    uint16_t darkScans = 0;
};

// One board. A board without elements has count 0 and last == first; it holds no position,
// is skipped by every per-element step and is accepted as soon as the verdicts are updated.
struct PCB_INFO {
    uint8_t index = 0;  // board number within its axis, from 0
    uint8_t kind = kEmitterBoard;
    uint8_t axis = kAxisX;
    int32_t status = kNotTested;
    uint16_t first = 0;  // position of element 0 on the axis
    uint16_t last = 0;   // position of the last element
    uint16_t count = 0;
    // The board's frame on the picture in pixels, set when the picture is laid out.
    uint16_t left = 0, right = 0, top = 0, bottom = 0;
    int32_t mean = 0;     // integer mean of the element levels, set by the judgement
    uint32_t faults = 0;  // fault numbers as bits
    std::vector<LED_STA> leds;

    bool isEmitter() const { return kind == kEmitterBoard; }
    bool onX() const { return axis == kAxisX; }
    bool hasFault(int number) const { return (faults & faultBit(number)) != 0; }
};

// Owned by the diagnostic session; lives as long as it.
struct BoardModel {
    std::vector<PCB_INFO> emitters;   // X boards in board order, then Y boards
    std::vector<PCB_INFO> receivers;  // the same boards, receiver side
    uint16_t xTotal = 0;  // positions on X: sum of the X emitter boards' counts
    uint16_t yTotal = 0;

    // Rebuilds both lists from the table as it is now; every verdict and frame rectangle is
    // discarded. Board counts above the table's 30 entries are taken as 30.
    void BuildModel(const BoardLayoutTable& table);
    void ComputeTotals();

    bool empty() const { return emitters.empty() || receivers.empty(); }
    // Boards per side (X and Y together), as the fault list counts them.
    int boardCount() const { return int(emitters.size()); }
};

}  // namespace oculant
