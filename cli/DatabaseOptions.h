#pragma once
// What `test` and `results` share of their options: the database (--db URL, --db-timeout S) and
// dates given as a technician types them.

#include <optional>
#include <ostream>
#include <string>

#include "cli/OptionTable.h"
#include "results/Database.h"

namespace oculant::cli {

struct DatabaseChoice {
    results::DatabaseUrl url;
    results::OpenOptions options;
    bool given = false;  // --db was on the command line (else the default)
};

// What --db (default: the user's SQLite file) and --db-timeout say; nullopt after saying why on
// err ("oculant-cli COMMAND: ..."): a usage error.
std::optional<DatabaseChoice> databaseChoice(const ParsedOptions& given, const std::string& command,
                                             std::ostream& err);

// DATE as local time ("2026-01-31", "2026-01-31T08:00", "2026-01-31T08:00:05"), or UTC with a
// trailing Z, to the UTC form records are kept in; empty when it is neither or no such day.
std::string timestampOfDate(const std::string& text);

}  // namespace oculant::cli
