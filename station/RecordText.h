#pragma once
// A test record in the few words a list shows: when (local time), the outcome, where and by
// whom, and each phase's outcome.

#include <string>

#include "station/TestRecord.h"

namespace oculant::station {

// "identity PASS, signal PASS, diagnose FAIL" with between " " and separator ", ".
std::string phaseOutcomes(const TestRecord& record, const char* between, const char* separator);
// The reason of the first phase that did not pass ("diagnose: faulty boards: XEmit1 2/3").
std::string firstProblem(const TestRecord& record);
// The reasons of every phase that did not pass, joined by "; ".
std::string allProblems(const TestRecord& record);
// "2026-01-31 08:00:12" in local time, from the record's UTC timestamp.
std::string localTimeText(const std::string& utcTimestamp);

}  // namespace oculant::station
