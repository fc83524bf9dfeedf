#pragma once
// What the frame has told us about itself, as the answers to the information sequence fill it.

#include <array>
#include <cstdint>

#include "protocol/Protocol.h"

namespace oculant {

// Board counts per axis and element counts per board, from the parameter block answer.
struct BoardLayoutTable {
    uint8_t xBoards = 0;
    uint8_t yBoards = 0;
    std::array<uint8_t, protocol::kMaxBoards> xElements{};
    std::array<uint8_t, protocol::kMaxBoards> yElements{};
    bool valid = false;  // a block has been parsed
};

// The answers of the information sequence, one bit each, in the order it asks for them.
enum InformationAnswer : uint8_t {
    kAnswerVersionStatus = 1 << 0,   // 0x10
    kAnswerIdentity = 1 << 1,        // 0x17
    kAnswerIdentifier = 1 << 2,      // 0x16
    kAnswerUserParams = 1 << 3,      // 0x18
    kAnswerUserParams2 = 1 << 4,     // 0x19
    kAnswerParameterBlock = 1 << 5,  // 0x22: a whole block whose checksum held
    kAllInformationAnswers = 0x3F,
};

// The command that asks for an answer, and what a technician calls it.
struct InformationQuestion {
    InformationAnswer answer;
    uint8_t command;
    const char* name;
};
inline constexpr InformationQuestion kInformationQuestions[] = {
    {kAnswerVersionStatus, protocol::kCmdVersionStatus, "version and status (0x10)"},
    {kAnswerIdentity, protocol::kCmdIdentity, "identity and serial number (0x17)"},
    {kAnswerIdentifier, protocol::kCmdIdentifier, "identifier (0x16)"},
    {kAnswerUserParams, protocol::kCmdUserParams, "user parameters (0x18)"},
    {kAnswerUserParams2, protocol::kCmdUserParams2, "user parameters (0x19)"},
    {kAnswerParameterBlock, protocol::kCmdParameterBlock, "parameter block and board table (0x22)"},
};

struct DeviceRecords {
    std::array<uint8_t, 16> versionStatus{};   // answer 0x10, report bytes 3-18
    std::array<uint8_t, 12> identifier{};      // answer 0x16, or the first 12 bytes of 0x17
    std::array<uint8_t, 61> identity{};        // answer 0x17, report bytes 3-63
    std::array<uint8_t, 58> userParams{};      // answer 0x18/0x19, report bytes 3-60
    bool infoAnswered = false;                 // set by answer 0x10, cleared by the probe
    uint8_t answered = 0;                      // InformationAnswer bits since the sequence began
    std::array<uint32_t, 16> parameterSummary{};
    BoardLayoutTable boards;

    uint8_t modelCode() const { return versionStatus[0]; }
    uint8_t runState() const { return versionStatus[14] & 0x03; }
    uint32_t featureWord() const { return protocol::readLe32(&userParams[51]); }
};

}  // namespace oculant
