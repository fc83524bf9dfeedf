#pragma once
// What the tool may ask of a frame that stands on a test bench rather than in the field: put a
// finger on it, sweep its edges, read back what its flash took, unplug it. The built-in virtual
// frame offers this through its backend; real frames and replays do not (testBench() is null).
// Programs reach the bench through this interface only, never through the virtual frame itself.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace oculant {

// The glass of the frame as a finger sees it, in millimetres: X along the edge of the X emitters
// (y = 0, receivers at y = height), Y along the edge of the Y emitters (x = 0).
struct BenchGeometry {
    double widthMm = 0;
    double heightMm = 0;
    double pitchMm = 0;      // from one position to the next along an edge
    double edgeInsetMm = 0;  // a finger's centre this far from the bezel runs along the edge
};

// The edges a sweep slides along, where each side's elements lie.
enum SweepEdge : unsigned {
    kSweepXEmitters = 1u << 0,
    kSweepXReceivers = 1u << 1,
    kSweepYEmitters = 1u << 2,
    kSweepYReceivers = 1u << 3,
};
inline constexpr unsigned kAllSweepEdges = 0xF;

class FrameTestBench {
public:
    virtual ~FrameTestBench() = default;

    virtual BenchGeometry geometry() const = 0;
    // A finger on the glass; returns its touch id.
    virtual int fingerDown(double xMm, double yMm) = 0;
    virtual void moveFinger(int id, double xMm, double yMm) = 0;
    virtual void fingerUp(int id) = 0;
    // Where a point of the display (screen logical units, 0-32767) lands on the frame.
    virtual std::pair<double, double> screenToFrameMm(double screenX, double screenY) const = 0;
    // How many screen pixels right of calibration target n (from 1) the bench's technician
    // touches the first time: a misplaced touch to exercise the retake. 0 for a good touch.
    virtual int misplacedPixels(int /*target*/) const { return 0; }

    // A technician sliding a finger along every edge, or the edges given (SweepEdge bits), for
    // the emitter/receiver test; it paces itself on the frame's clock and ends by itself.
    virtual void startSweep(unsigned edges = kAllSweepEdges) = 0;
    virtual bool sweepRunning() const = 0;

    // The frame's calibration area as its flash holds it, how many block writes into it have
    // completed, and the frame's verdict on its CRC word after the last one (none before).
    virtual std::vector<uint8_t> calibrationAreaBytes() const = 0;
    virtual int completedCalibrationWrites() const = 0;
    virtual std::optional<bool> calibrationCrcOk() const = 0;

    // Unplugs the frame or plugs it back in, as a cable would.
    virtual void setPlugged(bool plugged) = 0;
    virtual bool plugged() const = 0;
};

}  // namespace oculant
