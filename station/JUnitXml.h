#pragma once
// A test record as JUnit XML, for the line's dashboards that read CI results: one test suite
// for the frame, one test case per phase; a FAIL phase carries a <failure>, an ERROR phase an
// <error>, each with the measurements that were out of their limits.

#include <string>

#include "station/TestRecord.h"

namespace oculant::station {

std::string recordToJUnit(const TestRecord& record);
// Text safe inside an XML attribute or element: the five special characters escaped, control
// characters XML 1.0 cannot carry replaced by '?', invalid UTF-8 bytes too.
std::string xmlEscaped(const std::string& text);

}  // namespace oculant::station
