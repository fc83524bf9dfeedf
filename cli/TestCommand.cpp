// oculant-cli test: the test station. Runs a test plan on the connected frame and keeps one test
// record of it in the results database (or the spool when the database cannot be reached).
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <ostream>

#include "base/FileIo.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/StationPhases.h"
#include "results/ResultStore.h"
#include "results/Spool.h"
#include "station/JUnitXml.h"
#include "station/Measure.h"
#include "station/RecordJson.h"

namespace oculant::cli {

namespace {

constexpr const char* kUsage =
    "usage: oculant-cli test [--plan FILE] [--station NAME] [--operator NAME] [--db URL] [--junit FILE] "
    "[--attach-dir DIR] [--sweep] [--json]\n";
constexpr int kConnectTimeoutMs = 10000;

std::string hostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || !*name)
        return "station";
    return name;
}

std::string userName()
{
    if (const char* user = std::getenv("USER"); user && *user)
        return user;
    if (const passwd* pw = ::getpwuid(::getuid()))
        return pw->pw_name;
    return "unknown";
}

// "signal    PASS   2.0 s  reason"
std::string phaseLine(const station::PhaseRecord& p)
{
    char head[96];
    std::snprintf(head, sizeof head, "%-17s %-5s %6.1f s", p.name.c_str(), std::string(outcomeText(p.outcome)).c_str(),
                  p.seconds);
    return std::string(head) + (p.reason.empty() ? "" : "  " + p.reason);
}

// Into the database, else into the spool; returns false only when the record is kept nowhere.
bool keepRecord(const station::TestRecord& record, const results::DatabaseUrl& url, std::ostream& err)
{
    std::string error;
    if (auto store = results::ResultStore::open(url, error))
        if (store->write(record, error)) {
            err << "oculant-cli test: record " << record.uid << " stored in " << results::shownUrl(url.text) << "\n";
            return true;
        }
    std::string spoolError;
    const std::string path = results::spoolRecord(results::defaultSpoolFolder(), record, url.text, &spoolError);
    if (path.empty()) {
        err << "oculant-cli test: the record could not be stored (" << error << ") nor spooled (" << spoolError
            << "); it is printed below and nowhere else\n";
        err << station::recordToJson(record).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return false;
    }
    err << "oculant-cli test: " << results::shownUrl(url.text) << " cannot be reached (" << error
        << "): the record is spooled in " << path << "; send it with: oculant-cli results sync\n";
    return true;
}

}  // namespace

int runTest(CommandContext& ctx)
{
    const std::optional<std::string> planFile = takeOption(ctx.args, "--plan");
    const std::string stationName = takeOption(ctx.args, "--station").value_or(hostName());
    const std::string operatorName = takeOption(ctx.args, "--operator").value_or(userName());
    const std::string dbText = takeOption(ctx.args, "--db").value_or(results::defaultDatabaseUrl());
    const std::optional<std::string> junit = takeOption(ctx.args, "--junit");
    const std::string attachDir = takeOption(ctx.args, "--attach-dir").value_or(results::dataFolder() + "/attachments");
    const bool sweep = takeFlag(ctx.args, "--sweep");
    const bool json = takeFlag(ctx.args, "--json");
    if (!ctx.args.empty()) {
        ctx.err << "oculant-cli test: unexpected argument '" << ctx.args.front() << "'\n" << kUsage;
        return kExitUsage;
    }
    if (sweep && !ctx.global.virtualFrame) {
        ctx.err << "oculant-cli test: --sweep needs the virtual frame (--virtual-frame); on a real frame, the "
                   "technician slides a finger along every edge during the diagnose phase\n";
        return kExitUsage;
    }
    std::string error;
    const std::optional<results::DatabaseUrl> url = results::parseDatabaseUrl(dbText, &error);
    if (!url) {
        ctx.err << "oculant-cli test: " << error << "\n";
        return kExitUsage;
    }
    // The plan is read whole before the frame is touched: a bad line refuses the run.
    const station::PlanLoad load = planFile ? station::loadPlan(*planFile) : station::PlanLoad{station::defaultPlan(), {}};
    if (!load.plan) {
        ctx.err << "oculant-cli test: plan refused: " << load.error << "\n";
        return kExitUsage;
    }
    const station::TestPlan& plan = *load.plan;

    Language language(languageFileBesideProgram());
    language.select(ctx.global.language.empty() ? "English" : ctx.global.language);

    station::TestRecord record;
    record.uid = station::newRecordUid();
    record.station = stationName;
    record.operatorName = operatorName;
    record.plan = plan.name;
    StationSettings settings;
    settings.sweep = sweep;
    settings.attachFolder = attachDir + "/" + record.uid;
    settings.language = &language;
    if (!json)
        settings.phaseDone = [&](const station::PhaseRecord& p) { ctx.out << phaseLine(p) << "\n" << std::flush; };

    StationView view;
    int exitCode = kExitOk;
    std::unique_ptr<CliSession> cs =
        CliSession::openWithView(ctx, "test", view, kConnectTimeoutMs, exitCode, settings.attachFolder);
    if (!cs)
        return exitCode;
    const station::IdentityValues identity = identityValues(*cs, view, language);
    record.serial = identity.serial;
    record.model = identity.model;
    if (const QuillonDevice* d = cs->session().talk().currentDevice())
        record.device = d->path;
    record.started = station::utcTimestamp();
    runPlan(*cs, view, plan, settings, record);
    record.finished = station::utcTimestamp();
    cs->close();
    cs->session().setView(nullptr);

    if (json)
        ctx.out << station::recordToJson(record).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    else
        ctx.out << outcomeText(record.outcome) << "  " << record.serial << "  " << record.model << "  (plan "
                << plan.name << ", record " << record.uid << ")\n";
    int status = record.outcome == station::Outcome::Pass   ? kExitOk
                 : record.outcome == station::Outcome::Fail ? kExitFailed
                                                            : kExitError;
    if (junit && !writeFileAtomically(*junit, station::recordToJUnit(record), &error)) {
        ctx.err << "oculant-cli test: " << error << "\n";
        status = status == kExitOk ? kExitError : status;
    }
    if (!keepRecord(record, *url, ctx.err))
        status = kExitError;
    return status;
}

}  // namespace oculant::cli
