#pragma once
// A test record: what one run of a test plan measured on one frame (the device under test),
// where, when and by whom, phase by phase, with each measurement's limits and outcome and the
// files attached. The database, the spool, JUnit and the printed forms all carry this.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oculant::station {

// PASS only when everything passed; ERROR when something could not be measured at all.
enum class Outcome { Pass, Fail, Error };

std::string_view outcomeText(Outcome outcome);  // "PASS", "FAIL", "ERROR"
std::optional<Outcome> parseOutcome(std::string_view text);
// ERROR outranks FAIL outranks PASS: a record is as bad as its worst phase.
Outcome worseOf(Outcome a, Outcome b);

struct Measurement {
    std::string name;
    // A number (levels, percentages) or a text (model, versions); number is set for the former,
    // and text then holds its printed form.
    std::string text;
    std::optional<double> number;
    std::optional<double> low, high;  // numeric limits, inclusive
    std::string limit;                // a text limit ("one of VF-43, VF-55"); empty: none
    std::string unit;
    Outcome outcome = Outcome::Pass;
};

struct PhaseRecord {
    std::string name;
    Outcome outcome = Outcome::Pass;
    std::string reason;  // why it failed or could not run; empty when it passed
    double seconds = 0;
    std::vector<Measurement> measurements;
    // The signal phase: every element's clear level (signal/ElementLevels.h encodeLevels), so
    // that a later test of the same frame compares with it; empty for the other phases.
    std::string levels;
};

struct Attachment {
    std::string phase;
    std::string name;
    std::string path;
    uint64_t size = 0;
    std::string sha256;  // hex
};

struct TestRecord {
    std::string uid;  // 32 hex digits, unique across stations: a record sent twice is stored once
    std::string serial, model, station, operatorName, plan, device;
    std::string started, finished;  // UTC, "2026-01-01T10:00:00.000Z"
    Outcome outcome = Outcome::Pass;
    std::vector<PhaseRecord> phases;
    std::vector<Attachment> attachments;
};

// The record's outcome from its phases: ERROR without any.
Outcome recordOutcome(const std::vector<PhaseRecord>& phases);
// A fresh uid from the system's random source.
std::string newRecordUid();
// Now (or a given time in ms since 1970) as the records write it.
std::string utcTimestamp();
std::string utcTimestamp(int64_t msSince1970);

}  // namespace oculant::station
