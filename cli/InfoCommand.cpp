// oculant-cli info: connects, runs the information sequence and prints what the Status group of
// the main window shows, with the features, boards and calibration area.
#include "base/JsonText.h"
#include "cli/InfoCommand.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "deviceinfo/FeatureWord.h"
#include "i18n/TextKeys.h"

namespace oculant::cli {

namespace {

// The probe connects in about 300 ms and the sequence takes 700 ms; a real frame behind a hub
// may take longer to show up, but a production line should not wait for ever.
constexpr int kConnectTimeoutMs = 8000;

std::string hex8(uint32_t value)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%.8X", unsigned(value));
    return buf;
}

std::string designCaption(std::string_view control)
{
    for (const auto& c : textkeys::kMainWindowControls)
        if (c.control == control)
            return std::string(c.design);
    return std::string(control);
}

std::string label(const Language& language, std::string_view control)
{
    return language.LookupTextOr(control, designCaption(control));
}

std::vector<int> elementCounts(uint8_t boards, const std::array<uint8_t, protocol::kMaxBoards>& elements)
{
    return {elements.begin(), elements.begin() + std::min<size_t>(boards, elements.size())};
}

size_t codePoints(const std::string& s)
{
    size_t n = 0;
    for (unsigned char c : s)
        n += (c & 0xC0) != 0x80;
    return n;
}

std::string joined(const std::vector<std::string>& items, const char* separator)
{
    std::string out;
    for (const auto& item : items)
        out += (out.empty() ? "" : separator) + item;
    return out;
}

// "5 (32 32 32 32 32)": the board count, then the elements of each board.
std::string boardsText(const std::vector<int>& boards)
{
    std::vector<std::string> counts;
    for (int n : boards)
        counts.push_back(std::to_string(n));
    return std::to_string(boards.size()) + " (" + joined(counts, " ") + ")";
}

}  // namespace

std::string languageFileBesideProgram()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return Language::pathBeside(n > 0 ? std::string(path, size_t(n)) : std::string());
}

DeviceInfoReport buildInfoReport(const DeviceRecords& records, const InfoView& answers, const std::string& device,
                                 const Language& language, const LocalTimeConverter& localTime)
{
    const TextLookup lookup = [&](std::string_view key) { return language.LookupText(key); };
    DeviceInfoReport r;
    r.device = device;
    if (answers.versionStatus) {
        VersionStatusText v = describeVersionStatus(records.versionStatus, lookup);
        r.hardwareVersion = v.hardwareVersion;
        r.softwareVersion = v.softwareVersion;
        r.firmwareStatus = v.firmwareStatus;
        r.runStatus = v.runStatus;
        r.calibrationArea = v.calibrationArea;
    }
    if (answers.identity) {
        IdentityText id = describeIdentity(records.identity, localTime);
        r.shipDate = id.shipDate;
        r.shipTime = id.shipTime;
        r.serial = id.serial;
        r.model = id.model;
    }
    if (answers.userParams) {
        UserParamsText u = describeUserParams(records.userParams, lookup);
        r.userParamsStatus = u.statusText;
        if (u.valid) {
            r.frames = records.userParams[0];
            r.featureWord = u.featureWord;
            const FeatureState state = applyFeatureWord(u.featureWord, designFeatureState());
            r.features.emplace();
            for (size_t b = 0; b < kFeatureBoxCount; ++b)
                if (state.checked[b] && FeatureBox(b) != FeatureBox::Mac)
                    r.features->push_back(
                        language.LookupTextOr(kFeatureBoxes[b].control, kFeatureBoxes[b].design));
            if (const auto rotation = rotationOf(u.featureWord))
                r.rotation = std::string(rotationCaption(*rotation));
        }
    }
    if (answers.parameterCrc) {
        r.parameterCrc = formatParameterCrc(*answers.parameterCrc);
        r.xBoards = elementCounts(records.boards.xBoards, records.boards.xElements);
        r.yBoards = elementCounts(records.boards.yBoards, records.boards.yElements);
    }
    return r;
}

nlohmann::ordered_json infoToJson(const DeviceInfoReport& r)
{
    auto orNull = [](const auto& optional) -> nlohmann::ordered_json {
        return optional ? nlohmann::ordered_json(*optional) : nlohmann::ordered_json(nullptr);
    };
    nlohmann::ordered_json j;
    j["state"] = r.state;
    j["missingAnswers"] = r.missingAnswers;
    j["model"] = r.model;
    j["hardwareVersion"] = r.hardwareVersion;
    j["softwareVersion"] = r.softwareVersion;
    j["firmwareStatus"] = r.firmwareStatus;
    j["runStatus"] = r.runStatus;
    j["shipDate"] = r.shipDate;
    j["shipTime"] = r.shipTime;
    j["serial"] = r.serial;
    j["frames"] = orNull(r.frames);
    j["featureWord"] = orNull(r.featureWord);
    j["parameterCrc"] = r.parameterCrc;
    j["xBoards"] = r.xBoards;
    j["yBoards"] = r.yBoards;
    j["calibrationArea"] = {{"address", r.calibrationArea.address}, {"size", r.calibrationArea.size}};
    j["features"] = orNull(r.features);
    j["rotation"] = orNull(r.rotation);
    return j;
}

std::string infoToText(const DeviceInfoReport& r, const Language& language)
{
    const std::vector<std::pair<std::string, std::string>> lines = {
        {language.LookupTextOr("Label36", textkeys::kDevicePathDesignCaption), r.device},
        {"State:", r.state},
        {label(language, "Label1"), r.model},
        {label(language, "Label5"), r.hardwareVersion},
        {label(language, "Label6"), r.softwareVersion},
        {label(language, "Label7"), r.firmwareStatus},
        {label(language, "Label8"), r.runStatus},
        {label(language, "Label2"), r.shipDate},
        {label(language, "Label3"), r.shipTime},
        {label(language, "Label4"), r.serial},
        {label(language, "Label39"), r.parameterCrc},
        {label(language, "Label11"), r.frames ? std::to_string(*r.frames) : "N/A"},
        {"Feature word:", r.featureWord ? hex8(*r.featureWord) : "N/A"},
        {"Features:", r.features ? joined(*r.features, ", ") : "N/A"},
        {"Rotation:", r.rotation.value_or("N/A")},
        {"X boards:", boardsText(r.xBoards)},
        {"Y boards:", boardsText(r.yBoards)},
        {"Calibration area:", r.calibrationArea.size == 0
                                  ? std::string("none")
                                  : hex8(r.calibrationArea.address) + ", " + std::to_string(r.calibrationArea.size) +
                                        " bytes"},
    };
    size_t width = 0;
    for (const auto& [name, value] : lines)
        width = std::max(width, codePoints(name));
    std::string out;
    for (const auto& [name, value] : lines)
        out += name + std::string(width + 2 - codePoints(name), ' ') + value + "\n";
    if (!r.userParamsStatus.empty())
        out += r.userParamsStatus + "\n";
    return out;
}

int runInfo(CommandContext& ctx)
{
    const bool json = ctx.options.has("json");
    if (!ctx.args.empty()) {
        ctx.err << "oculant-cli info: unexpected argument '" << ctx.args.front() << "'\n";
        return kExitUsage;
    }

    Language language(languageFileBesideProgram());
    const std::vector<std::string> sections = language.startupSelection().items;
    const std::string wanted = ctx.global.language.empty() ? std::string(kDesignLanguage) : ctx.global.language;
    if (!ctx.global.language.empty() &&
        std::find(sections.begin(), sections.end(), wanted) == sections.end()) {
        ctx.err << "oculant-cli: no language '" << wanted << "' in " << language.path() << "\n";
        return kExitUsage;
    }
    if (!language.fileExists())
        ctx.err << "oculant-cli: " << language.path() << " not found: texts show as N/A\n";
    language.select(wanted);

    InfoView answers;
    int exitCode = kExitOk;
    std::unique_ptr<CliSession> cs = CliSession::openWithView(ctx, "info", answers, kConnectTimeoutMs, exitCode);
    if (!cs)
        return exitCode;
    const QuillonDevice* current = cs->session().talk().currentDevice();
    DeviceInfoReport report = buildInfoReport(cs->session().records(), answers, current ? current->path : "",
                                              language, systemLocalTime());
    report.missingAnswers = cs->session().missingAnswerNames();
    if (cs->session().notAnswering())
        report.state = DeviceSession::kNotAnsweringText;
    else
        report.state = language.LookupTextOr(textkeys::kConnected.key, textkeys::kConnected.fallback);
    cs->close();
    cs->session().setView(nullptr);

    if (json)
        ctx.out << jsonText(infoToJson(report)) << "\n";
    else
        ctx.out << infoToText(report, language);
    // What the frame would not say is not known: a line must not take N/A for an answer.
    return report.missingAnswers.empty() ? kExitOk : kExitFailed;
}

}  // namespace oculant::cli
