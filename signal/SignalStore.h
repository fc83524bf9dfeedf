#pragma once
// The signal store: the current signal layout and four sample planes that the frame processor
// fills and the signal window and the diagnostic read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "protocol/SignalFrameLayout.h"

namespace oculant {

enum SignalPlane : int {
    kPlaneReceive = 0,    // type-0 frames land here
    kPlaneCurrent = 1,    // shown and diagnosed: copy of plane 0 after each live scan, or a reference
    kPlaneThreshold = 2,  // type-1 frames, or a quarter of plane 3 during a reference capture
    kPlaneReference = 3,  // type-4 frames, or plane 0 during a reference capture
};

// Each plane holds one row per layer (bX X rows of nX bytes, then bY Y rows of nY bytes) followed
// by 8 boundary rows (4 of nX bytes, then 4 of nY bytes), contiguous in that order. Row numbers:
// X layer i is row i, Y layer j is row bX + j, boundary rows are bX + bY … bX + bY + 7.
class SignalStore {
public:
    static constexpr int kPlaneCount = 4;
    static constexpr int kBoundaryRows = 2 * kBoundaryRowsPerAxis;
    // Live scans taken into the reference after the counter is reset.
    static constexpr uint8_t kReferenceScans = 10;

    // The start layout: nX = nY = 1, bX = bY = 1, offsets 0, planes and header caches zero.
    SignalStore();

    uint16_t nX() const { return nX_; }
    uint16_t nY() const { return nY_; }
    uint8_t bX() const { return bX_; }
    uint8_t bY() const { return bY_; }
    int layerCount() const { return bX_ + bY_; }
    int rowCount() const { return layerCount() + kBoundaryRows; }
    // A: bytes of all layer rows, which start each plane.
    size_t sampleBlockLength() const { return size_t(bX_) * nX_ + size_t(bY_) * nY_; }
    size_t planeLength() const { return planes_[0].size(); }

    // Offsets of the first set; 0 for a layer that does not exist.
    int16_t xOffset(int layer) const;
    int16_t yOffset(int layer) const;
    // Offset of a layer by its row number; 0 for boundary rows and rows that do not exist.
    int16_t rowOffset(int row) const;

    int xBoundaryRow(int k) const { return layerCount() + k; }
    int yBoundaryRow(int k) const { return layerCount() + kBoundaryRowsPerAxis + k; }
    // A row as bytes (nX or nY of them); empty for a plane or row that does not exist.
    std::span<const uint8_t> row(int plane, int row) const;
    std::span<uint8_t> row(int plane, int row);
    // A whole plane: layer rows, then boundary rows.
    std::span<const uint8_t> plane(int plane) const;
    std::span<uint8_t> plane(int plane);

    uint8_t referenceCaptureCount() const { return referenceCount_; }
    // The diagnostic restarts the capture; the next ten live scans become the reference.
    void resetReferenceCapture() { referenceCount_ = 0; }
    void countReferenceScan() { ++referenceCount_; }

    // Keeps the layout current with a frame's header (`bytes` are its H header bytes). The
    // family picks the cache (short for 0x00, long otherwise). Unchanged when that cache holds
    // the same bX, bY, nX, nY and offsets and the store already has this layout; otherwise the
    // header is cached and the store rebuilt: every plane zero, the new layout, the first offset
    // set. The reference capture counter survives. Returns true when the store was rebuilt.
    bool updateLayout(const FrameHeader& header, const uint8_t* bytes);
    // The format family of the last frame whose layout was taken (0x10 before any frame).
    uint8_t family() const { return family_; }
    // Family 0x00 live scans store no samples: the planes hold no levels of the frame then.
    bool liveScansCarryLevels() const { return family_ != kFamilyShortHeader; }

private:
    bool hasLayoutOf(const FrameHeader& header) const;
    void rebuild(const FrameHeader& header);
    size_t rowStart(int row) const;
    size_t rowLength(int row) const;

    uint16_t nX_ = 1;
    uint16_t nY_ = 1;
    uint8_t bX_ = 1;
    uint8_t bY_ = 1;
    std::array<int16_t, kMaxLayersPerAxis> xOffsets_{};
    std::array<int16_t, kMaxLayersPerAxis> yOffsets_{};
    std::array<std::vector<uint8_t>, kPlaneCount> planes_;
    std::array<uint8_t, kShortHeaderCacheBytes> shortCache_{};
    std::array<uint8_t, kLongHeaderCacheBytes> longCache_{};
    uint8_t referenceCount_ = 0;
    uint8_t family_ = kFamilyFullScan;
};

}  // namespace oculant
