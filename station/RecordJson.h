#pragma once
// A test record as JSON: what `test --json` and `results --json` print, and what a spooled
// record file holds until it is sent.

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "station/TestRecord.h"

namespace oculant::station {

nlohmann::ordered_json recordToJson(const TestRecord& record);
// The record back from recordToJson's form; nullopt with *error when a field is missing or of
// the wrong type (a spool file damaged by hand).
std::optional<TestRecord> recordFromJson(const nlohmann::json& json, std::string* error = nullptr);

}  // namespace oculant::station
