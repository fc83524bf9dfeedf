#include "signal/AdLogWriter.h"

#include <pthread.h>

#include <chrono>

namespace oculant {
namespace {

// Records are written in batches: one write (and one check that the file is still there) for
// what came in over up to 50 ms or 256 KB, rather than one for each frame. At 8,000 reports a
// second that is some 30 frames a write; the log on the disk is the same. A program that crashes
// loses at most the last 50 ms of frames with them, as it could already lose what the queue held
// while the disk was slow.
constexpr size_t kBatchBytes = size_t(256) << 10;
constexpr auto kBatchWait = std::chrono::milliseconds(50);

// Buffers kept for reuse: the thread hands each back once its batch is written, so while the
// disk keeps up a batch's worth go round and no frame allocates.
constexpr size_t kSpareBuffers = 64;

}  // namespace

AdLogWriter::AdLogWriter(std::unique_ptr<LogSink> sink, size_t queueBytes)
    : sink_(std::move(sink)), queueBytes_(queueBytes)
{
    thread_ = std::thread([this] {
        pthread_setname_np(pthread_self(), "oculant-log");
        run();
    });
}

AdLogWriter::~AdLogWriter() { finish(); }

LogTextBuffer AdLogWriter::takeBuffer()
{
    std::lock_guard lock(mutex_);
    if (spare_.empty())
        return {};
    LogTextBuffer text = std::move(spare_.back());
    spare_.pop_back();
    return text;
}

void AdLogWriter::recycle(LogTextBuffer&& text)
{
    if (spare_.size() < kSpareBuffers) {
        text.clear();
        spare_.push_back(std::move(text));
    }
}

AdLogWriter::Push AdLogWriter::push(LogTextBuffer&& text, bool frame)
{
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (failed_ || finishing_) {
            recycle(std::move(text));
            return Push::Failed;
        }
        if (text.size() == 0) {
            recycle(std::move(text));
            return Push::Queued;
        }
        if (queuedBytes_ > 0 && queuedBytes_ + text.size() > queueBytes_) {
            recycle(std::move(text));
            return Push::Full;
        }
        // The thread is woken for the first record of a batch and when a batch is full; in
        // between it is waiting out the batch's time anyway.
        wake = queue_.empty() || (queuedBytes_ < kBatchBytes && queuedBytes_ + text.size() >= kBatchBytes);
        queuedBytes_ += text.size();
        queue_.push_back({std::move(text), frame});
    }
    if (wake)
        work_.notify_one();
    return Push::Queued;
}

void AdLogWriter::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return !queue_.empty() || finishing_; });
        if (queue_.empty())
            break;
        work_.wait_for(lock, kBatchWait, [this] { return finishing_ || flushWaiters_ > 0 || queuedBytes_ >= kBatchBytes; });
        std::deque<Record> batch;
        batch.swap(queue_);
        writing_ = true;
        const bool skip = failed_;  // after a failure the rest is only dropped
        lock.unlock();
        uint64_t frames = 0;
        size_t bytes = 0;
        for (const Record& r : batch) {
            frames += r.frame;
            bytes += r.text.size();
        }
        bool written = skip;
        if (!skip) {
            if (batch.size() == 1) {
                written = sink_->append(batch.front().text.data(), bytes);
            } else {
                batchText_.clear();
                for (const Record& r : batch)
                    batchText_.append(r.text.view());
                written = sink_->append(batchText_.data(), batchText_.size());
            }
        }
        lock.lock();
        writing_ = false;
        queuedBytes_ -= bytes;
        if (!skip) {
            if (written)
                framesWritten_.fetch_add(frames, std::memory_order_release);
            else {
                failed_ = true;
                error_ = sink_->error();
            }
        }
        for (Record& r : batch)
            recycle(std::move(r.text));
        idle_.notify_all();
    }
    if (!failed_) {
        lock.unlock();
        const bool closed = sink_->close();
        lock.lock();
        if (!closed) {
            failed_ = true;
            error_ = sink_->error();
        }
    }
    ended_ = true;
    idle_.notify_all();
}

void AdLogWriter::finishLater()
{
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    work_.notify_one();
}

bool AdLogWriter::finish()
{
    finishLater();
    if (thread_.joinable())
        thread_.join();
    return !failed();
}

void AdLogWriter::waitWritten()
{
    std::unique_lock lock(mutex_);
    ++flushWaiters_;  // the batch in the making goes now
    work_.notify_one();
    idle_.wait(lock, [this] { return ended_ || (!finishing_ && (failed_ || (queue_.empty() && !writing_))); });
    --flushWaiters_;
}

bool AdLogWriter::failed() const
{
    std::lock_guard lock(mutex_);
    return failed_;
}

bool AdLogWriter::ended() const
{
    std::lock_guard lock(mutex_);
    return ended_;
}

std::string AdLogWriter::error() const
{
    std::lock_guard lock(mutex_);
    return error_;
}

}  // namespace oculant
