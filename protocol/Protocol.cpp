#include "protocol/Protocol.h"

namespace oculant::protocol {

std::array<uint8_t, kModeStreamPayloadLength> modeStreamPayload(uint8_t mode)
{
    std::array<uint8_t, kModeStreamPayloadLength> payload{};
    payload[0] = mode;
    payload[1] = 0x31;
    return payload;
}

}  // namespace oculant::protocol
