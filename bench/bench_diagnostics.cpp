// The emitter/receiver diagnostic per live scan (testing stage, and the whole road from
// ProcessFrame through the session), and the picture's geometry at 1920 × 1080. The benchmarks
// link only the Qt-free core, so Redraw is measured on a canvas that takes the drawing calls
// without rasterising them: the layout and content arithmetic, the texts and the fault lines.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "diagnostics/BeamView.h"
#include "diagnostics/DiagnosticSession.h"
#include "diagnostics/FaultAnalysis.h"
#include "signal/FrameProcessor.h"
#include "protocol/SignalFrameBuilder.h"
#include "signal/SignalStore.h"

namespace {

using namespace oculant;

struct Geometry {
    std::vector<int> xBoards, yBoards;
    std::vector<int16_t> xOffsets, yOffsets;
};

// 0: the virtual frame's default (5 × 32 X, 3 × 30 Y, 3 layers per axis).
// 1: a large frame (10 × 30 X, 6 × 28 + 2 Y, 7 layers per axis), as in bench_signal.
Geometry geometry(int which)
{
    if (which == 0)
        return {{32, 32, 32, 32, 32}, {30, 30, 30}, {0, -4, 4}, {0, -4, 4}};
    return {std::vector<int>(10, 30), {28, 28, 28, 28, 28, 28, 2}, {0, 1, -1, 2, -2, 3, 4}, {0, 1, -1, 2, -2, 3, 4}};
}

BoardLayoutTable tableOf(const Geometry& g)
{
    BoardLayoutTable t;
    t.xBoards = uint8_t(g.xBoards.size());
    t.yBoards = uint8_t(g.yBoards.size());
    for (size_t i = 0; i < g.xBoards.size(); ++i)
        t.xElements[i] = uint8_t(g.xBoards[i]);
    for (size_t i = 0; i < g.yBoards.size(); ++i)
        t.yElements[i] = uint8_t(g.yBoards[i]);
    t.valid = true;
    return t;
}

FrameLayout layoutOf(const Geometry& g)
{
    FrameLayout l;
    l.family = kFamilyFullScan;
    int nX = 0, nY = 0;
    for (int n : g.xBoards)
        nX += n;
    for (int n : g.yBoards)
        nY += n;
    l.nX = uint16_t(nX);
    l.nY = uint16_t(nY);
    l.xOffsets = g.xOffsets;
    l.yOffsets = g.yOffsets;
    return l;
}

// Every beam at about 200, and a finger over positions 40-41 of the X emitter edge: a scan in
// the middle of a sweep, where acceptance and the contiguity check both have work to do.
std::vector<uint8_t> sweepScan(const FrameLayout& l)
{
    std::vector<uint8_t> levels;
    auto axis = [&](int n, const std::vector<int16_t>& offsets, bool finger) {
        for (int16_t o : offsets)
            for (int k = 0; k < n; ++k) {
                const int e = k + o;
                const bool beam = e >= 0 && e < n;
                const bool blocked = finger && (e == 40 || e == 41);
                levels.push_back(uint8_t(!beam ? 0 : blocked ? 12 : 198 + (k * 7) % 5));
            }
    };
    axis(l.nX, l.xOffsets, true);
    axis(l.nY, l.yOffsets, false);
    return levels;
}

// A session in its testing state: shown, reference captured, judged.
struct TestingRig {
    explicit TestingRig(int which)
        : geometryUsed(geometry(which)), table(tableOf(geometryUsed)), layout(layoutOf(geometryUsed)),
          session(store, table)
    {
        processor.addListener(&session);
        session.setActive(true);
        session.FormShow();
        const SignalFrameBuilder builder(layout);
        std::vector<uint8_t> levels = sweepScan(layout);
        sweep = builder.liveScan(levels);
        // The reference comes from scans without the finger.
        for (uint8_t& b : levels)
            if (b == 12)
                b = 200;
        quiet = builder.liveScan(levels);
        for (int i = 0; i < 11; ++i)
            processor.ProcessFrame(quiet.data(), quiet.size());
    }

    Geometry geometryUsed;
    BoardLayoutTable table;
    FrameLayout layout;
    SignalStore store;
    FrameProcessor processor{store};
    DiagnosticSession session;
    std::vector<uint8_t> quiet, sweep;
};

// TestingStage alone, on the store's rows as they stand during a sweep.
void BM_TestingStage(benchmark::State& state)
{
    TestingRig rig(int(state.range(0)));
    if (rig.session.testState() != TestState::Testing) {
        state.SkipWithError("not in the testing state");
        return;
    }
    rig.processor.removeListener(&rig.session);
    rig.processor.ProcessFrame(rig.sweep.data(), rig.sweep.size());
    BoardModel model = rig.session.model();
    const BeamView beams = BeamView::of(rig.store);
    for (auto _ : state) {
        // A fresh copy of the judged model each time would dominate; the stage itself is
        // idempotent once the elements it accepts are accepted, so it runs on the same model.
        benchmark::DoNotOptimize(TestingStage(model, beams));
    }
    state.SetLabel(std::to_string(rig.store.nX()) + "x" + std::to_string(rig.store.nY()) + " positions, "
                   + std::to_string(rig.store.bX()) + "+" + std::to_string(rig.store.bY()) + " layers");
}
BENCHMARK(BM_TestingStage)->Arg(0)->Arg(1);

// One live scan end to end in the testing state: ProcessFrame (store, reference check) and the
// session's step (BeamView, TestingStage).
void BM_LiveScanToVerdict(benchmark::State& state)
{
    TestingRig rig(int(state.range(0)));
    for (auto _ : state)
        rig.processor.ProcessFrame(rig.sweep.data(), rig.sweep.size());
    if (rig.session.testState() != TestState::Testing)
        state.SkipWithError("the test ended");
}
BENCHMARK(BM_LiveScanToVerdict)->Arg(0)->Arg(1);

// The judgement, once per test.
void BM_JudgementStage(benchmark::State& state)
{
    TestingRig rig(int(state.range(0)));
    const BeamView beams = BeamView::of(rig.store);
    BoardModel model = rig.session.model();
    for (auto _ : state) {
        JudgementStage(model, beams);
        benchmark::DoNotOptimize(model.emitters.data());
    }
}
BENCHMARK(BM_JudgementStage)->Arg(0)->Arg(1);

// Takes every drawing call and folds its numbers, so that nothing is optimised away.
class FoldingCanvas : public DiagnosticCanvas {
public:
    uint64_t sum = 0;
    void resize(int w, int h) override { sum += uint64_t(w + h); }
    void fillRect(const CanvasRect& r, Rgb c) override { sum += uint64_t(r.left + r.right + r.top + r.bottom + c.g); }
    void outlineRect(const CanvasRect& r) override { sum += uint64_t(r.left + r.bottom); }
    void line(int x0, int y0, int x1, int y1, int w) override { sum += uint64_t(x0 + y1 + w); }
    void circle(const CanvasRect& r, Rgb c) override { sum += uint64_t(r.left + r.top + c.r); }
    void text(int x, int y, std::string_view t, const TextStyle&) override { sum += uint64_t(x + y) + t.size(); }
};

// Redraw's work without rasterising at 1920 × 1080: range(1) 1 lays out (legend, frames)
// every time, 0 repaints only the contents, the fault list and the verdict.
void BM_RedrawGeometry(benchmark::State& state)
{
    TestingRig rig(int(state.range(0)));
    rig.processor.ProcessFrame(rig.sweep.data(), rig.sweep.size());
    const bool layout = state.range(1) != 0;
    const TextLookup lookup = [](std::string_view key) { return std::string(key); };
    FoldingCanvas canvas;
    int width = 1920;
    rig.session.Redraw(canvas, width, 1080, lookup);
    for (auto _ : state) {
        if (layout)
            width = width == 1920 ? 1921 : 1920;  // a size change forces the layout
        benchmark::DoNotOptimize(rig.session.Redraw(canvas, width, 1080, lookup));
    }
    benchmark::DoNotOptimize(canvas.sum);
}
BENCHMARK(BM_RedrawGeometry)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1});

}  // namespace

BENCHMARK_MAIN();
