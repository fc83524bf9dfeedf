#pragma once
// The fingers a pointer puts on a bench frame: the left button is one finger, the right button
// a second. A finger is lifted when its button is released anywhere (also over a window that
// does not map the pointer onto the frame), when a move shows its button no longer held (the
// release went elsewhere), and when the window it was put down on goes away. A finger left on
// the glass would hold the next calibration's first target with no technician touching it.

#include "link/FrameTestBench.h"

namespace oculant {

class BenchFingers {
public:
    enum Button { Left, Right };

    explicit BenchFingers(FrameTestBench& bench) : bench_(bench) {}

    // A press of a button over a window that maps the pointer to (xMm, yMm) on the glass.
    void press(Button button, double xMm, double yMm);
    // A move over a mapped window with the buttons now held; a finger whose button is no longer
    // held is lifted.
    void move(bool leftHeld, bool rightHeld, double xMm, double yMm);
    // A move or any other sign of the buttons' state over a window that maps nothing.
    void buttonsHeld(bool leftHeld, bool rightHeld);
    void release(Button button);
    // The window the fingers were put down on was hidden or closed.
    void liftAll();

    bool down(Button button) const { return id(button) != 0; }

private:
    int& id(Button b) { return b == Left ? left_ : right_; }
    int id(Button b) const { return b == Left ? left_ : right_; }

    FrameTestBench& bench_;
    int left_ = 0;
    int right_ = 0;
};

}  // namespace oculant
