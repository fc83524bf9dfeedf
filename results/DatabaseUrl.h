#pragma once
// Where test records go: "sqlite:PATH" (the default, a file in the user's data folder) or a
// PostgreSQL connection URI, "postgresql://user@host/db" (libpq's own form, passed on as it is,
// so that its password file, environment and service files work as they do for psql).

#include <optional>
#include <string>
#include <vector>

namespace oculant::results {

enum class Engine { Sqlite, Postgres };

struct DatabaseUrl {
    Engine engine = Engine::Sqlite;
    std::string target;  // the file, or the URI for libpq
    std::string text;    // as given
};

// Refuses what is neither form, or a PostgreSQL URI that libpq cannot read, with the reason
// (which never holds the password).
std::optional<DatabaseUrl> parseDatabaseUrl(const std::string& text, std::string* error = nullptr);
// The URL for messages: a password in it (user:PASSWORD@ or password=PASSWORD) shows as "***".
std::string shownUrl(const std::string& text);
// The URL with its password taken out: what a spool file keeps. The password is found again
// the libpq way (password file, PGPASSWORD, a service file) or given with --db.
std::string urlWithoutPassword(const std::string& text);
// The password a URI holds, as given and as libpq reads it (percent-decoded); empty when none.
std::vector<std::string> passwordsOf(const std::string& text);
// text with every occurrence of each secret replaced by "***".
std::string redacted(std::string text, const std::vector<std::string>& secrets);

// $XDG_DATA_HOME/oculant, else ~/.local/share/oculant.
std::string dataFolder();
// sqlite: results.sqlite in the data folder.
std::string defaultDatabaseUrl();
// Records that could not be sent wait here, one file each.
std::string defaultSpoolFolder();

}  // namespace oculant::results
