#pragma once
// Reading one item of a HID report descriptor (HID 1.11 section 6.2.2.1 to 6.2.2.3): the byte
// level only, no meaning attached yet.

#include <cstddef>
#include <cstdint>
#include <string>

namespace oculant {

// bType of a short item (HID 1.11 section 6.2.2.2); long items get their own kind.
enum class HidItemType : uint8_t { Main = 0, Global = 1, Local = 2, Reserved = 3, Long = 4 };

struct HidItem {
    HidItemType type = HidItemType::Main;
    uint8_t tag = 0;       // bTag (bLongItemTag for a long item)
    uint8_t dataSize = 0;  // data bytes: 0, 1, 2 or 4 for a short item, 0..255 for a long one
    uint32_t data = 0;     // the data of a short item, little-endian, zero-extended
    size_t offset = 0;     // where the item starts in the descriptor
    size_t length = 0;     // bytes taken by the whole item, prefix included
};

struct HidItemRead {
    bool ok = false;
    std::string error;  // why the item could not be read, when !ok
    HidItem item;
};

// Reads the item starting at offset (offset < size). Never reads at or beyond size: an item
// whose data would run past the end is refused as truncated.
HidItemRead readHidItem(const uint8_t* data, size_t size, size_t offset);

}  // namespace oculant
