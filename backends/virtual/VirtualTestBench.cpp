#include "backends/virtual/VirtualTestBench.h"

#include "backends/virtual/VirtualBackend.h"
#include "backends/virtual/VirtualSweep.h"

namespace oculant {

VirtualTestBench::VirtualTestBench(VirtualBackend& backend, std::string path, std::shared_ptr<VirtualFrame> frame)
    : backend_(backend), path_(std::move(path)), frame_(std::move(frame))
{
}

BenchGeometry VirtualTestBench::geometry() const
{
    const VirtualBeams& beams = frame_->beams();
    return {beams.widthMm(), beams.heightMm(), VirtualBeams::kPitchMm, VirtualSweep::kInsetMm};
}

std::vector<uint8_t> VirtualTestBench::calibrationAreaBytes() const
{
    const CalibrationArea area = frame_->calibrationArea();
    return frame_->flash(area.address, area.size);
}

void VirtualTestBench::setPlugged(bool plugged)
{
    if (plugged)
        backend_.reattach(path_);
    else
        backend_.detach(path_);
}

bool VirtualTestBench::plugged() const { return backend_.attached(path_); }

}  // namespace oculant
