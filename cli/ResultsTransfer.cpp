#include "cli/ResultsTransfer.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <thread>

#include "base/FileIo.h"
#include "base/JsonText.h"
#include "cli/DatabaseOptions.h"
#include "results/Spool.h"
#include "station/RecordJson.h"

namespace oculant::cli {

namespace {

// A record of a few phases is a few kilobytes; a line far longer is no record of ours, and is
// refused before it fills the memory.
constexpr size_t kMaxRecordLine = 16 * 1024 * 1024;
// Records stored per transaction.
constexpr size_t kImportBatch = 2000;

// Lines of a stream (a file or standard input), each at most kMaxRecordLine bytes.
class StreamLines {
public:
    explicit StreamLines(std::istream& in) : in_(in) {}
    // The next line (without its '\n'); false at the end, or with *tooLong set.
    bool next(std::string& line, bool& tooLong)
    {
        line.clear();
        tooLong = false;
        for (;;) {
            if (pos_ == size_) {
                in_.read(buffer_, sizeof buffer_);
                size_ = size_t(in_.gcount());
                pos_ = 0;
                if (size_ == 0)
                    return !line.empty();
            }
            const char* start = buffer_ + pos_;
            const char* nl = static_cast<const char*>(std::memchr(start, '\n', size_ - pos_));
            const size_t n = nl ? size_t(nl - start) : size_ - pos_;
            if (line.size() + n > kMaxRecordLine) {
                tooLong = true;
                return false;
            }
            line.append(start, n);
            pos_ += n + (nl ? 1 : 0);
            if (nl)
                return true;
        }
    }

private:
    std::istream& in_;
    char buffer_[65536];
    size_t pos_ = 0, size_ = 0;
};

// Batches of records from the thread that reads the file to the one that stores them, so that
// parsing the JSON and writing the database take a core each. At most two batches wait.
class BatchPipe {
public:
    using Batch = std::vector<station::TestRecord>;
    // False when the reader has stopped taking batches.
    bool put(Batch&& batch)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || waiting_.size() < 2; });
        if (stopped_)
            return false;
        waiting_.push_back(std::move(batch));
        changed_.notify_all();
        return true;
    }
    // The writer has no more batches.
    void close()
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    // The reader takes no more batches.
    void stop()
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
        changed_.notify_all();
    }
    // False when the writer closed the pipe and every batch was taken.
    bool take(Batch& batch)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return closed_ || !waiting_.empty(); });
        if (waiting_.empty())
            return false;
        batch = std::move(waiting_.front());
        waiting_.pop_front();
        changed_.notify_all();
        return true;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> waiting_;
    bool closed_ = false, stopped_ = false;
};

// Which lines one reader parses: those whose number, counted from 0, leaves `part` divided by
// `parts` (the check of a file shares its lines between the cores).
struct LineShare {
    size_t part = 0, parts = 1;
};

// Every record of the stream to `each`, with where it was ("line 12", "record 3"); false with
// *error at the first that is not a record (and *failedLine its line, 0 for an array).
bool readRecords(std::istream& in, const std::function<bool(station::TestRecord&&)>& each, std::string& error,
                 LineShare share = {}, size_t* failedLine = nullptr)
{
    in >> std::ws;
    if (in.peek() == '[') {
        if (share.part != 0)
            return true;
        // The array `results --json` prints: read whole.
        const nlohmann::json all = nlohmann::json::parse(in, nullptr, false);
        if (all.is_discarded() || !all.is_array()) {
            error = "not a JSON array of records (as results --json prints) nor one record a line";
            return false;
        }
        for (size_t i = 0; i < all.size(); ++i) {
            std::optional<station::TestRecord> r = station::recordFromJson(all[i], &error);
            if (!r) {
                error = "record " + std::to_string(i + 1) + " of the array: " + error;
                return false;
            }
            if (!each(std::move(*r)))
                return false;
        }
        return true;
    }
    StreamLines lines(in);
    std::string line;
    bool tooLong = false;
    size_t number = 1;
    for (; lines.next(line, tooLong); ++number) {
        if ((number - 1) % share.parts != share.part || line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        std::optional<station::TestRecord> r;
        if (j.is_discarded())
            error = "not JSON";
        else
            r = station::recordFromJson(j, &error);
        if (!r) {
            error = "line " + std::to_string(number) + ": " + error;
            if (failedLine)
                *failedLine = number;
            return false;
        }
        if (!each(std::move(*r)))
            return false;
    }
    if (tooLong) {
        if (failedLine)
            *failedLine = number;
        error = "a line longer than " + std::to_string(kMaxRecordLine / (1024 * 1024)) + " MiB: not a record";
        return false;
    }
    return true;
}

}  // namespace

int runResultsImport(CommandContext& ctx)
{
    if (ctx.args.empty()) {
        ctx.err << "oculant-cli results import: give the file to import (FILE, or - for standard input)\n";
        return kExitUsage;
    }
    const std::string file = ctx.args.front();
    ctx.args.erase(ctx.args.begin());
    const std::optional<DatabaseChoice> db = databaseChoice(ctx.options, "results import", ctx.err);
    if (!db)
        return kExitUsage;
    if (!ctx.args.empty()) {
        ctx.err << "oculant-cli results import: unexpected argument '" << ctx.args.front() << "'\n";
        return kExitUsage;
    }
    std::ifstream stream;
    const bool standardInput = file == "-";
    auto reopen = [&]() -> std::istream* {
        if (standardInput)
            return &std::cin;
        stream.close();
        stream.clear();
        stream.open(file, std::ios::binary);
        return stream ? &stream : nullptr;
    };
    std::string error;
    // A file is read through once before anything is stored: a malformed record refuses the
    // whole import. Standard input cannot be read twice: its batches before a bad line stay.
    if (!standardInput) {
        // A FIFO, a device or a folder is refused at once, as every file argument is.
        const int fd = openFileForReading(file, &error);
        if (fd < 0) {
            ctx.err << "oculant-cli results import: " << error << "\n";
            return kExitFailed;
        }
        ::close(fd);
        // Two readers, each parsing every other line: the first bad line is the earlier of
        // the two each stopped at.
        struct Check {
            std::ifstream in;
            bool ok = false;
            std::string error;
            size_t line = 0;
        } checks[2];
        auto check = [&](size_t part) {
            Check& c = checks[part];
            c.in.open(file, std::ios::binary);
            if (!c.in) {
                c.error = "cannot open " + file;
                return;
            }
            c.ok = readRecords(c.in, [](station::TestRecord&&) { return true; }, c.error, {part, 2}, &c.line);
        };
        std::thread second(check, 1);
        check(0);
        second.join();
        const Check* bad = nullptr;
        for (const Check& c : checks)
            if (!c.ok && (!bad || c.line < bad->line))
                bad = &c;
        if (bad) {
            ctx.err << "oculant-cli results import: " << file << ": " << bad->error << "; nothing was imported\n";
            return kExitFailed;
        }
    }
    results::DbError openError;
    results::OpenOptions bulk = db->options;
    bulk.bulk = true;
    std::unique_ptr<results::ResultStore> store = results::ResultStore::open(db->url, bulk, openError);
    if (!store) {
        ctx.err << "oculant-cli results import: " << openError.text << "\n";
        return openError.misconfigured ? kExitUsage : kExitFailed;
    }
    std::istream* in = reopen();
    results::WriteCounts total;
    size_t read = 0;
    std::string storeError;
    const bool progress = &ctx.err == &std::cerr && ::isatty(STDERR_FILENO);
    auto store1 = [&](const std::vector<station::TestRecord>& batch) {
        results::WriteCounts counts;
        read += batch.size();
        if (!store->write(batch, counts, storeError))
            return false;
        total.stored += counts.stored;
        total.alreadyStored += counts.alreadyStored;
        if (progress)
            ctx.err << "\r" << read << " records read, " << total.stored << " stored" << std::flush;
        return true;
    };
    BatchPipe pipe;
    bool readAll = false;
    std::thread reader([&] {
        BatchPipe::Batch batch;
        readAll = in && readRecords(
                            *in,
                            [&](station::TestRecord&& r) {
                                batch.push_back(std::move(r));
                                return batch.size() < kImportBatch || pipe.put(std::exchange(batch, {}));
                            },
                            error);
        // What was read before a malformed line is stored, as the lines before it were.
        if (!batch.empty())
            pipe.put(std::move(batch));
        pipe.close();
    });
    BatchPipe::Batch batch;
    bool storing = true;
    while (pipe.take(batch))
        if (storing && !store1(batch)) {
            storing = false;
            pipe.stop();
        }
    reader.join();
    const bool stored = storing && (total.stored == 0 || store->refreshStatistics(storeError));
    if (progress)
        ctx.err << "\n";
    ctx.out << total.stored << " stored, " << total.alreadyStored << " already stored (of " << read << " read from "
            << (standardInput ? std::string("standard input") : file) << ")\n";
    if (!stored || !storeError.empty()) {
        ctx.err << "oculant-cli results import: " << storeError << "\n";
        return kExitFailed;
    }
    if (!readAll && storing) {
        ctx.err << "oculant-cli results import: " << (in ? error : "cannot open " + file)
                << "; the records before it were stored\n";
        return kExitFailed;
    }
    return kExitOk;
}

int runResultsSync(CommandContext& ctx)
{
    const std::optional<DatabaseChoice> db = databaseChoice(ctx.options, "results sync", ctx.err);
    if (!db)
        return kExitUsage;
    if (!ctx.args.empty()) {
        ctx.err << "oculant-cli results sync: unexpected argument '" << ctx.args.front() << "'\n";
        return kExitUsage;
    }
    const std::string folder = results::defaultSpoolFolder();
    const results::SyncReport report =
        results::syncSpool(folder, db->given ? std::optional(db->url) : std::nullopt, db->options);
    for (const std::string& problem : report.problems)
        ctx.err << "oculant-cli results sync: kept " << problem << "\n";
    ctx.out << report.sent << " sent, " << report.alreadyStored << " already stored, " << report.kept << " kept in "
            << folder << "\n";
    return report.kept == 0 ? kExitOk : kExitFailed;
}

int runResultsMigrate(CommandContext& ctx)
{
    const std::optional<DatabaseChoice> db = databaseChoice(ctx.options, "results migrate", ctx.err);
    if (!db)
        return kExitUsage;
    if (!ctx.args.empty()) {
        ctx.err << "oculant-cli results migrate: unexpected argument '" << ctx.args.front() << "'\n";
        return kExitUsage;
    }
    results::DbError error;
    if (!results::ResultStore::open(db->url, db->options, error)) {
        ctx.err << "oculant-cli results migrate: " << error.text << "\n";
        return error.misconfigured ? kExitUsage : kExitFailed;
    }
    ctx.out << results::shownUrl(db->url.text) << ": schema version " << results::kSchemaVersion << "\n";
    return kExitOk;
}

int exportRecords(results::ResultStore& store, const results::RecordFilter& filter, std::ostream& out,
                  std::string& error)
{
    const bool ok = store.forEach(
        filter,
        [&](station::TestRecord&& r) {
            out << jsonText(station::recordToJson(r), -1) << "\n";
            return bool(out);
        },
        error);
    return ok && out ? kExitOk : kExitFailed;
}

}  // namespace oculant::cli
