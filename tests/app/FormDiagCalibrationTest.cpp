// The calibration group of the main window on the offscreen platform with a virtual frame:
// Start, Export and the capture window it opens, with the timers driven by hand.
#include "tests/support/FormDiagFixture.h"

#include "backends/capture/CaptureFile.h"
#include "backends/capture/ReplayBackend.h"

namespace oculant {
namespace {

using namespace formdiagtest;
class FormDiagCalibration : public FormDiagFixture {
protected:
    std::unique_ptr<ReplayBackend> replay;  // outlives the core TearDown ends
};

// A recording played back takes no download: Start, Reset and Import are off, and say why.
TEST_F(FormDiagCalibration, on_a_replay_the_buttons_that_download_are_off_and_say_why)
{
    CaptureFile capture;
    std::string error;
    ASSERT_TRUE(loadCaptureFile((kSource / "tests/data/capture/frame-without-report-ids.txt").string(), capture, error))
        << error;
    replay = std::make_unique<ReplayBackend>(capture, "frame.txt", 1.0, ReplayBackend::Reads::NonBlocking,
                                             [this] { return int64_t(nowMs_) * 1000; });
    sessionBackend = replay.get();
    start();
    connectAndRead();
    for (QPushButton* b : {form->Button11, form->Button10, form->Button16}) {
        EXPECT_FALSE(b->isEnabled());
        EXPECT_EQ(b->toolTip(), "This is a recording: nothing can be written to it.");
    }
    EXPECT_TRUE(form->Button4->isEnabled());  // Refresh only reads
}

// A frame that answers the probe and then nothing: "not answering" in the title, and only
// Refresh (which asks again) stays on; not a "Connected" window with empty fields and live buttons.
TEST_F(FormDiagCalibration, a_frame_that_answers_nothing_is_not_answering_and_its_buttons_are_off)
{
    CaptureFile capture;
    std::string error;
    ASSERT_TRUE(loadCaptureFile((kSource / "tests/data/capture/frame-without-report-ids.txt").string(), capture, error))
        << error;
    bool probeAnswered = false;
    std::erase_if(capture.events, [&](const CaptureEvent& e) {
        if (e.direction != CaptureEvent::Direction::Input)
            return false;
        return std::exchange(probeAnswered, true);
    });
    replay = std::make_unique<ReplayBackend>(capture, "silent.txt", 1.0, ReplayBackend::Reads::NonBlocking,
                                             [this] { return int64_t(nowMs_) * 1000; });
    sessionBackend = replay.get();
    start();
    connectAndRead();
    advance(1000);
    EXPECT_EQ(form->windowTitle(), shipped("English", "FormDiagCaption") + " - not answering");
    for (QPushButton* b : deviceButtons())
        EXPECT_EQ(b->isEnabled(), b == form->Button4) << b->objectName().toStdString();
    EXPECT_EQ(form->EditSerialNum->text(), "N/A");
}

TEST_F(FormDiagCalibration, start_opens_the_capture_and_a_cancelled_capture_ends_silently)
{
    startConnected();
    form->Button11->click();
    ASSERT_EQ(form->opened.size(), 1u);
    EXPECT_EQ(form->opened[0], &calibrate);
    EXPECT_TRUE(form->messages.empty());
    EXPECT_FALSE(form->core().followingDownload());
    EXPECT_TRUE(form->Button11->isEnabled());
}

TEST_F(FormDiagCalibration, a_bad_window_is_reported_and_the_capture_stays_closed)
{
    startConnected();
    form->CheckBoxWindowCalib->setChecked(true);
    form->EditOffsetX->setText(QString::number(form->screenWidth() - 20));
    form->EditWidth->setText("100");
    form->Button11->click();
    EXPECT_TRUE(form->opened.empty());
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_EQ(form->messages[0], "Window Width out of range!\n");
}

TEST_F(FormDiagCalibration, export_without_a_completed_capture_is_refused)
{
    startConnected();
    form->Button13->click();
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_EQ(form->messages[0], shipped("English", "InvalidCalibData"));
}

}  // namespace
}  // namespace oculant

namespace oculant {
namespace {

TEST_F(FormDiagCalibration, window_and_extension_fields_follow_their_check_boxes)
{
    startConnected();
    EXPECT_FALSE(form->EditOffsetX->isEnabled());
    EXPECT_FALSE(form->CheckBoxArea->isEnabled());
    form->CheckBoxArea->setChecked(true);
    form->CheckBoxWindowCalib->click();
    EXPECT_TRUE(form->EditOffsetX->isEnabled());
    EXPECT_TRUE(form->EditHeight->isEnabled());
    EXPECT_TRUE(form->CheckBoxArea->isEnabled());
    EXPECT_FALSE(form->CheckBoxArea->isChecked()) << "checking window calibration unchecks the mask";
    form->CheckBoxWindowCalib->click();
    EXPECT_FALSE(form->EditWidth->isEnabled());

    EXPECT_FALSE(form->EditLeftEx->isEnabled());
    const size_t before = form->messages.size();
    form->CheckBoxEx->click();
    EXPECT_TRUE(form->EditLeftEx->isEnabled());
    EXPECT_TRUE(form->EditDownEx->isEnabled());
    EXPECT_EQ(form->messages.size(), before + 1) << "a warning comes before the extension edits open";
}

}  // namespace
}  // namespace oculant
