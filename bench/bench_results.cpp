// The results database at a line's scale: a database of N records shaped like a line's (three
// phases, 17 measurements, one attachment; 10^5 by default, --records 1000000 for three years)
// on SQLite and on a PostgreSQL server this benchmark starts itself with password
// authentication. Each query is the oculant-cli command a user runs, timed as a whole process
// with its peak memory; the store step of a station (one record written, its connection open)
// is timed in-process.
//
//   bench_results [--records N] [--engines sqlite,postgres] [--writes N] [--lines FILE]
//
// --lines FILE writes the records as JSON lines into FILE and stops there (to profile the
// commands by hand).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "results/ResultStore.h"
#include "station/RecordJson.h"
#include "tests/support/LineRecords.h"
#include "tests/support/ScratchPostgres.h"
#include "tests/support/TempDir.h"

namespace {

using namespace oculant;
using Clock = std::chrono::steady_clock;

struct Run {
    double seconds = 0;
    long maxRssKiB = 0;
    int status = -1;
};

// The command as a process of its own, its output to outFile; wall time and peak memory.
Run runProcess(const std::vector<std::string>& args, const std::string& outFile)
{
    std::fflush(stdout);  // else the child prints the parent's buffer again
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!std::freopen(outFile.c_str(), "w", stdout))
            ::_exit(127);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Run r;
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.maxRssKiB = usage.ru_maxrss;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

void report(const char* what, const Run& r, const std::string& extra = "")
{
    std::printf("  %-44s %9.3f s  %7.1f MB%s%s\n", what, r.seconds, double(r.maxRssKiB) / 1024,
                r.status == 0 ? "" : "  EXIT STATUS NOT 0", extra.c_str());
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5))];
}

void benchEngine(const std::string& name, const std::string& url, const std::string& lines, size_t records,
                 const std::string& serial, const std::string& since, int writes, const std::string& scratch)
{
    const std::string cli = OCULANT_BUILD_DIR "/oculant-cli";
    const std::string out = scratch + "/out.txt";
    std::printf("%s, %zu records\n", name.c_str(), records);
    Run r = runProcess({cli, "results", "import", lines, "--db", url}, out);
    report("results import (JSON lines)", r,
            "  " + std::to_string(long(double(records) / r.seconds)) + " records/s");
    report("results summary", runProcess({cli, "results", "summary", "--db", url}, out));
    report("results summary --json", runProcess({cli, "results", "summary", "--json", "--db", url}, out));
    report("results --serial S --json", runProcess({cli, "results", "--serial", serial, "--json", "--db", url}, out));
    report("results --station --since --outcome FAIL --json",
           runProcess({cli, "results", "--station", "line-2", "--since", since, "--outcome", "FAIL", "--json", "--db", url},
                      out));
    report("results --limit 100", runProcess({cli, "results", "--limit", "100", "--db", url}, out));
    report("results report --html (the whole period)",
           runProcess({cli, "results", "report", "--html", scratch + "/report.html", "--db", url}, out));
    r = runProcess({cli, "results", "export", "--db", url}, out);
    report("results export (every record)", r, "  " + std::to_string(long(double(records) / r.seconds)) + " records/s");

    // The store step of a station: its connection is open (the test opened it before the frame
    // was touched), one record goes in.
    std::string error;
    results::DbError openError;
    auto store = results::ResultStore::open(*results::parseDatabaseUrl(url), {}, openError);
    if (!store) {
        std::printf("  cannot open: %s\n", openError.text.c_str());
        return;
    }
    // One frame's records on that open connection, as a station's field check or a service
    // window asks for them: the query alone, without the program's start and the connection.
    {
        std::vector<double> ms;
        size_t found = 0;
        for (int i = 0; i < 50; ++i) {
            results::RecordFilter filter;
            filter.serial = serial;
            const auto start = Clock::now();
            const auto got = store->query(filter, error);
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            found = got ? got->size() : 0;
        }
        std::printf("  %-44s median %.2f ms, 95th percentile %.2f ms (%zu records)\n",
                    "one serial's records (open connection)", percentile(ms, 0.5), percentile(ms, 0.95), found);
    }
    test::LineRecords fresh({6, 1, 99, 80});
    std::vector<double> ms;
    for (int i = 0; i < writes; ++i) {
        const station::TestRecord record = fresh.nextFrame().front();
        const auto start = Clock::now();
        if (!store->write(record, error)) {
            std::printf("  write failed: %s\n", error.c_str());
            return;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("  %-44s median %.2f ms, 95th percentile %.2f ms (%d records)\n", "one record written (store step)",
                percentile(ms, 0.5), percentile(ms, 0.95), writes);
}

}  // namespace

int main(int argc, char** argv)
{
    size_t records = 100000;
    std::string engines = "sqlite,postgres";
    int writes = 200;
    std::string keepLines;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--records"))
            records = std::strtoull(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--engines"))
            engines = argv[i + 1];
        else if (!std::strcmp(argv[i], "--writes"))
            writes = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--lines"))
            keepLines = argv[i + 1];
    }
    oculant::test::TempDir scratch;
    const std::string lines = keepLines.empty() ? scratch.str() + "/line.jsonl" : keepLines;
    // A thousand records a day over as many days as they take, on six stations.
    oculant::test::LineRecords line({6, int(std::max<size_t>(1, records / 1000)), 42, 80});
    std::string serial, since;
    {
        std::ofstream out(lines);
        size_t n = 0;
        while (n < records)
            for (const oculant::station::TestRecord& r : line.nextFrame()) {
                out << oculant::station::recordToJson(r).dump() << "\n";
                if (++n == records / 2)
                    serial = r.serial;
            }
        records = n;
    }
    // The last tenth of the period.
    since = oculant::station::utcTimestamp(oculant::test::LineRecords::kStartMs +
                                           int64_t(records / 1000) * 86400000 * 9 / 10)
                .substr(0, 10);
    std::printf("bench_results: %zu records (%.0f MB of JSON lines), serial %s, since %s\n", records,
                double(std::filesystem::file_size(lines)) / 1e6, serial.c_str(), since.c_str());
    if (!keepLines.empty())
        return 0;
    if (engines.find("sqlite") != std::string::npos)
        benchEngine("SQLite", "sqlite:" + scratch.str() + "/results.sqlite", lines, records, serial, since, writes,
                    scratch.str());
    if (engines.find("postgres") != std::string::npos) {
        oculant::test::ScratchPostgres server;
        if (!server.initialised() || !server.start()) {
            std::printf("PostgreSQL: the server did not start\n%s", server.log().c_str());
            return 1;
        }
        benchEngine("PostgreSQL (password authentication, Unix socket)", server.urlWithPassword(), lines, records,
                    serial, since, writes, scratch.str());
    }
    return 0;
}
