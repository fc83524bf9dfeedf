#include "results/ResultSummary.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <map>
#include <tuple>

namespace oculant::results {

std::string localDayOf(const std::string& utc)
{
    std::tm tm{};
    if (std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec) != 6)
        return utc.substr(0, 10);
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const std::time_t t = timegm(&tm);
    std::tm local{};
    localtime_r(&t, &local);
    char day[40];
    std::snprintf(day, sizeof day, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return day;
}

std::vector<SummaryRow> summarize(const std::vector<station::TestRecord>& records, const DayOf& dayOf)
{
    struct First {
        std::string started;
        bool passed;
    };
    std::map<std::pair<std::string, std::string>, SummaryRow> rows;
    std::map<std::tuple<std::string, std::string, std::string>, First> first;  // station, day, serial
    for (const station::TestRecord& r : records) {
        const std::string day = dayOf(r.started);
        SummaryRow& row = rows[{r.station, day}];
        row.station = r.station;
        row.day = day;
        ++row.records;
        const bool passed = r.outcome == station::Outcome::Pass;
        row.passed += passed;
        const auto key = std::make_tuple(r.station, day, r.serial);
        const auto it = first.find(key);
        if (it == first.end())
            first.emplace(key, First{r.started, passed});
        else if (r.started < it->second.started)
            it->second = {r.started, passed};
    }
    for (const auto& [key, f] : first) {
        SummaryRow& row = rows[{std::get<0>(key), std::get<1>(key)}];
        ++row.serials;
        row.passedFirstTime += f.passed;
    }
    std::vector<SummaryRow> out;
    for (auto& [key, row] : rows)
        out.push_back(row);
    std::stable_sort(out.begin(), out.end(), [](const SummaryRow& a, const SummaryRow& b) {
        return a.station != b.station ? a.station < b.station : a.day > b.day;
    });
    return out;
}

}  // namespace oculant::results
