#include "results/ResultSummary.h"

#include <map>

#include "station/RecordText.h"

namespace oculant::results {

namespace {

void add(SummaryRow& sum, const SummaryRow& r)
{
    sum.records += r.records;
    sum.passed += r.passed;
    sum.serials += r.serials;
    sum.passedFirstTime += r.passedFirstTime;
}

}  // namespace

std::vector<SummaryRow> perDay(const std::vector<SummaryRow>& rows)
{
    std::map<std::string, SummaryRow> days;
    for (const SummaryRow& r : rows) {
        SummaryRow& d = days[r.day];
        d.day = r.day;
        add(d, r);
    }
    std::vector<SummaryRow> out;
    for (auto& [day, d] : days)
        out.push_back(std::move(d));
    return out;
}

SummaryRow totalOf(const std::vector<SummaryRow>& rows)
{
    SummaryRow total;
    for (const SummaryRow& r : rows)
        add(total, r);
    return total;
}

std::string localDayOf(const std::string& utc) { return station::localTimeText(utc).substr(0, 10); }

}  // namespace oculant::results
