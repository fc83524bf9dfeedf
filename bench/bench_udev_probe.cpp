// What udev pays per hidraw event for the frame probe: the rule's program, oculant-udev-probe,
// started as udev starts it (a new process on a hidraw node's sysfs folder, its answer read from
// a pipe), against the command-line tool's `udev-probe` command doing the same.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "backends/virtual/VirtualFrame.h"

namespace {

namespace fs = std::filesystem;

// A hidraw node's sysfs folder as the kernel lays it out: hidrawN/device leads to the HID device
// and its report_descriptor.
std::string sysfsNode()
{
    static const std::string node = [] {
        const fs::path hid = fs::temp_directory_path() / ("oculant-bench-probe-" + std::to_string(::getpid()));
        fs::create_directories(hid / "hidraw/hidraw0");
        const std::vector<uint8_t> descriptor = oculant::VirtualFrame::reportDescriptor();
        std::ofstream(hid / "report_descriptor", std::ios::binary)
            .write(reinterpret_cast<const char*>(descriptor.data()), std::streamsize(descriptor.size()));
        fs::create_directory_symlink("../..", hid / "hidraw/hidraw0/device");
        std::atexit([] { fs::remove_all(fs::path(node).parent_path().parent_path()); });
        return (hid / "hidraw/hidraw0").string();
    }();
    return node;
}

// One run of the program, as udev's IMPORT{program} does it: its standard output read to the end.
void probeOnce(const std::vector<std::string>& command, benchmark::State& state)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        state.SkipWithError("pipe");
        return;
    }
    std::vector<char*> argv;
    for (const std::string& a : command)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, pipeFds[1], 1);
    posix_spawn_file_actions_addclose(&files, pipeFds[0]);
    pid_t pid = -1;
    const bool started = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&files);
    ::close(pipeFds[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, size_t(n));
    ::close(pipeFds[0]);
    int status = 0;
    if (!started || ::waitpid(pid, &status, 0) != pid || status != 0 || answer != "ID_OCULANT_FRAME=1\n")
        state.SkipWithError("the probe did not answer ID_OCULANT_FRAME=1");
}

void BM_UdevProbeProgram(benchmark::State& state)
{
    const std::vector<std::string> command{OCULANT_BUILD_DIR "/oculant-udev-probe", sysfsNode()};
    for (auto _ : state)
        probeOnce(command, state);
}
BENCHMARK(BM_UdevProbeProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CliUdevProbeCommand(benchmark::State& state)
{
    const std::vector<std::string> command{OCULANT_BUILD_DIR "/oculant-cli", "udev-probe", sysfsNode()};
    for (auto _ : state)
        probeOnce(command, state);
}
BENCHMARK(BM_CliUdevProbeCommand)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor: starting a program that does nothing.
void BM_TrueProgram(benchmark::State& state)
{
    for (auto _ : state) {
        pid_t pid = -1;
        char* argv[] = {const_cast<char*>("/bin/true"), nullptr};
        int status = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv, environ) != 0 || ::waitpid(pid, &status, 0) != pid)
            state.SkipWithError("/bin/true");
    }
}
BENCHMARK(BM_TrueProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
