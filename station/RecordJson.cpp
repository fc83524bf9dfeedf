#include "station/RecordJson.h"

#include <nlohmann/json.hpp>

namespace oculant::station {

namespace {

using Json = nlohmann::ordered_json;

Json optionalNumber(const std::optional<double>& v) { return v ? Json(*v) : Json(nullptr); }

std::optional<double> numberOrNull(const nlohmann::json& j)
{
    if (j.is_null())
        return std::nullopt;
    return j.get<double>();
}

Json measurementJson(const Measurement& m)
{
    Json j;
    j["name"] = m.name;
    j["value"] = m.number ? Json(*m.number) : Json(m.text);
    j["low"] = optionalNumber(m.low);
    j["high"] = optionalNumber(m.high);
    j["limit"] = m.limit.empty() ? Json(nullptr) : Json(m.limit);
    j["unit"] = m.unit;
    j["outcome"] = outcomeText(m.outcome);
    return j;
}

Outcome outcomeOf(const nlohmann::json& j)
{
    const auto o = parseOutcome(j.get<std::string>());
    if (!o)
        throw std::runtime_error("unknown outcome '" + j.get<std::string>() + "'");
    return *o;
}

Measurement measurementFrom(const nlohmann::json& j)
{
    Measurement m;
    m.name = j.at("name").get<std::string>();
    const nlohmann::json& value = j.at("value");
    if (value.is_number()) {
        m.number = value.get<double>();
        m.text = j.contains("text") ? j["text"].get<std::string>() : std::to_string(*m.number);
    } else {
        m.text = value.get<std::string>();
    }
    m.low = numberOrNull(j.at("low"));
    m.high = numberOrNull(j.at("high"));
    m.limit = j.at("limit").is_null() ? "" : j["limit"].get<std::string>();
    m.unit = j.at("unit").get<std::string>();
    m.outcome = outcomeOf(j.at("outcome"));
    return m;
}

}  // namespace

nlohmann::ordered_json recordToJson(const TestRecord& r)
{
    Json j;
    j["uid"] = r.uid;
    j["serial"] = r.serial;
    j["model"] = r.model;
    j["station"] = r.station;
    j["operator"] = r.operatorName;
    j["plan"] = r.plan;
    j["device"] = r.device;
    j["started"] = r.started;
    j["finished"] = r.finished;
    j["outcome"] = outcomeText(r.outcome);
    Json phases = Json::array();
    for (const PhaseRecord& p : r.phases) {
        Json measurements = Json::array();
        for (const Measurement& m : p.measurements) {
            Json mj = measurementJson(m);
            if (m.number)  // the printed form, so that a record read back prints the same
                mj["text"] = m.text;
            measurements.push_back(std::move(mj));
        }
        Json phase = {{"name", p.name},
                      {"outcome", outcomeText(p.outcome)},
                      {"reason", p.reason.empty() ? Json(nullptr) : Json(p.reason)},
                      {"seconds", p.seconds},
                      {"measurements", std::move(measurements)}};
        // Only the signal phase keeps the element levels; the other phases' JSON is as it was.
        if (!p.levels.empty())
            phase["levels"] = p.levels;
        phases.push_back(std::move(phase));
    }
    j["phases"] = std::move(phases);
    Json attachments = Json::array();
    for (const Attachment& a : r.attachments)
        attachments.push_back(
            {{"phase", a.phase}, {"name", a.name}, {"path", a.path}, {"size", a.size}, {"sha256", a.sha256}});
    j["attachments"] = std::move(attachments);
    return j;
}

std::optional<TestRecord> recordFromJson(const nlohmann::json& j, std::string* error)
{
    try {
        TestRecord r;
        r.uid = j.at("uid").get<std::string>();
        r.serial = j.at("serial").get<std::string>();
        r.model = j.at("model").get<std::string>();
        r.station = j.at("station").get<std::string>();
        r.operatorName = j.at("operator").get<std::string>();
        r.plan = j.at("plan").get<std::string>();
        r.device = j.at("device").get<std::string>();
        r.started = j.at("started").get<std::string>();
        r.finished = j.at("finished").get<std::string>();
        r.outcome = outcomeOf(j.at("outcome"));
        for (const auto& pj : j.at("phases")) {
            PhaseRecord p;
            p.name = pj.at("name").get<std::string>();
            p.outcome = outcomeOf(pj.at("outcome"));
            p.reason = pj.at("reason").is_null() ? "" : pj["reason"].get<std::string>();
            p.seconds = pj.at("seconds").get<double>();
            for (const auto& mj : pj.at("measurements"))
                p.measurements.push_back(measurementFrom(mj));
            if (pj.contains("levels"))
                p.levels = pj["levels"].get<std::string>();
            r.phases.push_back(std::move(p));
        }
        for (const auto& aj : j.at("attachments"))
            r.attachments.push_back({aj.at("phase").get<std::string>(), aj.at("name").get<std::string>(),
                                     aj.at("path").get<std::string>(), aj.at("size").get<uint64_t>(),
                                     aj.at("sha256").get<std::string>()});
        if (r.uid.empty())
            throw std::runtime_error("the record has no uid");
        return r;
    } catch (const std::exception& e) {
        if (error)
            *error = e.what();
        return std::nullopt;
    }
}

}  // namespace oculant::station
