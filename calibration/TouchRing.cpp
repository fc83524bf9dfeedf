#include "calibration/TouchRing.h"

#include <algorithm>

namespace oculant {

void TouchRing::add(uint8_t count, std::span<const ReportedContact> contacts)
{
    TouchSnapshot& entry = entries_[write_];
    entry.count = 0;
    const size_t looked = std::min({size_t{count}, kMaxReportedContacts, contacts.size()});
    for (size_t i = 0; i < looked && entry.count < TouchSnapshot::kMaxContacts; ++i) {
        const ReportedContact& c = contacts[i];
        if (c.status != kContactDown)
            continue;
        entry.contacts[entry.count++] = {{c.x, c.y}, c.id, c.status};
    }
    write_ = static_cast<uint16_t>((write_ + 1) % kSize);
}

const TouchSnapshot& TouchRing::take()
{
    const TouchSnapshot& entry = entries_[read_];
    read_ = static_cast<uint16_t>((read_ + 1) % kSize);
    return entry;
}

}  // namespace oculant
