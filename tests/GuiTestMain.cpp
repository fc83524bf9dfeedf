// The window tests: one application object on Qt's offscreen platform, then the tests.
#include <gtest/gtest.h>

#include "app/Application.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    oculant::OculantApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
