// oculant-cli log over a ten-minute AD log of a large frame (7 X layers of 300 positions, 7 Y
// layers of 170, family 0x10, 125 frames a second: about 1 GB of text): the time to read it
// frame by frame through the processor into every element's level, and the process's peak RSS.
// The log is written into the system's temporary folder first and removed after the run.
//
//   bench_log [--minutes M] [--rate FPS]

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "protocol/SignalFrameBuilder.h"
#include "signal/AdLogFormat.h"
#include "signal/AdLogSummary.h"
#include "signal/FrameProcessor.h"
#include "bench/BenchLayouts.h"

namespace {

using namespace oculant;

double gMinutes = 10;
double gRate = 125;
std::string gPath;

using bench::largeLayout;

// Clear levels around 200 with a little noise: the digits a real log holds.
std::vector<uint8_t> levels(size_t length, unsigned seed)
{
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] = uint8_t(195 + (seed * 31 + i * 7 + i / 13) % 11);
    return bytes;
}

// The log as the recorder writes it: the version line, the start blocks, then the frames; a
// few distinct frames in turn, written a megabyte at a time.
bool writeLog(const std::string& path, uint64_t frames)
{
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (!out)
        return false;
    const SignalFrameBuilder builder(largeLayout());
    std::vector<std::string> texts;
    SignalStore store;
    FrameProcessor processor(store);
    for (unsigned seed = 0; seed < 16; ++seed) {
        const std::vector<uint8_t> frame = builder.liveScan(levels(builder.layout().sampleBlockLength(), seed));
        FrameHeader header;
        parseFrameHeader(frame.data(), frame.size(), header);
        processor.ProcessFrame(frame.data(), frame.size());
        LogTextBuffer text;
        if (seed == 0) {
            appendVersionLine(text, header.family());
            for (const auto& [plane, type] : {std::pair{kPlaneReference, kTypeReference},
                                              {kPlaneThreshold, kTypeThreshold}, {kPlaneCurrent, kTypeLiveScan}})
                appendReferenceBlock(text, header, uint8_t(header.family() | type), store, plane);
            std::fwrite(text.data(), 1, text.size(), out);
            text.clear();
        }
        appendFrameBlock(text, header, frame.data() + header.length);
        texts.emplace_back(text.view());
    }
    for (uint64_t i = 0; i < frames; ++i) {
        const std::string& t = texts[i % texts.size()];
        if (std::fwrite(t.data(), 1, t.size(), out) != t.size()) {
            std::fclose(out);
            return false;
        }
    }
    return std::fclose(out) == 0;
}

void BM_LogTenMinutes(benchmark::State& state)
{
    uint64_t bytes = 0;
    for (auto _ : state) {
        AdLogSummary summary;
        std::string error;
        if (!summarizeAdLog(gPath, summary, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        bytes = summary.bytes;
        benchmark::DoNotOptimize(summary.levels.elements());
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    state.counters["MB"] = double(bytes) / 1e6;
    state.counters["MB/s"] = benchmark::Counter(double(bytes) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peakRSS_MB"] = double(usage.ru_maxrss) / 1024;
}
BENCHMARK(BM_LogTenMinutes)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv)
{
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc)
            gMinutes = std::atof(argv[++i]);
        else if (std::strcmp(argv[i], "--rate") == 0 && i + 1 < argc)
            gRate = std::atof(argv[++i]);
        else
            rest.push_back(argv[i]);
    }
    gPath = (std::filesystem::temp_directory_path() / ("oculant-bench-" + std::to_string(::getpid()) + ".txt")).string();
    const uint64_t frames = uint64_t(gMinutes * 60 * gRate);
    if (!writeLog(gPath, frames)) {
        std::fprintf(stderr, "bench_log: cannot write %s\n", gPath.c_str());
        std::remove(gPath.c_str());
        return 1;
    }
    std::printf("bench_log: %llu frames (%.1f min at %.0f frames/s) in %s\n", static_cast<unsigned long long>(frames),
                gMinutes, gRate, gPath.c_str());
    int count = int(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(gPath.c_str());
    return 0;
}
