#pragma once
// The touch reports the capture screen has not looked at yet: one snapshot per report, holding
// only the contacts that are down.

#include <array>
#include <cstdint>
#include <span>

#include "calibration/Coordinates.h"

namespace oculant {

// A contact as a touch report carries it.
struct ReportedContact {
    int16_t x = 0;
    int16_t y = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint8_t id = 0;
    uint8_t status = 0;
};

// Status of a contact that is down; the frame's other status values are not used here.
inline constexpr uint8_t kContactDown = 9;

struct StoredContact {
    FrameLogical position;
    uint8_t id = 0;
    uint8_t status = 0;
};

struct TouchSnapshot {
    static constexpr size_t kMaxContacts = 10;
    uint8_t count = 0;
    std::array<StoredContact, kMaxContacts> contacts{};
};

// 256 snapshots; the reader and the writer both run on the user-interface thread. Unread
// snapshots are overwritten after 256 reports (the ring then looks empty).
class TouchRing {
public:
    static constexpr size_t kSize = 256;
    // A touch report carries at most 32 contact records.
    static constexpr size_t kMaxReportedContacts = 32;

    // Stores the down contacts of one report (at most min(count, 32, contacts.size()) are
    // looked at, at most 10 kept). The snapshot is written even when it holds no contact.
    void add(uint8_t count, std::span<const ReportedContact> contacts);

    bool empty() const { return read_ == write_; }
    // The oldest unread snapshot; call only when not empty.
    const TouchSnapshot& take();
    void clear() { read_ = write_ = 0; }

private:
    std::array<TouchSnapshot, kSize> entries_{};
    uint16_t write_ = 0;
    uint16_t read_ = 0;
};

}  // namespace oculant
