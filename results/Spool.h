#pragma once
// Records that could not reach their database wait in a spool folder, one file each
// ("<uid>.json", written to a temporary file and renamed, so a file is whole or absent), with
// the database they were meant for. `results sync` sends them and removes each one only after
// its transaction has committed; a record the database holds already is not stored twice.

#include <optional>
#include <string>
#include <vector>

#include "results/Database.h"
#include "station/TestRecord.h"

namespace oculant::results {

// Writes the record into `folder` (created when missing, 0700; the file 0600) with the database
// URL less its password; returns the file, or empty with *error.
std::string spoolRecord(const std::string& folder, const station::TestRecord& record, const std::string& databaseUrl,
                        std::string* error);

// The spooled files, oldest record first.
std::vector<std::string> spooledFiles(const std::string& folder);

struct SyncReport {
    int sent = 0;
    int alreadyStored = 0;  // the database had them (an earlier sync that could not remove the file)
    int kept = 0;           // still in the spool
    std::vector<std::string> problems;  // one line per file kept
};

// Sends every spooled record to `target` when given, else to the database it was meant for.
// Syncs run one at a time (a lock file in the folder).
SyncReport syncSpool(const std::string& folder, const std::optional<DatabaseUrl>& target,
                     const OpenOptions& options = {});

}  // namespace oculant::results
