// oculant-cli test: the test station. Runs a test plan on the connected frame and keeps one test
// record of it in the results database (or the spool when the database cannot be reached).
#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "base/JsonText.h"
#include "base/FileIo.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "cli/DatabaseOptions.h"
#include "cli/StationPhases.h"
#include "results/ResultStore.h"
#include "results/Spool.h"
#include "station/JUnitXml.h"
#include "station/Measure.h"
#include "station/RecordJson.h"

namespace oculant::cli {

namespace {

constexpr const char* kUsage =
    "usage: oculant-cli test [--plan FILE] [--serial S] [--station NAME] [--operator NAME] [--db URL] "
    "[--db-timeout S] [--junit FILE] [--attach-dir DIR] [--sweep] [--json]\n";
constexpr const char* kNoSerialText = "the frame reports no serial number: give --serial";
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

// Into the database (the store opened before the test, or opened now when it could not be
// then), else into the spool; returns false only when the record is kept nowhere.
bool keepRecord(const station::TestRecord& record, const DatabaseChoice& db,
                std::unique_ptr<results::ResultStore>& store, std::ostream& err)
{
    const std::string shown = results::shownUrl(db.url.text);
    std::string why;
    if (!store) {
        results::DbError openError;
        store = results::ResultStore::open(db.url, db.options, openError);
        if (!store)
            why = shown + " cannot be reached (" + openError.text + ")";
    }
    if (store) {
        std::string error;
        if (store->write(record, error)) {
            err << "oculant-cli test: record " << record.uid << " stored in " << shown << "\n";
            return true;
        }
        why = "the record could not be written to " + shown + " (" + error + ")";
    }
    std::string spoolError;
    const std::string path = results::spoolRecord(results::defaultSpoolFolder(), record, db.url.text, &spoolError);
    if (path.empty()) {
        err << "oculant-cli test: " << why << " nor spooled (" << spoolError
            << "); it is printed below and nowhere else\n";
        err << jsonText(station::recordToJson(record)) << "\n";
        return false;
    }
    err << "oculant-cli test: " << why << ": the record is spooled in " << path
        << "; send it with: oculant-cli results sync\n";
    return true;
}

// Whether a file can be written at path, without leaving one there when there was none.
bool writable(const std::string& path, std::string& why)
{
    // Opening a FIFO to write would wait for a reader; a device or a folder is no JUnit file.
    if (const std::string what = nonFileAt(path); !what.empty()) {
        why = "it is " + what + ", not a file";
        return false;
    }
    const bool existed = ::access(path.c_str(), F_OK) == 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    ::close(fd);
    if (!existed)
        ::unlink(path.c_str());
    return true;
}

bool hasSerial(const std::string& serial) { return !serial.empty() && serial != "N/A"; }

// A field check's base: the levels of the serial's first passing record in the database the
// record goes to, or why the phase has nothing to compare with.
station::BaseLevels firstPassOf(results::ResultStore* store, const std::string& url, const std::string& serial)
{
    station::BaseLevels base;
    const std::string shown = results::shownUrl(url);
    if (!store) {
        base.error = shown + " cannot be reached: no first passing record of " + serial + " to compare with";
        return base;
    }
    std::string error;
    const auto first = store->firstPassLevels(serial, error);
    if (!error.empty()) {
        base.error = "the first passing record of " + serial + " could not be read from " + shown + ": " + error;
    } else if (!first) {
        base.error = "no passing record of " + serial + " with element levels in " + shown + " to compare with";
    } else {
        base.record = first->uid + " of " + first->started;
        base.levels = decodeLevels(first->levels, &error);
        if (!base.levels)
            base.error = "the first passing record " + base.record + " cannot be read: " + error;
    }
    return base;
}

}  // namespace

int runTest(CommandContext& ctx)
{
    const std::optional<std::string> planFile = ctx.options.value("plan");
    const std::optional<std::string> labelSerial = ctx.options.value("serial");
    const std::optional<std::string> stationOption = ctx.options.value("station");
    const std::optional<std::string> operatorOption = ctx.options.value("operator");
    const std::optional<DatabaseChoice> db = databaseChoice(ctx.options, "test", ctx.err);
    if (!db)
        return kExitUsage;
    const std::optional<std::string> junit = ctx.options.value("junit");
    const std::string attachDir = ctx.options.value("attach-dir").value_or(results::dataFolder() + "/attachments");
    const bool sweep = ctx.options.has("sweep");
    const bool json = ctx.options.has("json");
    if (!ctx.args.empty()) {
        ctx.err << "oculant-cli test: unexpected argument '" << ctx.args.front() << "'\n" << kUsage;
        return kExitUsage;
    }
    if (sweep && !ctx.global.virtualFrame) {
        ctx.err << "oculant-cli test: --sweep needs the virtual frame (--virtual-frame); on a real frame, the "
                   "technician slides a finger along every edge during the diagnose phase\n";
        return kExitUsage;
    }
    for (const auto& [name, value] : {std::pair{"--station", &stationOption}, std::pair{"--operator", &operatorOption},
                                      std::pair{"--serial", &labelSerial}})
        if (*value && value->value().find_first_not_of(" \t") == std::string::npos) {
            ctx.err << "oculant-cli test: " << name << " wants a name, not an empty text\n";
            return kExitUsage;
        }
    const std::string stationName = stationOption.value_or(hostName());
    const std::string operatorName = operatorOption.value_or(userName());
    std::string error;
    if (junit && !writable(*junit, error)) {
        ctx.err << "oculant-cli test: the JUnit file " << *junit << " cannot be written: " << error << "\n";
        return kExitUsage;
    }
    // The plan is read whole before the frame is touched: a bad line refuses the run.
    const station::PlanLoad load = planFile ? station::loadPlan(*planFile) : station::PlanLoad{station::defaultPlan(), {}};
    if (!load.plan) {
        ctx.err << "oculant-cli test: plan refused: " << load.error << "\n";
        return kExitUsage;
    }
    const station::TestPlan& plan = *load.plan;

    // The database before the frame: a URL that cannot work (a refused password, a database
    // that does not exist, no permission) stops the line now rather than after a test whose
    // record would never arrive. A server that cannot be reached is tried again at the end,
    // and the record spooled if it is still away.
    results::DbError openError;
    std::unique_ptr<results::ResultStore> store = results::ResultStore::open(db->url, db->options, openError);
    if (!store && openError.misconfigured) {
        ctx.err << "oculant-cli test: " << openError.text << "; nothing was tested\n";
        return kExitUsage;
    }
    if (!store)
        ctx.err << "oculant-cli test: " << openError.text << "; testing all the same, the record will be spooled\n";

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
    settings.labelSerial = labelSerial.value_or("");
    if (!json)
        settings.phaseDone = [&](const station::PhaseRecord& p) { ctx.out << phaseLine(p) << "\n" << std::flush; };
    settings.firstPass = [&](const std::string& serial) { return firstPassOf(store.get(), db->url.text, serial); };

    StationView view;
    int exitCode = kExitOk;
    std::unique_ptr<CliSession> cs =
        CliSession::openWithView(ctx, "test", view, kConnectTimeoutMs, exitCode, settings.attachFolder);
    if (!cs)
        return exitCode;
    const station::IdentityValues identity = identityValues(*cs, view, language);
    record.serial = labelSerial.value_or(identity.serial);
    record.model = identity.model;
    if (const QuillonDevice* d = cs->session().talk().currentDevice())
        record.device = d->path;
    record.started = station::utcTimestamp();
    if (labelSerial || hasSerial(identity.serial)) {
        runPlan(*cs, view, plan, settings, record);
    } else {
        // Records without a serial would merge different frames in every count: nothing runs.
        record.serial = "";
        record.phases.push_back(station::errorPhase(std::string(station::phaseName(station::PhaseKind::Identity)),
                                                    kNoSerialText));
        record.outcome = station::Outcome::Error;
        if (settings.phaseDone)
            settings.phaseDone(record.phases.back());
    }
    record.finished = station::utcTimestamp();
    cs->close();
    cs->session().setView(nullptr);

    if (json)
        ctx.out << jsonText(station::recordToJson(record)) << "\n";
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
    if (!keepRecord(record, *db, store, ctx.err))
        status = kExitError;
    return status;
}

}  // namespace oculant::cli
