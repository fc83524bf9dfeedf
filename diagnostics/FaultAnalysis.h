#pragma once
// The two stages that decide whether every emitter and receiver works.
//
// Judgement, once per test when the reference is complete: every element becomes pending, and
// dark boards and dark or weak elements become faults. Testing, on every further live scan: an
// element whose beams were all blocked at once and are then clear again is accepted; elements
// partly blocked in a scattered pattern within one layer are faults. A scan with most beams of an
// axis blocked at once (a hand or an object on the frame, emitters without power) tells nothing
// about single elements: the caller refuses it before the testing stage (ScanObstructed). The emitter list is always processed before
// the receiver list. Boards without elements are skipped by every per-element step and accepted
// by UpdateVerdicts.

#include <cstdint>
#include <vector>

#include "diagnostics/BeamView.h"
#include "diagnostics/BoardModel.h"

namespace oculant {

// Level below which a beam, or a board's mean on X, is dark.
inline constexpr int kLowBeamLevel = 60;
inline constexpr int kDarkBoardMeanX = 60;
inline constexpr int kDarkBoardMeanY = 40;
// A beam whose BlockRatio is at most this (about 55 % of the way from threshold to reference)
// is partly blocked.
inline constexpr int kPartlyBlockedRatio = 140;

enum class OverallVerdict { None, Pass, Fail };

// MarkAllPending, LoadLevels, JudgeBoards on emitters then receivers, MarkLowSamples.
void JudgementStage(BoardModel& model, const BeamView& beams);
// AcceptBlocked, CheckContiguity, UpdateVerdicts; true when every board is OK.
bool TestingStage(BoardModel& model, const BeamView& beams);
// True when more than half of the beams of either axis are blocked in this scan (current at
// most a quarter of the reference). Beams already dark in the reference are not counted: they
// cannot show a hand.
bool ScanObstructed(const BeamView& beams);

// FAIL when any board is at fault, PASS when every board is OK, otherwise none. A model with
// no element on an axis never passes.
OverallVerdict overallVerdict(const BoardModel& model);

// ---- The steps, in the order the stages run them ----
void MarkAllPending(BoardModel& model);
// Element j takes byte first + j of layer 0's current row (0 when the axis has no such byte).
void LoadLevels(BoardModel& model, const BeamView& beams);
// True when every layer covering position p shows it dark: byte k − 1 or byte k below t / 2.
// A position that no layer covers is dark.
bool DarkInAllLayers(int p, int t, const AxisSignal& axis, BoardKind side);
void JudgeBoards(std::vector<PCB_INFO>& boards, const BeamView& beams);
void MarkLowSamples(BoardModel& model, const BeamView& beams);
// A pending element whose covering beams are all blocked (current at most a quarter of the
// reference) is marked as seen blocked; one seen blocked whose covering beams are all clear is
// accepted. An element that no layer covers is accepted at once. An accepted element whose
// beams are all blocked again is pending again, and its board too, until it is seen clear: an
// element that fails after it was accepted keeps the frame from passing.
void AcceptBlocked(BoardModel& model, const BeamView& beams);
// Where the current level c lies between threshold f and reference r, 0…255; 255 when the beam
// is not below its reference.
uint8_t BlockRatio(uint8_t reference, uint8_t threshold, uint8_t current);
// BlockRatio(…) <= kPartlyBlockedRatio, as the contiguity check asks it for every beam.
bool isPartlyBlocked(uint8_t reference, uint8_t threshold, uint8_t current);
void CheckContiguity(BoardModel& model, const BeamView& beams);
bool UpdateVerdicts(BoardModel& model);

}  // namespace oculant
