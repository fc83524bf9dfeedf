#include "backends/hidraw/HidrawHandle.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <vector>

namespace oculant {

using Clock = std::chrono::steady_clock;

struct HidrawHandle::Shared {
    int fd = -1;  // closed by whoever lets go last: the handle or a writer still in the kernel
    WriteCall writeCall = ::write;

    std::mutex mutex;  // guards everything below
    std::condition_variable changed;
    std::vector<uint8_t> report;  // the report handed to the writer
    bool requested = false;       // a report waits for the writer
    bool busy = false;            // requested, or in write(2)
    bool quit = false;            // the handle is gone; the writer ends after its current write
    bool cancelled = false;
    uint64_t issued = 0;    // writes handed over
    uint64_t finished = 0;  // writes whose result is below
    ssize_t result = 0;
    int error = 0;

    ~Shared()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

void writerLoop(std::shared_ptr<HidrawHandle::Shared> s)
{
    std::unique_lock lock(s->mutex);
    for (;;) {
        s->changed.wait(lock, [&] { return s->quit || s->requested; });
        if (s->quit)
            return;
        std::vector<uint8_t> report = std::move(s->report);
        s->requested = false;
        lock.unlock();
        const ssize_t n = s->writeCall(s->fd, report.data(), report.size());
        const int error = errno;
        lock.lock();
        s->result = n;
        s->error = error;
        s->busy = false;
        ++s->finished;
        s->changed.notify_all();
    }
}

int millisecondsLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// How an errno of a node read or write is reported: the errors of a vanished device are Gone.
IoStatus ioStatusFromErrno(int error)
{
    switch (error) {
    case EAGAIN:
    case EINTR:
        return IoStatus::Timeout;
    case ENODEV:     // the node outlived its device (unplugged)
    case EIO:        // the transport failed, or the device went while a read waited
    case ESHUTDOWN:  // USB: the device or its host controller was disabled
    case ENXIO:
        return IoStatus::Gone;
    // Not EPIPE: from usbhid that is an endpoint stall, which the next write may clear.
    default:
        return IoStatus::Error;
    }
}

// Waits until the node is ready for `wanted` or cancel() wakes the wait through `wakeFd`. The
// result when the wait ended otherwise (cancelled, timed out, failed, not a descriptor); else
// nullopt, with what poll() said of the node in `events`.
std::optional<IoResult> waitFor(int fd, short wanted, int wakeFd, int timeoutMs, short& events)
{
    pollfd fds[2] = {{fd, wanted, 0}, {wakeFd, POLLIN, 0}};
    const int ready = ::poll(fds, 2, timeoutMs);
    if (ready > 0 && fds[1].revents)
        return IoResult{IoStatus::Cancelled, 0};  // woken by cancel()
    if (ready < 0)
        return IoResult{errno == EINTR ? IoStatus::Timeout : IoStatus::Error, 0};
    if (ready == 0)
        return IoResult{IoStatus::Timeout, 0};
    if (fds[0].revents & POLLNVAL)
        return IoResult{IoStatus::Error, 0};
    events = fds[0].revents;
    return std::nullopt;
}

}  // namespace

std::unique_ptr<HidrawHandle> HidrawHandle::adopt(int fd, ReportIds ids, std::string* error, WriteCall writeCall)
{
    auto shared = std::make_shared<Shared>();
    shared->fd = fd;
    if (writeCall)
        shared->writeCall = writeCall;
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        if (error)
            *error = std::string("eventfd: ") + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<HidrawHandle> handle(new HidrawHandle(shared, wakeFd, ids));
    try {
        handle->writer_ = std::thread(writerLoop, shared);
    } catch (const std::system_error& e) {
        if (error)
            *error = std::string("writer thread: ") + e.what();
        return nullptr;
    }
    return handle;
}

HidrawHandle::HidrawHandle(std::shared_ptr<Shared> shared, int wakeFd, ReportIds ids)
    : shared_(std::move(shared)), wakeFd_(wakeFd), ids_(ids)
{
}

HidrawHandle::~HidrawHandle()
{
    bool inKernel = false;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->quit = true;
        inKernel = shared_->busy;
        shared_->changed.notify_all();
    }
    // An idle writer ends at once; one still in write(2) is left to finish, so closing never
    // waits for the kernel. It holds the node open until then.
    if (writer_.joinable()) {
        if (inKernel)
            writer_.detach();
        else
            writer_.join();
    }
    ::close(wakeFd_);
}

void HidrawHandle::cancel()
{
    cancelled_.store(true, std::memory_order_release);
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    std::lock_guard lock(shared_->mutex);
    shared_->cancelled = true;
    shared_->changed.notify_all();
}

IoResult HidrawHandle::read(uint8_t* buffer, size_t capacity, int timeoutMs)
{
    if (cancelled_.load(std::memory_order_acquire))
        return {IoStatus::Cancelled, 0};
    short events = 0;
    if (const std::optional<IoResult> ended = waitFor(shared_->fd, POLLIN, wakeFd_, timeoutMs, events))
        return *ended;
    // Reports still queued are read before a hang-up is believed: hidraw hands them out first.
    if (events & POLLIN)
        return readOne(buffer, capacity);
    if (events & (POLLHUP | POLLERR))
        return {IoStatus::Gone, 0};
    return {IoStatus::Timeout, 0};
}

IoResult HidrawHandle::readOne(uint8_t* buffer, size_t capacity)
{
    const size_t skip = ids_ == ReportIds::Absent ? 1 : 0;
    // hidraw would take a zero-byte read as one report and drop it.
    if (capacity <= skip)
        return {IoStatus::Error, 0};
    const ssize_t n = ::read(shared_->fd, buffer + skip, capacity - skip);
    if (n > 0) {
        if (skip)
            buffer[0] = 0;  // the report id of an interface without ids, as Windows gives it
        return {IoStatus::Ok, size_t(n) + skip};
    }
    if (n == 0)
        return {IoStatus::Gone, 0};  // end of file: only a stand-in whose peer closed says this
    return {ioStatusFromErrno(errno), 0};
}

IoResult HidrawHandle::write(const uint8_t* report, size_t length, int timeoutMs)
{
    if (cancelled_.load(std::memory_order_acquire))
        return {IoStatus::Cancelled, 0};
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    // A write still in the kernel from an earlier call (a frame that stopped taking reports)
    // has to end before the next one starts; it gets this call's time-out to do so.
    if (!s.changed.wait_until(lock, deadline, [&] { return s.cancelled || !s.busy; }))
        return {IoStatus::Timeout, 0};
    if (s.cancelled)
        return {IoStatus::Cancelled, 0};
    lock.unlock();

    // Bounded where the node can say so (a stand-in whose buffer is full); hidraw always
    // reports writable.
    short events = 0;
    if (const std::optional<IoResult> ended = waitFor(s.fd, POLLOUT, wakeFd_, millisecondsLeft(deadline), events))
        return *ended;
    if (events & (POLLHUP | POLLERR))
        return {IoStatus::Gone, 0};

    lock.lock();
    s.report.assign(report, report + length);
    s.requested = true;
    s.busy = true;
    const uint64_t ticket = ++s.issued;
    s.changed.notify_all();
    s.changed.wait_until(lock, deadline, [&] { return s.cancelled || s.finished == ticket; });
    if (s.finished != ticket)
        return {s.cancelled ? IoStatus::Cancelled : IoStatus::Timeout, 0};
    // Finished, even if cancelled meanwhile: the report did go out, and saying so keeps the
    // command from being sent again.
    if (s.result >= 0)
        return {IoStatus::Ok, size_t(s.result)};
    return {ioStatusFromErrno(s.error), 0};
}

}  // namespace oculant
