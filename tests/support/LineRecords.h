#pragma once
// Test records shaped like a line's: three phases (identity, signal, diagnose), 17 measurements
// (18 with a faulty board),
// one attachment, on a few stations over some days, with retests of frames that failed. Made
// from a seed, the same every time: what the results tests import and count for themselves, and
// what the results benchmark fills its databases with.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "station/Measure.h"
#include "station/TestRecord.h"

namespace oculant::test {

struct LineShape {
    int stations = 3;
    int days = 10;
    uint64_t seed = 1;
    // A frame fails this often (per mille); a frame that failed is tested again, up to twice.
    int failPerMille = 80;
};

class LineRecords {
public:
    explicit LineRecords(LineShape shape) : shape_(shape), state_(shape.seed * 0x9E3779B97F4A7C15ull + 1) {}

    // The next frame's records: its first test and any retests, in the order they were made.
    std::vector<station::TestRecord> nextFrame()
    {
        const int station = int(next() % uint64_t(shape_.stations));
        const int day = int(next() % uint64_t(shape_.days));
        int64_t ms = kStartMs + int64_t(day) * 86400000 + int64_t(next() % 43200) * 1000;
        char serial[32];
        std::snprintf(serial, sizeof serial, "LN-%07llu", static_cast<unsigned long long>(++frames_));
        std::vector<station::TestRecord> records;
        for (int attempt = 0; attempt < 3; ++attempt) {
            const bool fails = int(next() % 1000) < shape_.failPerMille;
            records.push_back(record(serial, station, ms, fails));
            if (!fails)
                break;
            ms += 600000;  // ten minutes later, at the same station
        }
        return records;
    }

    // At least n records, whole frames.
    std::vector<station::TestRecord> take(size_t n)
    {
        std::vector<station::TestRecord> out;
        while (out.size() < n)
            for (station::TestRecord& r : nextFrame())
                out.push_back(std::move(r));
        return out;
    }

    static constexpr int64_t kStartMs = 1767254400000;  // 2026-01-01T08:00:00Z

private:
    uint64_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }

    station::TestRecord record(const std::string& serial, int station, int64_t ms, bool fails)
    {
        using namespace station;
        TestRecord r;
        char uid[40];
        std::snprintf(uid, sizeof uid, "%016llx%016llx", static_cast<unsigned long long>(next()),
                      static_cast<unsigned long long>(next()));
        r.uid = uid;
        r.serial = serial;
        r.model = "VF-55";
        r.station = "line-" + std::to_string(station + 1);
        r.operatorName = "op" + std::to_string(next() % 4);
        r.plan = "production";
        r.device = "/dev/hidraw0";
        r.started = utcTimestamp(ms);
        r.finished = utcTimestamp(ms + 21500);
        PhaseRecord identity = judgedPhase(
            "identity", {textMeasurement("model", "VF-55", "one of VF-43, VF-55", true),
                         textMeasurement("hardwareVersion", "2.1"), textMeasurement("softwareVersion", "3.5 - 1.23.4"),
                         textMeasurement("firmwareStatus", "APP_OK", "APP_OK", true),
                         textMeasurement("runStatus", "Running"), textMeasurement("serial", serial),
                         textMeasurement("parameterCrc", "0x1A2B3C4D")});
        identity.seconds = 0.7;
        // The signal phase's levels: now and then a weak beam below its limit.
        std::vector<Measurement> levels;
        const char* names[] = {"X.minLevel", "X.meanLevel", "Y.minLevel", "Y.meanLevel", "X.noise",
                               "Y.noise",    "scans",       "framesLost", "rate"};
        for (int i = 0; i < 9; ++i) {
            const double v = i < 4 ? 170 + double(next() % 4000) / 3.0 : i == 7 ? double(next() % 200 == 0) : double(next() % 40);
            levels.push_back(numberMeasurement(names[i], i < 4 && next() % 100 == 0 ? 120 : v, i == 8 ? "Hz" : "",
                                               i < 4 ? std::optional<double>(150) : std::nullopt,
                                               i == 7 ? std::optional<double>(0) : std::nullopt));
        }
        PhaseRecord signal = judgedPhase("signal", std::move(levels));
        signal.seconds = 2.0;
        // A frame that fails has a faulty board, some boards far more often than others.
        std::vector<Measurement> verdict{textMeasurement("verdict", fails ? "FAIL" : "PASS", "PASS", !fails)};
        if (fails) {
            const char* boards[] = {"XEmit2", "XEmit2", "XEmit2", "YRecv1", "YRecv1", "XRecv3", "YEmit1", "XEmit1"};
            const char* codes[] = {"2/3", "2", "5", "2/3/7"};
            const std::string board = boards[next() % 8];
            verdict.push_back(textMeasurement(board + ".faults", codes[next() % 4], "none", false));
        }
        PhaseRecord diagnose = judgedPhase("diagnose", std::move(verdict));
        diagnose.seconds = 18.8;
        r.phases = {std::move(identity), std::move(signal), std::move(diagnose)};
        r.outcome = recordOutcome(r.phases);
        r.attachments.push_back({"signal", "AD log", "/var/lib/oculant/attachments/" + r.uid + "/ad.log",
                                 200000 + next() % 1000, std::string(64, 'a')});
        return r;
    }

    LineShape shape_;
    uint64_t state_;
    uint64_t frames_ = 0;
};

}  // namespace oculant::test
