#include "signal/SignalStore.h"

#include <cstring>

namespace oculant {

SignalStore::SignalStore()
{
    for (auto& p : planes_)
        p.assign(sampleBlockLength() + kBoundaryRowsPerAxis * (size_t(nX_) + nY_), 0);
}

int16_t SignalStore::xOffset(int layer) const
{
    return layer >= 0 && layer < bX_ ? xOffsets_[size_t(layer)] : 0;
}

int16_t SignalStore::yOffset(int layer) const
{
    return layer >= 0 && layer < bY_ ? yOffsets_[size_t(layer)] : 0;
}

int16_t SignalStore::rowOffset(int row) const
{
    return row < bX_ ? xOffset(row) : yOffset(row - bX_);
}

size_t SignalStore::rowStart(int row) const
{
    const size_t a = sampleBlockLength();
    if (row < bX_)
        return size_t(row) * nX_;
    if (row < layerCount())
        return size_t(bX_) * nX_ + size_t(row - bX_) * nY_;
    const int k = row - layerCount();
    if (k < kBoundaryRowsPerAxis)
        return a + size_t(k) * nX_;
    return a + kBoundaryRowsPerAxis * size_t(nX_) + size_t(k - kBoundaryRowsPerAxis) * nY_;
}

size_t SignalStore::rowLength(int row) const
{
    if (row < bX_)
        return nX_;
    if (row < layerCount())
        return nY_;
    return row - layerCount() < kBoundaryRowsPerAxis ? nX_ : nY_;
}

std::span<const uint8_t> SignalStore::row(int plane, int row) const
{
    if (plane < 0 || plane >= kPlaneCount || row < 0 || row >= rowCount())
        return {};
    return {planes_[size_t(plane)].data() + rowStart(row), rowLength(row)};
}

std::span<uint8_t> SignalStore::row(int plane, int row)
{
    if (plane < 0 || plane >= kPlaneCount || row < 0 || row >= rowCount())
        return {};
    return {planes_[size_t(plane)].data() + rowStart(row), rowLength(row)};
}

std::span<const uint8_t> SignalStore::plane(int plane) const
{
    if (plane < 0 || plane >= kPlaneCount)
        return {};
    return planes_[size_t(plane)];
}

std::span<uint8_t> SignalStore::plane(int plane)
{
    if (plane < 0 || plane >= kPlaneCount)
        return {};
    return planes_[size_t(plane)];
}

bool SignalStore::hasLayoutOf(const FrameHeader& header) const
{
    if (header.bX != bX_ || header.bY != bY_ || header.nX != nX_ || header.nY != nY_)
        return false;
    for (int i = 0; i < bX_; ++i)
        if (header.xOffset(i) != xOffsets_[size_t(i)])
            return false;
    for (int j = 0; j < bY_; ++j)
        if (header.yOffset(j) != yOffsets_[size_t(j)])
            return false;
    return true;
}

void SignalStore::rebuild(const FrameHeader& header)
{
    bX_ = header.bX;
    bY_ = header.bY;
    nX_ = header.nX;
    nY_ = header.nY;
    xOffsets_.fill(0);
    yOffsets_.fill(0);
    for (int i = 0; i < bX_; ++i)
        xOffsets_[size_t(i)] = header.xOffset(i);
    for (int j = 0; j < bY_; ++j)
        yOffsets_[size_t(j)] = header.yOffset(j);
    const size_t length = sampleBlockLength() + kBoundaryRowsPerAxis * (size_t(nX_) + nY_);
    for (auto& p : planes_)
        p.assign(length, 0);
}

bool SignalStore::updateLayout(const FrameHeader& header, const uint8_t* bytes)
{
    family_ = header.family();
    uint8_t* cache = hasLongHeader(header.family()) ? longCache_.data() : shortCache_.data();
    // Bytes 5 … H−1 are bX, bY, nX, nY and the offsets; bytes 1 … 4 are opaque and the kind
    // differs by content type, so neither takes part in the comparison. A cache matching while
    // the store holds another family's layout would leave rows of the wrong shape: rebuild then too.
    const bool cached = std::memcmp(cache + 5, bytes + 5, header.length - 5) == 0;
    if (cached && hasLayoutOf(header))
        return false;
    std::memcpy(cache, bytes, header.length);
    rebuild(header);
    return true;
}

}  // namespace oculant
