// The full-screen windows take the whole screen themselves: where no window manager honours a
// full-screen or maximised state (a kiosk X session, Xvfb), the state alone leaves them at their
// design size in the middle of the screen.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "calibration/FormCalibrate.h"
#include "diagnostics/FormImgDiag.h"
#include "drawtest/FormPoints.h"
#include "signal/SignalStore.h"

namespace oculant {
namespace {

TEST(FullScreenWindows, capture_diagnostic_and_draw_test_take_the_screens_geometry_when_shown)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    SignalStore store;
    TFormCalibrate capture;
    TFormImgDiag diagnostic(store);
    TFormPoints drawTest(store);
    const std::pair<QWidget*, std::function<void()>> windows[] = {
        {&capture, [&] { capture.FormShow(); }},
        {&diagnostic, [&] { diagnostic.FormShow(); }},
        {&drawTest, [&] { drawTest.FormShow(); }},
    };
    for (const auto& [window, formShow] : windows) {
        SCOPED_TRACE(window->objectName().toStdString());
        // The handler alone, as the show event runs it: no platform has acted on the state yet.
        formShow();
        EXPECT_EQ(window->geometry(), screen);
    }
}

}  // namespace
}  // namespace oculant
