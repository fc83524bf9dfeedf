// The whole scenario of a real frame over hidraw handles, with a socket pair standing in for the
// node and a virtual frame on the other end: the same scenario the uhid test runs through the
// kernel, here stepped by hand (worker and device side in turn, no thread, no sleeping).
#include <gtest/gtest.h>

#include "tests/support/HidrawScenario.h"
#include "tests/support/SocketNodes.h"

namespace oculant {
namespace {

constexpr const char* kPath = "/dev/hidraw7";

TEST(HidrawSession, ConnectsReadsTheRecordsAndDownloadsABlockOverHidrawHandles)
{
    VirtualFrame frame(VirtualFrameProfile{});
    test::SocketBackend backend;
    test::SocketPeerFrame device(frame, backend.add(kPath).peer);
    SessionCore core(backend, test::manualCore());
    test::connectReadAndDownload(core, frame, kPath, [&] {
        device.step();
        for (int i = 0; i < 1000 && core.talk().workerPass(); ++i)
            device.step();
        device.step();
    });
    core.stop();
}

}  // namespace
}  // namespace oculant
