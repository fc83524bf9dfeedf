#pragma once
// Counter-based randomness of the virtual frame: the same seed and the same numbers always give
// the same value, so a profile replays exactly, and nearby seeds give unrelated values.

#include <cstdint>

namespace oculant::virtualrandom {

// A 32-bit finaliser (the "lowbias32" mix): every input bit reaches every output bit.
constexpr uint32_t mix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

// Uniform in [0, 1), fixed by the three numbers: a seed, which use it is for, and an index.
constexpr double unit(uint32_t seed, uint32_t stream, uint32_t index)
{
    return mix(mix(seed * 0x9E3779B9u + stream) ^ (index * 0x85EBCA6Bu)) / 4294967296.0;
}

// One stream of the seed per use, so that changing one key does not reshuffle the others.
enum Stream : uint32_t { kGainStream = 1, kDriftStream = 2, kIntermittentStream = 3, kLinkStream = 4 };

}  // namespace oculant::virtualrandom
