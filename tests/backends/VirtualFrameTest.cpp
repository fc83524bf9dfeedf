// The virtual frame: profile files, its answers, and its flash with the calibration-area check.
#include <gtest/gtest.h>

#include "tests/support/SessionHarness.h"
#include "protocol/Crc32.h"
#include "link/ResponseDispatcher.h"
#include "base/IniFile.h"

namespace oculant {
namespace {

ProfileResult parse(const std::string& text) { return parseVirtualFrameProfile(IniFile::fromText(text), "test.ini"); }

TEST(VirtualFrameProfile, KeysAcceptDecimalAndHexAndDefaultsFillTheRest)
{
    ProfileResult r = parse("[Frame]\nModelCode=0x5A\nHardwareVersion=301\nSerial=none\nAnswerInfo=0\n"
                            "Identifier=000102030405060708090A0B\nShipTime=-1\n"
                            "[Geometry]\nXBoards=10,10,12\nYOffsets=0,-3\nFamily=0x30\nFrameRate=120\n");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.profile.modelCode, 0x5A);
    EXPECT_EQ(r.profile.hardwareVersion, 301);
    EXPECT_FALSE(r.profile.serial.has_value());
    EXPECT_FALSE(r.profile.answerInfo);
    EXPECT_EQ(r.profile.identifier[11], 0x0B);
    EXPECT_EQ(r.profile.shipTime, -1);
    EXPECT_EQ(r.profile.xBoards, (std::vector<int>{10, 10, 12}));
    EXPECT_EQ(r.profile.yOffsets, (std::vector<int>{0, -3}));
    EXPECT_EQ(r.profile.family, 0x30);
    EXPECT_EQ(r.profile.frameRate, 120);
    EXPECT_EQ(r.profile.softwareVersion, VirtualFrameProfile{}.softwareVersion);
}

TEST(VirtualFrameProfile, BadValuesAreRefusedNamingTheKey)
{
    struct Case {
        const char* text;
        const char* mention;
    } cases[] = {
        {"[Frame]\nModelCode=300\n", "ModelCode"},
        {"[Frame]\nModelCode=abc\n", "ModelCode"},
        {"[Frame]\nIdentifier=12\n", "Identifier"},
        {"[Geometry]\nXBoards=10,,10\n", "XBoards"},
        {"[Geometry]\nFamily=0x20\n", "Family"},
        {"[Geometry]\nYOffsets=0,200\n", "YOffsets"},
        // Eight different counts cannot be written as one default and six exceptions.
        {"[Geometry]\nXBoards=1,2,3,4,5,6,7,8\n", "six"},
        {"[Geometry]\nYBoards=10,10,0\n", "cannot be encoded"},
    };
    for (const Case& c : cases) {
        ProfileResult r = parse(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_NE(r.error.find(c.mention), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("test.ini"), std::string::npos) << r.error;
    }
    EXPECT_FALSE(loadVirtualFrameProfile("/nonexistent/profile.ini").ok);
}

TEST(VirtualFrameProfile, ParameterBlockImageDecodesToTheProfileBoards)
{
    VirtualFrameProfile p;
    p.xBoards = {16, 16, 20, 16, 8, 16};
    p.yBoards = {9};
    ParameterBlockImage image = buildParameterBlockImage(p);
    ASSERT_TRUE(image.ok) << image.error;
    BoardLayoutTable table;
    ASSERT_EQ(parseParameterBlock(image.bytes.data(), image.bytes.size(), table), ParameterBlockVerdict::Parsed);
    ASSERT_EQ(table.xBoards, 6);
    for (size_t i = 0; i < p.xBoards.size(); ++i)
        EXPECT_EQ(table.xElements[i], p.xBoards[i]) << i;
    EXPECT_EQ(table.yBoards, 1);
    EXPECT_EQ(table.yElements[0], 9);
}

// A whole connected session against one virtual frame, stepped by hand.
struct ConnectedFrame : ::testing::Test {
    test::SessionHarness h;
    std::string path;
    std::shared_ptr<VirtualFrame> frame;

    void SetUp() override
    {
        path = h.start();
        frame = h.backend.frame(path);
        ASSERT_TRUE(h.session.connected());
    }

    BlockOutcome download(const std::vector<uint8_t>& bytes)
    {
        const CalibrationArea area = frame->calibrationArea();
        uint8_t header[6] = {0x07, 0x10};
        protocol::writeLe32(&header[2], area.address);
        EXPECT_TRUE(h.session.talk().StartBlockWrite(1, uint32_t(bytes.size()), header, bytes.data()));
        h.advance(20);
        return h.session.talk().blockOutcome();
    }
};

TEST_F(ConnectedFrame, CalibrationBlockReachesTheFlashWithItsCrcChecked)
{
    const CalibrationArea area = frame->calibrationArea();
    ASSERT_EQ(area.address, 0x4800u);  // model 35
    ASSERT_EQ(area.size, 2048u);
    EXPECT_FALSE(frame->calibrationCrcOk().has_value());

    const std::vector<uint8_t> good = test::calibrationImage(2048);
    EXPECT_EQ(download(good), BlockOutcome::Completed);
    EXPECT_EQ(frame->flash(area.address, area.size), good);
    EXPECT_EQ(frame->calibrationCrcOk(), std::optional<bool>(true));
    EXPECT_EQ(h.session.talk().blockAddress(), area.address + 2048);

    EXPECT_EQ(download(test::calibrationImage(2048, false)), BlockOutcome::Completed);
    EXPECT_EQ(frame->calibrationCrcOk(), std::optional<bool>(false));
    EXPECT_EQ(frame->completedCalibrationWrites(), 2);
}

TEST_F(ConnectedFrame, IdentityAnswerCarriesShipTimeSerialAndModelName)
{
    const DeviceRecords& r = h.session.records();
    EXPECT_EQ(protocol::readLe32(&r.identity[12]), uint32_t(frame->profile().shipTime));
    const std::string serial(reinterpret_cast<const char*>(&r.identity[16]));
    EXPECT_EQ(serial, "VF-000001");
    const std::string model(reinterpret_cast<const char*>(&r.identity[16 + serial.size() + 1]));
    EXPECT_EQ(model, "VF-43");
    EXPECT_EQ(r.identifier, frame->profile().identifier);
}

TEST_F(ConnectedFrame, ModeCommandIsKept)
{
    h.session.sendModeStream(protocol::kModeSignal);
    h.advance(20);
    EXPECT_EQ(frame->mode(), 1);
    h.session.sendModeStop();
    h.advance(20);
    EXPECT_EQ(frame->mode(), 0);
}

}  // namespace
}  // namespace oculant

namespace oculant {
namespace {

TEST(VirtualBeams, FaultsDarkenTheBeamsOfTheirElements)
{
    ProfileResult r = parse("[Geometry]\nXBoards=10,10\nYBoards=8\nXOffsets=0,2\nYOffsets=0\nNoise=0\n"
                            "[Faults]\nDeadEmitters=X:5\nWeakReceivers=Y:3\nDarkBoards=X:2\n");
    ASSERT_TRUE(r.ok) << r.error;
    VirtualBeams beams(r.profile);
    const std::vector<uint8_t> levels = beams.levels({}, false, 0);
    auto at = [&](int row, int pos) { return int(levels[size_t(row < 2 ? row * 20 + pos : 40 + pos)]); };
    // Layer 0: emitter = receiver position. Layer 1 (offset 2): emitter = receiver + 2.
    EXPECT_LE(at(0, 5), 2);   // dead emitter 5, straight beam
    EXPECT_LE(at(1, 3), 2);   // dead emitter 5 seen by receiver 3 of the slanted layer
    EXPECT_EQ(at(1, 5), 200);
    for (int p = 10; p < 20; ++p)
        EXPECT_LE(at(0, p), 2) << "dark board 2 covers positions 10-19";
    EXPECT_LE(at(1, 8), 2) << "receiver 8 sees emitter 10 of the dark board";
    EXPECT_EQ(at(1, 18), 0) << "no beam: emitter 20 is off the axis";
    EXPECT_EQ(at(2, 3), VirtualBeams::kWeakLevel);
    EXPECT_EQ(at(2, 4), 200);
}

TEST(VirtualBeams, FaultsOutsideTheFrameAreRefused)
{
    EXPECT_FALSE(parse("[Faults]\nDeadEmitters=X:999\n").ok);
    EXPECT_FALSE(parse("[Faults]\nDarkBoards=Y:0\n").ok);
    EXPECT_FALSE(parse("[Faults]\nDeadReceivers=Z:1\n").ok);
    EXPECT_FALSE(parse("[Geometry]\nFamily=0x40\nXOffsets=0,-3\n").ok);
}

TEST(VirtualFrameScreen, MisalignmentMapsScreenToFrame)
{
    ProfileResult r = parse("[Screen]\nScaleX=0.5\nScaleY=2\nRotationDeg=90\nOffsetX=1000\nOffsetY=-500\n");
    ASSERT_TRUE(r.ok) << r.error;
    VirtualFrame frame(r.profile);
    // Rotating (1000, 0) by 90 degrees gives (0, 1000); scaled (0, 2000); shifted (1000, 1500).
    auto [x, y] = frame.screenToFrameMm(1000, 0);
    auto [ex, ey] = frame.logicalToMm(1000, 1500);
    EXPECT_NEAR(x, ex, 1e-9);
    EXPECT_NEAR(y, ey, 1e-9);
    EXPECT_NEAR(frame.logicalToMm(32768, 0).first, frame.beams().widthMm(), 1e-9);
}

}  // namespace
}  // namespace oculant
