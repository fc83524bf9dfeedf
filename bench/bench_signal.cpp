// ProcessFrame per frame for each family, and the AD log in MB/s, on a large frame:
// 7 X layers of 300 positions and 7 Y layers of 170.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "signal/AdLogFormat.h"
#include "signal/FrameProcessor.h"
#include "protocol/SignalFrameBuilder.h"
#include "bench/BenchLayouts.h"

namespace {

using namespace oculant;

using bench::largeLayout;

std::vector<uint8_t> levels(size_t length, uint8_t seed)
{
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = uint8_t(seed + 37 * i + i / 5);
    return bytes;
}

std::vector<uint8_t> largeLiveScan(uint8_t family)
{
    const SignalFrameBuilder builder(largeLayout(family));
    return builder.liveScan(levels(builder.layout().sampleBlockLength(), 1),
                            levels(builder.layout().boundaryBlockLength(), 2));
}

// Steady state: the reference is complete, so a live scan stores plane 0 and copies it to plane 1.
void BM_ProcessLiveScan(benchmark::State& state)
{
    const auto frame = largeLiveScan(uint8_t(state.range(0)));
    SignalStore store;
    FrameProcessor processor(store);
    for (auto _ : state)
        benchmark::DoNotOptimize(processor.ProcessFrame(frame.data(), frame.size()));
    state.SetLabel("frame " + std::to_string(frame.size()) + " bytes");
}
BENCHMARK(BM_ProcessLiveScan)->Arg(0x00)->Arg(0x10)->Arg(0x30)->Arg(0x40)->Unit(benchmark::kMicrosecond);

// Worst case: every live scan also runs the reference capture (planes 3 and 2).
void BM_ProcessLiveScanCapturing(benchmark::State& state)
{
    const auto frame = largeLiveScan(uint8_t(state.range(0)));
    SignalStore store;
    FrameProcessor processor(store);
    for (auto _ : state) {
        store.resetReferenceCapture();
        benchmark::DoNotOptimize(processor.ProcessFrame(frame.data(), frame.size()));
    }
}
BENCHMARK(BM_ProcessLiveScanCapturing)->Arg(0x00)->Arg(0x10)->Arg(0x30)->Arg(0x40)->Unit(benchmark::kMicrosecond);

// Formatting one frame block into the log text, in MB of text per second.
void BM_LogFormatFrame(benchmark::State& state)
{
    const auto frame = largeLiveScan(uint8_t(state.range(0)));
    FrameHeader header;
    parseFrameHeader(frame.data(), frame.size(), header);
    LogTextBuffer text;
    size_t bytes = 0;
    for (auto _ : state) {
        text.clear();
        appendFrameBlock(text, header, frame.data() + header.length);
        bytes += text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(int64_t(bytes));
}
BENCHMARK(BM_LogFormatFrame)->Arg(0x10)->Arg(0x40);

// Recording: ProcessFrame with the log on, queued for the writer thread, into a file under the
// temporary directory.
void BM_RecordLiveScans(benchmark::State& state)
{
    const auto frame = largeLiveScan(uint8_t(state.range(0)));
    std::string dir = (std::filesystem::temp_directory_path() / "oculant-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        state.SkipWithError("mkdtemp failed");
        return;
    }
    {
        SignalStore store;
        FrameProcessor processor(store, dir, [] { return int64_t(1700000000); });
        processor.recorder().setLogOn(true);
        for (auto _ : state)
            benchmark::DoNotOptimize(processor.ProcessFrame(frame.data(), frame.size()));
        processor.recorder().setLogOn(false);
        processor.ProcessFrame(frame.data(), frame.size());
        processor.recorder().finish();  // the writer thread's queue on the disk
        state.SetBytesProcessed(int64_t(std::filesystem::file_size(processor.recorder().path())));
        // Frames faster than the disk: those the writer's full queue refused are not in the bytes.
        state.counters["not_written"] = double(processor.recorder().framesNotWritten());
    }
    std::filesystem::remove_all(dir);
}
// A fixed count keeps the file near 30 MB.
BENCHMARK(BM_RecordLiveScans)->Arg(0x10)->Arg(0x40)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
