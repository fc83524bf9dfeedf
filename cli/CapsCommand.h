#pragma once
// Pieces of the caps command that are worth testing on their own.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "device/HidDescriptor.h"

namespace oculant::cli {

// The message for a descriptor source that could not be opened; a hidraw node the user may
// not read gets the state of the access rule and the fix, as `list` gives them.
std::string describeOpenFailure(const std::string& path, int error, bool isDevice);

// The caps of each top-level collection under the same keys as the reference corpus files.
nlohmann::ordered_json capsToJson(const std::vector<HidCollectionCaps>& collections);

// The human-readable report: per collection its usage, report lengths, caps with their report
// ids and the frame match.
std::string capsToText(const std::vector<HidCollectionCaps>& collections);

}  // namespace oculant::cli
