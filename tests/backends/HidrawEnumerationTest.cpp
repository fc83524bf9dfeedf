// Finding frames among hidraw nodes, on a fake sysfs and /dev tree: what sysfs is read for, which
// interfaces are listed, how many are looked at, and what an unopenable frame is reported as.
#include <fcntl.h>
#include <grp.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <sstream>

#include "tests/support/HidBytes.h"
#include "tests/support/HidrawFakeTree.h"
#include "link/HIDTalk.h"
#include "hid/HidDescriptor.h"
#include "backends/hidraw/HidrawBackend.h"
#include "backends/hidraw/HidrawSysfs.h"
#include "backends/virtual/VirtualFrame.h"

namespace oculant {
namespace {

using test::corpusDescriptor;
using test::FakeNode;
using test::HidrawFakeTree;
using test::withBytesReplaced;
using ::testing::HasSubstr;

constexpr uint16_t kFrameVendor = 0x1209;
constexpr uint16_t kFrameProduct = 0x0C1A;

std::vector<uint8_t> frameDescriptor() { return VirtualFrame::reportDescriptor(); }
std::vector<uint8_t> keyboardDescriptor() { return corpusDescriptor("046A_0011_0006_0001.hex"); }
std::vector<uint8_t> mouseDescriptor() { return corpusDescriptor("046D_C077_0002_0001.hex"); }

std::vector<std::string> listedPaths(const HIDTalk& talk)
{
    std::vector<std::string> paths;
    for (const QuillonDevice& d : talk.devices())
        paths.push_back(d.path);
    return paths;
}

// ---- sysfs texts ----

TEST(HidrawSysfs, NodeNamesAreHidrawAndADecimalNumber)
{
    const std::pair<const char*, int> cases[] = {
        {"hidraw0", 0},  {"hidraw7", 7},   {"hidraw139", 139}, {"hidraw", -1},   {"hidraw01", -1},
        {"hidraw-1", -1}, {"hidraw+1", -1}, {"hidraw1a", -1},   {"hiddev0", -1},  {"xhidraw1", -1},
        {"hidraw99999999999", -1},
    };
    for (const auto& [name, number] : cases)
        EXPECT_EQ(hidrawNodeNumber(name), number) << name;
}

TEST(HidrawSysfs, VendorAndProductComeFromTheHidIdLine)
{
    struct Case {
        const char* uevent;
        bool ok;
        uint16_t vendor, product;
    };
    const Case cases[] = {
        {"DRIVER=hid-generic\nHID_ID=0003:0000046D:0000C077\nHID_NAME=Mouse\n", true, 0x046D, 0xC077},
        {"HID_ID=0003:00001209:00000C1A", true, 0x1209, 0x0C1A},  // last line without newline
        {"HID_ID=0005:046D:B010\n", true, 0x046D, 0xB010},         // short fields
        {"HID_NAME=HID_ID=0003:1:2\n", false, 0, 0},              // only a line that starts with it counts
        {"DRIVER=hid-generic\n", false, 0, 0},
        {"HID_ID=0003:0000046D\n", false, 0, 0},
        {"HID_ID=0003:0000XY6D:0000C077\n", false, 0, 0},
        {"HID_ID=0003:0001046D:0000C077\n", false, 0, 0},  // vendor beyond 16 bits
        {"HID_ID=0003::0000C077\n", false, 0, 0},
    };
    for (const Case& c : cases) {
        const std::optional<HidAttributes> ids = parseHidIdUevent(c.uevent);
        ASSERT_EQ(ids.has_value(), c.ok) << c.uevent;
        if (ids) {
            EXPECT_EQ(ids->vendorId, c.vendor) << c.uevent;
            EXPECT_EQ(ids->productId, c.product) << c.uevent;
        }
    }
}

TEST(HidrawSysfs, NodesAreListedInNumericOrderAndDescribedWithoutOpening)
{
    HidrawFakeTree tree;
    for (int n : {10, 2, 9, 0, 100})
        tree.addNode(n, 0x046D, uint16_t(0xC000 + n), mouseDescriptor(), FakeNode::File, 0000);
    std::filesystem::create_directory(tree.sysfs() + "/class/hidraw/not-a-node");
    HidrawBackend backend(tree.sysfs(), tree.dev());
    const std::string d = tree.dev();
    EXPECT_EQ(backend.listInterfaces(), (std::vector<std::string>{d + "/hidraw0", d + "/hidraw2", d + "/hidraw9",
                                                                  d + "/hidraw10", d + "/hidraw100"}));
    HidAttributes ids;
    std::vector<uint8_t> descriptor;
    ASSERT_TRUE(backend.describe(d + "/hidraw9", ids, descriptor));  // the node itself is mode 0000
    EXPECT_EQ(ids.vendorId, 0x046D);
    EXPECT_EQ(ids.productId, 0xC009);
    EXPECT_EQ(descriptor, mouseDescriptor());
    EXPECT_FALSE(backend.describe(d + "/hidraw3", ids, descriptor));
    EXPECT_FALSE(backend.describe("/elsewhere/hidraw9", ids, descriptor));
    EXPECT_TRUE(backend.handles(d + "/hidraw9"));
    EXPECT_FALSE(backend.handles("virtual:0"));
    EXPECT_FALSE(backend.handles(d + "/hidrawX"));
}

TEST(HidrawSysfs, NodeWithoutDescriptorOrIdsIsNotDescribed)
{
    HidrawFakeTree tree;
    tree.addNode(0, kFrameVendor, kFrameProduct, frameDescriptor());
    tree.addNode(1, kFrameVendor, kFrameProduct, frameDescriptor());
    tree.addNode(2, kFrameVendor, kFrameProduct, frameDescriptor());
    std::filesystem::remove(tree.hidDeviceFolder(0) / "report_descriptor");
    test::writeFile(tree.hidDeviceFolder(1) / "uevent", "DRIVER=hid-generic\n");
    test::writeFile(tree.hidDeviceFolder(2) / "report_descriptor", std::string(5000, '\x05'));
    HidrawBackend backend(tree.sysfs(), tree.dev());
    HidAttributes ids;
    std::vector<uint8_t> descriptor;
    for (int n : {0, 1, 2})
        EXPECT_FALSE(backend.describe(tree.nodePath(n), ids, descriptor)) << n;
    HIDTalk talk(backend, HIDTalk::Threading::Manual);
    talk.EnumerateDevices();
    EXPECT_TRUE(talk.devices().empty());
    EXPECT_TRUE(talk.enumerationProblems().empty());
}

// ---- Which interfaces are frames ----

struct Variant {
    const char* name;
    std::vector<uint8_t> descriptor;
    const char* mismatch;  // why the rule refuses it; empty for a frame
};

std::vector<Variant> frameVariants()
{
    const std::vector<uint8_t> f = frameDescriptor();
    std::vector<uint8_t> twoCollections = mouseDescriptor();
    twoCollections.insert(twoCollections.end(), f.begin(), f.end());
    return {
        {"frame", f, ""},
        {"mouse and frame on one interface", twoCollections, ""},
        {"output report of 64 bytes", withBytesReplaced(f, {0x95, 0x3E}, {0x95, 0x3F}), "64 bytes, not 63"},
        {"usage page 0xFF01", withBytesReplaced(f, {0x06, 0x00, 0xFF}, {0x06, 0x01, 0xFF}), "not the vendor page"},
        {"output as an array: no value caps", withBytesReplaced(f, {0x91, 0x02}, {0x91, 0x00}), "no output value caps"},
        {"input as variables: no button caps", withBytesReplaced(f, {0x81, 0x00}, {0x81, 0x02}), "no input button caps"},
    };
}

TEST(HidrawEnumeration, EachVariantFailsTheRuleForItsOwnReason)
{
    for (const Variant& v : frameVariants()) {
        const HidDescriptorResult parsed = parseReportDescriptor(v.descriptor);
        ASSERT_TRUE(parsed.ok) << v.name << ": " << parsed.error;
        const HidCollectionCaps& last = parsed.collections.back();  // the frame-like collection
        if (*v.mismatch)
            EXPECT_THAT(frameRuleMismatch(last), HasSubstr(v.mismatch)) << v.name;
        else
            EXPECT_TRUE(matchesFrameRule(last)) << v.name << ": " << frameRuleMismatch(last);
    }
}

TEST(HidrawEnumeration, OnlyMatchingFramesAreListedAmongKeyboardAndMouse)
{
    HidrawFakeTree tree;
    tree.addNode(0, 0x046A, 0x0011, keyboardDescriptor());
    tree.addNode(1, 0x046D, 0xC077, mouseDescriptor());
    const std::vector<Variant> variants = frameVariants();
    for (size_t i = 0; i < variants.size(); ++i)
        tree.addNode(int(i) + 2, kFrameVendor, uint16_t(kFrameProduct + i), variants[i].descriptor);
    HidrawBackend backend(tree.sysfs(), tree.dev());
    HIDTalk talk(backend, HIDTalk::Threading::Manual);
    talk.EnumerateDevices();

    std::vector<std::string> expected;
    for (size_t i = 0; i < variants.size(); ++i)
        if (!*variants[i].mismatch)
            expected.push_back(tree.nodePath(int(i) + 2));
    EXPECT_EQ(listedPaths(talk), expected);
    EXPECT_TRUE(talk.enumerationProblems().empty());

    const QuillonDevice& frame = talk.devices().at(0);
    EXPECT_EQ(frame.vendorId, kFrameVendor);
    EXPECT_EQ(frame.productId, kFrameProduct);
    EXPECT_EQ(frame.inputReportId, VirtualFrame::kInputReportId);
    EXPECT_EQ(frame.outputReportId, VirtualFrame::kOutputReportId);
    EXPECT_EQ(frame.outputReportLength, 63);
    EXPECT_EQ(frame.inputReportByteLength, 64);
    // The frame's report ids come from its own collection, not the mouse before it.
    EXPECT_EQ(talk.devices().at(1).inputReportId, VirtualFrame::kInputReportId);
    EXPECT_EQ(talk.devices().at(1).usagePage, 0xFF00);
}

TEST(HidrawEnumeration, OnlyTheFirst128InterfacesInNumericOrderAreLookedAt)
{
    HidrawFakeTree tree;
    const std::vector<uint8_t> mouse = mouseDescriptor();
    for (int n = 0; n < 140; ++n) {
        // Frames at 127 (the 128th node) and 128 (the 129th); in name order hidraw128 would
        // come before hidraw13 and be looked at.
        const bool frame = n == 5 || n == 127 || n == 128 || n == 139;
        tree.addNode(n, frame ? kFrameVendor : 0x046D, uint16_t(n), frame ? frameDescriptor() : mouse);
    }
    HidrawBackend backend(tree.sysfs(), tree.dev());
    ASSERT_EQ(backend.listInterfaces().size(), 140u);
    HIDTalk talk(backend, HIDTalk::Threading::Manual);
    talk.EnumerateDevices();
    EXPECT_EQ(listedPaths(talk), (std::vector<std::string>{tree.nodePath(5), tree.nodePath(127)}));
}

TEST(HidrawEnumeration, FrameWhoseNodeIsMissingIsReportedAsNotFound)
{
    HidrawFakeTree tree;
    tree.addNode(0, kFrameVendor, kFrameProduct, frameDescriptor(), FakeNode::Missing);
    tree.addNode(1, 0x046D, 0xC077, mouseDescriptor(), FakeNode::Missing);
    HidrawBackend backend(tree.sysfs(), tree.dev());
    HIDTalk talk(backend, HIDTalk::Threading::Manual);
    talk.EnumerateDevices();
    EXPECT_TRUE(talk.devices().empty());
    ASSERT_EQ(talk.enumerationProblems().size(), 1u) << "the mouse is no frame: not a problem";
    EXPECT_EQ(talk.enumerationProblems()[0].path, tree.nodePath(0));
    EXPECT_EQ(talk.enumerationProblems()[0].failure, OpenFailure::NotFound);
}

// Root opens any file (CAP_DAC_OVERRIDE), so a refused open cannot be had in this process when
// the tests run as root. The scan then runs in a child that has dropped to user nobody, against
// a real mode-0000 node, and sends back what it found; an unprivileged run needs no child.
// Returns nothing when the child could not drop its privileges.
std::optional<std::string> runUnprivileged(const std::function<std::string()>& body)
{
    if (::geteuid() != 0)
        return body();
    int out[2];
    if (::pipe(out) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(out[0]);
        ::close(out[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(out[0]);
        std::string result = "\x01";  // could not drop to nobody
        if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0 && ::geteuid() == 65534)
            result = body();
        [[maybe_unused]] ssize_t n = ::write(out[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string result;
    char buffer[512];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, size_t(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (result == "\x01")
        return std::nullopt;
    return result;
}

TEST(HidrawEnumeration, FrameThatMayNotBeOpenedIsReportedAsPermissionProblem)
{
    HidrawFakeTree tree;
    tree.addNode(0, 0x046D, 0xC077, mouseDescriptor(), FakeNode::File, 0000);
    tree.addNode(1, kFrameVendor, kFrameProduct, frameDescriptor(), FakeNode::File, 0000);
    tree.addNode(2, kFrameVendor, 0x0C1B, frameDescriptor(), FakeNode::File, 0666);
    const std::optional<std::string> seen = runUnprivileged([&] {
        HidrawBackend backend(tree.sysfs(), tree.dev());
        HIDTalk talk(backend, HIDTalk::Threading::Manual);
        talk.EnumerateDevices();
        std::ostringstream out;
        for (const QuillonDevice& d : talk.devices())
            out << "listed " << d.path << "\n";
        for (const EnumerationProblem& p : talk.enumerationProblems())
            out << "problem " << p.path << " " << int(p.failure) << " " << p.detail << "\n";
        return out.str();
    });
    if (!seen)
        GTEST_SKIP() << "cannot drop to an unprivileged user here";
    const std::string expected =
        "listed " + tree.nodePath(2) + "\n" + "problem " + tree.nodePath(1) + " " +
        std::to_string(int(OpenFailure::PermissionDenied)) + " open " + tree.nodePath(1) +
        ": Permission denied; vendor 1209, product 0c1a\n";
    EXPECT_EQ(*seen, expected);
}

}  // namespace
}  // namespace oculant
