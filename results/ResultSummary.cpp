#include "results/ResultSummary.h"

#include "station/RecordText.h"

namespace oculant::results {

std::string localDayOf(const std::string& utc) { return station::localTimeText(utc).substr(0, 10); }

}  // namespace oculant::results
