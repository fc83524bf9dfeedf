// The main window's Button12 on the offscreen platform: step B decides whether the multi-area
// window opens, and its window size reaches that window's refresh.
#include <QTableWidget>

#include "tests/support/FormDiagFixture.h"
#include "calibration/MultiAreaLayout.h"

namespace oculant {
namespace {

using namespace formdiagtest;
class FormDiagMultiCalib : public FormDiagFixture {};

TEST_F(FormDiagMultiCalib, result_opens_the_multi_area_window_with_the_window_of_step_b)
{
    startConnected();
    ASSERT_GE(form->screenWidth(), 800);
    form->CheckBoxWindowCalib->setChecked(true);
    form->EditOffsetX->setText("0");
    form->EditOffsetY->setText("0");
    form->EditWidth->setText("400");
    form->EditHeight->setText("300");
    int displayX1 = -1;
    form->whileOpen = [&] {
        multiCalib.show();
        multiCalib.StringGrid->item(0, 7)->setText("1000");
        multiCalib.Button2->click();
        displayX1 = multiCalib.layout().areas[0].displayPixels.x1;
        multiCalib.hide();
    };
    form->Button12->click();
    ASSERT_EQ(form->opened.size(), 1u);
    EXPECT_EQ(form->opened[0], &multiCalib);
    EXPECT_TRUE(form->messages.empty());
    EXPECT_EQ(displayX1, 46);  // trunc(400 / 8621.6 · 1000); the full screen would give more
    // The window takes its texts from the selected language.
    EXPECT_EQ(multiCalib.windowTitle(), shipped("English", "MultiCalibFormCaption"));
    EXPECT_EQ(multiCalib.Button2->text(), shipped("English", "MButton2"));
}

TEST_F(FormDiagMultiCalib, a_bad_window_keeps_the_multi_area_window_closed)
{
    start();  // no frame needed: Result is always available
    EXPECT_TRUE(form->Button12->isEnabled());
    form->CheckBoxWindowCalib->setChecked(true);
    form->EditOffsetX->setText("0");
    form->EditWidth->setText("100");
    form->EditHeight->setText("100");
    form->EditOffsetY->setText(QString::number(form->screenHeight()));
    form->Button12->click();
    EXPECT_TRUE(form->opened.empty());
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_EQ(form->messages[0], "Window Offset y out of range!\n");
}

TEST_F(FormDiagMultiCalib, start_runs_a_capture_per_area_and_a_cancelled_one_ends_the_run)
{
    startConnected();
    int capturesOpened = 0;
    form->whileOpen = [&] {
        if (form->opened.back() == &multiCalib) {
            multiCalib.show();
            ASSERT_TRUE(multiCalib.Button1->isEnabled());  // the main window is its host
            multiCalib.Button1->click();
            multiCalib.hide();
        } else if (form->opened.back() == &calibrate) {
            ++capturesOpened;  // closed without a target taken: cancelled
        }
    };
    form->Button12->click();
    ASSERT_EQ(form->opened.size(), 2u);
    EXPECT_EQ(form->opened[0], &multiCalib);
    EXPECT_EQ(form->opened[1], &calibrate);
    EXPECT_EQ(capturesOpened, 1);
    // A cancelled capture ends the whole run silently: no report, nothing downloaded.
    EXPECT_TRUE(form->messages.empty());
    EXPECT_FALSE(form->core().followingDownload());
    EXPECT_TRUE(form->Button11->isEnabled());
}

// Start is one of the device buttons: off without a frame and while a download runs.
TEST_F(FormDiagMultiCalib, start_is_disabled_without_a_frame_and_while_a_download_runs)
{
    attach();
    start();
    std::vector<bool> startEnabled;
    form->whileOpen = [&] {
        if (form->opened.back() == &multiCalib)
            startEnabled.push_back(multiCalib.Button1->isEnabled());
    };
    form->Button12->click();  // before the probe has connected the frame
    multiCalib.Button1Click();  // the handler itself refuses too
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_EQ(form->messages[0], shipped("English", "FunctionNotValid"));  // no calibration area known yet

    connectAndRead();
    form->Button12->click();
    form->Button10->click();  // Reset, confirmed: the identity is downloaded
    ASSERT_TRUE(form->core().followingDownload());
    form->Button12->click();
    for (int i = 0; i < 20 && form->core().followingDownload(); ++i)
        advance(200);
    ASSERT_FALSE(form->core().followingDownload());
    form->Button12->click();
    EXPECT_EQ(startEnabled, (std::vector<bool>{false, true, false, true}))
        << "unconnected, connected, downloading, download ended";
}

}  // namespace
}  // namespace oculant
