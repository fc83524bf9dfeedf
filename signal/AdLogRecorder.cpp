#include "signal/AdLogRecorder.h"

#include <chrono>

#include "signal/AdLogFormat.h"

namespace oculant {

int64_t systemSeconds()
{
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

AdLogRecorder::AdLogRecorder(std::string directory, SecondsClock clock)
    : directory_(std::move(directory)), clock_(std::move(clock))
{
}

void AdLogRecorder::appendStartBlocks(const FrameHeader& header, const SignalStore& store)
{
    // Reference blocks: plane and the kind it is logged under (family + content type it stands for).
    struct Block {
        int plane;
        uint8_t type;
    };
    static constexpr Block kShortBlocks[] = {{kPlaneReference, kTypeReference}, {kPlaneThreshold, kTypeThreshold}};
    static constexpr Block kLongBlocks[] = {{kPlaneReference, kTypeReference},
                                            {kPlaneThreshold, kTypeThreshold},
                                            {kPlaneCurrent, kTypeLiveScan}};
    const uint8_t family = header.family();
    appendVersionLine(text_, family);
    if (family == kFamilyShortHeader) {
        for (const Block& b : kShortBlocks)
            appendReferenceBlock(text_, header, uint8_t(family | b.type), store, b.plane);
    } else {
        for (const Block& b : kLongBlocks)
            appendReferenceBlock(text_, header, uint8_t(family | b.type), store, b.plane);
    }
}

std::string AdLogRecorder::writeFailure()
{
    return std::string(kLogWriteFailedText) + "\n" + file_.error();
}

std::string AdLogRecorder::logStep(const FrameHeader& header, const uint8_t* payload, const SignalStore& store)
{
    const bool requested = logOn_;
    text_.clear();
    std::string failure;
    if (requested != remembered_) {
        if (!requested) {
            if (!file_.close())
                failure = writeFailure();
        } else {
            if (header.family() == kFamilyPartialScan)
                return kLogPartialScanText;
            if (!file_.create(directory_, clock_()))
                return kLogCreateFailedText;
            framesWritten_ = 0;
            appendStartBlocks(header, store);
        }
    }
    // A recording begun on another family writes no 0x30 frame that arrives later, nor counts it.
    const bool appending = requested && file_.isOpen() && appendFrameBlock(text_, header, payload);
    remembered_ = requested;
    if (text_.size() > 0 && !file_.append(text_.data(), text_.size()))
        failure = writeFailure();
    else if (appending)
        ++framesWritten_;
    return failure;
}

}  // namespace oculant
