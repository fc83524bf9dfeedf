#pragma once
// What travels inside the HID reports exchanged with the frame: sizes, command codes, mode
// payloads and response code ranges.

#include <array>
#include <cstddef>
#include <cstdint>

namespace oculant::protocol {

// Every accepted frame has 63-byte output reports (id + 62 bytes) and 64-byte input reports.
constexpr size_t kOutputReportLength = 63;
constexpr size_t kInputSlotLength = 64;  // bytes of an input report the receive ring keeps
constexpr size_t kMaxInputReportLength = 128;

// Command codes the host sends.
enum Command : uint8_t {
    kCmdBlockWrite = 0x07,
    kCmdVersionStatus = 0x10,
    kCmdRun = 0x11,
    kCmdIdentifier = 0x16,
    kCmdIdentity = 0x17,
    kCmdUserParams = 0x18,
    kCmdUserParams2 = 0x19,
    kCmdMode = 0x21,
    kCmdParameterBlock = 0x22,
};

// Block-write header: byte 0 command 0x07, byte 1 sub-code 0x10, bytes 2-5 little-endian address.
constexpr uint8_t kBlockSubCode = 0x10;
constexpr size_t kBlockHeaderLength = 6;
constexpr uint32_t kBlockBoundary = 1024;  // chunks never cross a 1024-byte flash boundary

// Payloads of command 0x21 (working mode). The second byte is passed on to the frame unchanged.
constexpr std::array<uint8_t, 2> kModeStop = {0x00, 0x00};
constexpr std::array<uint8_t, 2> kModeTouch = {0x03, 0xAA};
constexpr size_t kModeStreamPayloadLength = 60;  // mode byte, 0x31, then 58 zero bytes
std::array<uint8_t, kModeStreamPayloadLength> modeStreamPayload(uint8_t mode);
constexpr uint8_t kModeSignal = 0x01;
constexpr uint8_t kModeDiagnostic = 0x04;

// Parameter-block chunk answers (0x20-0x2F): offset at bytes 2-3, length at byte 4, data from
// byte 5; a length of 0xFF marks the end, with the byte checksum at byte 5.
constexpr uint8_t kParamEndMarker = 0xFF;
constexpr size_t kParamChunkDataOffset = 5;
constexpr size_t kParamChunkMaxData = kInputSlotLength - kParamChunkDataOffset;  // 59
// Signal frame chunk answers (0x30-0x3F): phase in the low nibble of the code, length at byte 2,
// data from byte 3.
constexpr size_t kSignalChunkDataOffset = 3;
constexpr size_t kSignalChunkMaxData = kInputSlotLength - kSignalChunkDataOffset;  // 61
enum SignalPhase : uint8_t { kPhaseFirst = 0, kPhaseMiddle = 1, kPhaseLast = 2 };

constexpr size_t kParamBufferSize = 16384;
constexpr size_t kSignalFrameSize = 16384;
constexpr size_t kSignalRingFrames = 64;
constexpr size_t kMaxBoards = 30;
constexpr size_t kMinParameterBlock = 150;

// Offsets inside the parameter block answer of command 0x22.
constexpr size_t kPbXBoardCount = 8;
constexpr size_t kPbYBoardCount = 9;
constexpr size_t kPbXDefaultElements = 94;
constexpr size_t kPbXOverrides = 102;  // six (board index, element count) pairs
constexpr size_t kPbYDefaultElements = 121;
constexpr size_t kPbYOverrides = 129;
constexpr size_t kPbOverridePairs = 6;

inline uint16_t readLe16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t readLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void writeLe16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void writeLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

}  // namespace oculant::protocol
