// oculant-cli info: the report collected from a virtual frame's answers (stepped by hand), its
// JSON and text forms, and the command end to end on the built-in virtual frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/Cli.h"
#include "cli/InfoCommand.h"
#include "protocol/Crc32.h"
#include "tests/support/SessionHarness.h"
#include "tests/support/ShownTexts.h"

namespace oculant::cli {
namespace {

const std::string kLanIni = test::kShippedLanguageFile.string();
using test::shipped;
using test::utc;

// Connects a session to one virtual frame with the given profile and runs the information
// sequence, all on simulated time; returns the report in the given language.
struct InfoRun {
    test::SessionHarness h;
    InfoView answers;
    Language language{kLanIni};
    std::string path;

    explicit InfoRun(VirtualFrameProfile profile, std::string_view languageName = "English")
    {
        language.select(languageName);
        h.session.setView(&answers);
        path = h.start(std::move(profile));
        h.advance(100);  // the parameter block answer after the last command
    }
    DeviceInfoReport report() { return buildInfoReport(h.session.records(), answers, path, language, utc); }
};

TEST(InfoCommand, report_of_the_default_virtual_frame)
{
    InfoRun run{VirtualFrameProfile{}};
    const nlohmann::ordered_json j = infoToJson(run.report());

    std::vector<std::string> keys;
    for (const auto& item : j.items())
        keys.push_back(item.key());
    EXPECT_EQ(keys, (std::vector<std::string>{"state", "missingAnswers", "model", "hardwareVersion", "softwareVersion", "firmwareStatus",
                                              "runStatus", "shipDate", "shipTime", "serial", "frames", "featureWord",
                                              "parameterCrc", "xBoards", "yBoards", "calibrationArea", "features",
                                              "rotation"}));
    EXPECT_EQ(j["model"], "VF-43");
    EXPECT_EQ(j["hardwareVersion"], "2.58");
    EXPECT_EQ(j["softwareVersion"], "3.5 - 1.23.4");
    EXPECT_EQ(j["firmwareStatus"], shipped("English", "APP_OK"));
    EXPECT_EQ(j["runStatus"], shipped("English", "Sta_Run"));
    EXPECT_EQ(j["shipDate"], "2026-1-1");
    EXPECT_EQ(j["shipTime"], "10:00:00");
    EXPECT_EQ(j["serial"], "VF-000001");
    EXPECT_EQ(j["frames"], 50);
    EXPECT_EQ(j["featureWord"], 0x24);
    // The summary: feature word, then bytes 1 and 2 of the block in words 10 and 11.
    std::array<uint32_t, 16> summary{};
    summary[0] = 0x24;
    summary[10] = 0x01;
    summary[11] = 0x02;
    char crc[16];
    std::snprintf(crc, sizeof crc, "0x%.8X", Crc32Words(summary.data(), summary.size()));
    EXPECT_EQ(j["parameterCrc"], crc);
    EXPECT_EQ(j["xBoards"], nlohmann::json({32, 32, 32, 32, 32}));
    EXPECT_EQ(j["yBoards"], nlohmann::json({30, 30, 30}));
    EXPECT_EQ(j["calibrationArea"]["address"], 0x4800);
    EXPECT_EQ(j["calibrationArea"]["size"], 2048);
    EXPECT_EQ(j["features"], nlohmann::json({shipped("English", "CheckBoxFeatureSmooth"),
                                             shipped("English", "CheckBoxFeatureReverseY")}));
    EXPECT_EQ(j["rotation"], "0°");
}

TEST(InfoCommand, unusual_records_show_as_the_window_shows_them)
{
    VirtualFrameProfile p;
    p.modelName = "T7-4.2";
    p.modelCode = 55;  // no calibration area
    p.hardwareVersion = 0xFFFF;
    p.runFlags = 0x45;
    p.shipTime = -1;
    p.featureWord = 0x30;  // reverse x and y: no rotation pattern
    InfoRun run{p};
    const DeviceInfoReport r = run.report();
    EXPECT_EQ(r.model, "T7-54.2");
    EXPECT_EQ(r.hardwareVersion, "N/A");
    EXPECT_EQ(r.softwareVersion, "5.5 - 1.23.4");
    EXPECT_EQ(r.runStatus, shipped("English", "Sta_Err") + " 5");
    EXPECT_EQ(r.shipDate, "N/A");
    EXPECT_EQ(r.shipTime, "N/A");
    EXPECT_EQ(r.calibrationArea.size, 0u);
    EXPECT_EQ(r.features, (std::vector<std::string>{shipped("English", "CheckBoxFeatureReverseX"),
                                                    shipped("English", "CheckBoxFeatureReverseY")}));
    EXPECT_FALSE(r.rotation);
    EXPECT_TRUE(infoToJson(r)["rotation"].is_null());
}

TEST(InfoCommand, invalid_user_parameters_and_missing_serial)
{
    VirtualFrameProfile p;
    p.frames = 0xFF;
    p.serial.reset();
    InfoRun run{p};
    const DeviceInfoReport r = run.report();
    EXPECT_EQ(r.serial, "N/A");
    EXPECT_EQ(r.model, "N/A");
    EXPECT_FALSE(r.frames);
    EXPECT_FALSE(r.featureWord);
    EXPECT_FALSE(r.features);
    EXPECT_EQ(r.userParamsStatus, shipped("English", "InvalidUserParam"));
    const nlohmann::ordered_json j = infoToJson(r);
    EXPECT_TRUE(j["frames"].is_null());
    EXPECT_TRUE(j["features"].is_null());
}

TEST(InfoCommand, fields_never_answered_stay_not_available)
{
    const DeviceRecords zeros;  // an empty record would read as 1970 and version 0.0
    const Language language(kLanIni);
    const DeviceInfoReport r = buildInfoReport(zeros, InfoView{}, "virtual:0", language, utc);
    const nlohmann::ordered_json j = infoToJson(r);
    for (const char* key : {"model", "hardwareVersion", "softwareVersion", "firmwareStatus", "runStatus", "shipDate",
                            "shipTime", "serial", "parameterCrc"})
        EXPECT_EQ(j[key], "N/A") << key;
    EXPECT_TRUE(j["xBoards"].empty());
    EXPECT_EQ(j["calibrationArea"]["size"], 0);
}

TEST(InfoCommand, another_language_section_gives_its_texts)
{
    InfoRun run{VirtualFrameProfile{}, "中文简体"};
    const DeviceInfoReport r = run.report();
    EXPECT_EQ(r.firmwareStatus, shipped("中文简体", "APP_OK"));
    EXPECT_EQ(r.runStatus, shipped("中文简体", "Sta_Run"));
    ASSERT_TRUE(r.features);
    EXPECT_EQ(r.features->front(), shipped("中文简体", "CheckBoxFeatureSmooth"));
    const std::string text = infoToText(r, run.language);
    EXPECT_NE(text.find(shipped("中文简体", "Label1") + "  "), std::string::npos) << text;
}

TEST(InfoCommand, text_form_has_one_aligned_line_per_field)
{
    InfoRun run{VirtualFrameProfile{}};
    const std::string text = infoToText(run.report(), run.language);
    EXPECT_TRUE(std::regex_search(text, std::regex("\n" + shipped("English", "Label5") + " +2\\.58\n"))) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("\nX boards: +5 \\(32 32 32 32 32\\)\n"))) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("\nCalibration area: +0x00004800, 2048 bytes\n"))) << text;
    // Every value starts in the same column.
    std::istringstream lines(text);
    std::string line;
    std::set<size_t> columns;
    while (std::getline(lines, line))
        if (line.find("  ") != std::string::npos)
            columns.insert(line.find_first_not_of(' ', line.find("  ")));
    EXPECT_EQ(columns.size(), 1u) << text;
}

struct CliRun {
    int status;
    std::string out, err;
};

CliRun cli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = run(args, out, err);
    return {status, out.str(), err.str()};
}

// The one test that runs on the real worker thread and the steady clock.
TEST(InfoCommand, json_end_to_end_on_the_built_in_virtual_frame)
{
    const CliRun r = cli({"--virtual-frame", "--device", "virtual:0", "info", "--json"});
    ASSERT_EQ(r.status, kExitOk) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j.size(), 18u);
    EXPECT_EQ(j["state"], "Connected");
    EXPECT_TRUE(j["missingAnswers"].empty());
    EXPECT_EQ(j["hardwareVersion"], "2.58");
    EXPECT_EQ(j["serial"], "VF-000001");
    EXPECT_EQ(j["xBoards"].size(), 5u);
    EXPECT_TRUE(std::regex_match(j["parameterCrc"].get<std::string>(), std::regex("0x[0-9A-F]{8}")));
}

TEST(InfoCommand, refusals)
{
    CliRun r = cli({"--virtual-frame", "info", "--yaml"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("--yaml"), std::string::npos);

    r = cli({"--virtual-frame", "--language", "Klingon", "info"});
    EXPECT_EQ(r.status, kExitUsage);
    EXPECT_NE(r.err.find("Klingon"), std::string::npos);

    // A device that is not a listed frame: no frame to read.
    r = cli({"--virtual-frame", "--device", "virtual:7", "info"});
    EXPECT_EQ(r.status, kExitNoFrame);
    EXPECT_NE(r.err.find("virtual:7"), std::string::npos);
    EXPECT_TRUE(r.out.empty());
}

}  // namespace
}  // namespace oculant::cli
