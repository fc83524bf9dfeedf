// The window tests: one application object on Qt's offscreen platform, then the tests.
#include <gtest/gtest.h>

#include "app/Application.h"

int main(int argc, char** argv)
{
    // Three screens (tests/support/offscreen-screens.json): the primary one at the platform's
    // default size, where the windows open, and two that windows must fit on when opened there:
    // 960 × 540 (1920 × 1080 at 200 %) and 1366 × 768.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" OCULANT_SOURCE_DIR "/tests/support/offscreen-screens.json");
    ::testing::InitGoogleTest(&argc, argv);
    oculant::OculantApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
