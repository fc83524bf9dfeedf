#include "diagnostics/DiagnosticCommands.h"

#include "protocol/Protocol.h"

namespace oculant {

namespace {

DiagnosticCommand streamMode(uint8_t mode)
{
    const auto payload = protocol::modeStreamPayload(mode);
    return {protocol::kCmdMode, {payload.begin(), payload.end()}};
}

}  // namespace

DiagnosticCommand diagnosticModeCommand() { return streamMode(protocol::kModeDiagnostic); }

DiagnosticCommand signalStreamCommand() { return streamMode(protocol::kModeSignal); }

DiagnosticCommand stopStreamingCommand()
{
    return {protocol::kCmdMode, {protocol::kModeStop.begin(), protocol::kModeStop.end()}};
}

}  // namespace oculant
