#pragma once
// One open hidraw node (or, in tests, a socket standing in for it).
//
// Reads wait in poll() on the node and on an eventfd, so cancel() from the UI thread wakes a
// blocked read at once. Writes: hidraw writes are synchronous in the kernel and poll() always
// says the node is writable, so a write(2) to a frame that stops taking reports can hold its
// thread until the USB stack gives up (5 s for usbhid). That call therefore runs on a small
// writer thread owned by the handle: write() waits for it at most its time-out and returns at
// once on cancel, and a handle destroyed while its writer is still in the kernel leaves the
// writer to finish and close the node on its own. What cannot be bounded is only when the
// kernel releases that one write; nobody waits for it.

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "link/HidBackend.h"

namespace oculant {

class HidrawHandle : public HidHandle {
public:
    // How reports travel on the node. With report ids every report starts with its id, as the
    // core wants. Without (an interface whose descriptor has no Report ID item), hidraw reads
    // come without the id byte; a 0 is put in front so the core always sees byte 0 = report id,
    // as on Windows. Writes carry byte 0 either way: hidraw takes the report number first and
    // 0 for an interface without ids, which the transport drops.
    enum class ReportIds { Present, Absent };

    // The call that writes one report; ::write but for tests that need a write that hangs as
    // a real node can.
    using WriteCall = ssize_t (*)(int fd, const void* data, size_t size);

    // Takes ownership of fd (opened O_RDWR | O_NONBLOCK). Null, with the reason, when the
    // wake-up eventfd or the writer thread cannot be had; fd is closed then too.
    static std::unique_ptr<HidrawHandle> adopt(int fd, ReportIds ids, std::string* error = nullptr,
                                               WriteCall writeCall = nullptr);
    ~HidrawHandle() override;
    HidrawHandle(const HidrawHandle&) = delete;
    HidrawHandle& operator=(const HidrawHandle&) = delete;

    // One report per call. ENODEV, EIO, POLLHUP and POLLERR (and, for the socket stand-in, end of
    // file) mean the device is gone.
    IoResult read(uint8_t* buffer, size_t capacity, int timeoutMs) override;
    IoResult write(const uint8_t* report, size_t length, int timeoutMs) override;
    // Sticky: from now on every read and write returns Cancelled at once.
    void cancel() override;

    struct Shared;  // the node and the writer's state, shared with the writer thread

private:
    HidrawHandle(std::shared_ptr<Shared> shared, int wakeFd, ReportIds ids);
    IoResult readOne(uint8_t* buffer, size_t capacity);

    std::shared_ptr<Shared> shared_;
    int wakeFd_;  // eventfd, signalled once by cancel() and never drained
    ReportIds ids_;
    std::atomic<bool> cancelled_{false};
    std::thread writer_;
};

}  // namespace oculant
