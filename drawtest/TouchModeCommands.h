#pragma once
// The working-mode command (0x21) as the draw test uses it: mode 3 streams touch reports,
// mode 0 stops streaming. The main window sends mode 3 before it shows the draw test; the draw
// test sends mode 0 when it closes.

#include <array>
#include <cstdint>

namespace oculant {

struct DrawTestCommand {
    uint8_t code = 0;
    std::array<uint8_t, 2> payload{};
};

inline constexpr DrawTestCommand kTouchReportsOn{0x21, {0x03, 0xAA}};
inline constexpr DrawTestCommand kTouchReportsOff{0x21, {0x00, 0x00}};

}  // namespace oculant
