// The main window on the offscreen platform with a virtual frame: the session's ticks are
// driven by hand through the window's timer handlers, the worker is stepped without a thread.
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>

#include "app/CommandLine.h"
#include "app/VirtualFingerFilter.h"
#include <QFileInfo>

#include "tests/support/FormDiagFixture.h"

namespace oculant {
namespace {

using namespace formdiagtest;
class FormDiagTest : public FormDiagFixture {};

TEST_F(FormDiagTest, first_show_is_unconnected_with_every_device_button_disabled)
{
    attach();
    start();
    EXPECT_EQ(form->windowTitle(), shipped("English", "FormDiagCaption") + " - " + shipped("English", "PanelUnconnect"));
    // Applying the language after the unconnected captions leaves the diagnostic caption bare.
    EXPECT_EQ(imgDiag.windowTitle(), shipped("English", "FormImgDiag"));
    for (QPushButton* b : deviceButtons())
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_FALSE(form->Button5->isEnabled());
    EXPECT_TRUE(form->Button12->isEnabled());
    for (QLineEdit* f : statusFields())
        EXPECT_EQ(f->text(), "N/A") << f->objectName().toStdString();
    // The probe runs; the other windows' timers are idle.
    EXPECT_TRUE(form->core().probeRunning());
    EXPECT_FALSE(form->core().informationRunning());
    EXPECT_TRUE(form->TimerSession->isActive());
    // The language list comes from the file, with the saved choice applied.
    ASSERT_GE(form->ComboBoxLan->count(), 2);
    EXPECT_EQ(form->ComboBoxLan->currentText(), "English");
    EXPECT_EQ(form->GroupBox1->title(), shipped("English", "GroupBox1"));
    EXPECT_TRUE(form->messages.empty());
}

TEST_F(FormDiagTest, connected_captions_after_six_probe_ticks)
{
    attach();
    start();
    advance(250);
    EXPECT_FALSE(form->session().connected() && !form->core().probeRunning());
    advance(50);  // the sixth tick, 300 ms after the first show
    EXPECT_FALSE(form->core().probeRunning());
    EXPECT_EQ(form->windowTitle(), shipped("English", "FormDiagCaption") + " - " + shipped("English", "PanelConnect"));
    EXPECT_EQ(form->StatusBar1->currentMessage(), shipped("English", "PanelConnect"));
    EXPECT_EQ(imgDiag.windowTitle(), shipped("English", "FormImgDiag") + " - " + shipped("English", "PanelConnect"));
    for (QPushButton* b : {form->Button1, form->Button2, form->Button3, form->Button15, form->Button11})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_FALSE(form->Button5->isEnabled());
    EXPECT_EQ(form->ComboBox1->currentText(), QString::fromStdString(path));
    EXPECT_TRUE(form->core().informationRunning());  // the information sequence follows
}

TEST_F(FormDiagTest, information_sequence_fills_every_field_and_disables_refresh_meanwhile)
{
    attach();
    start();
    advance(300);
    ASSERT_TRUE(form->core().informationRunning());
    int ticks = 0;
    while (form->core().informationRunning() && ticks < 20) {
        advance(100);
        ++ticks;
        if (form->core().informationRunning()) {
            EXPECT_FALSE(form->Button4->isEnabled()) << "tick " << ticks;
        }
    }
    EXPECT_EQ(ticks, 7);
    EXPECT_TRUE(form->Button4->isEnabled());
    advance(100);

    EXPECT_EQ(form->EditType->text(), "VF-43");
    EXPECT_EQ(form->EditHardwareVer->text(), "2.58");
    EXPECT_EQ(form->EditSoftwareVer->text(), "3.5 - 1.23.4");
    EXPECT_EQ(form->EditSta->text(), shipped("English", "APP_OK"));
    EXPECT_EQ(form->EditRunSta->text(), shipped("English", "Sta_Run"));
    EXPECT_EQ(form->EditDate->text(), "2026-1-1");
    EXPECT_EQ(form->EditTime->text(), "10:00:00");
    EXPECT_EQ(form->EditSerialNum->text(), "VF-000001");
    EXPECT_TRUE(QRegularExpression("^0x[0-9A-F]{8}$").match(form->EditCRC->text()).hasMatch())
        << form->EditCRC->text().toStdString();
    EXPECT_EQ(form->Edit1->text(), "50");
    EXPECT_EQ(form->StatusBar1->currentMessage(), shipped("English", "ReadParamOK"));
    // Feature word 0x24: smooth and reverse y, 0°.
    EXPECT_TRUE(form->CheckBoxFeatureSmooth->isChecked());
    EXPECT_TRUE(form->CheckBoxFeatureReverseY->isChecked());
    EXPECT_FALSE(form->CheckBoxFeatureReverseX->isChecked());
    EXPECT_TRUE(form->RadioButton1->isChecked());
    EXPECT_EQ(form->calibrationArea().address, 0x4800u);
    EXPECT_EQ(form->calibrationArea().size, 2048u);
}

TEST_F(FormDiagTest, refresh_clears_the_fields_and_reads_again)
{
    startConnected();
    form->Button4Click();
    for (QLineEdit* f : statusFields())
        EXPECT_TRUE(f->text().isEmpty()) << f->objectName().toStdString();
    EXPECT_TRUE(form->core().informationRunning());
    advance(100);
    EXPECT_FALSE(form->Button4->isEnabled());
    advance(700);
    EXPECT_TRUE(form->Button4->isEnabled());
    for (QLineEdit* f : statusFields())
        EXPECT_FALSE(f->text().isEmpty()) << f->objectName().toStdString();
}

TEST_F(FormDiagTest, features_and_rotation_follow_the_reported_word)
{
    VirtualFrameProfile p;
    p.featureWord = 0x70 | 0x80;  // 270°, serial report
    attach(p);
    start();
    connectAndRead();
    EXPECT_TRUE(form->RadioButton4->isChecked());
    EXPECT_FALSE(form->RadioButton1->isChecked());
    EXPECT_TRUE(form->CheckBoxFeatureUSARTOn->isChecked());
    EXPECT_FALSE(form->CheckBoxFeatureSmooth->isChecked());
    EXPECT_TRUE(form->CheckBoxFeatureExchangeXY->isChecked());
}

TEST_F(FormDiagTest, model_16_restricts_the_buttons_and_activation_sends_nothing)
{
    VirtualFrameProfile p;
    p.modelCode = 16;
    attach(p);
    start();
    connectAndRead();
    for (QPushButton* b : {form->Button1, form->Button2, form->Button10, form->Button11, form->Button13})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(form->Button3->isEnabled());
    const auto frame = backend.frame(path);
    const int modeCommands = frame->commandsReceived(0x21);
    form->FormActivate();
    pumpWorker();
    EXPECT_EQ(frame->commandsReceived(0x21), modeCommands);
}

TEST_F(FormDiagTest, activation_puts_an_ordinary_model_back_in_mode_0)
{
    startConnected();
    const auto frame = backend.frame(path);
    const int modeCommands = frame->commandsReceived(0x21);
    form->FormActivate();
    pumpWorker();
    EXPECT_EQ(frame->commandsReceived(0x21), modeCommands + 1);
    EXPECT_EQ(frame->mode(), 0);
}

TEST_F(FormDiagTest, signal_view_and_record_data)
{
    attach();
    start();
    form->Button3Click(form->Button3);  // not connected yet: only the message
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_EQ(form->messages[0], shipped("English", "PanelUnconnect"));
    EXPECT_TRUE(form->opened.empty());

    connectAndRead();
    const auto frame = backend.frame(path);
    form->whileOpen = [&] {
        pumpWorker();
        EXPECT_EQ(frame->mode(), 1);
        EXPECT_EQ(form->session().activeWindow(), ActiveWindow::Signal);
    };
    form->Button3Click(form->Button15);
    ASSERT_EQ(form->opened.size(), 1u);
    EXPECT_EQ(form->opened[0], &signal);
    EXPECT_TRUE(signal.LogOn->isChecked());
    form->Button3Click(form->Button3);
    EXPECT_FALSE(signal.LogOn->isChecked());
    EXPECT_EQ(form->session().activeWindow(), ActiveWindow::None);
}

TEST_F(FormDiagTest, diagnostic_and_draw_test_open_with_or_without_a_frame)
{
    attach();
    start();
    form->Button1Click();
    EXPECT_EQ(int32_t(imgDiag.testState), 0);  // no frame: no command, no restart
    ASSERT_EQ(form->opened.size(), 1u);
    EXPECT_EQ(form->opened[0], &imgDiag);

    connectAndRead();
    const auto frame = backend.frame(path);
    form->whileOpen = [&] {
        pumpWorker();
        EXPECT_EQ(frame->mode(), 3);
    };
    form->Button2Click();
    EXPECT_EQ(form->opened.back(), &points);
    EXPECT_EQ(int32_t(imgDiag.testState), 1);
}

TEST_F(FormDiagTest, unplug_and_plug_back_in_from_the_virtual_frame_menu)
{
    attach();
    withVirtualFrameMenu = true;
    start();
    connectAndRead();
    QAction* plugged = form->findChild<QAction*>("VirtualFramePlugged");
    ASSERT_NE(plugged, nullptr);
    plugged->setChecked(false);
    deliverDeviceChanges();
    EXPECT_EQ(form->windowTitle(), shipped("English", "FormDiagCaption") + " - " + shipped("English", "PanelUnconnect"));
    for (QPushButton* b : deviceButtons())
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_EQ(form->ComboBox1->count(), 0);

    plugged->setChecked(true);
    deliverDeviceChanges();
    EXPECT_TRUE(form->core().probeRunning());
    advance(400);
    EXPECT_EQ(form->windowTitle(), shipped("English", "FormDiagCaption") + " - " + shipped("English", "PanelConnect"));
}

// Unplugged while Reset writes the identity: the download ends aborted and the buttons of a
// frame that is not there stay off (the end of a download used to enable them all).
TEST_F(FormDiagTest, a_frame_unplugged_during_a_download_leaves_its_buttons_off)
{
    attach();
    withVirtualFrameMenu = true;
    start();
    connectAndRead();
    form->Button10->click();  // Reset, confirmed
    ASSERT_TRUE(form->core().followingDownload());
    advance(50);
    form->findChild<QAction*>("VirtualFramePlugged")->setChecked(false);
    deliverDeviceChanges();
    for (int i = 0; i < 20 && form->core().followingDownload(); ++i)
        advance(200);
    ASSERT_FALSE(form->core().followingDownload());
    EXPECT_EQ(form->windowTitle(), shipped("English", "FormDiagCaption") + " - " + shipped("English", "PanelUnconnect"));
    for (QPushButton* b : deviceButtons())
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
}

// Closing the main window while Reset writes: asked first, with the share written; No keeps
// the window and the write going to its end, Yes closes.
TEST_F(FormDiagTest, closing_during_a_download_asks_first_and_no_lets_the_write_finish)
{
    attach();
    start();
    connectAndRead();
    form->Button10->click();  // Reset, confirmed
    ASSERT_TRUE(form->core().followingDownload());
    form->questions.clear();
    form->answer = false;
    EXPECT_FALSE(form->close());
    ASSERT_EQ(form->questions.size(), 1u);
    EXPECT_TRUE(form->questions[0].startsWith("A calibration is being written into the frame's flash (")) << form->questions[0].toStdString();
    EXPECT_TRUE(form->isVisible());
    for (int i = 0; i < 20 && form->core().followingDownload(); ++i)
        advance(200);
    EXPECT_FALSE(form->core().followingDownload());
    EXPECT_EQ(backend.testBench(path)->completedCalibrationWrites(), 1) << "the write went on to its end";
    // Nothing being written: closed without a question.
    EXPECT_TRUE(form->close());
    EXPECT_EQ(form->questions.size(), 1u);
}

// Yes: the write is not cut. The window says it will close, stays until the block is in, then
// closes by itself; asked again meanwhile, it does not ask twice.
TEST_F(FormDiagTest, closing_during_a_download_waits_for_the_write_and_then_closes)
{
    attach();
    start();
    connectAndRead();
    form->Button10->click();  // Reset, confirmed
    ASSERT_TRUE(form->core().followingDownload());
    form->questions.clear();
    form->answer = true;
    EXPECT_FALSE(form->close());
    EXPECT_FALSE(form->close());
    EXPECT_EQ(form->questions.size(), 1u);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->StatusBar1->currentMessage(), shipped("English", "ClosingAfterDownload"));
    for (int i = 0; i < 20 && form->core().followingDownload(); ++i)
        advance(200);
    ASSERT_FALSE(form->core().followingDownload());
    EXPECT_EQ(backend.testBench(path)->completedCalibrationWrites(), 1) << "the write went on to its end";
    QCoreApplication::processEvents();
    EXPECT_FALSE(form->isVisible()) << "closed once the write ended";
}

// The window's own menu: About names the version and the connected frame, in the language
// chosen; Quit is Ctrl+Q and closes the window, also where no window manager gives it a close button.
TEST_F(FormDiagTest, about_names_the_version_and_the_frame_and_ctrl_q_quits)
{
    startConnected();
    auto* about = form->findChild<QAction*>("MenuAbout");
    auto* quit = form->findChild<QAction*>("MenuQuit");
    ASSERT_NE(about, nullptr);
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->shortcut(), QKeySequence("Ctrl+Q"));
    about->trigger();
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_TRUE(form->messages[0].startsWith(QString("Oculant ") + appVersion() + "\n")) << form->messages[0].toStdString();
    EXPECT_TRUE(form->messages[0].endsWith("Connected frame: " + QString::fromStdString(path)))
        << form->messages[0].toStdString();

    form->ComboBoxLan->setCurrentIndex(form->ComboBoxLan->findText("中文简体"));
    form->ComboBoxLanChange(false);
    EXPECT_EQ(form->findChild<QMenu*>("MenuOculant")->title(), "Oculant(&O)");
    EXPECT_EQ(quit->text(), "退出(&Q)");

    ASSERT_TRUE(form->isVisible());
    quit->trigger();
    EXPECT_FALSE(form->isVisible());
}

// The note naming the kept calibration: under the run buttons, whole, after Reset too, and still
// there when the information read after the download has put its own text in the status bar.
TEST_F(FormDiagTest, the_kept_calibration_note_stays_until_the_next_download)
{
    attach();
    start();
    connectAndRead();
    const auto resetAndWait = [&] {
        form->Button10->click();  // Reset, confirmed
        ASSERT_TRUE(form->core().followingDownload());
        EXPECT_FALSE(form->LabelKept->isVisible()) << "the last note goes with the next download";
        for (int i = 0; i < 20 && form->core().followingDownload(); ++i)
            advance(200);
        ASSERT_FALSE(form->core().followingDownload());
    };
    resetAndWait();
    EXPECT_TRUE(form->LabelKept->isVisible());
    EXPECT_TRUE(form->LabelKept->text().startsWith("No earlier calibration")) << form->LabelKept->text().toStdString();
    resetAndWait();
    advance(2000);
    EXPECT_TRUE(form->LabelKept->isVisible());
    EXPECT_TRUE(form->LabelKept->text().startsWith("The calibration about to be replaced is kept in "))
        << form->LabelKept->text().toStdString();
    EXPECT_TRUE(form->LabelKept->wordWrap());
    // Import opens where that file was kept.
    const QString kept = form->LabelKept->text().section(" kept in ", 1);
    EXPECT_EQ(form->calibrationImportFolder(), QFileInfo(kept).absolutePath());

    // The same note in Chinese.
    form->ComboBoxLan->setCurrentIndex(form->ComboBoxLan->findText("中文简体"));
    form->ComboBoxLanChange(true);
    resetAndWait();
    EXPECT_TRUE(form->LabelKept->text().startsWith(shipped("中文简体", "Kept").section("%1", 0, 0)))
        << form->LabelKept->text().toStdString();
}

// Ctrl+U unplugs the virtual frame also while a modal window shadows the main window's shortcut.
TEST_F(FormDiagTest, ctrl_u_unplugs_the_virtual_frame_under_a_modal_window)
{
    attach();
    withVirtualFrameMenu = true;
    start();
    connectAndRead();
    VirtualFingerFilter filter(*backend.testBench(path));
    qApp->installEventFilter(&filter);
    QDialog modal(form.get());
    modal.setModal(true);
    modal.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &modal);
    QKeyEvent ctrlU(QEvent::KeyPress, Qt::Key_U, Qt::ControlModifier);
    QApplication::sendEvent(&modal, &ctrlU);
    EXPECT_FALSE(backend.testBench(path)->plugged());
    EXPECT_FALSE(form->findChild<QAction*>("VirtualFramePlugged")->isChecked());
    QApplication::sendEvent(&modal, &ctrlU);
    EXPECT_TRUE(backend.testBench(path)->plugged());
    modal.hide();
    qApp->removeEventFilter(&filter);
}

TEST_F(FormDiagTest, a_frame_that_may_not_be_opened_is_shown_with_the_fix_until_opened_or_removed)
{
    const std::string refused = attach();
    backend.setOpenRefusal(refused, OpenFailure::PermissionDenied);
    start();
    const QString denied = QString::fromStdString(refused) + ": looks like a touch frame but permission denied";
    // Still there after the language was applied at start.
    EXPECT_TRUE(form->LabelAccess->isVisibleTo(form.get()));
    EXPECT_TRUE(form->LabelAccess->text().startsWith(denied)) << form->LabelAccess->text().toStdString();
    EXPECT_TRUE(form->LabelAccess->text().contains("Fix: "));

    const std::string later = attach();  // plugged in while the window runs
    backend.setOpenRefusal(later, OpenFailure::PermissionDenied);
    deliverDeviceChanges();
    EXPECT_TRUE(form->LabelAccess->text().contains(QString::fromStdString(later) + ": looks like a touch frame"))
        << form->LabelAccess->text().toStdString();
    advance(300);
    form->ComboBoxLan->setCurrentIndex(form->ComboBoxLan->findText("中文简体"));
    form->ComboBoxLanChange(false);
    EXPECT_TRUE(form->LabelAccess->text().startsWith(denied));

    backend.detach(later);
    deliverDeviceChanges();
    EXPECT_FALSE(form->LabelAccess->text().contains(QString::fromStdString(later)));
    EXPECT_TRUE(form->LabelAccess->text().startsWith(denied));

    // Access given without a replug (the rule installed and triggered): the window finds out on
    // its own, connects, and the notice goes.
    backend.setOpenRefusal(refused, OpenFailure::None);
    advance(1500);
    EXPECT_TRUE(form->session().connected());
    EXPECT_FALSE(form->LabelAccess->isVisibleTo(form.get()));
}

TEST_F(FormDiagTest, a_frame_that_comes_back_during_the_draw_test_gets_mode_3_and_no_information_sequence)
{
    startConnected();
    const auto frame = backend.frame(path);
    const int infoCommands = frame->commandsReceived(0x17);
    form->whileOpen = [&] {
        backend.detach(path);
        deliverDeviceChanges();
        backend.reattach(path);
        deliverDeviceChanges();
        advance(500);
        EXPECT_EQ(frame->mode(), 3);
        EXPECT_FALSE(form->core().informationRunning());
    };
    form->Button2Click();
    EXPECT_EQ(frame->commandsReceived(0x17), infoCommands);
}

TEST_F(FormDiagTest, closing_sends_mode_0_then_ends_the_worker_and_the_timers)
{
    startConnected();
    const auto frame = backend.frame(path);
    form->Button2Click();  // the frame is in mode 3 now
    pumpWorker();
    ASSERT_EQ(frame->mode(), 3);
    const int modeCommands = frame->commandsReceived(0x21);
    form->close();
    EXPECT_EQ(frame->commandsReceived(0x21), modeCommands + 1);
    EXPECT_EQ(frame->mode(), 0);
    EXPECT_EQ(form->session().talk().currentDevice(), nullptr);
    EXPECT_FALSE(form->TimerSession->isActive());
    // A device change after the close reaches nothing.
    backend.detach(path);
    deliverDeviceChanges();
    EXPECT_EQ(form->ComboBox1->count(), 1);
}

TEST_F(FormDiagTest, choosing_a_language_recaptions_and_saves_it)
{
    start();
    const int chinese = form->ComboBoxLan->findText("中文简体");
    ASSERT_GE(chinese, 0);
    form->ComboBoxLan->setCurrentIndex(chinese);
    form->ComboBoxLanChange(true);
    EXPECT_EQ(form->GroupBox1->title(), shipped("中文简体", "GroupBox1"));
    EXPECT_EQ(form->Button1->text(), shipped("中文简体", "Button1"));
    EXPECT_EQ(form->ComboBoxDisplayDir->itemText(0), shipped("中文简体", "DisplayOrientation1"));
    EXPECT_EQ(form->windowTitle(), shipped("中文简体", "FormDiagCaption") + " - " + shipped("中文简体", "PanelUnconnect"));
    const auto saved = IniFile::load(dir_.file("lan.ini"));
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->valueOr("Default", "Language", ""), "中文简体");
}

TEST_F(FormDiagTest, a_language_choice_that_cannot_be_saved_is_applied_and_reported)
{
    start();
    // The folder vanishes under the program: the choice cannot be written (root ignores a
    // read-only folder, so this is the failure every user can produce).
    fs::remove_all(dir_.path());
    form->ComboBoxLan->setCurrentIndex(1);
    form->ComboBoxLanChange(true);
    EXPECT_TRUE(form->StatusBar1->currentMessage().startsWith("Language choice not saved"))
        << form->StatusBar1->currentMessage().toStdString();
    EXPECT_TRUE(form->isVisible());
}

TEST_F(FormDiagTest, missing_language_file_shows_the_message_once_and_texts_read_na)
{
    fs::remove(dir_ / "lan.ini");
    start();
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_TRUE(form->messages[0].contains("Can NOT find language file"));
    EXPECT_EQ(form->ComboBoxLan->count(), 0);
    EXPECT_EQ(form->windowTitle(), "N/A - N/A");
    EXPECT_EQ(form->GroupBox1->title(), "Status");  // design captions remain
}

TEST_F(FormDiagTest, unreadable_language_file_is_reported_once_and_the_window_still_opens)
{
    test::writeFile(dir_ / "lan.ini", "[English]\r\nModel=\xC0\xC1\xF5\xFF\r\n");  // bytes no UTF-8 text holds
    start();
    ASSERT_EQ(form->messages.size(), 1u);
    EXPECT_TRUE(form->messages[0].startsWith(QString::fromStdString(dir_.file("lan.ini")) + ": "))
        << form->messages[0].toStdString();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->GroupBox1->title(), "Status");  // design captions remain
}

TEST_F(FormDiagTest, first_show_sets_the_calibration_fields_from_the_screen)
{
    start();
    ASSERT_GT(form->screenWidth(), 0);
    EXPECT_EQ(form->EditLeftPxiMargin->text(), QString::number(form->screenWidth() / 20));
    EXPECT_EQ(form->EditDownPxiMargin->text(), QString::number(form->screenHeight() / 20));
    EXPECT_EQ(form->EditOffsetX->text(), "0");
    EXPECT_EQ(form->EditWidth->text(), QString::number(form->screenWidth()));
    EXPECT_EQ(form->EditHeight->text(), QString::number(form->screenHeight()));
    EXPECT_FALSE(form->EditOffsetX->isEnabled());
    EXPECT_TRUE(form->CheckBoxCalibAuxPoint->isChecked());
}

TEST_F(FormDiagTest, logo_shown_when_present_hidden_when_absent_or_damaged)
{
    start((kSource / "tests/data/app/logo.jpg").string());
    EXPECT_FALSE(form->Image1->isHidden());
    EXPECT_FALSE(form->Image1->pixmap().isNull());
    form.reset();

    start();  // no logo.jpg in the folder
    EXPECT_TRUE(form->Image1->isHidden());
    form.reset();

    const fs::path damaged = dir_ / "damaged.jpg";
    test::writeFile(damaged, "\xFF\xD8\xFF\xE0 not a picture");
    start(damaged.string());
    EXPECT_TRUE(form->Image1->isHidden());
    EXPECT_TRUE(form->messages.empty());
}

}  // namespace
}  // namespace oculant
