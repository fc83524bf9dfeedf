#pragma once
// The store's values to and from the database's texts: exact numbers both ways, outcomes by
// name, NULL as nullopt.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "results/Database.h"
#include "station/TestRecord.h"

namespace oculant::results {

inline Value text(const std::string& s) { return s; }
inline Value integer(uint64_t n) { return std::to_string(n); }
// Exact: the number read back is the number written.
inline Value real(const std::optional<double>& v)
{
    if (!v)
        return std::nullopt;
    // The shortest text that reads back as the same double.
    char buf[40];
    const auto end = std::to_chars(buf, buf + sizeof buf, *v).ptr;
    return std::string(buf, end);
}

inline std::string str(const Value& v) { return v.value_or(""); }
inline std::optional<double> num(const Value& v)
{
    if (!v)
        return std::nullopt;
    return std::strtod(v->c_str(), nullptr);
}
inline station::Outcome outcomeOf(const Value& v)
{
    return station::parseOutcome(str(v)).value_or(station::Outcome::Error);
}

}  // namespace oculant::results
