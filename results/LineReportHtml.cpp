// The line report as one HTML page that needs nothing else: styles in the page, the charts as
// inline SVG drawn here, no script, font or image from anywhere. It opens from a file share or
// a mail attachment, and prints on A4 landscape.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "results/LineReport.h"
#include "station/JUnitXml.h"
#include "station/RecordText.h"

namespace oculant::results {

namespace {

// One colour per station, in this order; distinct in print and for the common colour blindness.
const char* const kSeries[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e", "#9467bd", "#8c564b", "#e377c2", "#17becf"};
constexpr const char* kBarColour = "#4c72b0";

std::string esc(const std::string& text) { return station::xmlEscaped(text); }

std::string fmt(const char* format, double v)
{
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

std::string percent(double share) { return fmt("%.1f", 100 * share) + " %"; }

const char* colour(size_t i) { return kSeries[i % (sizeof kSeries / sizeof kSeries[0])]; }

constexpr const char* kStyle = R"(
body { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; margin: 24px; color: #222; }
h1 { font-size: 22px; margin: 0 0 4px 0; }
h2 { font-size: 16px; margin: 24px 0 8px 0; border-bottom: 1px solid #ccc; padding-bottom: 2px; }
.sub { color: #555; margin-bottom: 12px; }
.figures { display: flex; flex-wrap: wrap; gap: 12px; }
.figure { border: 1px solid #ccc; border-radius: 4px; padding: 8px 14px; min-width: 120px; }
.figure .value { font-size: 22px; font-weight: bold; }
.figure .label { color: #555; font-size: 12px; }
.charts { display: flex; flex-wrap: wrap; gap: 16px; }
table { border-collapse: collapse; font-size: 12px; margin-bottom: 8px; }
th, td { border: 1px solid #ccc; padding: 3px 8px; text-align: left; }
th { background: #f0f0f0; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
svg text { font-family: inherit; font-size: 11px; fill: #333; }
.none { color: #555; font-style: italic; }
@media print {
  @page { size: A4 landscape; margin: 12mm; }
  body { margin: 0; }
  section, .chart, table { break-inside: avoid; }
}
)";

// Yield-like values per station and day as a line chart: days along x, 0 to 100 % up y.
std::string dayChart(const std::string& title, const std::vector<SummaryRow>& rows,
                     double (SummaryRow::*value)() const)
{
    const int width = 620, height = 310, left = 50, right = 16, top = 30, bottom = 84;
    std::set<std::string> daySet;
    std::vector<std::string> stations;
    for (const SummaryRow& r : rows) {
        daySet.insert(r.day);
        if (std::find(stations.begin(), stations.end(), r.station) == stations.end())
            stations.push_back(r.station);
    }
    const std::vector<std::string> days(daySet.begin(), daySet.end());
    std::map<std::string, size_t> dayIndex;
    for (size_t i = 0; i < days.size(); ++i)
        dayIndex[days[i]] = i;
    const double plotW = width - left - right, plotH = height - top - bottom;
    auto x = [&](size_t i) { return left + (days.size() < 2 ? plotW / 2 : plotW * double(i) / double(days.size() - 1)); };
    auto y = [&](double share) { return top + plotH * (1 - share); };
    std::string svg = "<svg class=\"chart\" width=\"" + std::to_string(width) +
                      "\" height=\"" + std::to_string(height) + "\" role=\"img\" aria-label=\"" + esc(title) + "\">";
    svg += "<text x=\"" + std::to_string(left) + "\" y=\"16\" style=\"font-size:13px;font-weight:bold\">" + esc(title) +
           "</text>";
    for (int g = 0; g <= 4; ++g) {
        const double gy = y(g / 4.0);
        svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(width - right) + "\" y1=\"" +
               fmt("%.1f", gy) + "\" y2=\"" + fmt("%.1f", gy) + "\" stroke=\"#ddd\"/>";
        svg += "<text x=\"" + std::to_string(left - 6) + "\" y=\"" + fmt("%.1f", gy + 4) + "\" text-anchor=\"end\">" +
               std::to_string(g * 25) + " %</text>";
    }
    svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(left) + "\" y1=\"" + std::to_string(top) +
           "\" y2=\"" + fmt("%.1f", top + plotH) + "\" stroke=\"#333\"/>";
    svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(width - right) + "\" y1=\"" +
           fmt("%.1f", top + plotH) + "\" y2=\"" + fmt("%.1f", top + plotH) + "\" stroke=\"#333\"/>";
    // At most about eight day labels, the first and the last among them.
    const size_t step = std::max<size_t>(1, (days.size() + 7) / 8);
    for (size_t i = 0; i < days.size(); ++i)
        if (i % step == 0 || i + 1 == days.size())
            svg += "<text x=\"" + fmt("%.1f", x(i)) + "\" y=\"" + fmt("%.1f", top + plotH + 16) +
                   "\" text-anchor=\"middle\">" + esc(days[i].substr(5)) + "</text>";
    svg += "<text x=\"" + fmt("%.1f", left + plotW / 2) + "\" y=\"" + fmt("%.1f", top + plotH + 32) +
           "\" text-anchor=\"middle\">day (" + esc(days.empty() ? "" : days.front().substr(0, 4)) + ")</text>";
    for (size_t s = 0; s < stations.size(); ++s) {
        std::string points, dots;
        for (const SummaryRow& r : rows)  // newest day first within a station
            if (r.station == stations[s]) {
                const std::string p = fmt("%.1f", x(dayIndex[r.day])) + "," + fmt("%.1f", y((r.*value)()));
                points = p + " " + points;
                dots += "<circle cx=\"" + fmt("%.1f", x(dayIndex[r.day])) + "\" cy=\"" + fmt("%.1f", y((r.*value)())) +
                        "\" r=\"2.5\" fill=\"" + colour(s) + "\"><title>" + esc(r.station + " " + r.day + ": " +
                                                                                   percent((r.*value)())) +
                        "</title></circle>";
            }
        svg += "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" + std::string(colour(s)) + "\" points=\"" + points +
               "\"/>" + dots;
        // The legend under the axis.
        const int lx = left + int(s % 4) * 140, ly = int(top + plotH) + 52 + int(s / 4) * 15;
        svg += "<rect x=\"" + std::to_string(lx) + "\" y=\"" + std::to_string(ly - 9) +
               "\" width=\"12\" height=\"10\" fill=\"" + colour(s) + "\"/><text x=\"" + std::to_string(lx + 16) +
               "\" y=\"" + std::to_string(ly) + "\">" + esc(stations[s]) + "</text>";
    }
    return svg + "</svg>";
}

// Horizontal bars with their counts: one per label.
std::string barChart(const std::string& title, const std::vector<std::pair<std::string, long>>& bars,
                     const std::string& unit)
{
    const int width = 620, left = 130, right = 70, rowH = 22, top = 30;
    const int height = top + int(bars.size()) * rowH + 30;
    long most = 1;
    for (const auto& b : bars)
        most = std::max(most, b.second);
    std::string svg = "<svg class=\"chart\" width=\"" + std::to_string(width) +
                      "\" height=\"" + std::to_string(height) + "\" role=\"img\" aria-label=\"" + esc(title) + "\">";
    svg += "<text x=\"0\" y=\"16\" style=\"font-size:13px;font-weight:bold\">" + esc(title) + "</text>";
    for (size_t i = 0; i < bars.size(); ++i) {
        const int by = top + int(i) * rowH;
        const double w = double(width - left - right) * double(bars[i].second) / double(most);
        svg += "<text x=\"" + std::to_string(left - 6) + "\" y=\"" + std::to_string(by + 14) + "\" text-anchor=\"end\">" +
               esc(bars[i].first) + "</text>";
        svg += "<rect x=\"" + std::to_string(left) + "\" y=\"" + std::to_string(by + 3) + "\" width=\"" +
               fmt("%.1f", std::max(1.0, w)) + "\" height=\"" + std::to_string(rowH - 6) + "\" fill=\"" + kBarColour +
               "\"/>";
        svg += "<text x=\"" + fmt("%.1f", left + w + 6) + "\" y=\"" + std::to_string(by + 14) + "\">" +
               std::to_string(bars[i].second) + "</text>";
    }
    svg += "<line x1=\"" + std::to_string(left) + "\" x2=\"" + std::to_string(left) + "\" y1=\"" + std::to_string(top) +
           "\" y2=\"" + std::to_string(top + int(bars.size()) * rowH) + "\" stroke=\"#333\"/>";
    svg += "<text x=\"" + std::to_string(left) + "\" y=\"" + std::to_string(height - 8) + "\">" + esc(unit) + "</text>";
    return svg + "</svg>";
}

std::string figure(const std::string& value, const std::string& label)
{
    return "<div class=\"figure\"><div class=\"value\">" + esc(value) + "</div><div class=\"label\">" + esc(label) +
           "</div></div>";
}

std::string dayOf(const std::string& utc) { return utc.empty() ? "" : station::localTimeText(utc).substr(0, 10); }

}  // namespace

std::string lineReportHtml(const LineReport& report)
{
    const LineTotals& t = report.totals;
    const std::string from = report.since.empty() ? dayOf(t.firstStarted) : dayOf(report.since);
    const std::string to = report.until.empty() ? dayOf(t.lastStarted) : dayOf(report.until);
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\"><title>Line report " +
                       esc(from + " to " + to) + "</title><style>" + kStyle + "</style></head><body>\n";
    html += "<h1>Line report</h1><div class=\"sub\">" + esc(report.line) + " &middot; " +
            (t.records ? esc(from + " to " + to) : std::string("no records in the period")) + "</div>\n";
    html += "<div class=\"figures\">" + figure(std::to_string(t.records), "records") +
            figure(std::to_string(t.serials), "frames (serials)") + figure(percent(t.yield()), "yield") +
            figure(percent(t.firstPassYield()), "first-pass yield") +
            figure(std::to_string(t.passedFirstTime) + " of " + std::to_string(t.serials), "frames that passed first time") +
            "</div>\n";

    html += "<section><h2>Yield per day</h2><div class=\"charts\">" +
            dayChart("Yield per day and station (records that passed, %)", report.days, &SummaryRow::yield) +
            dayChart("First-pass yield per day and station (frames that passed first time, %)", report.days,
                     &SummaryRow::firstPassYield) +
            "</div></section>\n";

    std::map<std::string, long> perStation;
    for (const SummaryRow& r : report.days)
        perStation[r.station] += r.records;
    std::vector<std::pair<std::string, long>> stationBars(perStation.begin(), perStation.end());
    html += "<section><h2>Records per station</h2>" + barChart("Records per station", stationBars, "records") +
            "</section>\n";

    html += "<section><h2>Boards that fail most</h2>";
    if (report.boards.empty()) {
        html += "<p class=\"none\">No board was found faulty in the period.</p>";
    } else {
        long all = 0;
        for (const BoardFailures& b : report.boards)
            all += b.records;
        std::vector<std::pair<std::string, long>> bars;
        for (size_t i = 0; i < std::min<size_t>(report.boards.size(), 12); ++i)
            bars.emplace_back(report.boards[i].board, report.boards[i].records);
        html += barChart("Records with the board faulty", bars, "records");
        html += "<table><tr><th>Board</th><th>Records</th><th>Share</th><th>Cumulative</th><th>Fault numbers "
                "(records)</th></tr>";
        long cumulative = 0;
        for (const BoardFailures& b : report.boards) {
            cumulative += b.records;
            std::string faults;
            for (const auto& [codes, n] : b.faults)
                faults += (faults.empty() ? "" : ", ") + codes + " (" + std::to_string(n) + ")";
            html += "<tr><td>" + esc(b.board) + "</td><td class=\"n\">" + std::to_string(b.records) +
                    "</td><td class=\"n\">" + percent(double(b.records) / double(all)) + "</td><td class=\"n\">" +
                    percent(double(cumulative) / double(all)) + "</td><td>" + esc(faults) + "</td></tr>";
        }
        html += "</table>";
    }
    html += "</section>\n";

    html += "<section><h2>Measurements out of their limits</h2>";
    if (report.measurements.empty()) {
        html += "<p class=\"none\">No measurement was out of its limits in the period.</p>";
    } else {
        html += "<table><tr><th>Measurement</th><th>Limit</th><th>Records</th></tr>";
        for (const MeasurementFailures& m : report.measurements)
            html += "<tr><td>" + esc(m.name) + "</td><td>" + esc(m.limit) + "</td><td class=\"n\">" +
                    std::to_string(m.records) + "</td></tr>";
        html += "</table>";
    }
    html += "</section>\n";

    html += "<section><h2>Last failures</h2>";
    if (report.lastFailures.empty()) {
        html += "<p class=\"none\">No record failed in the period.</p>";
    } else {
        html += "<table><tr><th>Time</th><th>Station</th><th>Serial</th><th>Outcome</th><th>What failed</th></tr>";
        for (const station::TestRecord& r : report.lastFailures)
            html += "<tr><td>" + esc(station::localTimeText(r.started)) + "</td><td>" + esc(r.station) + "</td><td>" +
                    esc(r.serial) + "</td><td>" + esc(std::string(station::outcomeText(r.outcome))) + "</td><td>" +
                    esc(station::firstProblem(r)) + "</td></tr>";
        html += "</table>";
    }
    html += "</section>\n";

    html += "<section><h2>Per station and day</h2><table><tr><th>Station</th><th>Day</th><th>Records</th>"
            "<th>Yield</th><th>Frames</th><th>Passed first time</th><th>First-pass yield</th></tr>";
    for (const SummaryRow& r : report.days)
        html += "<tr><td>" + esc(r.station) + "</td><td>" + esc(r.day) + "</td><td class=\"n\">" +
                std::to_string(r.records) + "</td><td class=\"n\">" + percent(r.yield()) + "</td><td class=\"n\">" +
                std::to_string(r.serials) + "</td><td class=\"n\">" + std::to_string(r.passedFirstTime) +
                "</td><td class=\"n\">" + percent(r.firstPassYield()) + "</td></tr>";
    html += "</table></section>\n</body></html>\n";
    return html;
}

}  // namespace oculant::results
