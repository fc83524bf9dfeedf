#pragma once
// Per station and day: how many frames were tested, the yield (records that passed) and the
// first-pass yield (serials whose first record there that day passed). Counted by the database
// itself (ResultStore::summary); this is the row it gives.

#include <string>
#include <vector>

namespace oculant::results {

struct SummaryRow {
    std::string station, day;  // day: YYYY-MM-DD, the station's local day
    long records = 0, passed = 0;
    long serials = 0, passedFirstTime = 0;
    double yield() const { return records ? double(passed) / double(records) : 0; }
    double firstPassYield() const { return serials ? double(passedFirstTime) / double(serials) : 0; }
};

// The rows of all stations added up per day, oldest day first (a line's days as one).
std::vector<SummaryRow> perDay(const std::vector<SummaryRow>& rows);
// Every row added up: the period's records, yield and first-pass yield.
SummaryRow totalOf(const std::vector<SummaryRow>& rows);

// The local day of a record's UTC start time, as the line counts it: what a record is filed
// under when it is stored.
std::string localDayOf(const std::string& utcTimestamp);

}  // namespace oculant::results
