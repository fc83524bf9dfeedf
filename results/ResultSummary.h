#pragma once
// Per station and day: how many frames were tested, the yield (records that passed) and the
// first-pass yield (serials whose first record there that day passed).

#include <functional>
#include <string>
#include <vector>

#include "station/TestRecord.h"

namespace oculant::results {

struct SummaryRow {
    std::string station, day;  // day: YYYY-MM-DD
    int records = 0, passed = 0;
    int serials = 0, passedFirstTime = 0;
    double yield() const { return records ? double(passed) / records : 0; }
    double firstPassYield() const { return serials ? double(passedFirstTime) / serials : 0; }
};

// The day of a record's UTC start time; the default is the local day, as the line counts it.
using DayOf = std::function<std::string(const std::string& utcTimestamp)>;
std::string localDayOf(const std::string& utcTimestamp);

// Rows by station, then day, newest day first.
std::vector<SummaryRow> summarize(const std::vector<station::TestRecord>& records, const DayOf& dayOf = localDayOf);

}  // namespace oculant::results
