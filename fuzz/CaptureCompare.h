#pragma once
// The capture targets' equality of two parsed devices: what a file says of the device and every
// event, in order. Comments are compared only where the caller asks (a device other than the
// first has none of its own).

#include "backends/capture/CaptureFile.h"

namespace oculant::fuzz {

inline bool sameCapture(const CaptureFile& a, const CaptureFile& b, bool withComments)
{
    if (a.device != b.device || a.name != b.name || a.bus != b.bus || a.vendorId != b.vendorId
        || a.productId != b.productId || a.descriptor != b.descriptor || a.events.size() != b.events.size()
        || (withComments && a.comments != b.comments))
        return false;
    for (size_t i = 0; i < a.events.size(); ++i)
        if (a.events[i].direction != b.events[i].direction || a.events[i].timeUs != b.events[i].timeUs
            || a.events[i].bytes != b.events[i].bytes)
            return false;
    return true;
}

}  // namespace oculant::fuzz
