#include "station/TestRecord.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <random>

namespace oculant::station {

std::string_view outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Pass:
        return "PASS";
    case Outcome::Fail:
        return "FAIL";
    case Outcome::Error:
        break;
    }
    return "ERROR";
}

std::optional<Outcome> parseOutcome(std::string_view text)
{
    for (Outcome o : {Outcome::Pass, Outcome::Fail, Outcome::Error})
        if (text == outcomeText(o))
            return o;
    return std::nullopt;
}

Outcome worseOf(Outcome a, Outcome b) { return int(a) > int(b) ? a : b; }

Outcome recordOutcome(const std::vector<PhaseRecord>& phases)
{
    if (phases.empty())
        return Outcome::Error;
    Outcome o = Outcome::Pass;
    for (const PhaseRecord& p : phases)
        o = worseOf(o, p.outcome);
    return o;
}

std::string newRecordUid()
{
    // Stations on one line start at the same moment: the uid must not come from the clock.
    unsigned char bytes[16] = {};
    std::ifstream random("/dev/urandom", std::ios::binary);
    if (!random.read(reinterpret_cast<char*>(bytes), sizeof bytes)) {
        std::random_device device;
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(device());
    }
    std::string uid;
    char hex[3];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", b);
        uid += hex;
    }
    return uid;
}

std::string utcTimestamp(int64_t ms)
{
    const std::time_t seconds = std::time_t(ms / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, int(ms % 1000));
    return text;
}

std::string utcTimestamp()
{
    using namespace std::chrono;
    return utcTimestamp(duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count());
}

}  // namespace oculant::station
