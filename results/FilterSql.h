#pragma once
// A record filter as SQL: the WHERE clause over test_record (its columns prefixed, "r." in a
// join) and its parameters.

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

}  // namespace oculant::results
