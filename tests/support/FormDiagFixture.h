#pragma once
// The main window on the offscreen platform with a virtual frame, for the window tests: the
// session core is ticked through the window's timer handler on a simulated clock, the worker is
// stepped without a thread, message boxes and modal windows are recorded instead of shown.
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
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <QRegularExpression>

#include <filesystem>

#include "app/FormDiag.h"
#include "calibration/FormCalibrate.h"
#include "calibration/FormMultiCalib.h"
#include "backends/virtual/VirtualBackend.h"
#include "diagnostics/FormImgDiag.h"
#include "drawtest/FormPoints.h"
#include "base/IniFile.h"
#include "session/SessionCore.h"
#include "tests/support/ScopedDataHome.h"
#include "signal/FormSignal.h"
#include "tests/support/ShownTexts.h"
#include "tests/support/TempDir.h"

namespace oculant {
namespace formdiagtest {

namespace fs = std::filesystem;

const fs::path kSource = OCULANT_SOURCE_DIR;
using test::utc;

inline QString shipped(std::string_view section, std::string_view key)
{
    return QString::fromStdString(test::shipped(section, key));
}

// Message boxes and modal windows are recorded instead of shown.
class RecordingFormDiag : public TFormDiag {
public:
    using TFormDiag::TFormDiag;
    std::vector<QString> messages;
    std::vector<QDialog*> opened;
    std::function<void()> whileOpen;
    std::vector<QString> questions;  // every confirmation asked, answered with `answer`
    bool answer = true;

protected:
    void showMessage(const QString& text) override { messages.push_back(text); }
    bool confirm(const QString&, const QString& question) override
    {
        questions.push_back(question);
        return answer;
    }
    void execModal(QDialog& window) override
    {
        opened.push_back(&window);
        if (whileOpen)
            whileOpen();
    }
};

class FormDiagFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::copy_file(test::kShippedLanguageFile, dir_ / "lan.ini");
        // The calibrations a download replaces are kept there, not in the user's folder.
        dataHome_.emplace((dir_ / "data").string());
    }
    void TearDown() override
    {
        form.reset();
        core.reset();
        dataHome_.reset();
    }

    // Frames attached before this are found by the first scan, as at start-up.
    void start(std::string logo = "")
    {
        FormDiagOptions options;
        options.languagePath = dir_.file("lan.ini");
        options.logoPath = logo.empty() ? dir_.file("logo.jpg") : logo;
        options.localTime = utc;
        options.clockMs = [this] { return int64_t(nowMs_); };
        if (withVirtualFrameMenu) {
            options.virtualBench = backend.testBench(path);
            options.virtualFramePath = path;
        }
        SessionCore::Options coreOptions;
        coreOptions.threading = HIDTalk::Threading::Manual;
        coreOptions.store = &store;  // the one the windows read
        core = std::make_unique<SessionCore>(sessionBackend ? *sessionBackend : backend, coreOptions);
        form = std::make_unique<RecordingFormDiag>(*core, options);
        form->attachWindows({&signal, &points, &imgDiag, &calibrate, &multiCalib});
        if (onScreen) {
            form->setScreen(onScreen);
            form->move(onScreen->geometry().topLeft());
        }
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

    // Simulated time in steps of the window's timer, each step one tick of the session core.
    void advance(int ms)
    {
        for (int end = nowMs_ + ms; nowMs_ < end;) {
            nowMs_ += SessionCore::kTickMs;
            if (form->TimerSession->isActive())
                form->TimerSessionTimer();
        }
    }

    // Device changes are handled at the core's next tick; deliver them without running timers.
    void deliverDeviceChanges()
    {
        if (!form->core().stopped())
            form->core().handleDeviceChanges();
    }

    void connectAndRead()
    {
        advance(400);
        ASSERT_TRUE(form->session().connected());
        advance(1000);
        ASSERT_FALSE(form->core().informationRunning());
    }

    // A frame found at start-up, connected with its information read.
    void startConnected()
    {
        attach();
        start();
        connectAndRead();
    }

    std::vector<QPushButton*> deviceButtons() const
    {
        return {form->Button1, form->Button2,  form->Button3,  form->Button4,
                form->Button10, form->Button11, form->Button13, form->Button15};
    }

    std::vector<QLineEdit*> statusFields() const
    {
        return {form->EditType, form->EditHardwareVer, form->EditSoftwareVer, form->EditSta, form->EditRunSta,
                form->EditDate, form->EditTime,        form->EditSerialNum,   form->EditCRC};
    }

    bool withVirtualFrameMenu = false;
    QScreen* onScreen = nullptr;  // set before start(): the main window opens there, not on the primary screen
    test::TempDir dir_;
    std::optional<test::ScopedDataHome> dataHome_;
    VirtualBackend backend{VirtualBackend::Reads::NonBlocking};
    HidBackend* sessionBackend = nullptr;  // set before start(): the window's devices come from it instead
    std::string path;
    SignalStore store;  // the core's, as main() hands the core's store to the windows
    TFormSignal signal;
    TFormPoints points{store};
    TFormImgDiag imgDiag{store};
    TFormCalibrate calibrate;
    TFormMultiCalib multiCalib;
    std::unique_ptr<SessionCore> core;  // made by start(), as main() makes it before the window
    std::unique_ptr<RecordingFormDiag> form;
    int nowMs_ = 0;
};

}  // namespace formdiagtest
}  // namespace oculant
