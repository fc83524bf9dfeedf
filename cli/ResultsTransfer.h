#pragma once
// Records moved whole: `results export` (one JSON record a line), `results import` (what export
// writes, or the array `results --json` prints), `results sync` (the spool) and `results
// migrate` (the schema brought up to this tool's version).

#include <ostream>
#include <string>

#include "cli/Cli.h"
#include "results/ResultStore.h"

namespace oculant::cli {

int exportRecords(results::ResultStore& store, const results::RecordFilter& filter, std::ostream& out,
                  std::string& error);

}  // namespace oculant::cli
