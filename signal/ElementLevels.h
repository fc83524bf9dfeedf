#pragma once
// The clear level of every emitter and receiver of a frame, from the live scans of a recording
// (the signal phase of a test, an AD log read back), and the comparison of two such sets: an
// element that ages loses level long before the diagnostic calls it dark.
//
// Beam mapping: in the row of layer d, byte k is the beam from emitter k + offset(d) to
// receiver k. An element's level is the mean, over the layers that cover it, of its beam's
// level averaged over the scans: emitter e is seen at byte e - offset(d), receiver r at byte r.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/DeviceRecords.h"
#include "protocol/SignalFrameLayout.h"

namespace oculant {

class SignalStore;

// Positions and layer offsets (first set) per axis: what decides which beams a scan has.
struct ScanLayout {
    uint16_t nX = 0, nY = 0;
    std::vector<int16_t> xOffsets, yOffsets;

    static ScanLayout of(const SignalStore& store);
    static ScanLayout of(const FrameHeader& header);
    int bX() const { return int(xOffsets.size()); }
    int bY() const { return int(yOffsets.size()); }
    int layerCount() const { return bX() + bY(); }
    size_t sampleCount() const { return size_t(bX()) * nX + size_t(bY()) * nY; }
    bool operator==(const ScanLayout&) const = default;
};

// How `a` differs from `b`, naming them ("X: 160 positions in NEW, 128 in BASE"); empty when
// they are the same.
std::string layoutDifference(const ScanLayout& a, std::string_view aName, const ScanLayout& b,
                             std::string_view bName);

enum class ElementKind { Emitter, Receiver };

// One side of the frame: the emitters or the receivers of one axis.
enum ElementSide : int { kXEmitters = 0, kXReceivers = 1, kYEmitters = 2, kYReceivers = 3 };
inline constexpr int kElementSides = 4;
inline constexpr char sideAxis(int side) { return side < kYEmitters ? 'X' : 'Y'; }
inline constexpr ElementKind sideKind(int side) { return side % 2 == 0 ? ElementKind::Emitter : ElementKind::Receiver; }
std::string_view kindText(ElementKind kind);  // "emitter", "receiver"

struct ElementLevels {
    ScanLayout layout;
    // Per side, one level per position of the axis; nullopt where no layer covers it.
    std::array<std::vector<std::optional<double>>, kElementSides> sides;
};

// Lowest, mean and highest clear level of one layer's beams.
struct LayerLevels {
    char axis = 'X';
    int layer = 0;
    int16_t offset = 0;
    int beams = 0;
    double low = 0, mean = 0, high = 0;
};

// Sums every beam of every scan it is given. A scan of another layout starts it again: levels
// of two layouts do not compare.
class LevelAccumulator {
public:
    // `samples`: the scan's sample block, every X layer row (nX bytes) then every Y layer row.
    void addScan(const ScanLayout& layout, const uint8_t* samples);
    int scans() const { return scans_; }
    const ScanLayout& layout() const { return layout_; }

    // Each beam averaged over the scans; also its lowest and highest sample.
    struct Beam {
        int row = 0, position = 0;
        size_t sample = 0;  // index in the sample block
        uint32_t low = 255, high = 0;
        uint64_t sum = 0;
    };
    const std::vector<Beam>& beams() const { return beams_; }
    double mean(const Beam& b) const { return scans_ ? double(b.sum) / scans_ : 0; }

    ElementLevels elements() const;
    std::vector<LayerLevels> layers() const;

private:
    ScanLayout layout_;
    std::vector<Beam> beams_;
    int scans_ = 0;
};

// The levels as a record keeps them: one line of text, two decimals a level.
//   "1;X=160:0,4,-4;Y=90:0,4,-4;XE=200,199.5,...;XR=...;YE=...;YR=..."
// An element no layer covers is an empty item.
std::string encodeLevels(const ElementLevels& levels);
// A level as the record keeps it: rounded to two decimals as encodeLevels writes it.
double keptLevel(double level);
std::optional<ElementLevels> decodeLevels(std::string_view text, std::string* error = nullptr);

// The board of an element from the frame's board table, as the fault list names it ("XEmit2");
// empty when the table does not reach that position.
std::string elementBoard(const BoardLayoutTable& boards, char axis, ElementKind kind, int position);

struct LevelDrop {
    int side = kXEmitters;
    int position = 0;
    double baseLevel = 0, level = 0;
    double dropPercent = 0;  // (base - level) / base, in percent
};

struct LevelComparison {
    std::string layoutDifference;  // non-empty: nothing was compared
    int compared = 0;              // elements with a level in both
    double largestDrop = 0;        // percent, of any element compared
    std::vector<LevelDrop> drops;  // those that fell by more than the limit, side and position order
};

inline constexpr double kDefaultMaxDropPercent = 25;

// Each element of `now` against the same element of `base`. Names are for the layout difference.
LevelComparison compareLevels(const ElementLevels& base, std::string_view baseName, const ElementLevels& now,
                              std::string_view nowName, double maxDropPercent);

}  // namespace oculant
