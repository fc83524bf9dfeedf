#include "results/ResultSummary.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "station/RecordText.h"

namespace oculant::results {

std::string localDayOf(const std::string& utc) { return station::localTimeText(utc).substr(0, 10); }

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
