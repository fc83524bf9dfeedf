#include "station/RecordText.h"

#include <cstdio>
#include <ctime>

namespace oculant::station {

std::string phaseOutcomes(const TestRecord& r, const char* between, const char* separator)
{
    std::string text;
    for (const PhaseRecord& p : r.phases)
        text += (text.empty() ? "" : separator) + p.name + between + std::string(outcomeText(p.outcome));
    return text;
}

std::string firstProblem(const TestRecord& r)
{
    for (const PhaseRecord& p : r.phases)
        if (p.outcome != Outcome::Pass)
            return p.name + ": " + p.reason;
    return {};
}

std::string allProblems(const TestRecord& r)
{
    std::string out;
    for (const PhaseRecord& p : r.phases)
        if (p.outcome != Outcome::Pass)
            out += (out.empty() ? "" : "; ") + p.name + ": " + p.reason;
    return out;
}

std::string localTimeText(const std::string& utc)
{
    std::tm tm{};
    if (std::sscanf(utc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec) != 6)
        return utc;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const std::time_t t = timegm(&tm);
    std::tm local{};
    localtime_r(&t, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace oculant::station
