#pragma once
// The working-mode commands the capture screen sends (command 0x21 with a 2-byte payload).

#include <array>
#include <cstdint>

namespace oculant {

struct ModeCommand {
    uint8_t code = 0x21;
    std::array<uint8_t, 2> payload{};
    bool operator==(const ModeCommand&) const = default;
};

// Mode 3: the frame streams touch reports. 0xAA is sent as the frame expects it.
inline constexpr ModeCommand kStartTouchReports{0x21, {0x03, 0xAA}};
// Mode 0: the frame stops streaming.
inline constexpr ModeCommand kStopStreaming{0x21, {0x00, 0x00}};

}  // namespace oculant
