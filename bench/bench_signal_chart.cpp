// One refresh of the signal window's six charts (the 100 ms redraw tick) on a large frame:
// 7 X layers of 300 positions and 7 Y layers of 170, with the quality marks off and on, with
// and without the repaint that follows it. Runs on Qt's offscreen platform.

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <array>
#include <vector>

#include "signal/FormSignal.h"
#include "signal/FrameProcessor.h"
#include "protocol/SignalFrameBuilder.h"
#include "bench/BenchLayouts.h"

namespace {

using namespace oculant;

using bench::largeLayout;

// Live scans near the reference level with a little noise; with `fingers`, three blocked
// spots per layer that the quality marks flag. Four different scans, so every refresh changes.
std::array<std::vector<uint8_t>, 4> liveScans(bool fingers)
{
    const SignalFrameBuilder builder(largeLayout());
    std::array<std::vector<uint8_t>, 4> scans;
    for (size_t k = 0; k < scans.size(); ++k) {
        std::vector<uint8_t> levels(builder.layout().sampleBlockLength());
        for (size_t i = 0; i < levels.size(); ++i)
            levels[i] = uint8_t(198 + (i * 7 + k * 3) % 5);
        if (fingers)
            for (size_t i = 0; i < levels.size(); i += 97)
                levels[i] = levels[i + 1] = uint8_t(10 + k);
        scans[k] = builder.liveScan(levels, {});
    }
    return scans;
}

void refreshCharts(benchmark::State& state, bool marks, bool paint)
{
    SignalStore store;
    FrameProcessor processor(store, "/nonexistent");
    TFormSignal form;
    form.setProcessor(&processor);
    form.NSignalQulity->setChecked(marks);
    form.resize(1162, 600);
    form.show();
    QApplication::processEvents();
    const auto scans = liveScans(marks);
    // Warm: the series exist and the axes span the layout.
    for (const auto& scan : scans) {
        processor.ProcessFrame(scan.data(), scan.size());
        form.TimerReDrawTimer();
        QApplication::processEvents();
    }
    size_t k = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto& scan = scans[k++ % scans.size()];
        processor.ProcessFrame(scan.data(), scan.size());
        state.ResumeTiming();
        form.TimerReDrawTimer();
        if (paint)
            QApplication::processEvents();
    }
}

void BM_ChartRefresh(benchmark::State& state) { refreshCharts(state, state.range(0) != 0, false); }
BENCHMARK(BM_ChartRefresh)->ArgName("marks")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ChartRefreshAndPaint(benchmark::State& state) { refreshCharts(state, state.range(0) != 0, true); }
BENCHMARK(BM_ChartRefreshAndPaint)->ArgName("marks")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
