#include "link/BenchFingers.h"

namespace oculant {

void BenchFingers::press(Button button, double xMm, double yMm)
{
    int& finger = id(button);
    if (finger == 0)
        finger = bench_.fingerDown(xMm, yMm);
}

void BenchFingers::move(bool leftHeld, bool rightHeld, double xMm, double yMm)
{
    buttonsHeld(leftHeld, rightHeld);
    if (left_)
        bench_.moveFinger(left_, xMm, yMm);
    if (right_)
        bench_.moveFinger(right_, xMm, yMm);
}

void BenchFingers::buttonsHeld(bool leftHeld, bool rightHeld)
{
    if (!leftHeld)
        release(Left);
    if (!rightHeld)
        release(Right);
}

void BenchFingers::release(Button button)
{
    int& finger = id(button);
    if (finger != 0) {
        bench_.fingerUp(finger);
        finger = 0;
    }
}

void BenchFingers::liftAll()
{
    release(Left);
    release(Right);
}

}  // namespace oculant
