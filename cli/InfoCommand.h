#pragma once
// Pieces of the info command that are worth testing on their own: what the Status group would
// show, collected from the session's answers, and its two printed forms.

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "deviceinfo/DeviceInfoText.h"
#include "link/DeviceSession.h"
#include "i18n/Language.h"

namespace oculant::cli {

// Remembers which answers of the information sequence arrived, so that a field the frame never
// answered shows "N/A" as the window's field would, instead of the zeros of an empty record.
class InfoView : public SessionView {
public:
    void onVersionStatus(const DeviceRecords&) override { versionStatus = true; }
    void onIdentity(const DeviceRecords&) override { identity = true; }
    void onUserParams(const DeviceRecords&) override { userParams = true; }
    void onParameterBlock(const DeviceRecords&, uint32_t crc) override { parameterCrc = crc; }
    void onStatusText(const std::string& text) override { statusText = text; }

    bool versionStatus = false;
    bool identity = false;
    bool userParams = false;
    std::optional<uint32_t> parameterCrc;
    std::string statusText;
};

struct DeviceInfoReport {
    std::string device;
    // "Connected", or "not answering" when the frame answered nothing it was asked, again and
    // again; the answers that never came, by name.
    std::string state = "Connected";
    std::vector<std::string> missingAnswers;
    std::string model = "N/A";
    std::string hardwareVersion = "N/A";
    std::string softwareVersion = "N/A";
    std::string firmwareStatus = "N/A";
    std::string runStatus = "N/A";
    std::string shipDate = "N/A";
    std::string shipTime = "N/A";
    std::string serial = "N/A";
    std::string parameterCrc = "N/A";
    // Without valid user parameters (none arrived, or byte 0 was 0xFF) these stay empty.
    std::optional<int> frames;
    std::optional<uint32_t> featureWord;
    std::optional<std::vector<std::string>> features;  // captions of the checked feature boxes
    // Null also when bits 4-6 match none of the four patterns (the window then keeps its choice).
    std::optional<std::string> rotation;
    std::vector<int> xBoards, yBoards;  // element count per board
    CalibrationArea calibrationArea;
    std::string userParamsStatus;  // the status bar text of the user parameter answer
};

DeviceInfoReport buildInfoReport(const DeviceRecords& records, const InfoView& answers, const std::string& device,
                                 const Language& language, const LocalTimeConverter& localTime);

nlohmann::ordered_json infoToJson(const DeviceInfoReport& report);
// One "Label: value" line per field, labelled as the window labels its fields.
std::string infoToText(const DeviceInfoReport& report, const Language& language);

// lan.ini beside the running executable.
std::string languageFileBesideProgram();

}  // namespace oculant::cli
