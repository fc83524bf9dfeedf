#pragma once
// A fake sysfs and /dev in a temp folder, shaped like the real ones: /sys/class/hidraw/hidrawN
// is a symlink into /sys/devices, and hidrawN/device a symlink up to the HID device, which holds
// the uevent and the report descriptor.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace oculant::test {

namespace fs = std::filesystem;

// What stands at /dev/hidrawN.
enum class FakeNode { File, Fifo, Missing };

class HidrawFakeTree {
public:
    HidrawFakeTree()
    {
        // Traversable by another user: the permission test scans as user nobody.
        fs::permissions(root_, fs::perms(0755));
        fs::create_directories(sysfs() + "/class/hidraw");
        fs::create_directories(sysfs() + "/devices/virtual/hid");
        fs::create_directories(dev());
    }

    std::string sysfs() const { return (root_ / "sys").string(); }
    std::string dev() const { return (root_ / "dev").string(); }
    std::string nodePath(int n) const { return dev() + "/hidraw" + std::to_string(n); }

    // Adds hidrawN for a HID device with these ids and descriptor. devMode is the mode of the
    // /dev entry (a regular file or a FIFO standing in for the character device).
    void addNode(int n, uint16_t vendor, uint16_t product, const std::vector<uint8_t>& descriptor,
                 FakeNode node = FakeNode::File, unsigned devMode = 0666)
    {
        char hidName[32];
        std::snprintf(hidName, sizeof hidName, "0003:%04X:%04X.%04X", vendor, product, unsigned(n + 1));
        const fs::path hid = fs::path(sysfs()) / "devices/virtual/hid" / hidName;
        const fs::path hidraw = hid / "hidraw" / ("hidraw" + std::to_string(n));
        fs::create_directories(hidraw);
        char uevent[256];
        std::snprintf(uevent, sizeof uevent,
                      "DRIVER=hid-generic\nHID_ID=0003:%08X:%08X\nHID_NAME=Test device %d\n"
                      "HID_PHYS=usb-0000:00:14.0-%d/input0\nHID_UNIQ=\nMODALIAS=hid:b0003g0001v%08Xp%08X\n",
                      vendor, product, n, n, vendor, product);
        writeFile(hid / "uevent", uevent);
        writeFile(hid / "report_descriptor", std::string(descriptor.begin(), descriptor.end()));
        writeFile(hidraw / "uevent", "MAJOR=241\nMINOR=" + std::to_string(n) + "\nDEVNAME=hidraw" +
                                         std::to_string(n) + "\n");
        fs::create_directory_symlink("../..", hidraw / "device");
        fs::create_directory_symlink(fs::path("../../devices/virtual/hid") / hidName / "hidraw" / hidraw.filename(),
                                     fs::path(sysfs()) / "class/hidraw" / hidraw.filename());
        const std::string path = nodePath(n);
        if (node == FakeNode::File)
            writeFile(path, "");
        else if (node == FakeNode::Fifo && ::mkfifo(path.c_str(), 0600) != 0)
            ADD_FAILURE() << "mkfifo " << path;
        if (node != FakeNode::Missing)
            ::chmod(path.c_str(), devMode);
    }

    // The HID device folder behind hidrawN (uevent, report_descriptor), for tests that spoil it.
    fs::path hidDeviceFolder(int n) const
    {
        return fs::canonical(fs::path(sysfs()) / "class/hidraw" / ("hidraw" + std::to_string(n)) / "device");
    }

private:
    TempDir dir_;
    const fs::path& root_ = dir_.path();
};

}  // namespace oculant::test
