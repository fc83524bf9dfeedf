#include "hid/HidItem.h"

namespace oculant {
namespace {

// HID 1.11 section 6.2.2.3: a long item starts with the reserved prefix 0xFE, then bDataSize
// and bLongItemTag, then bDataSize bytes of data.
constexpr uint8_t kLongItemPrefix = 0xFE;
constexpr size_t kLongItemHeader = 3;

std::string truncatedAt(size_t offset)
{
    return "truncated item at offset " + std::to_string(offset);
}

HidItemRead readLongItem(const uint8_t* data, size_t size, size_t offset)
{
    HidItemRead r;
    if (size - offset < kLongItemHeader) {
        r.error = truncatedAt(offset);
        return r;
    }
    const size_t dataSize = data[offset + 1];
    if (size - offset - kLongItemHeader < dataSize) {
        r.error = truncatedAt(offset);
        return r;
    }
    // No long item tags are defined; the data is skipped, never interpreted.
    r.ok = true;
    r.item.type = HidItemType::Long;
    r.item.tag = data[offset + 2];
    r.item.dataSize = uint8_t(dataSize);
    r.item.offset = offset;
    r.item.length = kLongItemHeader + dataSize;
    return r;
}

}  // namespace

HidItemRead readHidItem(const uint8_t* data, size_t size, size_t offset)
{
    HidItemRead r;
    if (data == nullptr || offset >= size) {
        r.error = truncatedAt(offset);
        return r;
    }
    const uint8_t prefix = data[offset];
    if (prefix == kLongItemPrefix)
        return readLongItem(data, size, offset);

    // HID 1.11 section 6.2.2.2: bSize in bits 0-1 (3 means four bytes), bType in bits 2-3,
    // bTag in bits 4-7.
    static constexpr uint8_t kDataBytes[4] = {0, 1, 2, 4};
    const uint8_t dataSize = kDataBytes[prefix & 0x03];
    if (size - offset - 1 < dataSize) {
        r.error = truncatedAt(offset);
        return r;
    }
    uint32_t value = 0;
    for (uint8_t i = 0; i < dataSize; ++i)
        value |= uint32_t(data[offset + 1 + i]) << (8 * i);
    r.ok = true;
    r.item.type = HidItemType((prefix >> 2) & 0x03);
    r.item.tag = uint8_t(prefix >> 4);
    r.item.dataSize = dataSize;
    r.item.data = value;
    r.item.offset = offset;
    r.item.length = 1 + size_t(dataSize);
    return r;
}

}  // namespace oculant
