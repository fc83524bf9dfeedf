#include "signal/AdLogWriter.h"

#include <pthread.h>

namespace oculant {
namespace {

// Buffers kept for reuse: the thread hands each back as soon as it is written, so while the
// disk keeps up two or three go round and no frame allocates.
constexpr size_t kSpareBuffers = 4;

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
        queuedBytes_ += text.size();
        queue_.push_back({std::move(text), frame});
    }
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
        Record record = std::move(queue_.front());
        queue_.pop_front();
        writing_ = true;
        const bool skip = failed_;  // after a failure the rest is only dropped
        lock.unlock();
        const bool written = skip || sink_->append(record.text.data(), record.text.size());
        lock.lock();
        writing_ = false;
        queuedBytes_ -= record.text.size();
        if (!skip) {
            if (written && record.frame)
                framesWritten_.fetch_add(1, std::memory_order_release);
            if (!written) {
                failed_ = true;
                error_ = sink_->error();
            }
        }
        recycle(std::move(record.text));
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
    idle_.wait(lock, [this] { return ended_ || (!finishing_ && (failed_ || (queue_.empty() && !writing_))); });
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
