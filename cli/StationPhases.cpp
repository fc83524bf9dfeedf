#include "cli/StationPhases.h"

#include <filesystem>

#include "cli/CliSession.h"
#include "cli/DiagnosticRun.h"
#include "cli/SignalRecording.h"
#include "station/DiagnosePhase.h"
#include "station/Measure.h"
#include "station/Sha256.h"
#include "station/SignalPhase.h"

namespace oculant::cli {

namespace {

using station::PhaseKind;
using station::PhaseRecord;

constexpr const char* kFrameLostText = "the frame was unplugged during the phase";
constexpr const char* kFrameGoneText = "not run: the frame was unplugged earlier";
constexpr const char* kInterruptedText = "interrupted (Ctrl-C or a stop signal)";
// The information sequence takes about 700 ms, the parameter block's chunks follow it.
constexpr int kInformationMs = 3000;

std::string name(PhaseKind kind) { return std::string(station::phaseName(kind)); }

class PhaseRunner {
public:
    PhaseRunner(CliSession& cs, StationView& view, const StationSettings& settings, station::TestRecord& record)
        : cs_(cs), view_(view), settings_(settings), record_(record)
    {
    }

    PhaseRecord identity(const station::IdentityLimits& limits)
    {
        // Read afresh, as the Refresh button does: the phase judges what the frame says now.
        view_.versionStatus = view_.identity = view_.userParams = false;
        view_.parameterCrc.reset();
        cs_.session().refresh();
        cs_.runFor(kInformationMs,
                   [&] { return gone() || (!cs_.session().infoTimerEnabled() && view_.parameterCrc.has_value()); });
        if (gone())
            return station::errorPhase(name(PhaseKind::Identity), kFrameLostText);
        station::IdentityValues values = identityValues(cs_, view_, *settings_.language);
        values.labelSerial = settings_.labelSerial;
        return station::judgeIdentity(values, limits);
    }

    PhaseRecord signal(const station::SignalLimits& limits)
    {
        const std::string phase = name(PhaseKind::Signal);
        std::error_code ec;
        std::filesystem::create_directories(settings_.attachFolder, ec);
        if (ec)
            return station::errorPhase(phase, "cannot create " + settings_.attachFolder + ": " + ec.message());
        // The levels kept are those of the scans in the log attached: the frame that closes the
        // log is not one of them.
        station::SignalSampler sampler(cs_.store(), [this] { return cs_.processor().recorder().recording(); });
        const uint64_t lostBefore = framesLost();
        cs_.processor().addListener(&sampler);
        recordSignal(cs_, int(limits.seconds * 1000), [&] { return gone(); });
        cs_.processor().removeListener(&sampler);
        // Back to the main window's mode, as closing the signal window does.
        cs_.session().mainWindowActivated();
        if (gone())
            return station::errorPhase(phase, kFrameLostText);
        if (!cs_.logError().empty())
            return station::errorPhase(phase, "the AD log could not be written: " + cs_.logError());
        const AdLogRecorder& log = cs_.processor().recorder();
        if (log.path().empty())
            return station::errorPhase(phase, "no signal frame arrived, no AD log was written");
        std::string error;
        const std::optional<station::FileDigest> digest = station::digestFile(log.path(), &error);
        if (!digest)
            return station::errorPhase(phase, error);
        const std::filesystem::path path = std::filesystem::absolute(log.path(), ec);
        record_.attachments.push_back({phase, "AD log", path.lexically_normal().string(), digest->size, digest->sha256});
        station::BaseLevels base;
        if (limits.compareWithFirstPass)
            base = settings_.firstPass ? settings_.firstPass(record_.serial)
                                       : station::BaseLevels{std::nullopt, {}, "no results database to compare with"};
        const BoardLayoutTable& boards = cs_.session().records().boards;
        return station::judgeSignal(sampler, framesLost() - lostBefore, limits, &base, boards.valid ? &boards : nullptr);
    }

    PhaseRecord diagnose(const station::DiagnoseLimits& limits)
    {
        const std::string phase = name(PhaseKind::Diagnose);
        if (!cs_.session().records().boards.valid)
            return station::errorPhase(phase, noLayoutReason(cs_.session().timesAsked()).text);
        DiagnosticRun run(cs_);
        run.run(settings_.sweep, int(limits.timeoutSeconds * 1000), [&] { return gone(); });
        if (gone())
            return station::errorPhase(phase, kFrameLostText);
        return station::judgeDiagnosis(run.verdict(), run.diagnostic().model(),
                                       run.noVerdictReason(station::numberText(limits.timeoutSeconds)).text);
    }

    bool gone() const { return view_.lost || !cs_.session().connected(); }

private:
    // Every way a frame of the stream can be lost: on the link (a frame whose first or last
    // report was lost was not counted here before), in the rings, refused.
    uint64_t framesLost() { return cs_.framesLost().total(); }

    CliSession& cs_;
    StationView& view_;
    const StationSettings& settings_;
    station::TestRecord& record_;
};

}  // namespace

station::IdentityValues identityValues(CliSession& cs, const StationView& view, const Language& language)
{
    const QuillonDevice* current = cs.session().talk().currentDevice();
    const DeviceRecords& records = cs.session().records();
    const DeviceInfoReport report =
        buildInfoReport(records, view, current ? current->path : "", language, systemLocalTime());
    station::IdentityValues v;
    v.answered = view.versionStatus && view.identity;
    v.model = report.model;
    v.hardwareVersion = report.hardwareVersion;
    v.softwareVersion = report.softwareVersion;
    v.firmwareStatus = view.versionStatus ? std::string(firmwareStatusKeyOf(records.versionStatus)) : "N/A";
    v.runStatus = report.runStatus;
    v.serial = report.serial;
    v.parameterCrc = view.parameterCrc;
    return v;
}

void runPlan(CliSession& cs, StationView& view, const station::TestPlan& plan, const StationSettings& settings,
             station::TestRecord& record)
{
    PhaseRunner runner(cs, view, settings, record);
    view.lost = false;
    for (PhaseKind kind : plan.phases) {
        const int64_t start = cs.nowMs();
        PhaseRecord phase;
        if (interrupted.load())
            phase = station::errorPhase(name(kind), std::string("not run: ") + kInterruptedText);
        else if (runner.gone())
            phase = station::errorPhase(name(kind), kFrameGoneText);
        else if (kind == PhaseKind::Identity)
            phase = runner.identity(plan.identity);
        else if (kind == PhaseKind::Signal)
            phase = runner.signal(plan.signal);
        else if (kind == PhaseKind::Diagnose)
            phase = runner.diagnose(plan.diagnose);
        else  // plans refuse phases this build cannot run
            phase = station::errorPhase(name(kind), "not available in this build");
        // A phase cut short by the user has not measured what it should have.
        if (interrupted.load() && phase.reason.rfind("not run", 0) != 0) {
            phase.outcome = station::Outcome::Error;
            phase.reason = phase.reason.empty() ? kInterruptedText : kInterruptedText + (": " + phase.reason);
        }
        phase.seconds = double(cs.nowMs() - start) / 1000;
        if (settings.phaseDone)
            settings.phaseDone(phase);
        record.phases.push_back(std::move(phase));
    }
    record.outcome = station::recordOutcome(record.phases);
}

}  // namespace oculant::cli
