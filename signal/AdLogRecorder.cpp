#include "signal/AdLogRecorder.h"

#include <chrono>

#include "signal/AdLogFile.h"
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

AdLogRecorder::~AdLogRecorder() { finish(); }

void AdLogRecorder::appendStartBlocks(LogTextBuffer& text, const FrameHeader& header, const SignalStore& store)
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
    appendVersionLine(text, family);
    if (family == kFamilyShortHeader) {
        for (const Block& b : kShortBlocks)
            appendReferenceBlock(text, header, uint8_t(family | b.type), store, b.plane);
    } else {
        for (const Block& b : kLongBlocks)
            appendReferenceBlock(text, header, uint8_t(family | b.type), store, b.plane);
    }
}

bool AdLogRecorder::recording() const { return writer_ && !writer_->failed(); }

uint64_t AdLogRecorder::framesWritten() const
{
    if (writer_)
        return writer_->framesWritten();
    return closing_ ? closing_->framesWritten() : framesWritten_;
}

std::string AdLogRecorder::writeFailure(const std::string& reason)
{
    lastError_ = reason;
    return std::string(kLogWriteFailedText) + "\n" + reason;
}

std::string AdLogRecorder::takeWriterFailure()
{
    if (!writer_ || !writer_->failed())
        return {};
    writer_->finish();  // the thread drops what is still queued and ends
    framesWritten_ = writer_->framesWritten();
    const std::string reason = writer_->error();
    writer_.reset();
    return writeFailure(reason);
}

std::string AdLogRecorder::takeClosingOutcome(bool wait)
{
    if (!closing_ || (!wait && !closing_->ended()))
        return {};
    const bool closed = closing_->finish();
    if (!writer_)
        framesWritten_ = closing_->framesWritten();
    const std::string reason = closing_->error();
    closing_.reset();
    return closed ? std::string() : writeFailure(reason);
}

// The writer goes on with what is queued and closes the log; the frame that switched off does
// not wait for it (`wait`: it does, and the outcome is known on return).
std::string AdLogRecorder::endWriting(bool wait)
{
    std::string failure = takeWriterFailure();
    if (writer_) {
        // One log closes at a time: an earlier one still writing is waited for first.
        const std::string earlier = takeClosingOutcome(true);
        closing_ = std::move(writer_);
        closing_->finishLater();
        if (failure.empty())
            failure = earlier;
    }
    const std::string last = takeClosingOutcome(wait);
    return failure.empty() ? last : failure;
}

std::string AdLogRecorder::finish()
{
    remembered_ = false;
    return endWriting(true);
}

void AdLogRecorder::waitWritten()
{
    if (writer_)
        writer_->waitWritten();
    if (closing_)
        closing_->waitWritten();
}

std::string AdLogRecorder::logStep(const FrameHeader& header, const uint8_t* payload, const SignalStore& store)
{
    const bool requested = logOn_;
    std::string failure = takeWriterFailure();
    if (failure.empty())
        failure = takeClosingOutcome(false);
    bool starting = false;
    if (requested != remembered_) {
        if (!requested) {
            const std::string closing = endWriting(false);
            if (failure.empty())
                failure = closing;
        } else {
            if (header.family() == kFamilyPartialScan)
                return failure.empty() ? kLogPartialScanText : failure;
            auto file = std::make_unique<AdLogFile>();
            if (!file->create(directory_, clock_())) {
                lastError_ = file->error();
                return failure.empty() ? kLogCreateFailedText : failure;
            }
            path_ = file->path();
            framesWritten_ = 0;
            framesNotWritten_ = 0;
            writer_ = std::make_unique<AdLogWriter>(std::move(file));
            starting = true;
        }
    }
    remembered_ = requested;
    if (!requested || !writer_)
        return failure;
    // Everything this frame adds goes out in one record: the start of the log with the first.
    LogTextBuffer text = writer_->takeBuffer();
    if (starting)
        appendStartBlocks(text, header, store);
    // A recording begun on another family writes no 0x30 frame that arrives later, nor counts it.
    const bool frame = appendFrameBlock(text, header, payload);
    switch (writer_->push(std::move(text), frame)) {
    case AdLogWriter::Push::Queued:
        break;
    case AdLogWriter::Push::Full:
        framesNotWritten_ += frame;
        break;
    case AdLogWriter::Push::Failed:
        if (failure.empty())
            failure = takeWriterFailure();
        break;
    }
    return failure;
}

}  // namespace oculant
