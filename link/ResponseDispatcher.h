#pragma once
// Dispatch of the frame's answers by response code, and the reassembly of the two multi-report
// transfers: the parameter block (0x20-0x2F) and signal frames (0x30-0x3F).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/DeviceRecords.h"
#include "link/Rings.h"

namespace oculant {

// What the windows show when an answer arrives. Every hook has an empty default.
class ResponseListener {
public:
    virtual ~ResponseListener() = default;
    virtual void onVersionStatus(const DeviceRecords&) {}
    virtual void onIdentifier(const DeviceRecords&) {}
    virtual void onIdentity(const DeviceRecords&) {}
    virtual void onUserParams(const DeviceRecords&) {}
    virtual void onParameterBlock(const DeviceRecords&, uint32_t parameterCrc) {}
    virtual void onStatusText(const std::string&) {}
};

enum class ParameterBlockVerdict { Parsed, TooShort, NotProgrammed, TooManyBoards };

// Parses an assembled parameter block into the board layout table; on anything but Parsed the
// table is left as it was.
ParameterBlockVerdict parseParameterBlock(const uint8_t* block, size_t length, BoardLayoutTable& table);

// The 16-word parameter summary whose CRC is shown as the parameter CRC.
std::array<uint32_t, 16> buildParameterSummary(uint32_t featureWord, const uint8_t* block);

class ResponseDispatcher {
public:
    static constexpr const char* kLengthErrorText = "获取数据长度有误，解析失败！";

    explicit ResponseDispatcher(DeviceRecords& records, ResponseListener* listener = nullptr);

    // One stored input report (byte 0 the report id, byte 1 the response code).
    void DispatchResponse(const ReceiveRing::Slot& report);

    // Hands every complete signal frame, oldest first, to the sink and empties the ring.
    using FrameSink = std::function<void(const uint8_t* data, uint32_t length)>;
    int deliverFrames(const FrameSink& sink);

    void setListener(ResponseListener* listener) { listener_ = listener; }
    uint32_t parameterAssembledLength() const { return paramLength_; }
    const uint8_t* parameterBuffer() const { return paramBuffer_.data(); }
    uint64_t droppedFrames() const { return droppedFrames_; }
    uint64_t malformedChunks() const { return malformedChunks_; }
    // Signal frames given up because a chunk of theirs did not come (lost on the link): one
    // whose last chunk was followed by another frame's first, one whose first never came, one
    // not of the length its header announces.
    uint64_t incompleteFrames() const { return incompleteFrames_; }
    int pendingFrames() const { return (frameWrite_ - frameRead_ + int(protocol::kSignalRingFrames)) % int(protocol::kSignalRingFrames); }

private:
    void handleInformation(const ReceiveRing::Slot& report);
    void handleParameterChunk(const ReceiveRing::Slot& report);
    void handleParameterEnd(uint8_t code, uint8_t checksum);
    void handleSignalChunk(const ReceiveRing::Slot& report);
    void readAnnouncedLength(const uint8_t* frame);
    // Drops the frame being built; with skipRest its remaining chunks are dropped silently.
    void abandonFrame(bool skipRest);

    DeviceRecords& records_;
    ResponseListener* listener_;

    std::vector<uint8_t> paramBuffer_;
    uint32_t paramLength_ = 0;  // offset + length of the latest chunk; may exceed the buffer

    // 64 frames of 16384 bytes, each made when a frame first lands in its slot and left
    // uncleared (a frame is only read up to where its chunks were copied): a dispatcher that
    // sees no signal frames costs no megabyte to make.
    std::array<std::unique_ptr<uint8_t[]>, protocol::kSignalRingFrames> frames_;
    std::array<uint32_t, protocol::kSignalRingFrames> frameLengths_{};
    int frameWrite_ = 0;
    int frameRead_ = 0;
    uint32_t assemblyPosition_ = 0;
    bool assembling_ = false;  // a first chunk came and the frame is not complete yet
    bool skipping_ = false;    // dropping the chunks of a frame already counted or abandoned
    bool headerRead_ = false;  // the frame being built has its header, and announcedLength_ is known
    std::optional<size_t> announcedLength_;  // its whole length, when its header says it
    uint64_t droppedFrames_ = 0;
    uint64_t malformedChunks_ = 0;
    uint64_t incompleteFrames_ = 0;
};

}  // namespace oculant
