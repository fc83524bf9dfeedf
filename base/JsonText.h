#pragma once
// The one way every command prints JSON. Texts come from outside (recording names, file
// names, serial numbers a frame sends): a byte sequence that is not UTF-8 is written as U+FFFD
// instead of making the writer throw.

#include <nlohmann/json.hpp>
#include <string>

namespace oculant {

// `indent` as nlohmann::json::dump takes it: -1 gives one line.
template <typename Json>
std::string jsonText(const Json& json, int indent = 2)
{
    return json.dump(indent, ' ', false, Json::error_handler_t::replace);
}

}  // namespace oculant
