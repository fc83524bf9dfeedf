#include "link/ResponseDispatcher.h"

#include <algorithm>
#include <cstring>

#include "protocol/Crc32.h"
#include "protocol/SignalFrameLayout.h"

namespace oculant {

using namespace protocol;

ParameterBlockVerdict parseParameterBlock(const uint8_t* block, size_t length, BoardLayoutTable& table)
{
    if (length < kMinParameterBlock)
        return ParameterBlockVerdict::TooShort;
    if (block[0] == 0xFF || block[1] == 0xFF || block[2] == 0xFF)
        return ParameterBlockVerdict::NotProgrammed;
    const uint8_t xBoards = block[kPbXBoardCount];
    const uint8_t yBoards = block[kPbYBoardCount];
    // The element lists hold 30 boards; a block claiming more is not ours to guess at.
    if (xBoards > kMaxBoards || yBoards > kMaxBoards)
        return ParameterBlockVerdict::TooManyBoards;

    BoardLayoutTable t;
    t.xBoards = xBoards;
    t.yBoards = yBoards;
    std::fill_n(t.xElements.begin(), xBoards, block[kPbXDefaultElements]);
    std::fill_n(t.yElements.begin(), yBoards, block[kPbYDefaultElements]);
    for (size_t k = 0; k < kPbOverridePairs; ++k) {
        const uint8_t xIndex = block[kPbXOverrides + 2 * k], xCount = block[kPbXOverrides + 2 * k + 1];
        if (xCount != 0 && xIndex < xBoards)
            t.xElements[xIndex] = xCount;
        const uint8_t yIndex = block[kPbYOverrides + 2 * k], yCount = block[kPbYOverrides + 2 * k + 1];
        if (yCount != 0 && yIndex < yBoards)
            t.yElements[yIndex] = yCount;
    }
    t.valid = true;
    table = t;
    return ParameterBlockVerdict::Parsed;
}

std::array<uint32_t, 16> buildParameterSummary(uint32_t featureWord, const uint8_t* block)
{
    std::array<uint32_t, 16> summary{};
    summary[0] = featureWord;
    summary[10] = block[1];
    summary[11] = block[2];
    return summary;
}

ResponseDispatcher::ResponseDispatcher(DeviceRecords& records, ResponseListener* listener)
    : records_(records), listener_(listener), paramBuffer_(kParamBufferSize, 0)
{
}

void ResponseDispatcher::DispatchResponse(const ReceiveRing::Slot& report)
{
    const uint8_t code = report[1];
    switch (code >> 4) {
    case 0x1:
        handleInformation(report);
        break;
    case 0x2:
        handleParameterChunk(report);
        break;
    case 0x3:
        handleSignalChunk(report);
        break;
    default:
        break;  // 0x00-0x0F and 0x40-0xFF carry nothing for us
    }
}

void ResponseDispatcher::handleInformation(const ReceiveRing::Slot& report)
{
    const uint8_t* body = &report[3];  // byte 2 is not used
    switch (report[1]) {
    case kCmdVersionStatus:
        std::memcpy(records_.versionStatus.data(), body, records_.versionStatus.size());
        if (listener_)
            listener_->onVersionStatus(records_);
        records_.infoAnswered = true;
        records_.answered |= kAnswerVersionStatus;
        break;
    case kCmdIdentifier:
        std::memcpy(records_.identifier.data(), body, records_.identifier.size());
        records_.answered |= kAnswerIdentifier;
        if (listener_)
            listener_->onIdentifier(records_);
        break;
    case kCmdIdentity:
        std::memcpy(records_.identity.data(), body, records_.identity.size());
        std::memcpy(records_.identifier.data(), body, records_.identifier.size());
        records_.answered |= kAnswerIdentity;
        if (listener_)
            listener_->onIdentity(records_);
        break;
    case kCmdUserParams:
    case kCmdUserParams2:
        std::memcpy(records_.userParams.data(), body, records_.userParams.size());
        if (records_.userParams[0] != 0xFF)
            records_.parameterSummary[0] = records_.featureWord();
        records_.answered |= report[1] == kCmdUserParams ? kAnswerUserParams : kAnswerUserParams2;
        if (listener_)
            listener_->onUserParams(records_);
        break;
    default:
        break;  // 0x11-0x15 and 0x1A-0x1F are acknowledgements without content
    }
}

void ResponseDispatcher::handleParameterChunk(const ReceiveRing::Slot& report)
{
    const uint8_t length = report[4];
    if (length == kParamEndMarker) {
        handleParameterEnd(report[1], report[5]);
        return;
    }
    // A length beyond what one report holds is a damaged answer; it must not make us read past
    // the stored report, and it is dropped whole.
    if (length > kParamChunkMaxData) {
        ++malformedChunks_;
        return;
    }
    const uint32_t offset = readLe16(&report[2]);
    // A chunk may end at the buffer's very end; the end marker refuses only what lies beyond.
    if (offset + length <= kParamBufferSize)
        std::memcpy(&paramBuffer_[offset], &report[kParamChunkDataOffset], length);
    paramLength_ = offset + length;
}

void ResponseDispatcher::handleParameterEnd(uint8_t code, uint8_t checksum)
{
    // An assembled length past the buffer means chunks were lost or damaged: refuse the block
    // rather than sum bytes we never stored.
    if (paramLength_ > kParamBufferSize) {
        ++malformedChunks_;
        return;
    }
    uint8_t sum = 0;
    for (uint32_t i = 0; i < paramLength_; ++i)
        sum = uint8_t(sum + paramBuffer_[i]);
    if (sum != checksum || code != kCmdParameterBlock)
        return;
    // A whole block came: even one the frame never had programmed, or too short to use, is an
    // answer, and asking again would bring the same.
    const ParameterBlockVerdict verdict = parseParameterBlock(paramBuffer_.data(), paramLength_, records_.boards);
    if (verdict != ParameterBlockVerdict::TooManyBoards)
        records_.answered |= kAnswerParameterBlock;

    switch (verdict) {
    case ParameterBlockVerdict::TooShort:
        if (listener_)
            listener_->onStatusText(kLengthErrorText);
        return;
    case ParameterBlockVerdict::NotProgrammed:
        return;
    case ParameterBlockVerdict::TooManyBoards:
        ++malformedChunks_;
        return;
    case ParameterBlockVerdict::Parsed:
        break;
    }
    records_.parameterSummary = buildParameterSummary(records_.featureWord(), paramBuffer_.data());
    const uint32_t crc = Crc32Words(records_.parameterSummary.data(), records_.parameterSummary.size());
    if (listener_)
        listener_->onParameterBlock(records_, crc);
}

// Chunks of a frame come first, middle..., last, with nothing to number them: a report lost on
// the way shows only as a phase out of order, or as a length that is not the one the frame's
// header announces. A frame missing its last chunk is given up at the next first chunk; chunks
// that come with no frame begun (its first was lost, or the frame was abandoned) are dropped up
// to the next first chunk. A sample frame is kept only at exactly its announced length: more
// means the chunks of the next frame, which lost its first, were added to one that lost its
// last (two frames counted); less, that a middle chunk was lost. Each such frame is counted once.
void ResponseDispatcher::handleSignalChunk(const ReceiveRing::Slot& report)
{
    const uint8_t phase = report[1] & 0x0F;
    const uint32_t n = report[2];
    if (phase > kPhaseLast)
        return;
    if (n > kSignalChunkMaxData) {
        // Damaged length: drop the chunk and the frame it belonged to.
        ++malformedChunks_;
        abandonFrame(phase != kPhaseLast);
        return;
    }
    std::unique_ptr<uint8_t[]>& slot = frames_[size_t(frameWrite_)];
    const uint8_t* data = &report[kSignalChunkDataOffset];
    if (phase == kPhaseFirst) {
        if (!slot)
            slot.reset(new uint8_t[kSignalFrameSize]);
        uint8_t* frame = slot.get();
        if (assembling_)
            ++incompleteFrames_;  // the last chunk of the frame before never came
        std::memcpy(frame, data, n);
        assemblyPosition_ = n;
        assembling_ = true;
        skipping_ = false;
        headerRead_ = false;
        announcedLength_.reset();
        readAnnouncedLength(frame);
        return;
    }
    if (!assembling_) {
        if (!skipping_)
            ++incompleteFrames_;  // the first chunk of this frame never came
        skipping_ = phase != kPhaseLast;
        return;
    }
    if (assemblyPosition_ + n > kSignalFrameSize) {
        // Past what a frame may hold: abandoned, with the rest of its chunks.
        abandonFrame(phase != kPhaseLast);
        return;
    }
    uint8_t* frame = slot.get();  // made by the frame's first chunk
    std::memcpy(frame + assemblyPosition_, data, n);
    assemblyPosition_ += n;
    readAnnouncedLength(frame);
    if (announcedLength_ && assemblyPosition_ > *announcedLength_) {
        incompleteFrames_ += 2;  // this one's last chunk and the next one's first were lost
        abandonFrame(phase != kPhaseLast);
        return;
    }
    if (phase == kPhaseMiddle)
        return;
    if (announcedLength_ && assemblyPosition_ != *announcedLength_) {
        ++incompleteFrames_;  // a middle chunk was lost
        abandonFrame(false);
        return;
    }
    frameLengths_[frameWrite_] = assemblyPosition_;
    frameWrite_ = (frameWrite_ + 1) % int(kSignalRingFrames);
    if (frameWrite_ == frameRead_) {
        frameRead_ = (frameRead_ + 1) % int(kSignalRingFrames);
        ++droppedFrames_;
    }
    assemblyPosition_ = 0;
    assembling_ = false;
}

// Once the header is all there: the length it announces, if it announces one. A header the
// processor would refuse announces nothing here; the processor counts it.
void ResponseDispatcher::readAnnouncedLength(const uint8_t* frame)
{
    if (headerRead_ || assemblyPosition_ == 0)
        return;  // decided already, or not even the kind byte yet (an empty first chunk)
    if (!isKnownFamily(frameFamily(frame[0]))) {
        headerRead_ = true;
        return;
    }
    FrameHeader header;
    switch (parseFrameHeader(frame, assemblyPosition_, header)) {
    case HeaderStatus::Truncated:
        return;  // more chunks to come
    case HeaderStatus::BeyondLimits:
        break;
    case HeaderStatus::Ok:
        announcedLength_ = announcedFrameLength(header);
        break;
    }
    headerRead_ = true;
}

void ResponseDispatcher::abandonFrame(bool skipRest)
{
    assemblyPosition_ = 0;
    assembling_ = false;
    skipping_ = skipRest;
}

int ResponseDispatcher::deliverFrames(const FrameSink& sink)
{
    int delivered = 0;
    while (frameRead_ != frameWrite_) {
        const int index = frameRead_;
        frameRead_ = (frameRead_ + 1) % int(kSignalRingFrames);
        if (sink)
            sink(frames_[size_t(index)].get(), frameLengths_[index]);
        ++delivered;
    }
    return delivered;
}

}  // namespace oculant
