#pragma once
// A record filter as SQL: the WHERE clause over test_record (its columns prefixed, "r." in a
// join) and its parameters; and the summary's count of the records it selects.

#include <string>
#include <vector>

#include "results/ResultStore.h"

namespace oculant::results {

inline std::string whereClause(const RecordFilter& f, std::vector<Value>& params, const std::string& prefix = "")
{
    std::string where;
    auto add = [&](const char* condition, const std::string& value) {
        where += where.empty() ? " WHERE " : " AND ";
        where += prefix + condition;
        params.push_back(value);
    };
    if (!f.serial.empty())
        add("serial = ?", f.serial);
    if (!f.station.empty())
        add("station = ?", f.station);
    if (!f.since.empty())
        add("started >= ?", f.since);
    if (!f.until.empty())
        add("started < ?", f.until);
    if (f.outcome)
        add("outcome = ?", std::string(station::outcomeText(*f.outcome)));
    return where;
}

// Per station and day of the records `where` selects: station, day, records, passed, serials,
// serials passed first time. Each serial's records of a station's day are numbered in the order
// they were made: the first one's outcome is the first-pass outcome, whatever the retests did
// after it. The summary's answer over any filter, and what the counts per day are filled with.
inline std::string dayCountSelect(const std::string& where)
{
    return "SELECT station, day, COUNT(*), SUM(CASE WHEN outcome = 'PASS' THEN 1 ELSE 0 END),"
           " SUM(CASE WHEN n = 1 THEN 1 ELSE 0 END), SUM(CASE WHEN n = 1 AND outcome = 'PASS' THEN 1 ELSE 0 END)"
           " FROM (SELECT station, day, outcome, ROW_NUMBER() OVER (PARTITION BY station, day, serial"
           " ORDER BY started, uid) AS n FROM test_record" + where + ") AS numbered GROUP BY station, day";
}

}  // namespace oculant::results
