// The line report as a production engineer gets it: a few thousand records of three stations
// over twelve days, `results report --html`, and the page opened in a real browser (Debian's
// Chromium, headless). The figures in the page are counted here from the records; the
// screenshot must show the charts.
#include <gtest/gtest.h>

#include <QImage>

#include <fstream>
#include <map>
#include <regex>
#include <set>

#include <nlohmann/json.hpp>

#include "station/RecordJson.h"
#include "station/RecordText.h"
#include "tests/cli/StationTestSupport.h"
#include "tests/support/LineRecords.h"
#include "tests/support/ScratchPostgres.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;
using station::TestRecord;

std::string between(const std::string& text, const std::string& before, const std::string& after, size_t from = 0)
{
    const size_t a = text.find(before, from);
    if (a == std::string::npos)
        return {};
    const size_t b = text.find(after, a + before.size());
    return b == std::string::npos ? std::string() : text.substr(a + before.size(), b - a - before.size());
}

std::string percentText(long part, long whole)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %%", 100.0 * double(part) / double(whole));
    return text;
}

class LineReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        records_ = test::LineRecords({3, 12, 11, 120}).take(2500);
        std::string lines;
        for (const TestRecord& r : records_)
            lines += station::recordToJson(r).dump() + "\n";
        file_ = home_.path() + "/line.jsonl";
        std::ofstream(file_) << lines;
        db_ = "sqlite:" + home_.path() + "/line.sqlite";
        ASSERT_EQ(test::runCli({"results", "import", file_, "--db", db_}).status, 0);
    }
    std::string report(const std::string& db, const std::string& html, std::vector<std::string> more = {})
    {
        std::vector<std::string> args{"results", "report", "--html", html, "--db", db};
        args.insert(args.end(), more.begin(), more.end());
        const test::CliRun r = test::runCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return test::readFile(html);
    }

    test::ScratchDataHome home_;
    std::vector<TestRecord> records_;
    std::string file_, db_;
};

TEST_F(LineReport, theFiguresOfThePageAreTheRecordsOwn)
{
    const std::string html = report(db_, home_.path() + "/report.html");
    // Self-contained: nothing is fetched from anywhere.
    for (const char* outside : {"<script", "http://", "https://", "src=", "url(", "@import", "<link"})
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;

    // The header: records, frames, yield, first-pass yield of the period.
    std::map<std::string, const TestRecord*> first;
    long passed = 0;
    std::map<std::string, long> boardRecords;
    for (const TestRecord& r : records_) {
        passed += r.outcome == station::Outcome::Pass;
        const TestRecord*& f = first[r.serial];
        if (!f || r.started < f->started)
            f = &r;
        for (const station::PhaseRecord& p : r.phases)
            for (const station::Measurement& m : p.measurements)
                if (m.outcome == station::Outcome::Fail && m.name.size() > 7 &&
                    m.name.compare(m.name.size() - 7, 7, ".faults") == 0)
                    ++boardRecords[m.name.substr(0, m.name.size() - 7)];
    }
    long passedFirst = 0;
    for (const auto& [serial, r] : first)
        passedFirst += r->outcome == station::Outcome::Pass;
    auto figure = [&](const std::string& label) {
        const size_t at = html.find("<div class=\"label\">" + label + "</div>");
        const size_t value = html.rfind("<div class=\"value\">", at);
        return between(html, "<div class=\"value\">", "</div>", value);
    };
    const long n = long(records_.size());
    EXPECT_EQ(figure("records"), std::to_string(n));
    EXPECT_EQ(figure("frames (serials)"), std::to_string(first.size()));
    EXPECT_EQ(figure("yield"), percentText(passed, n));
    EXPECT_EQ(figure("first-pass yield"), percentText(passedFirst, long(first.size())));

    // The Pareto: boards by records, most first, with their shares.
    std::vector<std::pair<long, std::string>> boards;
    long faulty = 0;
    for (const auto& [board, count] : boardRecords) {
        boards.push_back({count, board});
        faulty += count;
    }
    std::sort(boards.rbegin(), boards.rend());
    ASSERT_GE(boards.size(), 3u);
    const std::string pareto = between(html, "<th>Fault numbers (records)</th></tr>", "</table>");
    const std::regex row("<tr><td>([A-Za-z0-9]+)</td><td class=\"n\">([0-9]+)</td><td class=\"n\">([0-9.]+ %)</td>");
    std::vector<std::pair<long, std::string>> shown;
    for (std::sregex_iterator it(pareto.begin(), pareto.end(), row), end; it != end; ++it) {
        shown.push_back({std::stol((*it)[2]), (*it)[1]});
        EXPECT_EQ((*it)[3].str(), percentText(std::stol((*it)[2]), faulty));
    }
    EXPECT_EQ(shown, boards);

    // A table row per station and day; the last failures newest first.
    std::set<std::pair<std::string, std::string>> stationDays;
    for (const TestRecord& r : records_)
        stationDays.insert({r.station, station::localTimeText(r.started).substr(0, 10)});
    const std::string perDay = between(html, "<th>First-pass yield</th></tr>", "</table>");
    size_t rows = 0;
    for (size_t p = perDay.find("<tr>"); p != std::string::npos; p = perDay.find("<tr>", p + 1))
        ++rows;
    EXPECT_EQ(rows, stationDays.size());

    // The same page from the line's server, the database's name aside.
    test::ScratchPostgres server;
    ASSERT_TRUE(server.initialised() && server.start()) << server.log();
    ASSERT_EQ(test::runCli({"results", "import", file_, "--db", server.urlWithPassword()}).status, 0);
    std::string fromServer = report(server.urlWithPassword(), home_.path() + "/server.html");
    const std::string shownServer = between(fromServer, "<div class=\"sub\">", " &middot;");
    const std::string shownFile = between(html, "<div class=\"sub\">", " &middot;");
    EXPECT_EQ(shownServer.find(test::ScratchPostgres::kPassword), std::string::npos);
    fromServer.replace(fromServer.find(shownServer), shownServer.size(), shownFile);
    EXPECT_EQ(fromServer, html);
}

TEST_F(LineReport, aBrowserShowsTheChartsOfAStationsPeriod)
{
    if (!fs::exists("/usr/bin/chromium"))
        GTEST_SKIP() << "no chromium";
    const std::string html = home_.path() + "/report.html";
    const std::string page = report(db_, html, {"--since", "2026-01-03", "--until", "2026-01-10"});
    EXPECT_NE(page.find("<polyline"), std::string::npos);
    const std::string png = home_.path() + "/report.png";
    const std::string command = "timeout 60 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars "
                                "--user-data-dir=" + home_.path() + "/chromium --window-size=1400,1800 --screenshot=" +
                                png + " file://" + html + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    QImage shot(QString::fromStdString(png));
    ASSERT_FALSE(shot.isNull());
    // Not blank, and each station's line, the bars and the text drawn in their colours.
    std::map<QRgb, long> colours;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            ++colours[shot.pixel(x, y) & 0xFFFFFF];
    const long white = colours[0xFFFFFF];
    EXPECT_LT(white, long(shot.width()) * shot.height() * 97 / 100);
    for (QRgb wanted : {0x1f77b4u, 0xd62728u, 0x2ca02cu, 0x4c72b0u})
        EXPECT_GT(colours[wanted], 100) << std::hex << wanted;
}

}  // namespace
}  // namespace oculant
