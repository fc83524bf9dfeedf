#include "diagnostics/PictureFinger.h"

namespace oculant {

std::pair<double, double> pictureFingerMm(const BoardModel& model, double px, double py, int width, int height,
                                          const BenchGeometry& frame)
{
    const PictureSpot spot = pictureSpot(model, px, py, width, height);
    // Position p sits at (p + 0.5) pitches along its edge.
    double x = (spot.xPosition + 0.5) * frame.pitchMm;
    double y = (spot.yPosition + 0.5) * frame.pitchMm;
    // X emitters lie on the frame's edge y = 0, Y emitters on x = 0, receivers opposite.
    const double inset = frame.edgeInsetMm;
    switch (spot.edge) {
    case PictureEdge::XEmitters: y = inset; break;
    case PictureEdge::XReceivers: y = frame.heightMm - inset; break;
    case PictureEdge::YEmitters: x = inset; break;
    case PictureEdge::YReceivers: x = frame.widthMm - inset; break;
    case PictureEdge::None: break;
    }
    return {x, y};
}

}  // namespace oculant
