#pragma once
// What a line report shows, counted by the database: the period's totals, the yield and
// first-pass yield per station and day, the boards and the measurements that fail most, and
// the last failures. LineReportHtml lays it out as one page.

#include <string>
#include <utility>
#include <vector>

#include "results/ResultSummary.h"
#include "station/TestRecord.h"

namespace oculant::results {

struct LineTotals {
    long records = 0, passed = 0;
    long serials = 0, passedFirstTime = 0;  // frames, and those whose first record passed
    std::string firstStarted, lastStarted;  // UTC, of the period's first and last record
    double yield() const { return records ? double(passed) / double(records) : 0; }
    double firstPassYield() const { return serials ? double(passedFirstTime) / double(serials) : 0; }
};

// A board the diagnose phase found faulty: in how many records, with which fault numbers.
struct BoardFailures {
    std::string board;  // XEmit2
    long records = 0;
    std::vector<std::pair<std::string, long>> faults;  // "2/3" and its records, most first
};

// A measurement out of its limits: in how many records.
struct MeasurementFailures {
    std::string name, limit;  // limit: "< 150", ">= 100", "one of VF-43, VF-55"
    long records = 0;
};

struct LineReport {
    std::string line;               // the database, as shown
    std::string since, until;       // the filter's period (UTC), empty when open
    LineTotals totals;
    std::vector<SummaryRow> days;   // per station and day
    std::vector<BoardFailures> boards;
    std::vector<MeasurementFailures> measurements;
    std::vector<station::TestRecord> lastFailures;  // newest first
};

// The page: self-contained HTML, its styles and charts (SVG) inline, nothing from elsewhere.
std::string lineReportHtml(const LineReport& report);

}  // namespace oculant::results
