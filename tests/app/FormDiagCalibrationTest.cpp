// The calibration group of the main window on the offscreen platform with a virtual frame:
// Start, Export and the capture window it opens, with the timers driven by hand.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTimer>

#include <QRegularExpression>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "app/FormDiag.h"
#include "calibration/FormCalibrate.h"
#include "calibration/FormMultiCalib.h"
#include "device/VirtualBackend.h"
#include "diagnostics/FormImgDiag.h"
#include "drawtest/FormPoints.h"
#include "i18n/IniFile.h"
#include "signal/FormSignal.h"

namespace oculant {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = OCULANT_SOURCE_DIR;

std::optional<std::tm> utc(int64_t seconds)
{
    const std::time_t t = std::time_t(seconds);
    std::tm out{};
    if (!gmtime_r(&t, &out))
        return std::nullopt;
    return out;
}

QString shipped(std::string_view section, std::string_view key)
{
    const auto ini = IniFile::load((kSource / "data/lan.ini").string());
    return QString::fromStdString(ini ? ini->valueOr(section, key, "?") : "?");
}

// Message boxes and modal windows are recorded instead of shown.
class RecordingFormDiag : public TFormDiag {
public:
    using TFormDiag::TFormDiag;
    std::vector<QString> messages;
    std::vector<QDialog*> opened;
    std::function<void()> whileOpen;

protected:
    void showMessage(const QString& text) override { messages.push_back(text); }
    void execModal(QDialog& window) override
    {
        opened.push_back(&window);
        if (whileOpen)
            whileOpen();
    }
};

class FormDiagCalibration : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("oculant-formdiag-cal-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        fs::copy_file(kSource / "data/lan.ini", dir_ / "lan.ini");
    }
    void TearDown() override
    {
        form.reset();
        fs::remove_all(dir_);
    }

    // Frames attached before this are found by the first scan, as at start-up.
    void start(std::string logo = "")
    {
        FormDiagOptions options;
        options.languagePath = (dir_ / "lan.ini").string();
        options.logoPath = logo.empty() ? (dir_ / "logo.jpg").string() : logo;
        options.threading = HIDTalk::Threading::Manual;
        options.localTime = utc;
        if (withVirtualFrameMenu) {
            options.virtualBackend = &backend;
            options.virtualFramePath = path;
        }
        form = std::make_unique<RecordingFormDiag>(backend, options);
        form->attachWindows({&signal, &points, &imgDiag, &calibrate, &multiCalib});
        form->show();
    }

    std::string attach(VirtualFrameProfile profile = {})
    {
        path = backend.attach(std::make_shared<VirtualFrame>(std::move(profile)));
        return path;
    }

    void pumpWorker()
    {
        for (int i = 0; i < 1000 && form->session().talk().workerPass(); ++i) {
        }
    }

    // Simulated time in 10 ms steps; each timer fires on its interval while it is running. A
    // timer started during a step first fires on a later one, as a QTimer would.
    void advance(int ms)
    {
        for (int end = nowMs_ + ms; nowMs_ < end;) {
            nowMs_ += 10;
            pumpWorker();
            const bool drain = form->Timer2->isActive(), probe = form->TimerCheckDevice->isActive(),
                       info = form->Timer1->isActive();
            if (nowMs_ % 20 == 0 && drain)
                form->Timer2Timer();
            if (nowMs_ % 50 == 0 && probe)
                form->TimerCheckDeviceTimer();
            if (nowMs_ % 100 == 0 && info && form->Timer1->isActive())
                form->Timer1Timer();
        }
    }

    void connectAndRead()
    {
        advance(400);
        ASSERT_TRUE(form->session().connected());
        advance(1000);
        ASSERT_FALSE(form->Timer1->isActive());
    }


    bool withVirtualFrameMenu = false;
    fs::path dir_;
    VirtualBackend backend{VirtualBackend::Reads::NonBlocking};
    std::string path;
    TFormSignal signal;
    TFormPoints points;
    TFormImgDiag imgDiag;
    TFormCalibrate calibrate;
    TFormMultiCalib multiCalib;
    std::unique_ptr<RecordingFormDiag> form;
    int nowMs_ = 0;
};

TEST_F(FormDiagCalibration, start_opens_the_capture_and_a_cancelled_capture_ends_silently)
{
    attach();
    start();
    connectAndRead();
    form->Button11->click();
    ASSERT_EQ(form->opened.size(), 1u);
    EXPECT_EQ(form->opened[0], &calibrate);
    EXPECT_TRUE(form->messages.empty());
    EXPECT_FALSE(form->TimerDownTab->isActive());
    EXPECT_TRUE(form->Button11->isEnabled());
}

TEST_F(FormDiagCalibration, a_bad_window_is_reported_and_the_capture_stays_closed)
{
    attach();
    start();
    connectAndRead();
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
    attach();
    start();
    connectAndRead();
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
    attach();
    start();
    connectAndRead();
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
