// Virtual-frame profiles typed by hand: a misspelt key, an unknown section or a layout no frame
// can carry is refused with the file and the line (exit 64) before any frame exists; every
// profile shipped, and one holding every key the README lists, still reads.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/Cli.h"
#include "tests/support/CliRun.h"

namespace oculant::cli {
namespace {

namespace fs = std::filesystem;

using ProfileRefusal = test::CliTest;

TEST_F(ProfileRefusal, misspelt_keys_unknown_sections_and_layouts_beyond_a_frame_exit_64_with_the_line)
{
    const std::string fortyOneLayers = [] {
        std::string offsets = "0";
        for (int i = 1; i < 41; ++i)
            offsets += ",0";
        return offsets;
    }();
    struct Case {
        const char* what;
        std::string text;
        std::string said;  // after "<file> "
    };
    const Case cases[] = {
        {"a misspelt fault", "[Frame]\nSerial=VF-1\n\n[Faults]\nDeadEmiters=X:17\n",
         "line 5: unknown key 'DeadEmiters' in [Faults]"},
        {"an unknown section", "[Geometry]\nNoise=0\n[Fault]\nDeadEmitters=X:17\n", "line 3: unknown section [Fault]"},
        {"a key given twice", "[Faults]\nDeadEmitters=X:1\n[Geometry]\nNoise=1\n[Faults]\ndeademitters=X:2\n",
         "line 6: a second 'deademitters' in [Faults]"},
        {"a key before any section", "Noise=0\n[Geometry]\n", "line 1: key 'Noise' before the first section"},
        {"a line that says nothing", "[Geometry]\nNoise 0\n", "line 2: neither a [section] nor a key=value line"},
        {"41 X layers", "[Geometry]\n\nXOffsets=" + fortyOneLayers + "\n",
         "line 3: [Geometry] XOffsets: 41 X layers: a frame carries at most 31 per axis"},
        {"rows beyond a frame", "[Geometry]\nXBoards=255,255,255,255,255,255,255,255,255,255,255,255,255,255,255,255,"
                                "255,255,255,255,255,255,255,255,255,255,255,255,255,255\nXOffsets=0,1,2\n",
         "line 2: [Geometry] XBoards/YBoards: a scan of "},
        {"boundary rows longer than the axis", "[Geometry]\nFamily=0x40\nXOffsets=0,4\nYBoards=10\nYOffsets=0,10\n",
         "line 5: [Geometry] YOffsets: family 0x40: the last Y offset 10 gives boundary rows of 11 samples"},
        {"an unknown family", "[Geometry]\nFamily=0x20\n",
         "line 2: [Geometry] Family: signal family 0x20 is not 0x00, 0x10, 0x30 or 0x40"},
        {"a value out of range", "[Faults]\nWeakLevel=300\n", "line 2: [Faults] WeakLevel: '300' is not a number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = write("profile.ini", c.text);
        EXPECT_EQ(runOnFrame(path, {"info"}), kExitUsage) << err;
        EXPECT_EQ(err.rfind("oculant-cli: profile refused: " + path + " " + c.said, 0), 0u) << err;
        EXPECT_EQ(out, "");
    }
}

TEST_F(ProfileRefusal, every_shipped_profile_and_every_key_of_the_readme_read)
{
    size_t profiles = 0;
    for (const auto& entry : fs::directory_iterator(OCULANT_SOURCE_DIR "/data/profiles")) {
        ++profiles;
        EXPECT_EQ(runOnFrame(entry.path().string(), {"info"}), kExitOk) << entry.path() << ": " << err;
    }
    EXPECT_GE(profiles, 10u);

    const std::string everyKey = write("every-key.ini",
                                       "[Frame]\nModelCode=35\nHardwareVersion=258\nSoftwareVersion=1234\nFirmwareStatus=1\n"
                                       "FlashSizeCode=4\nRunFlags=0x01\nShipTime=-1\nSerial=VF-9\nModelName=VF-43\n"
                                       "Identifier=4F43554C414E540000000001\nFrames=50\nFeatureWord=0x24\n"
                                       "VendorId=0x1209\nProductId=0x0C1A\nParamByte1=1\nParamByte2=2\nAnswerInfo=1\n"
                                       "[Geometry]\nXBoards=32,32,32,32,32\nYBoards=30,30,30\nXOffsets=0,4,-4\n"
                                       "YOffsets=0,4,-4\nFamily=0x10\nFrameRate=50\nReferenceLevel=200\nNoise=2\n"
                                       "[Beams]\nLevelSpread=0\nAmbient=0\nDrift=0\nSeed=1\n"
                                       "[Faults]\nDeadEmitters=X:17\nDeadReceivers=Y:3\nWeakEmitters=X:20\n"
                                       "WeakReceivers=Y:4\nWeakLevel=45\nDarkBoards=X:2\nIntermittentEmitters=X:12\n"
                                       "IntermittentReceivers=Y:5\nIntermittentDuty=0.5\nFaultsAfterSeconds=0\n"
                                       "ReportLoss=0\nStallAfterBytes=-1\nGarbage=0\nGarbageSeed=1\n"
                                       "ReportedXBoards=32,32,32,32,32\nReportedYBoards=30,30,30\n"
                                       "[Screen]\nScaleX=1\nScaleY=1\nRotationDeg=0\nOffsetX=0\nOffsetY=0\n"
                                       "[Fingers]\nMisplacedTouches=4:30,9:-12\n");
    EXPECT_EQ(runOnFrame(everyKey, {"info"}), kExitOk) << err;
    EXPECT_NE(out.find("VF-9"), std::string::npos) << out;
}

}  // namespace
}  // namespace oculant::cli
