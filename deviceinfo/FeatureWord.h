#pragma once
// The touch features and the rotation that the frame reports in the feature word of its user
// parameters, as the "Screen Rotate" group shows them. Nothing here is written back to the frame.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace oculant {

// The distinct feature check boxes.
enum class FeatureBox { Smooth, Mac, ReverseX, ReverseY, ExchangeXY, USARTOn, SmallPointOn };
inline constexpr size_t kFeatureBoxCount = 7;

struct FeatureBoxInfo {
    std::string_view control;  // the check box's name, also its caption key
    std::string_view design;   // its caption before a language is applied
};
inline constexpr std::array<FeatureBoxInfo, kFeatureBoxCount> kFeatureBoxes{{
    {"CheckBoxFeatureSmooth", "Enable Smooth"},
    {"CheckBoxFeatureMac", "Mac 坐标转换（未使用）"},
    {"CheckBoxFeatureReverseX", "Reverse x"},
    {"CheckBoxFeatureReverseY", "Reverse y"},
    {"CheckBoxFeatureExchangeXY", "Swap x y"},
    {"CheckBoxFeatureUSARTOn", "Enable Serial Report"},
    {"CheckBoxFeatureSmallPointOn", "Small Point Identify"},
}};
inline constexpr const FeatureBoxInfo& featureBoxInfo(FeatureBox b) { return kFeatureBoxes[size_t(b)]; }

// The feature list: entry i stands for bit i + 1 of the feature word. Bits 1 and 2 both land on
// the smooth box (bit 2 is applied last, so it wins); the Mac entry is never applied.
struct FeatureEntry {
    FeatureBox box;
    bool applied;
};
inline constexpr std::array<FeatureEntry, 8> kFeatureList{{
    {FeatureBox::Smooth, true},
    {FeatureBox::Smooth, true},
    {FeatureBox::Mac, false},
    {FeatureBox::ReverseX, true},
    {FeatureBox::ReverseY, true},
    {FeatureBox::ExchangeXY, true},
    {FeatureBox::USARTOn, true},
    {FeatureBox::SmallPointOn, true},
}};

enum class Rotation { Deg0, Deg90, Deg180, Deg270 };
inline constexpr std::array<std::string_view, 4> kRotationCaptions{"0°", "90°", "180°", "270°"};
inline constexpr std::string_view rotationCaption(Rotation r) { return kRotationCaptions[size_t(r)]; }

struct FeatureState {
    std::array<bool, kFeatureBoxCount> checked{};
    Rotation rotation = Rotation::Deg0;

    bool isChecked(FeatureBox b) const { return checked[size_t(b)]; }
    bool operator==(const FeatureState&) const = default;
};

// What the window shows before any user parameters arrive: smooth and reverse y checked, 0°.
FeatureState designFeatureState();

// The rotation whose pattern equals bits 4-6 of the word exactly; nullopt for any other pattern.
std::optional<Rotation> rotationOf(uint32_t featureWord);

// The controls after a feature word arrives: every applied box follows its bit, and the rotation
// follows bits 4-6 when they form one of the four patterns, else stays as it was.
FeatureState applyFeatureWord(uint32_t featureWord, FeatureState current);

}  // namespace oculant
