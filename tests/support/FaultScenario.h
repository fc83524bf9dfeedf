#pragma once
// A connected session on a virtual frame, stepped in simulated milliseconds (no thread, no
// sleeping), with the frame processor wired as the main window wires it: every assembled frame
// goes to ProcessFrame and is also kept, so that a test can replay exactly what arrived.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/SessionHarness.h"
#include "tests/support/TempDir.h"
#include "signal/FrameProcessor.h"
#include "signal/SignalStore.h"

namespace oculant::test {

// Log files are named by this second.
inline constexpr int64_t kLogSecond = 1800000000;

struct FaultScenario {
    explicit FaultScenario(const std::string& logDirectory = ".") : h(manualCore(logDirectory, [] { return kLogSecond; }))
    {
        h.session.setView(&view);
        h.core.addFrameObserver([this](const uint8_t* data, uint32_t length, const FrameResult& r) {
            frames.emplace_back(data, data + length);
            accepted += r.status == FrameStatus::Accepted;
            if (!r.logError.empty()) {
                if (logErrors.empty())
                    firstLogErrorFrame = frames.size() - 1;
                logErrors.push_back(r.logError);
            }
        });
    }

    SessionHarness h;
    SessionViewLog view;
    SignalStore& store = h.core.store();
    FrameProcessor& processor = h.core.processor();
    std::vector<std::vector<uint8_t>> frames;  // every frame handed to the processor, in order
    uint64_t accepted = 0;
    std::vector<std::string> logErrors;
    size_t firstLogErrorFrame = SIZE_MAX;  // index in `frames` of the frame whose log step failed

    std::shared_ptr<VirtualFrame> frame(const std::string& path) { return h.backend.frame(path); }
};

// The same frames through a fresh processor recording from the first one: the log that every
// delivered frame should have produced.
inline std::string replayedLog(const std::vector<std::vector<uint8_t>>& frames, const std::filesystem::path& dir)
{
    SignalStore store;
    FrameProcessor replay(store, dir.string(), [] { return kLogSecond; });
    replay.recorder().setLogOn(true);
    for (const auto& f : frames)
        replay.ProcessFrame(f.data(), f.size());
    replay.recorder().finish();
    return readFile(replay.recorder().path());
}

// The records the information sequence reads agree with what the frame is.
inline ::testing::AssertionResult recordsMatch(const DeviceRecords& r, const VirtualFrameProfile& p)
{
    if (r.modelCode() != p.modelCode)
        return ::testing::AssertionFailure() << "model code " << int(r.modelCode());
    if (protocol::readLe16(&r.versionStatus[8]) != p.hardwareVersion)
        return ::testing::AssertionFailure() << "hardware version";
    if (!std::equal(p.identifier.begin(), p.identifier.end(), r.identifier.begin()))
        return ::testing::AssertionFailure() << "identifier";
    if (r.featureWord() != p.featureWord)
        return ::testing::AssertionFailure() << "feature word " << r.featureWord();
    if (!r.boards.valid || r.boards.xBoards != p.xBoards.size() || r.boards.yBoards != p.yBoards.size())
        return ::testing::AssertionFailure() << "board layout not read";
    return ::testing::AssertionSuccess();
}

}  // namespace oculant::test
