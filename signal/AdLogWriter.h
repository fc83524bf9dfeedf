#pragma once
// The AD log's writer: a thread of its own takes the text of each frame from a bounded queue and
// writes it to the log in batches, so that the drain tick never waits on the disk. When the disk cannot keep
// up the queue fills, and what does not fit is refused at once (the recorder counts the frames)
// while the recording goes on with the frames that follow.
//
//   AdLogWriter writer(std::move(file));            // the thread starts
//   LogTextBuffer text = writer.takeBuffer();       // format a frame into it
//   writer.push(std::move(text), true);             // Queued, Full or Failed; never waits
//   writer.finish();                                // writes what is queued, closes, joins

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "signal/LogTextBuffer.h"

namespace oculant {

// Where a log's bytes go: the log file, or a test's stand-in.
class LogSink {
public:
    virtual ~LogSink() = default;
    // All bytes or false, with error() saying why; a sink that failed takes nothing more.
    virtual bool append(const char* data, size_t size) = 0;
    // False with error() set when the system reports a late failure.
    virtual bool close() = 0;
    virtual const std::string& error() const = 0;
};

class AdLogWriter {
public:
    // About four seconds of a frame streamed at 8,000 reports/s and logged (some 2 MB of text a
    // second): what a disk may stall before frames are refused.
    static constexpr size_t kDefaultQueueBytes = size_t(8) << 20;

    enum class Push {
        Queued,
        Full,    // the queue holds `queueBytes` already: refused, nothing kept
        Failed,  // a write failed (or the writer is finishing): nothing more is taken
    };

    explicit AdLogWriter(std::unique_ptr<LogSink> sink, size_t queueBytes = kDefaultQueueBytes);
    // finish(), its outcome unread.
    ~AdLogWriter();
    AdLogWriter(const AdLogWriter&) = delete;
    AdLogWriter& operator=(const AdLogWriter&) = delete;

    // ---- The recording's thread ----
    // An empty buffer to format the next record into; a written one comes back for reuse.
    LogTextBuffer takeBuffer();
    // Queues one record: the text of one frame (`frame`, counted once it is written) or of
    // anything else. A record always fits an empty queue, however long. Empty text is taken
    // and nothing written.
    Push push(LogTextBuffer&& text, bool frame);
    // Asks the thread to write what is queued, close the sink and end; returns at once.
    void finishLater();
    // Waits until the thread has ended (after finishLater() or not), then joins it. False when
    // a write or the close failed, error() says why. Safe to call twice.
    bool finish();
    // Waits until every record queued so far is written, or the writer failed; after
    // finishLater(), until the sink is closed.
    void waitWritten();

    // ---- Read from any thread ----
    bool failed() const;
    // The thread ended: finish() returns without waiting.
    bool ended() const;
    std::string error() const;
    // Frames wholly written, in order; a failed write ends the count.
    uint64_t framesWritten() const { return framesWritten_.load(std::memory_order_acquire); }

private:
    struct Record {
        LogTextBuffer text;
        bool frame = false;
    };
    void run();
    void recycle(LogTextBuffer&& text);  // under mutex_

    std::unique_ptr<LogSink> sink_;  // the thread's alone once it runs
    const size_t queueBytes_;

    mutable std::mutex mutex_;  // protects everything below but the counter and the thread
    std::condition_variable work_;  // to the thread: a record or the end
    std::condition_variable idle_;  // from the thread: a record written, or the end
    std::deque<Record> queue_;
    size_t queuedBytes_ = 0;  // of the records queued and of the one being written
    bool writing_ = false;    // the thread holds a batch outside the queue
    int flushWaiters_ = 0;    // callers of waitWritten(): no batch waits to grow for them
    std::vector<LogTextBuffer> spare_;
    bool finishing_ = false;
    bool ended_ = false;
    bool failed_ = false;
    std::string error_;

    LogTextBuffer batchText_;  // the thread's: a batch's records, one after the other

    std::atomic<uint64_t> framesWritten_{0};
    std::thread thread_;
};

}  // namespace oculant
