#include "station/JUnitXml.h"

#include <cstdio>
#include <utility>

#include "station/Measure.h"

namespace oculant::station {

namespace {

// Length of the UTF-8 sequence at s[i], 0 when it is not one.
size_t utf8Length(const std::string& s, size_t i)
{
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
            return 0;
    return n;
}

// In an attribute a line break or a tab would be read back as a space: written as references
// they survive.
std::string attribute(const char* name, const std::string& value)
{
    std::string escaped;
    for (char c : xmlEscaped(value))
        escaped += c == '\n' ? std::string("&#10;") : c == '\r' ? std::string("&#13;") : c == '\t' ? std::string("&#9;")
                                                                                          : std::string(1, c);
    return std::string(" ") + name + "=\"" + escaped + "\"";
}

std::string seconds(double s)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", s);
    return text;
}

// Every measurement out of its limits, one a line.
std::string failedMeasurements(const PhaseRecord& p)
{
    std::string text;
    for (const Measurement& m : p.measurements)
        if (m.outcome != Outcome::Pass)
            text += failureText(m) + "\n";
    return text;
}

}  // namespace

std::string xmlEscaped(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t n = utf8Length(text, i);
        if (n == 0) {
            out += '?';
            ++i;
            continue;
        }
        if (n == 1) {
            switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += (c < 0x20 && c != '\t' && c != '\n' && c != '\r') ? '?' : char(c);
            }
        } else {
            out.append(text, i, n);
        }
        i += n;
    }
    return out;
}

std::string recordToJUnit(const TestRecord& r)
{
    int failures = 0, errors = 0;
    double total = 0;
    for (const PhaseRecord& p : r.phases) {
        failures += p.outcome == Outcome::Fail;
        errors += p.outcome == Outcome::Error;
        total += p.seconds;
    }
    const std::string suite = "oculant." + r.plan;
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<testsuites" + attribute("name", "oculant") + attribute("tests", std::to_string(r.phases.size())) +
           attribute("failures", std::to_string(failures)) + attribute("errors", std::to_string(errors)) +
           attribute("time", seconds(total)) + ">\n";
    // The timestamp to the second, with its zone (UTC): a time without one reads as whatever
    // zone the reader is in.
    xml += "  <testsuite" + attribute("name", suite + "." + r.serial) +
           attribute("tests", std::to_string(r.phases.size())) + attribute("failures", std::to_string(failures)) +
           attribute("errors", std::to_string(errors)) + attribute("skipped", "0") + attribute("time", seconds(total)) +
           attribute("timestamp", r.started.substr(0, 19) + "Z") + attribute("hostname", r.station) + ">\n";
    xml += "    <properties>\n";
    const std::pair<const char*, std::string> properties[] = {
        {"serial", r.serial}, {"model", r.model},   {"station", r.station}, {"operator", r.operatorName},
        {"plan", r.plan},     {"device", r.device}, {"record", r.uid},      {"outcome", std::string(outcomeText(r.outcome))}};
    for (const auto& [name, value] : properties)
        xml += "      <property" + attribute("name", name) + attribute("value", value) + "/>\n";
    xml += "    </properties>\n";
    for (const PhaseRecord& p : r.phases) {
        xml += "    <testcase" + attribute("classname", suite) + attribute("name", p.name) +
               attribute("time", seconds(p.seconds));
        if (p.outcome == Outcome::Pass) {
            xml += "/>\n";
            continue;
        }
        const char* tag = p.outcome == Outcome::Fail ? "failure" : "error";
        xml += ">\n      <" + std::string(tag) + attribute("message", p.reason) +
               attribute("type", std::string(outcomeText(p.outcome))) + ">" + xmlEscaped(failedMeasurements(p)) +
               "</" + tag + ">\n    </testcase>\n";
    }
    xml += "  </testsuite>\n</testsuites>\n";
    return xml;
}

}  // namespace oculant::station
