#pragma once
// What a virtual frame is: its records, its geometry and its behaviour, read from a profile
// file (INI). Every key is optional; the defaults describe a healthy 43-inch frame.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace oculant {

class IniFile;

struct VirtualFrameProfile {
    // [Frame]: what the frame says about itself.
    uint8_t modelCode = 35;
    uint16_t hardwareVersion = 258;  // shown as 2.58
    uint16_t softwareVersion = 1234;
    uint8_t firmwareStatus = 1;
    uint8_t flashSizeCode = 4;  // 128 KiB
    uint8_t runFlags = 0x01;    // running
    int32_t shipTime = 1767261600;  // seconds since 1970; -1: none
    std::optional<std::string> serial = std::string("VF-000001");  // nullopt: first byte 0xFF
    std::string modelName = "VF-43";
    std::array<uint8_t, 12> identifier{0x4F, 0x43, 0x55, 0x4C, 0x41, 0x4E, 0x54, 0x00, 0x00, 0x00, 0x00, 0x01};
    uint8_t frames = 50;
    uint32_t featureWord = 0x24;
    uint16_t vendorId = 0x1209;
    uint16_t productId = 0x0C1A;
    uint8_t paramByte1 = 0x01;
    uint8_t paramByte2 = 0x02;
    bool answerInfo = true;  // false: never answers 0x10

    // [Geometry]: element counts per board, layer offsets (layer 0 first), signal family, rate.
    std::vector<int> xBoards{32, 32, 32, 32, 32};
    std::vector<int> yBoards{30, 30, 30};
    std::vector<int> xOffsets{0, 4, -4};
    std::vector<int> yOffsets{0, 4, -4};
    uint8_t family = 0x10;
    int frameRate = 50;  // frames per second; 0 streams as fast as the host reads
    int referenceLevel = 200;
    int noise = 2;

    // [Beams]: how far a real frame's clear beams are from one reference level. Spread is fixed
    // per element (emitter strength, receiver gain); ambient light adds to every sample; drift
    // moves each element's clear level slowly on the frame's clock. Seed drives spread, drift,
    // noise, intermittent faults and report loss; with the defaults every stream is the one of a
    // profile without these keys.
    int levelSpreadPercent = 0;
    int ambient = 0;
    double driftPerMinute = 0;
    uint32_t seed = 1;

    // [Faults]: elements given as axis and position ("X:17"), boards as axis and number from 1.
    struct Element {
        char axis = 'X';  // 'X' or 'Y'
        int index = 0;
        bool operator==(const Element&) const = default;
    };
    std::vector<Element> deadEmitters, deadReceivers, weakEmitters, weakReceivers, darkBoards;
    int weakLevel = 45;  // where a weak element's beams settle
    // Elements that read dark in a fraction of the scans (a loose contact), at random per scan.
    std::vector<Element> intermittentEmitters, intermittentReceivers;
    double intermittentDuty = 0.5;
    // The dead, weak, dark and intermittent faults above begin this long after power-on.
    double faultsAfterSeconds = 0;
    // The fraction of input reports the USB link loses on their way to the host.
    double reportLoss = 0;
    long long stallAfterBytes = -1;  // stops taking reports after this many block-write bytes
    // The board table the parameter block reports, where it differs from the boards fitted
    // (ReportedXBoards, ReportedYBoards; empty: the geometry's): a frame whose table does not
    // match its signal.
    std::vector<int> reportedXBoards, reportedYBoards;
    // Sends random, invalid input reports at the streaming rate, in every mode, on top of its
    // real answers: a scan's worth of reports every 1/FrameRate seconds. GarbageSeed makes a
    // run repeatable.
    bool garbage = false;
    uint32_t garbageSeed = 1;

    // [Screen]: where the display sits under the frame. A point at screen logical position s is
    // reported at frame logical position S·R·s + t.
    double screenScaleX = 1.0, screenScaleY = 1.0, screenRotationDeg = 0.0;
    double screenOffsetX = 0.0, screenOffsetY = 0.0;

    // [Fingers] MisplacedTouches=TARGET:PIXELS,...: the technician's finger lands PIXELS screen
    // pixels right of calibration target TARGET (counted from 1) the first time it is touched.
    std::vector<std::pair<int, int>> misplacedTouches;

    int xPositions() const;
    int yPositions() const;
};

struct ProfileResult {
    bool ok = false;
    std::string error;  // names the file, the key and what is wrong
    VirtualFrameProfile profile;
};

ProfileResult loadVirtualFrameProfile(const std::string& path);
ProfileResult parseVirtualFrameProfile(const IniFile& ini, const std::string& name);

// The parameter block the frame answers 0x22 with, built from its geometry. Board counts are
// encoded as a default element count plus up to six (board, count) overrides per axis; a
// geometry that cannot be encoded so gives an error.
struct ParameterBlockImage {
    bool ok = false;
    std::string error;
    std::vector<uint8_t> bytes;
};
ParameterBlockImage buildParameterBlockImage(const VirtualFrameProfile& profile);

}  // namespace oculant
