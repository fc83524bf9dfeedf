#pragma once
// The capabilities of a report descriptor's top-level collections as text and as JSON: what
// `oculant-cli caps` prints and what the descriptor fuzz target checks.

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "hid/HidDescriptor.h"

namespace oculant {

// The caps of each top-level collection under the same keys as the reference corpus files.
nlohmann::ordered_json capsToJson(const std::vector<HidCollectionCaps>& collections);

// The human-readable report: per collection its usage, report lengths, caps with their report
// ids and the frame match.
std::string capsToText(const std::vector<HidCollectionCaps>& collections);

}  // namespace oculant
