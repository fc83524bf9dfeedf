#include "deviceinfo/FeatureWord.h"

namespace oculant {

FeatureState designFeatureState()
{
    FeatureState s;
    s.checked[size_t(FeatureBox::Smooth)] = true;
    s.checked[size_t(FeatureBox::ReverseY)] = true;
    return s;
}

std::optional<Rotation> rotationOf(uint32_t w)
{
    // The rotation is a combination of the reverse x (0x10), reverse y (0x20) and swap (0x40) bits.
    switch (w & 0x70) {
    case 0x20:
        return Rotation::Deg0;
    case 0x40:
        return Rotation::Deg90;
    case 0x10:
        return Rotation::Deg180;
    case 0x70:
        return Rotation::Deg270;
    default:
        return std::nullopt;
    }
}

FeatureState applyFeatureWord(uint32_t w, FeatureState s)
{
    for (size_t i = 0; i < kFeatureList.size(); ++i)
        if (kFeatureList[i].applied)
            s.checked[size_t(kFeatureList[i].box)] = (w >> (i + 1)) & 1u;
    if (const auto r = rotationOf(w))
        s.rotation = *r;
    return s;
}

}  // namespace oculant
