#include "drawtest/PointCaption.h"

#include <cstdio>

namespace oculant {

std::string pointEntry(uint8_t id, PixelPoint centre)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.3d:(%4d,%4d) ", int(id), centre.x, centre.y);
    return text;
}

std::string pointCaption(const std::string& title, int contacts, const std::string& pointText)
{
    if (contacts <= 0)
        return title;
    return title + " " + std::to_string(contacts) + " - " + pointText;
}

}  // namespace oculant
