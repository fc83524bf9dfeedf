// What a test record is judged and summed up by: the phases' judgement of their measurements,
// the yield and first-pass yield per station and day, the attachment checksum and the JUnit
// text's escaping.
#include <gtest/gtest.h>

#include "results/ResultStore.h"
#include "station/DiagnosePhase.h"
#include "station/IdentityPhase.h"
#include "station/JUnitXml.h"
#include "station/Measure.h"
#include "station/Sha256.h"
#include "tests/support/TempDir.h"

namespace oculant::station {
namespace {

TEST(StationJudgement, identityLimitsEachFailTheirOwnMeasurement)
{
    IdentityValues v;
    v.answered = true;
    v.model = "VF-43";
    v.softwareVersion = "3.5 - 1.23.4";
    v.firmwareStatus = "APP_OK";
    v.parameterCrc = 0x51A3C90E;
    IdentityLimits limits;
    limits.allowedModels = {"VF-55", "VF-43"};
    limits.minSoftwareVersion = "1.23.4";
    limits.firmwareStatusOk = true;
    limits.parameterCrc = 0x51A3C90E;
    EXPECT_EQ(judgeIdentity(v, limits).outcome, Outcome::Pass);

    limits.minSoftwareVersion = "1.100";  // 1.23 is below 1.100: versions compare by number
    PhaseRecord p = judgeIdentity(v, limits);
    EXPECT_EQ(p.outcome, Outcome::Fail);
    EXPECT_EQ(p.reason, "softwareVersion 3.5 - 1.23.4, wanted at least 1.100");
    limits.minSoftwareVersion.reset();
    v.firmwareStatus = "APP_Corrupt";
    v.parameterCrc.reset();
    p = judgeIdentity(v, limits);
    EXPECT_EQ(p.reason, "firmwareStatus APP_Corrupt, wanted APP_OK");
    int failed = 0;
    for (const Measurement& m : p.measurements)
        failed += m.outcome == Outcome::Fail;
    EXPECT_EQ(failed, 2);  // the status and the missing CRC

    v.answered = false;
    EXPECT_EQ(judgeIdentity(v, limits).outcome, Outcome::Error);
}

TEST(StationJudgement, aDiagnosisWithoutVerdictIsAnErrorWithItsReason)
{
    BoardModel model;
    const PhaseRecord p = judgeDiagnosis(OverallVerdict::None, model, "No verdict within 60 s");
    EXPECT_EQ(p.outcome, Outcome::Error);
    EXPECT_EQ(p.reason, "No verdict within 60 s");
    EXPECT_EQ(recordOutcome({judgeDiagnosis(OverallVerdict::Pass, model, ""), p}), Outcome::Error);
    EXPECT_EQ(recordOutcome({}), Outcome::Error);  // nothing ran: nothing passed
}

TestRecord record(const std::string& station, const std::string& serial, const std::string& started, Outcome o)
{
    static int uid = 0;
    TestRecord r;
    r.uid = "u" + std::to_string(++uid);
    r.station = station;
    r.serial = serial;
    r.started = started;
    r.outcome = o;
    return r;
}

TEST(StationSummary, firstPassYieldCountsEachSerialsFirstRecordOfTheDay)
{
    // Stored out of order: the database orders by time itself. Noon UTC is the same day in
    // any zone of the test machine.
    const std::vector<TestRecord> records = {
        record("st1", "B", "2026-01-01T12:03:00.000Z", Outcome::Pass),  // B's retest passed
        record("st1", "A", "2026-01-02T12:00:00.000Z", Outcome::Pass),
        record("st1", "A", "2026-01-01T12:02:00.000Z", Outcome::Fail),  // A's retest failed again
        record("st1", "A", "2026-01-01T12:00:00.000Z", Outcome::Pass),
        record("st1", "B", "2026-01-01T12:01:00.000Z", Outcome::Fail),
        record("st2", "C", "2026-01-01T12:30:00.000Z", Outcome::Error),
    };
    test::TempDir dir;
    std::string error;
    auto store = results::ResultStore::open(*results::parseDatabaseUrl("sqlite:" + dir.str() + "/r.sqlite"), error);
    ASSERT_TRUE(store) << error;
    for (const TestRecord& r : records)
        ASSERT_TRUE(store->write(r, error)) << error;
    const auto rows = store->summary({}, error).value();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].station, "st1");
    EXPECT_EQ(rows[0].day, "2026-01-02");
    EXPECT_EQ(rows[1].day, "2026-01-01");
    EXPECT_EQ(rows[1].records, 4);
    EXPECT_EQ(rows[1].passed, 2);
    EXPECT_EQ(rows[1].serials, 2);
    EXPECT_EQ(rows[1].passedFirstTime, 1);  // A passed first, B failed first
    EXPECT_DOUBLE_EQ(rows[1].firstPassYield(), 0.5);
    EXPECT_EQ(rows[2].station, "st2");
    EXPECT_EQ(rows[2].passedFirstTime, 0);
}

TEST(StationChecksum, sha256MatchesTheStandardsVectors)
{
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Two blocks: the padding spills into a second one.
    EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256Hex(std::string(1000000, 'a')), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(StationJUnit, namesAndReasonsAreEscapedIntoWellFormedText)
{
    TestRecord r = record("st1", "A", "2026-01-01T12:00:00.000Z", Outcome::Fail);
    r.plan = "p";
    r.phases.push_back(errorPhase("signal", "no frame\nthe AD log\twas empty"));
    const std::string xml = recordToJUnit(r);
    EXPECT_NE(xml.find(" timestamp=\"2026-01-01T12:00:00Z\""), std::string::npos) << xml;
    EXPECT_NE(xml.find(" message=\"no frame&#10;the AD log&#9;was empty\""), std::string::npos) << xml;
    EXPECT_EQ(xmlEscaped("a<b & \"c\" 'd'>"), "a&lt;b &amp; &quot;c&quot; &apos;d&apos;&gt;");
    EXPECT_EQ(xmlEscaped("bell\x07 and \xFF byte, 工位"), "bell? and ? byte, 工位");
}

}  // namespace
}  // namespace oculant::station
