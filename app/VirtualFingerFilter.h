#pragma once
// With --virtual-frame only: mouse presses and drags on the full-screen windows move a finger on
// the virtual frame. The windows themselves still see only the frame's touch reports.
//
// On the capture screen and the draw test the pointer is a point of the display, mapped onto
// the frame through the profile's screen misalignment. On the diagnostic picture a press on a
// bar puts the finger over that bar's element at its edge of the frame (pictureFingerMm), so a
// drag along a bar blocks the beams of that bar's elements. The left button
// is one finger; holding the right button adds a second one (ids and colours in the draw test).

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "link/BenchFingers.h"

namespace oculant {

class FrameTestBench;

class VirtualFingerFilter : public QObject {
    Q_OBJECT
public:
    // `bench` is the virtual frame's test bench; it must outlive the filter.
    explicit VirtualFingerFilter(FrameTestBench& bench, QObject* parent = nullptr);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Mapping { None, Display, Picture };
    static Mapping mappingFor(QObject* watched);
    std::pair<double, double> toFrameMm(Mapping mapping, QObject* watched, QPointF global, QPointF local) const;

    FrameTestBench& frame_;
    BenchFingers fingers_;
    QPointer<QWidget> pressedOn_;  // the window the fingers were put down on
};

}  // namespace oculant
