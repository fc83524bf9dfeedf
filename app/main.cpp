// oculant: the windowed service tool.
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <memory>

#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/FormDiag.h"
#include "app/VirtualFingerFilter.h"
#include "calibration/FormCalibrate.h"
#include "calibration/FormMultiCalib.h"
#include "session/BackendSet.h"
#include "session/SessionCore.h"
#include "diagnostics/FormImgDiag.h"
#include "drawtest/FormPoints.h"
#include "signal/FormSignal.h"

using namespace oculant;

namespace {

int runApplication(OculantApplication& app, const AppOptions& options)
{
    std::string error;
    BackendOptions backendOptions;
    backendOptions.virtualFrame = options.virtualFrame;
    backendOptions.virtualProfile = options.virtualProfile;
    backendOptions.replayFile = options.replayFile;
    backendOptions.replaySpeed = options.replaySpeed;
    // Owned here and destroyed last: the worker and the windows use the backends until they end.
    std::unique_ptr<BackendSet> backends = makeBackends(backendOptions, error);
    if (!backends) {
        // A bad profile or a damaged capture file: the reader's error names the file and line.
        std::fprintf(stderr, "oculant: %s\n", error.c_str());
        QMessageBox::critical(nullptr, "Oculant", QString::fromStdString(error));
        return 1;
    }

    // The session core: the worker starts here and runs until the stop below. Signal frames go
    // into the core's signal store, which it hands to the windows that read it.
    SessionCore::Options coreOptions;
    coreOptions.threading = HIDTalk::Threading::RealtimeThread;
    SessionCore core(backends->sessionBackend(), coreOptions);

    const std::string folder = QCoreApplication::applicationDirPath().toStdString() + "/";
    FormDiagOptions formOptions;
    formOptions.languagePath = folder + "lan.ini";
    formOptions.logoPath = folder + "logo.jpg";
    // With the virtual frame, mouse drags on the full-screen windows move a finger on it.
    std::unique_ptr<VirtualFingerFilter> fingerFilter;
    if (FrameTestBench* bench = backends->virtualBench()) {
        formOptions.virtualBench = bench;
        formOptions.virtualFramePath = backends->virtualFramePath;
        fingerFilter = std::make_unique<VirtualFingerFilter>(*bench);
        app.installEventFilter(fingerFilter.get());
    }

    // The windows in their creation order; the main window shows what the core reports.
    TFormDiag FormDiag(core, formOptions);
    TFormSignal FormSignal;
    TFormPoints FormPoints(core.store());
    TFormImgDiag FormImgDiag(core.store());
    TFormCalibrate FormCalibrate;
    TFormMultiCalib FormMultiCalib;
    FormDiag.attachWindows({&FormSignal, &FormPoints, &FormImgDiag, &FormCalibrate, &FormMultiCalib});
    FormDiag.show();
    if (!options.openLog.empty())
        QTimer::singleShot(0, &FormDiag, [&FormDiag, &options] { FormDiag.openSignalLog(options.openLog); });

    const int status = app.exec();
    // Stop order: the main window's close stops its timer and the core (mode 0 queued, the
    // worker writes what is queued and ends, the device is closed, no more change reports);
    // on quit() without a close this does it. Leaving this scope then destroys the secondary
    // windows, the main window, the core, and last the backends.
    FormDiag.FormClose();
    core.stop();
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    // Help and the version need no display.
    const AppOptions early = parseAppArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (early.help) {
        std::fputs(appUsage().c_str(), stdout);
        return 0;
    }
    if (early.version) {
        std::printf("oculant %s\n", appVersion());
        return 0;
    }
    OculantApplication app(argc, argv);  // takes Qt's own options out of argv
    const AppOptions options = parseAppArguments(std::vector<std::string>(argv + 1, argv + argc));
    if (!options.error.empty()) {
        std::fprintf(stderr, "oculant: %s\nTry 'oculant --help' for the options.\n", options.error.c_str());
        return 64;
    }
    try {
        return runApplication(app, options);
    } catch (const std::exception& e) {
        // Start-up failed before the event loop could take over the policy.
        std::fprintf(stderr, "oculant: %s\n", e.what());
        QMessageBox::critical(nullptr, "Oculant", QString::fromUtf8(e.what()));
        return 255;
    }
}
