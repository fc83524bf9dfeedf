#pragma once
// Where test records go: "sqlite:PATH" (the default, a file in the user's data folder) or a
// PostgreSQL connection URI, "postgresql://user@host/db" (libpq's own form, passed on as it is).

#include <optional>
#include <string>

namespace oculant::results {

enum class Engine { Sqlite, Postgres };

struct DatabaseUrl {
    Engine engine = Engine::Sqlite;
    std::string target;  // the file, or the URI for libpq
    std::string text;    // as given: what a spooled record is sent back to
};

// Refuses what is neither form, with the reason.
std::optional<DatabaseUrl> parseDatabaseUrl(const std::string& text, std::string* error = nullptr);
// The URL for messages: a password in it shows as "***".
std::string shownUrl(const std::string& text);

// $XDG_DATA_HOME/oculant, else ~/.local/share/oculant.
std::string dataFolder();
// sqlite: results.sqlite in the data folder.
std::string defaultDatabaseUrl();
// Records that could not be sent wait here, one file each.
std::string defaultSpoolFolder();

}  // namespace oculant::results
