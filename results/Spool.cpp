#include "results/Spool.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <memory>

#include "base/FileIo.h"
#include "base/JsonText.h"
#include "results/ResultStore.h"
#include "station/RecordJson.h"

namespace oculant::results {

namespace fs = std::filesystem;

namespace {

// A spooled record is a few kilobytes; anything far larger is not one of ours.
constexpr size_t kMaxSpoolFileBytes = 16 * 1024 * 1024;

// The rename is durable only once the folder itself is on disk.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

std::string spoolRecord(const std::string& folder, const station::TestRecord& record, const std::string& databaseUrl,
                        std::string* error)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    // The records and the servers they go to are the line's business only.
    if (!ec)
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
    if (ec) {
        if (error)
            *error = "cannot create the spool folder " + folder + ": " + ec.message();
        return {};
    }
    // Never the password: sync finds it again where libpq looks (or is given it with --db).
    const nlohmann::ordered_json file{{"database", urlWithoutPassword(databaseUrl)},
                                      {"record", station::recordToJson(record)}};
    const std::string path = folder + "/" + record.uid + ".json";
    if (!writeFileAtomically(path, jsonText(file, 1) + "\n", error,
                             0600))
        return {};
    syncFolder(folder);
    return path;
}

std::vector<std::string> spooledFiles(const std::string& folder)
{
    std::vector<std::pair<fs::file_time_type, std::string>> files;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        // Temporary files start with a dot: a spool being written, or a crash's leftover.
        if (name.empty() || name[0] == '.' || e.path().extension() != ".json" || !e.is_regular_file(ec))
            continue;
        files.emplace_back(e.last_write_time(ec), e.path().string());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> paths;
    for (auto& f : files)
        paths.push_back(std::move(f.second));
    return paths;
}

SyncReport syncSpool(const std::string& folder, const std::optional<DatabaseUrl>& target, const OpenOptions& options)
{
    SyncReport report;
    // One sync at a time: two at once would both send a file and count it twice.
    const std::string lockPath = folder + "/.sync.lock";
    const int lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0)
        ::flock(lock, LOCK_EX);
    struct Unlock {
        int fd;
        ~Unlock()
        {
            if (fd >= 0)
                ::close(fd);
        }
    } unlock{lock};
    // One connection per database, opened at its first record; a database that cannot be
    // reached is tried once per sync.
    std::map<std::string, std::unique_ptr<ResultStore>> stores;
    std::map<std::string, std::string> unreachable;
    for (const std::string& path : spooledFiles(folder)) {
        auto keep = [&](const std::string& why) {
            ++report.kept;
            report.problems.push_back(path + ": " + why);
        };
        std::string error;
        const std::optional<std::string> bytes = readFileLimited(path, kMaxSpoolFileBytes, &error);
        if (!bytes) {
            keep(error);
            continue;
        }
        const nlohmann::json file = nlohmann::json::parse(*bytes, nullptr, false);
        if (file.is_discarded() || !file.is_object() || !file.contains("record") || !file.contains("database") ||
            !file["database"].is_string()) {
            keep("not a spooled record (kept as it is)");
            continue;
        }
        const std::optional<station::TestRecord> record = station::recordFromJson(file["record"], &error);
        if (!record) {
            keep("damaged record (kept as it is): " + error);
            continue;
        }
        std::optional<DatabaseUrl> url = target;
        if (!url)
            url = parseDatabaseUrl(file["database"].get<std::string>(), &error);
        if (!url) {
            keep(error);
            continue;
        }
        if (const auto it = unreachable.find(url->text); it != unreachable.end()) {
            keep(it->second);
            continue;
        }
        std::unique_ptr<ResultStore>& store = stores[url->text];
        DbError openError;
        if (!store)
            store = ResultStore::open(*url, options, openError);
        if (!store) {
            unreachable[url->text] = openError.text;
            keep(openError.text);
            continue;
        }
        bool already = false;
        if (!store->write(*record, error, &already)) {
            keep(error);
            continue;
        }
        // Committed: only now may the file go. Should the removal fail, the next sync finds the
        // record stored and removes the file then.
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            keep("sent, but the file could not be removed");
            continue;
        }
        ++(already ? report.alreadyStored : report.sent);
    }
    syncFolder(folder);
    return report;
}

}  // namespace oculant::results
