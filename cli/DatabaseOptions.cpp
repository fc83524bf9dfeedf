#include "cli/DatabaseOptions.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "cli/Cli.h"
#include "station/TestRecord.h"

namespace oculant::cli {

std::optional<DatabaseChoice> databaseChoice(const ParsedOptions& given, const std::string& command,
                                             std::ostream& err)
{
    const std::optional<std::string> db = given.value("db");
    const std::string text = db.value_or(results::defaultDatabaseUrl());
    const std::optional<std::string> timeout = given.value("db-timeout");
    DatabaseChoice choice;
    choice.given = db.has_value();
    if (timeout) {
        char* end = nullptr;
        const long seconds = std::strtol(timeout->c_str(), &end, 10);
        if (timeout->empty() || *end || seconds < 1 || seconds > 3600) {
            err << "oculant-cli " << command << ": --db-timeout wants whole seconds from 1 to 3600, not '" << *timeout
                << "'\n";
            return std::nullopt;
        }
        choice.options.waitSeconds = int(seconds);
    }
    std::string error;
    const std::optional<results::DatabaseUrl> url = results::parseDatabaseUrl(text, &error);
    if (!url) {
        err << "oculant-cli " << command << ": " << error << "\n";
        return std::nullopt;
    }
    choice.url = *url;
    return choice;
}

std::string timestampOfDate(const std::string& text)
{
    std::tm tm{};
    int n = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &n) != 3 || n != 10)
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
        tm.tm_sec > 59)
        return {};
    const std::tm given = tm;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    const std::time_t t = utc ? timegm(&tm) : std::mktime(&tm);
    // 2026-02-30 comes back as March the 2nd: no such day.
    if (tm.tm_year + 1900 != given.tm_year || tm.tm_mon + 1 != given.tm_mon || tm.tm_mday != given.tm_mday)
        return {};
    return station::utcTimestamp(int64_t(t) * 1000);
}

}  // namespace oculant::cli
