// Writes the seed corpora of the fuzz targets from real samples: the report streams a virtual
// frame answers with (information sequence, parameter block, signal frames of every family,
// touch reports), the signal frames joined from them, the descriptors of the HID corpus as
// bytes, and the INI files of the tree (plus UTF-16 copies).
//
//   fuzz_seed_generator <source dir> <output dir>     writes <output dir>/<target>/<name>
//
// Deterministic: the virtual frame runs on a simulated clock. Not a fuzz target; its outputs
// are committed under fuzz/corpus/.

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "backends/capture/CaptureFile.h"
#include "hid/HidDescriptorText.h"
#include "link/ResponseDispatcher.h"
#include "backends/virtual/VirtualFrame.h"
#include "backends/virtual/VirtualFrameProfile.h"
#include "base/IniFile.h"
#include "base/TextCodec.h"

namespace fs = std::filesystem;
using namespace oculant;

namespace {

std::string readAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeSeed(const fs::path& dir, const std::string& name, const std::string& bytes)
{
    fs::create_directories(dir);
    std::ofstream(dir / name, std::ios::binary) << bytes;
}

std::string asString(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// Drives one virtual frame on a simulated clock and keeps every input report it sends.
class Recorder {
public:
    explicit Recorder(VirtualFrameProfile profile) : frame_(std::move(profile), [this] { return nowUs_; }) {}

    void send(std::vector<uint8_t> command)
    {
        std::array<uint8_t, protocol::kOutputReportLength> report{};
        report[0] = VirtualFrame::kOutputReportId;
        std::copy(command.begin(), command.end(), report.begin() + 1);
        frame_.receiveOutputReport(report.data(), report.size());
    }
    // Collects reports for `ms` simulated milliseconds, stopping after `limit` reports.
    void run(int ms, size_t limit = 100000)
    {
        for (int t = 0; t < ms && reports_.size() < limit; ++t) {
            nowUs_ += 1000;
            while (auto r = frame_.takeInputReport()) {
                reports_.push_back(*r);
                if (reports_.size() >= limit)
                    break;
            }
        }
    }
    VirtualFrame& frame() { return frame_; }
    const std::vector<VirtualFrame::Report>& reports() const { return reports_; }
    void clear() { reports_.clear(); }

    // The dispatch seed: a drain-interval byte, then the reports as they arrived.
    std::string stream(uint8_t drainByte) const
    {
        std::string out(1, char(drainByte));
        for (const auto& r : reports_)
            out.append(reinterpret_cast<const char*>(r.data()), r.size());
        return out;
    }
    // The signal frames joined from the reports, as the raw-mode seed of the frame processor:
    // selector 0, then each frame as a 16-bit length and its bytes.
    std::string frames(size_t maxFrames) const
    {
        DeviceRecords records;
        ResponseDispatcher dispatcher(records);
        std::string out(1, '\0');
        size_t taken = 0;
        for (const auto& r : reports_) {
            dispatcher.DispatchResponse(r);
            dispatcher.deliverFrames([&](const uint8_t* data, uint32_t length) {
                if (taken++ >= maxFrames)
                    return;
                out.push_back(char(length & 0xFF));
                out.push_back(char(length >> 8));
                out.append(reinterpret_cast<const char*>(data), length);
            });
        }
        return out;
    }

private:
    int64_t nowUs_ = 1'000'000;
    VirtualFrame frame_;
    std::vector<VirtualFrame::Report> reports_;
};

const std::vector<uint8_t> kModeStop = {0x21, 0x00, 0x00};
const std::vector<uint8_t> kModeTouch = {0x21, 0x03, 0xAA};

std::vector<uint8_t> modeStream(uint8_t mode)
{
    std::vector<uint8_t> c = {0x21};
    const auto payload = protocol::modeStreamPayload(mode);
    c.insert(c.end(), payload.begin(), payload.end());
    return c;
}

struct NamedProfile {
    std::string name;
    VirtualFrameProfile profile;
};

std::vector<NamedProfile> profiles(const fs::path& source)
{
    std::vector<NamedProfile> all;
    for (uint8_t family : {0x00, 0x10, 0x30, 0x40}) {
        VirtualFrameProfile p;
        p.family = family;
        // Family 0x40 boundary rows are (last offset + 1) long: the last layer needs offset >= -1.
        p.xOffsets = {0, -4, 4};
        p.yOffsets = {0, -4, 4};
        char name[32];
        std::snprintf(name, sizeof name, "default-family%02x", family);
        all.push_back({name, p});
    }
    for (const char* file : {"dead-emitter", "large-family40", "misaligned"}) {
        const ProfileResult loaded = loadVirtualFrameProfile((source / "data/profiles" / (std::string(file) + ".ini")).string());
        if (!loaded.ok) {
            std::fprintf(stderr, "%s\n", loaded.error.c_str());
            std::exit(1);
        }
        all.push_back({file, loaded.profile});
    }
    return all;
}

void dispatchSeeds(const fs::path& source, const fs::path& out)
{
    const fs::path dispatch = out / "fuzz_dispatch";
    const fs::path frames = out / "fuzz_process_frame";
    for (const NamedProfile& np : profiles(source)) {
        Recorder info(np.profile);
        for (uint8_t code : {0x10, 0x17, 0x16, 0x18, 0x19, 0x22}) {
            info.send({code});
            info.run(100);
        }
        writeSeed(dispatch, "info-" + np.name, info.stream(0x04));

        Recorder signal(np.profile);
        signal.send(modeStream(protocol::kModeSignal));
        signal.run(200, 160);
        writeSeed(dispatch, "signal-" + np.name, signal.stream(0x13));
        writeSeed(frames, "signal-" + np.name, signal.frames(3));

        Recorder touch(np.profile);
        touch.send(kModeTouch);
        const int id = touch.frame().fingerDown(300.0, 200.0);
        touch.run(60);
        touch.frame().moveFinger(id, 320.0, 210.0);
        touch.run(60);
        touch.frame().fingerUp(id);
        touch.run(60);
        touch.send(kModeStop);
        touch.run(20);
        writeSeed(dispatch, "touch-" + np.name, touch.stream(0x02));
        writeSeed(frames, "touch-" + np.name, touch.frames(4));
    }
    // The built mode (selector 1) draws its layout and frames from the input's bytes through
    // FuzzedDataProvider; one short input is enough for libFuzzer to start from.
    writeSeed(frames, "built-small", std::string("\x01\x01\x00\x00\x00\x00\x08\x00\x06\x00\x02\x02\x00\x03\x00\xfd\x00"
                                                 "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10",
                                                 33));
}

// A capture of the virtual frame answering the information sequence and streaming, in the
// capture-file text, with our writes as comments.
void captureSeeds(const fs::path& source, const fs::path& out)
{
    const fs::path dir = out / "fuzz_capture_file";
    for (const NamedProfile& np : profiles(source)) {
        if (np.name != "default-family10" && np.name != "large-family40")
            continue;
        Recorder recorder(np.profile);
        CaptureFile capture;
        capture.name = "Oculant virtual frame";
        capture.vendorId = np.profile.vendorId;
        capture.productId = np.profile.productId;
        capture.descriptor = VirtualFrame::reportDescriptor();
        capture.comments = {"virtual frame, profile " + np.name};
        int64_t timeUs = 0;
        auto write = [&](std::vector<uint8_t> command) {
            CaptureEvent e;
            e.direction = CaptureEvent::Direction::Output;
            e.timeUs = timeUs;
            e.bytes = {VirtualFrame::kOutputReportId};
            e.bytes.insert(e.bytes.end(), command.begin(), command.end());
            e.bytes.resize(protocol::kOutputReportLength, 0);
            capture.events.push_back(e);
            recorder.send(command);
        };
        auto read = [&](int ms, size_t limit) {
            const size_t before = recorder.reports().size();
            recorder.run(ms, before + limit);
            for (size_t i = before; i < recorder.reports().size(); ++i) {
                timeUs += 1000;
                const auto& r = recorder.reports()[i];
                capture.events.push_back({CaptureEvent::Direction::Input, timeUs, {r.begin(), r.end()}});
            }
        };
        for (uint8_t code : {0x10, 0x17, 0x22}) {
            write({code});
            read(100, 20);
        }
        write(modeStream(protocol::kModeSignal));
        read(100, 40);
        writeSeed(dir, "virtual-" + np.name + ".txt", formatCaptureText(capture));
    }
    writeSeed(dir, "header-only.txt", "# a capture with no events\nN: frame\nI: 3 1209 0c1a\nR: 2 05 01\n");
}

void descriptorSeeds(const fs::path& source, const fs::path& out)
{
    const fs::path dir = out / "fuzz_hid_descriptor";
    for (const auto& entry : fs::directory_iterator(source / "tests/data/hid-corpus")) {
        if (entry.path().extension() != ".hex")
            continue;
        const DescriptorBytes bytes = decodeDescriptorFile(readAll(entry.path()));
        if (!bytes.ok) {
            std::fprintf(stderr, "%s: %s\n", entry.path().c_str(), bytes.error.c_str());
            std::exit(1);
        }
        writeSeed(dir, entry.path().stem().string(), asString(bytes.bytes));
    }
    writeSeed(dir, "virtual-frame", asString(VirtualFrame::reportDescriptor()));
    // One descriptor file in its hex form, as `oculant-cli caps` reads it.
    writeSeed(dir, "hex-046D_C077_0002_0001", readAll(source / "tests/data/hid-corpus/046D_C077_0002_0001.hex"));
}

void iniSeeds(const fs::path& source, const fs::path& out)
{
    const fs::path dir = out / "fuzz_ini";
    std::vector<fs::path> files = {source / "data/lan.ini"};
    for (const char* folder : {"data/profiles", "tests/data/calibration"})
        for (const auto& entry : fs::directory_iterator(source / folder))
            files.push_back(entry.path());
    for (const fs::path& file : files)
        writeSeed(dir, file.filename().string(), readAll(file));
    // The same texts as Windows Notepad would save them in UTF-16.
    const auto lan = decodeText(readAll(source / "data/lan.ini"));
    const auto profile = decodeText(readAll(source / "data/profiles/misaligned.ini"));
    if (!lan || !profile)
        std::exit(1);
    writeSeed(dir, "lan-utf16le.ini", *encodeText(lan->utf8, TextEncoding::Utf16LE));
    writeSeed(dir, "misaligned-utf16be.ini", *encodeText(profile->utf8, TextEncoding::Utf16BE));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <source dir> <output dir>\n", argv[0]);
        return 2;
    }
    const fs::path source = argv[1], out = argv[2];
    descriptorSeeds(source, out);
    iniSeeds(source, out);
    dispatchSeeds(source, out);
    captureSeeds(source, out);
    return 0;
}
