#include "cli/CalibrationCommands.h"

#include "calibration/BlockDownload.h"
#include "calibration/CalibrationFlowDevice.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/InfoCommand.h"

namespace oculant::cli {
namespace {

constexpr int kDownloadTimeoutMs = 30000;

}  // namespace

std::unique_ptr<CalibrationFrame> CalibrationFrame::open(CommandContext& ctx, const char* command, int& exitCode)
{
    std::unique_ptr<CalibrationFrame> frame(new CalibrationFrame);
    frame->language_ = std::make_unique<Language>(languageFileBesideProgram());
    frame->language_->select(ctx.global.language.empty() ? "English" : ctx.global.language);
    frame->session_ = CliSession::openConnected(ctx, command, exitCode);
    if (!frame->session_) {
        if (interrupted.load())
            exitCode = kExitInterrupted;
        return nullptr;
    }
    if (interruptedBeforeDownload(ctx, command)) {
        exitCode = kExitInterrupted;
        return nullptr;
    }
    frame->link_ = std::make_unique<DeviceSessionLink>(frame->session_->session());
    const Language* language = frame->language_.get();
    frame->flow_ = std::make_unique<CalibrationFlow>(
        *frame->link_, [language](std::string_view key) { return language->LookupText(key); });
    frame->flow_->keepReplacedSetsIn(CalibrationHistory::userFolder());
    frame->flow_->setWords(
        [language](std::string_view key, std::string_view fallback) { return language->LookupTextOr(key, fallback); });
    return frame;
}

// The flow and its link go before the session they talk through.
CalibrationFrame::~CalibrationFrame()
{
    flow_.reset();
    link_.reset();
}

int areaWritesSoFar(CliSession& cs)
{
    FrameTestBench* frame = cs.testBench();
    return frame ? frame->completedCalibrationWrites() : 0;
}

DownloadEnd waitForDownload(CliSession& cs, CalibrationFlow& flow, int writesBefore)
{
    FrameTestBench* frame = cs.testBench();
    DownloadEnd end;
    bool aborted = false;
    cs.core().followDownload([&] {
        const FlowTick t = flow.downloadTick();
        end.status = t.statusText;
        end.message = t.messageBox;
        end.finished = t.finished;
        end.historyError = t.historyError;
        aborted = t.aborted;
        return !end.finished;
    });
    cs.runFor(kDownloadTimeoutMs, [&] { return !cs.core().followingDownload(); }, false);
    cs.core().followDownload({});  // a download that did not end in time is no longer followed
    // The frame is read again after the download, as the main window does.
    cs.runFor(3000, [&] { return !cs.session().infoTimerEnabled(); }, false);
    end.written = end.finished && !aborted;
    // The virtual frame checks the area's CRC word once the last chunk is in: a block it took
    // but holds as damaged is not a calibration.
    if (end.written && frame)
        end.written = frame->completedCalibrationWrites() > writesBefore && frame->calibrationCrcOk() == true;
    return end;
}

bool interruptedBeforeDownload(CommandContext& ctx, const char* command)
{
    if (!interrupted.load())
        return false;
    ctx.err << "oculant-cli " << command << ": interrupted: nothing was written to the frame and nothing was kept\n";
    return true;
}

void reportInterruptAfterDownload(CommandContext& ctx, const char* command, const DownloadEnd& end)
{
    if (!interrupted.load())
        return;
    ctx.err << "oculant-cli " << command << ": interrupted: the download was finished first; "
            << (end.written ? "the new calibration is in force" : "it did not complete, the new calibration is not in force")
            << "\n";
}

std::string downloadEndText(const DownloadEnd& end, bool useMessage)
{
    if (!end.finished)
        return "the download did not end";
    if (end.status.rfind(kDownloadAbortedText, 0) != 0 && !end.written)
        return "the frame's check of the calibration area failed: the calibration is not in force";
    return useMessage ? end.message.value_or(end.status) : end.status;
}

void printMessages(const FlowMessages& messages, std::ostream& out)
{
    for (const std::string& m : messages)
        out << m << (m.empty() || m.back() != '\n' ? "\n" : "");
}

void printKeptNote(const std::string& note, std::ostream& out)
{
    if (!note.empty())
        out << note << "\n";
}

}  // namespace oculant::cli
