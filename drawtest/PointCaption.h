#pragma once
// The draw test's caption: the window's title, then the number of contacts and where each
// reported touch is, such as "Draw test 2 - 001:( 960, 540) 002:(  12, 700) ".

#include <cstdint>
#include <string>

#include "drawtest/TouchGeometry.h"

namespace oculant {

// One touch: its id as three digits, then the centre of its box in pixels, four wide each.
std::string pointEntry(uint8_t id, PixelPoint centre);

// The title alone when nothing is in contact, else " <contacts> - " and the point text after it.
std::string pointCaption(const std::string& title, int contacts, const std::string& pointText);

}  // namespace oculant
