#pragma once
// The three coordinate spaces of a calibration, kept apart by type: screen pixels, screen
// logical units (targets, mask) and the frame's own logical units (reported touches, areas of
// the frame). Logical units scale 32768 across the width or height; stored values are 0..32767.

#include <cstdint>

namespace oculant {

inline constexpr int32_t kLogicalSpan = 32768;
inline constexpr int32_t kLogicalMax = 32767;

struct ScreenSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const ScreenSize&) const = default;
};

struct ScreenPixel {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const ScreenPixel&) const = default;
};

struct ScreenLogical {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const ScreenLogical&) const = default;
};

struct FrameLogical {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const FrameLogical&) const = default;
};

// A rectangle of screen pixels given by two corners.
struct PixelRect {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool operator==(const PixelRect&) const = default;
};

// A rectangle on the frame in the frame's logical units.
struct FrameRect {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool operator==(const FrameRect&) const = default;
};

// The touch range sent to the frame, in screen logical units.
struct MaskRectangle {
    int32_t x0 = 0, y0 = 0, x1 = kLogicalMax, y1 = kLogicalMax;
    bool operator==(const MaskRectangle&) const = default;
};

// The part of the screen a capture covers, in pixels.
struct CalibrationWindow {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const CalibrationWindow&) const = default;
};

// The frame's receiver positions per side (from the signal store or the board table): with the
// pitch they give the frame's size in millimetres.
struct PositionCounts {
    int x = 0;
    int y = 0;
};

// coordinate × size / 32768, truncated (64-bit so that large screens cannot overflow).
inline ScreenPixel toPixels(ScreenLogical p, ScreenSize size)
{
    return {static_cast<int32_t>(int64_t{p.x} * size.width / kLogicalSpan),
            static_cast<int32_t>(int64_t{p.y} * size.height / kLogicalSpan)};
}

}  // namespace oculant
