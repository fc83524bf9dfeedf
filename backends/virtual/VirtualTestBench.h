#pragma once
// The test bench of one virtual frame: what FrameTestBench offers, on the frame and its slot in
// the virtual backend (plugging goes through the backend, so that arrival and removal are
// reported as for any device).

#include <memory>
#include <string>

#include "backends/virtual/VirtualFrame.h"
#include "link/FrameTestBench.h"

namespace oculant {

class VirtualBackend;

class VirtualTestBench : public FrameTestBench {
public:
    VirtualTestBench(VirtualBackend& backend, std::string path, std::shared_ptr<VirtualFrame> frame);

    BenchGeometry geometry() const override;
    int fingerDown(double xMm, double yMm) override { return frame_->fingerDown(xMm, yMm); }
    void moveFinger(int id, double xMm, double yMm) override { frame_->moveFinger(id, xMm, yMm); }
    void fingerUp(int id) override { frame_->fingerUp(id); }
    std::pair<double, double> screenToFrameMm(double screenX, double screenY) const override
    {
        return frame_->screenToFrameMm(screenX, screenY);
    }
    int misplacedPixels(int target) const override
    {
        for (const auto& [n, pixels] : frame_->profile().misplacedTouches)
            if (n == target)
                return pixels;
        return 0;
    }
    void startSweep(unsigned edges) override { frame_->startSweep(VirtualSweep::kDefaultSpeedMmPerS, edges); }
    bool sweepRunning() const override { return frame_->sweepRunning(); }
    std::vector<uint8_t> calibrationAreaBytes() const override;
    int completedCalibrationWrites() const override { return frame_->completedCalibrationWrites(); }
    std::optional<bool> calibrationCrcOk() const override { return frame_->calibrationCrcOk(); }
    void setPlugged(bool plugged) override;
    bool plugged() const override;

private:
    VirtualBackend& backend_;
    std::string path_;
    std::shared_ptr<VirtualFrame> frame_;
};

}  // namespace oculant
