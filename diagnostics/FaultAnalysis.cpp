#include "diagnostics/FaultAnalysis.h"

#include <algorithm>

namespace oculant {

namespace {

BoardKind sideOf(const PCB_INFO& board) { return board.isEmitter() ? kEmitterBoard : kReceiverBoard; }

template <typename Fn>
void forEachBoard(BoardModel& model, Fn fn)
{
    for (PCB_INFO& b : model.emitters)
        fn(b);
    for (PCB_INFO& b : model.receivers)
        fn(b);
}

void markWholeBoard(PCB_INFO& board, int32_t status)
{
    for (LED_STA& led : board.leds)
        led.status = status;
    board.status = status;
}

bool partlyBlocked(const LayerRows& rows, int k)
{
    return isPartlyBlocked(rows.reference[size_t(k)], rows.threshold[size_t(k)], rows.current[size_t(k)]);
}

void checkLayerOnBoard(PCB_INFO& board, const AxisSignal& axis, int d)
{
    const LayerRows& rows = axis.layers[size_t(d)];
    const LayerCoverage c = axis.coverage(d, board.first, board.count, sideOf(board));
    // First and last partly blocked element number, and how many there are.
    int first = -1, last = -1, size = 0;
    for (int j = c.begin; j < c.end; ++j) {
        if (!partlyBlocked(rows, j + c.shift))
            continue;
        if (size == 0)
            first = j;
        last = j;
        ++size;
    }
    // Element numbers only grow, so they form one run exactly when the span equals the size.
    if (size <= 1 || first + size - 1 == last)
        return;
    for (int j = first; j <= last; ++j)
        if (partlyBlocked(rows, j + c.shift))
            board.leds[size_t(j)].status = kFault;
    board.faults |= faultBit(kFaultScattered);
}

void checkPass(std::vector<PCB_INFO>& boards, const AxisSignal& axis, uint8_t boardAxis)
{
    for (int d = 0; d < axis.layerCount; ++d)
        for (PCB_INFO& b : boards)
            if (b.axis == boardAxis)
                checkLayerOnBoard(b, axis, d);
}

}  // namespace

void MarkAllPending(BoardModel& model)
{
    forEachBoard(model, [](PCB_INFO& b) {
        markWholeBoard(b, kPending);
        for (LED_STA& led : b.leds) {
            led.blockedSeen = led.dimmedSeen = false;
            led.darkScans = 0;
        }
        b.faults = faultBit(kFaultPending);
    });
}

void LoadLevels(BoardModel& model, const BeamView& beams)
{
    forEachBoard(model, [&](PCB_INFO& b) {
        const AxisSignal& axis = beams.axis(b.axis);
        const std::span<const uint8_t> row = axis.layerCount > 0 ? axis.layers[0].current : std::span<const uint8_t>{};
        for (size_t j = 0; j < b.leds.size(); ++j) {
            const size_t p = b.first + j;
            b.leds[j].level = p < row.size() ? row[p] : 0;
        }
    });
}

bool DarkInAllLayers(int p, int t, const AxisSignal& axis, BoardKind side)
{
    int covered = 0, dark = 0;
    const int limit = t / 2;
    for (int d = 0; d < axis.layerCount; ++d) {
        const int k = axis.byteOf(d, p, side);
        if (k < 0)
            continue;
        ++covered;
        const auto& row = axis.layers[size_t(d)].current;
        if ((k - 1 >= 0 && row[size_t(k - 1)] < limit) || row[size_t(k)] < limit)
            ++dark;
    }
    return dark == covered;
}

void JudgeBoards(std::vector<PCB_INFO>& boards, const BeamView& beams)
{
    for (PCB_INFO& b : boards) {
        if (b.count == 0)
            continue;  // nothing to judge, and no mean to divide out
        const AxisSignal& axis = beams.axis(b.axis);
        const BoardKind side = sideOf(b);
        int sum = 0;
        for (const LED_STA& led : b.leds)
            sum += led.level;
        b.mean = sum / b.count;

        const int t = b.onX() ? kDarkBoardMeanX : kDarkBoardMeanY;
        if (b.mean < t) {
            if (DarkInAllLayers(b.first + 1, t, axis, side) && DarkInAllLayers(int(b.last) - 1, t, axis, side)) {
                markWholeBoard(b, kFault);
                if (b.isEmitter())
                    b.faults = faultBit(kFaultDarkBoard);
                else
                    b.faults |= faultBit(kFaultDarkBoard);
            }
            continue;
        }

        b.faults = faultBit(kFaultPending);
        for (int j = 0; j < b.count; ++j) {
            LED_STA& led = b.leds[size_t(j)];
            if (led.level >= b.mean / 2)
                continue;
            if (DarkInAllLayers(b.first + j, b.mean, axis, side)) {
                led.status = kFault;
                b.status = kFault;
                b.faults |= faultBit(kFaultDarkElement);
            }
        }
    }
}

void MarkLowSamples(BoardModel& model, const BeamView& beams)
{
    forEachBoard(model, [&](PCB_INFO& b) {
        const AxisSignal& axis = beams.axis(b.axis);
        const BoardKind side = sideOf(b);
        for (int j = 0; j < b.count; ++j) {
            for (int d = 0; d < axis.layerCount; ++d) {
                const int k = axis.byteOf(d, b.first + j, side);
                if (k < 0 || axis.layers[size_t(d)].current[size_t(k)] >= kLowBeamLevel)
                    continue;
                b.leds[size_t(j)].status = kFault;
                b.faults = faultBit(kFaultDarkElement);
                b.status = kFault;
                break;
            }
        }
    });
}

void AcceptBlocked(BoardModel& model, const BeamView& beams)
{
    forEachBoard(model, [&](PCB_INFO& b) {
        const AxisSignal& axis = beams.axis(b.axis);
        // Per element: covering layers, and among them those blocked in this scan.
        thread_local std::vector<uint8_t> covering, blocked, dimmed;
        covering.assign(b.count, 0);
        blocked.assign(b.count, 0);
        dimmed.assign(b.count, 0);
        for (int d = 0; d < axis.layerCount; ++d) {
            const LayerRows& rows = axis.layers[size_t(d)];
            const LayerCoverage c = axis.coverage(d, b.first, b.count, sideOf(b));
            for (int j = c.begin; j < c.end; ++j) {
                const size_t k = size_t(j + c.shift);
                ++covering[size_t(j)];
                blocked[size_t(j)] += rows.current[k] <= rows.reference[k] / 4;
                dimmed[size_t(j)] += 4 * rows.current[k] <= 3 * rows.reference[k];
            }
        }
        for (size_t j = 0; j < b.leds.size(); ++j) {
            LED_STA& led = b.leds[j];
            const bool dark = covering[j] > 0 && blocked[j] == covering[j];
            led.darkScans = dark ? uint16_t(std::min(led.darkScans + 1, 0xFFFF)) : 0;
            if (led.status == kOk && covering[j] > 0 && blocked[j] == covering[j]) {
                // Dark again after it was accepted: a finger on it, or an element that failed
                // during the test. The frame does not pass until a scan sees it clear again.
                led.status = kPending;
                led.blockedSeen = true;
                if (b.status == kOk)
                    b.status = kPending;
                continue;
            }
            if (led.status != kPending)
                continue;
            if (covering[j] == 0) {
                led.status = kOk;  // nothing to watch: no beam of it exists
            } else if (blocked[j] == covering[j]) {
                led.blockedSeen = true;
            } else if (blocked[j] == 0 && led.blockedSeen) {
                led.status = kOk;
            } else if (dimmed[j] == covering[j]) {
                led.dimmedSeen = true;
            }
        }
    });
}

bool ScanObstructed(const BeamView& beams)
{
    for (const AxisSignal* axis : {&beams.x, &beams.y}) {
        int counted = 0, blocked = 0;
        for (int d = 0; d < axis->layerCount; ++d) {
            const LayerRows& rows = axis->layers[size_t(d)];
            for (int p = 0; p < axis->positions; ++p) {
                const int k = axis->byteOf(d, p, kReceiverBoard);
                if (k < 0 || rows.reference[size_t(k)] < kLowBeamLevel)
                    continue;
                ++counted;
                blocked += rows.current[size_t(k)] <= rows.reference[size_t(k)] / 4;
            }
        }
        if (2 * blocked > counted)
            return true;
    }
    return false;
}

uint8_t BlockRatio(uint8_t reference, uint8_t threshold, uint8_t current)
{
    const int r = reference;
    const int c = current;
    const int f = std::min<int>(threshold, current);
    if (c >= r || f >= r)
        return 255;
    return uint8_t(std::clamp((c - f) * 256 / (r - f), 0, 255));
}

bool isPartlyBlocked(uint8_t reference, uint8_t threshold, uint8_t current)
{
    // The ratio is below 256 whenever it is not the 255 of an unblocked beam, so
    // floor(x / y) <= 140 is x < 141 y: no division per beam.
    const int r = reference, c = current;
    const int f = std::min<int>(threshold, current);
    if (c >= r || f >= r)
        return false;
    return (c - f) * 256 < (kPartlyBlockedRatio + 1) * (r - f);
}

void CheckContiguity(BoardModel& model, const BeamView& beams)
{
    checkPass(model.emitters, beams.x, kAxisX);
    checkPass(model.emitters, beams.y, kAxisY);
    checkPass(model.receivers, beams.x, kAxisX);
    checkPass(model.receivers, beams.y, kAxisY);
}

bool UpdateVerdicts(BoardModel& model)
{
    bool allOk = true;
    forEachBoard(model, [&](PCB_INFO& b) {
        bool anyFault = false, everyOk = true, anyPending = false;
        for (const LED_STA& led : b.leds) {
            anyFault |= led.status == kFault;
            everyOk &= led.status == kOk;
            anyPending |= led.status == kPending;
        }
        if (anyFault)
            b.status = kFault;
        if (everyOk) {
            b.status = kOk;
            b.faults = 0;
        }
        if (anyPending)
            b.faults |= faultBit(kFaultPending);
        else
            b.faults &= ~faultBit(kFaultPending);
        allOk &= b.status == kOk;
    });
    return allOk;
}

void JudgementStage(BoardModel& model, const BeamView& beams)
{
    MarkAllPending(model);
    LoadLevels(model, beams);
    JudgeBoards(model.emitters, beams);
    JudgeBoards(model.receivers, beams);
    MarkLowSamples(model, beams);
}

bool TestingStage(BoardModel& model, const BeamView& beams)
{
    AcceptBlocked(model, beams);
    CheckContiguity(model, beams);
    return UpdateVerdicts(model);
}

OverallVerdict overallVerdict(const BoardModel& model)
{
    // With no element on an axis nothing was tested there: no PASS.
    bool allOk = model.xTotal > 0 && model.yTotal > 0;
    for (const auto* list : {&model.emitters, &model.receivers})
        for (const PCB_INFO& b : *list) {
            if (b.status == kFault)
                return OverallVerdict::Fail;
            allOk &= b.status == kOk;
        }
    return allOk ? OverallVerdict::Pass : OverallVerdict::None;
}

}  // namespace oculant
