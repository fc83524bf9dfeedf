#pragma once
// The working-mode commands around the diagnostic (command 0x21). The caller queues them with
// HIDTalk::SendCommand(code, payload.data(), payload.size()).

#include <cstdint>
#include <vector>

namespace oculant {

struct DiagnosticCommand {
    uint8_t code = 0;
    std::vector<uint8_t> payload;
    bool operator==(const DiagnosticCommand&) const = default;
};

// Mode 4 (60 bytes: 0x04 0x31, then zeros): sent by the main window before it opens the
// diagnostic, while a frame is connected.
DiagnosticCommand diagnosticModeCommand();
// Mode 1 (60 bytes: 0x01 0x31, then zeros): stream signal frames; on activation and reset.
DiagnosticCommand signalStreamCommand();
// Mode 0 (2 bytes: 0x00 0x00): stop streaming; when the window closes.
DiagnosticCommand stopStreamingCommand();

}  // namespace oculant
