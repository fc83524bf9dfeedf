// oculant-cli results: the test records of the results database, newest first, a summary per
// station and day, and the sending of spooled records.
#include <cstdio>
#include <ctime>
#include <ostream>

#include "cli/Cli.h"
#include "results/ResultStore.h"
#include "results/ResultSummary.h"
#include "results/Spool.h"
#include "station/RecordJson.h"
#include "station/RecordText.h"

namespace oculant::cli {

namespace {

constexpr const char* kUsage =
    "usage: oculant-cli results [summary] [--db URL] [--serial S] [--station N] [--since DATE] "
    "[--outcome PASS|FAIL|ERROR] [--json|--csv]\n"
    "       oculant-cli results sync [--db URL]\n";

// DATE as local time ("2026-01-31", "2026-01-31T08:00"), or UTC with a trailing Z, to the UTC
// form records are kept in; empty when it is neither.
std::string sinceTimestamp(const std::string& text)
{
    std::tm tm{};
    int n = 0;
    const int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &n);
    if (fields != 3)
        return {};
    std::string rest = text.substr(size_t(n));
    const bool utc = !rest.empty() && rest.back() == 'Z';
    if (utc)
        rest.pop_back();
    if (!rest.empty()) {
        int m = 0;
        if (std::sscanf(rest.c_str(), "T%2d:%2d%n", &tm.tm_hour, &tm.tm_min, &m) != 2)
            return {};
        rest = rest.substr(size_t(m));
        if (!rest.empty() && (std::sscanf(rest.c_str(), ":%2d%n", &tm.tm_sec, &m) != 1 || size_t(m) != rest.size()))
            return {};
    }
    if (tm.tm_mon < 1 || tm.tm_mon > 12 || tm.tm_mday < 1 || tm.tm_mday > 31 || tm.tm_hour > 23 || tm.tm_min > 59 ||
        tm.tm_sec > 60)
        return {};
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    const std::time_t t = utc ? timegm(&tm) : std::mktime(&tm);
    return station::utcTimestamp(int64_t(t) * 1000);
}

std::string csvField(const std::string& s)
{
    if (s.find_first_of(",\"\n\r") == std::string::npos)
        return s;
    std::string out = "\"";
    for (char c : s)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

void printRecords(const std::vector<station::TestRecord>& records, bool json, bool csv, std::ostream& out)
{
    if (json) {
        nlohmann::ordered_json all = nlohmann::ordered_json::array();
        for (const station::TestRecord& r : records)
            all.push_back(station::recordToJson(r));
        out << all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return;
    }
    if (csv) {
        out << "uid,serial,model,station,operator,plan,device,started,finished,outcome,phases\n";
        for (const station::TestRecord& r : records) {
            for (const std::string* f : {&r.uid, &r.serial, &r.model, &r.station, &r.operatorName, &r.plan, &r.device,
                                         &r.started, &r.finished})
                out << csvField(*f) << ",";
            out << outcomeText(r.outcome) << "," << csvField(station::phaseOutcomes(r, "=", ";")) << "\n";
        }
        return;
    }
    for (const station::TestRecord& r : records)
        out << r.started << "  " << outcomeText(r.outcome) << "  " << r.serial << "  " << r.model << "  " << r.station
            << "  " << r.operatorName << "  " << station::phaseOutcomes(r, " ", ", ") << "\n";
    if (records.empty())
        out << "no records\n";
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
        out << all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
        return;
    }
    if (csv)
        out << "station,day,records,passed,yield,serials,passedFirstTime,firstPassYield\n";
    else
        out << "station              day         records  yield    first-pass yield\n";
    for (const results::SummaryRow& r : rows) {
        if (csv)
            std::snprintf(line, sizeof line, ",%s,%d,%d,%.4f,%d,%d,%.4f\n", r.day.c_str(), r.records, r.passed,
                          r.yield(), r.serials, r.passedFirstTime, r.firstPassYield());
        else
            std::snprintf(line, sizeof line, " %-10s  %7d  %5.1f %%  %5.1f %% (%d of %d serials)\n", r.day.c_str(),
                          r.records, 100 * r.yield(), 100 * r.firstPassYield(), r.passedFirstTime, r.serials);
        out << (csv ? csvField(r.station) : (r.station.size() < 20 ? r.station + std::string(20 - r.station.size(), ' ') : r.station)) << line;
    }
}

int runSync(CommandContext& ctx)
{
    const std::optional<std::string> dbText = takeOption(ctx.args, "--db");
    if (!ctx.args.empty()) {
        ctx.err << kUsage;
        return kExitUsage;
    }
    std::optional<results::DatabaseUrl> url;
    std::string error;
    if (dbText && !(url = results::parseDatabaseUrl(*dbText, &error))) {
        ctx.err << "oculant-cli results sync: " << error << "\n";
        return kExitUsage;
    }
    const std::string folder = results::defaultSpoolFolder();
    const results::SyncReport report = results::syncSpool(folder, url);
    for (const std::string& problem : report.problems)
        ctx.err << "oculant-cli results sync: kept " << problem << "\n";
    ctx.out << report.sent << " sent, " << report.alreadyStored << " already stored, " << report.kept
            << " kept in " << folder << "\n";
    return report.kept == 0 ? kExitOk : kExitFailed;
}

}  // namespace

int runResults(CommandContext& ctx)
{
    if (!ctx.args.empty() && ctx.args.front() == "sync") {
        ctx.args.erase(ctx.args.begin());
        return runSync(ctx);
    }
    const bool summary = !ctx.args.empty() && ctx.args.front() == "summary";
    if (summary)
        ctx.args.erase(ctx.args.begin());
    const std::string dbText = takeOption(ctx.args, "--db").value_or(results::defaultDatabaseUrl());
    results::RecordFilter filter;
    filter.serial = takeOption(ctx.args, "--serial").value_or("");
    filter.station = takeOption(ctx.args, "--station").value_or("");
    const std::optional<std::string> since = takeOption(ctx.args, "--since");
    const std::optional<std::string> outcome = takeOption(ctx.args, "--outcome");
    const bool json = takeFlag(ctx.args, "--json");
    const bool csv = takeFlag(ctx.args, "--csv");
    if (!ctx.args.empty() || (json && csv)) {
        ctx.err << kUsage;
        return kExitUsage;
    }
    if (since && (filter.since = sinceTimestamp(*since)).empty()) {
        ctx.err << "oculant-cli results: --since wants a date such as 2026-01-31 or 2026-01-31T08:00, not '" << *since
                << "'\n";
        return kExitUsage;
    }
    if (outcome && !(filter.outcome = station::parseOutcome(*outcome))) {
        ctx.err << "oculant-cli results: --outcome wants PASS, FAIL or ERROR, not '" << *outcome << "'\n";
        return kExitUsage;
    }
    std::string error;
    const std::optional<results::DatabaseUrl> url = results::parseDatabaseUrl(dbText, &error);
    if (!url) {
        ctx.err << "oculant-cli results: " << error << "\n";
        return kExitUsage;
    }
    std::unique_ptr<results::ResultStore> store = results::ResultStore::openForReading(*url, error);
    std::optional<std::vector<station::TestRecord>> records;
    if (store)
        records = store->query(filter, error);
    if (!records) {
        ctx.err << "oculant-cli results: " << error << "\n";
        return kExitFailed;
    }
    if (summary)
        printSummary(results::summarize(*records), json, csv, ctx.out);
    else
        printRecords(*records, json, csv, ctx.out);
    return kExitOk;
}

}  // namespace oculant::cli
