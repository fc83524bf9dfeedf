// oculant-cli results: the test records of the results database, newest first, a summary per
// station and day, the export and import of whole records, the sending of spooled records.
// Queries open the database read-only: they never create, migrate or write anything.
#include <cstdio>
#include <cstdlib>
#include <ostream>

#include "base/JsonText.h"
#include "base/CsvField.h"
#include "base/FileIo.h"
#include "cli/Cli.h"
#include "cli/DatabaseOptions.h"
#include "cli/ResultsTransfer.h"
#include "results/ResultStore.h"
#include "station/RecordJson.h"
#include "station/RecordText.h"

namespace oculant::cli {

namespace {

constexpr const char* kUsage =
    "usage: oculant-cli results [FILTERS] [--limit N] [--json|--csv] [--db URL] [--db-timeout S]\n"
    "       oculant-cli results summary [FILTERS] [--json|--csv] [--db URL]\n"
    "       oculant-cli results export [FILTERS] [--limit N] [--db URL]\n"
    "       oculant-cli results report --html FILE [--station N] [--since DATE] [--until DATE] [--db URL]\n"
    "       oculant-cli results import FILE|- [--db URL]\n"
    "       oculant-cli results sync [--db URL]\n"
    "       oculant-cli results migrate [--db URL]\n"
    "FILTERS: --serial S --station N --since DATE --until DATE --outcome PASS|FAIL|ERROR\n";

// The line report lists this many of the last failures.
constexpr size_t kReportFailures = 25;

int usage(CommandContext& ctx, const std::string& why)
{
    ctx.err << "oculant-cli results: " << why << "\n" << kUsage;
    return kExitUsage;
}

// The filter options, those of them the form's table has; false after saying why.
bool readFilter(CommandContext& ctx, results::RecordFilter& filter)
{
    const ParsedOptions& given = ctx.options;
    const auto value = [&](const char* name) {
        return given.declares(name) ? given.value(name) : std::nullopt;
    };
    filter.serial = value("serial").value_or("");
    filter.station = value("station").value_or("");
    for (const auto& [name, field] : {std::pair{"since", &filter.since}, std::pair{"until", &filter.until}})
        if (const std::optional<std::string> date = value(name))
            if ((*field = timestampOfDate(*date)).empty()) {
                ctx.err << "oculant-cli results: --" << name
                        << " wants a day of the calendar such as 2026-01-31 or 2026-01-31T08:00, not '" << *date
                        << "'\n";
                return false;
            }
    if (const std::optional<std::string> outcome = value("outcome"))
        if (!(filter.outcome = station::parseOutcome(*outcome))) {
            ctx.err << "oculant-cli results: --outcome wants PASS, FAIL or ERROR, not '" << *outcome << "'\n";
            return false;
        }
    if (const std::optional<std::string> limit = value("limit")) {
        char* end = nullptr;
        const long long n = std::strtoll(limit->c_str(), &end, 10);
        if (limit->empty() || *end || n < 1) {
            ctx.err << "oculant-cli results: --limit wants a number of records from 1, not '" << *limit << "'\n";
            return false;
        }
        filter.limit = size_t(n);
    }
    return true;
}

// Each line of a text indented by `by` spaces: a record of the streamed array as the whole
// array's dump would lay it out.
std::string indented(const std::string& text, size_t by)
{
    std::string out(by, ' ');
    for (char c : text) {
        out += c;
        if (c == '\n')
            out.append(by, ' ');
    }
    return out;
}

int printRecords(results::ResultStore& store, const results::RecordFilter& filter, bool json, bool csv,
                 std::ostream& out, std::string& error)
{
    size_t n = 0;
    if (csv)
        out << "uid,serial,model,station,operator,plan,device,started,finished,outcome,phases\n";
    const bool ok = store.forEach(
        filter,
        [&](station::TestRecord&& r) {
            if (json) {
                out << (n ? ",\n" : "[\n")
                    << indented(jsonText(station::recordToJson(r)), 2);
            } else if (csv) {
                for (const std::string* f : {&r.uid, &r.serial, &r.model, &r.station, &r.operatorName, &r.plan,
                                             &r.device, &r.started, &r.finished})
                    out << csvField(*f) << ",";
                out << outcomeText(r.outcome) << "," << csvField(station::phaseOutcomes(r, "=", ";")) << "\n";
            } else {
                out << r.started << "  " << outcomeText(r.outcome) << "  " << r.serial << "  " << r.model << "  "
                    << r.station << "  " << r.operatorName << "  " << station::phaseOutcomes(r, " ", ", ") << "\n";
            }
            ++n;
            return bool(out);
        },
        error);
    if (!ok)
        return kExitFailed;
    if (json)
        out << (n ? "\n]\n" : "[]\n");
    else if (!csv && n == 0)
        out << "no records\n";
    return kExitOk;
}

void printSummary(const std::vector<results::SummaryRow>& rows, bool json, bool csv, std::ostream& out)
{
    char line[256];
    if (json) {
        nlohmann::ordered_json all = nlohmann::ordered_json::array();
        for (const results::SummaryRow& r : rows)
            all.push_back({{"station", r.station},
                           {"day", r.day},
                           {"records", r.records},
                           {"passed", r.passed},
                           {"yield", r.yield()},
                           {"serials", r.serials},
                           {"passedFirstTime", r.passedFirstTime},
                           {"firstPassYield", r.firstPassYield()}});
        out << jsonText(all) << "\n";
        return;
    }
    if (csv)
        out << "station,day,records,passed,yield,serials,passedFirstTime,firstPassYield\n";
    else
        out << "station              day         records  yield    first-pass yield\n";
    for (const results::SummaryRow& r : rows) {
        if (csv)
            std::snprintf(line, sizeof line, ",%s,%ld,%ld,%.4f,%ld,%ld,%.4f\n", r.day.c_str(), r.records, r.passed,
                          r.yield(), r.serials, r.passedFirstTime, r.firstPassYield());
        else
            std::snprintf(line, sizeof line, " %-10s  %7ld  %5.1f %%  %5.1f %% (%ld of %ld serials)\n", r.day.c_str(),
                          r.records, 100 * r.yield(), 100 * r.firstPassYield(), r.passedFirstTime, r.serials);
        out << (csv ? csvField(r.station)
                    : (r.station.size() < 20 ? r.station + std::string(20 - r.station.size(), ' ') : r.station))
            << line;
    }
    if (!csv && rows.empty())
        out << "no records\n";
}

}  // namespace

// The line report: one HTML page of the period's records.
int runResultsReport(CommandContext& ctx)
{
    const std::optional<std::string> html = ctx.options.value("html");
    results::RecordFilter filter;
    if (!readFilter(ctx, filter))
        return kExitUsage;
    const std::optional<DatabaseChoice> db = databaseChoice(ctx.options, "results report", ctx.err);
    if (!db)
        return kExitUsage;
    if (!ctx.args.empty())
        return usage(ctx, "unexpected argument '" + ctx.args.front() + "'");
    if (!html || html->empty())
        return usage(ctx, "report wants --html FILE");
    results::DbError openError;
    std::unique_ptr<results::ResultStore> store = results::ResultStore::openForReading(db->url, db->options, openError);
    if (!store) {
        ctx.err << "oculant-cli results: " << openError.text << "\n";
        return kExitFailed;
    }
    std::string error;
    std::optional<results::LineReport> report = store->report(filter, kReportFailures, error);
    if (!report) {
        ctx.err << "oculant-cli results: " << error << "\n";
        return kExitFailed;
    }
    report->line = db->url.engine == results::Engine::Sqlite ? db->url.target : results::shownUrl(db->url.text);
    if (!writeFileAtomically(*html, results::lineReportHtml(*report), &error)) {
        ctx.err << "oculant-cli results: " << error << "\n";
        return kExitFailed;
    }
    ctx.out << "line report of " << report->totals.records << " records (" << report->totals.serials
            << " frames) written to " << *html << "\n";
    return kExitOk;
}

namespace {

// results, results summary and results export: sub "", "summary" or "export".
int queryRecords(CommandContext& ctx, const std::string& sub)
{
    results::RecordFilter filter;
    if (!readFilter(ctx, filter))
        return kExitUsage;
    const std::optional<DatabaseChoice> db = databaseChoice(ctx.options, "results", ctx.err);
    if (!db)
        return kExitUsage;
    const bool json = ctx.options.declares("json") && ctx.options.has("json");
    const bool csv = ctx.options.declares("csv") && ctx.options.has("csv");
    // A subcommand is named first; any other word there is none of them.
    if (!ctx.args.empty())
        return usage(ctx, (sub.empty() ? "unknown subcommand '" : "unexpected argument '") + ctx.args.front() + "'");
    if (json && csv)
        return usage(ctx, "--json and --csv exclude each other");

    results::DbError openError;
    std::unique_ptr<results::ResultStore> store = results::ResultStore::openForReading(db->url, db->options, openError);
    if (!store) {
        ctx.err << "oculant-cli results: " << openError.text << "\n";
        return kExitFailed;
    }
    std::string error;
    int status = kExitOk;
    if (sub == "export") {
        status = exportRecords(*store, filter, ctx.out, error);
    } else if (sub == "summary") {
        const std::optional<std::vector<results::SummaryRow>> rows = store->summary(filter, error);
        if (rows)
            printSummary(*rows, json, csv, ctx.out);
        else
            status = kExitFailed;
    } else {
        status = printRecords(*store, filter, json, csv, ctx.out, error);
    }
    if (status != kExitOk)
        ctx.err << "oculant-cli results: " << (error.empty() ? std::string("the output could not be written") : error)
                << "\n";
    return status;
}

}  // namespace

int runResults(CommandContext& ctx) { return queryRecords(ctx, ""); }
int runResultsSummary(CommandContext& ctx) { return queryRecords(ctx, "summary"); }
int runResultsExport(CommandContext& ctx) { return queryRecords(ctx, "export"); }

}  // namespace oculant::cli
