#pragma once
// Helpers shared by the calibration tests.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include <algorithm>
#include <array>
#include <vector>

#include "calibration/CalibrationData.h"
#include "calibration/CalibrationFlow.h"
#include "calibration/CalibrationSettings.h"
#include "calibration/Coordinates.h"
#include "calibration/TextLookup.h"

namespace oculant::test {

inline constexpr ScreenSize kFullHd{1920, 1080};

// Targets over the whole full-HD screen, inside margins of a twentieth of it.
inline CalibrationSettings fullScreen(uint8_t gridX, uint8_t gridY, bool aux)
{
    CalibrationSettings s;
    s.gridX = gridX;
    s.gridY = gridY;
    s.auxPoints = aux;
    s.marginLeft = s.marginRight = 96;
    s.marginUp = s.marginDown = 54;
    s.window = {0, 0, 1920, 1080};
    return s;
}

// A finished capture of four touches whose targets lie `shift` further on both axes: its fit is
// the identity plus the shift.
inline CalibrationData shiftedCapture(int32_t shift = 1000)
{
    CalibrationData d;
    const FrameLogical touches[4] = {{1000, 1000}, {1000, 20000}, {20000, 1000}, {20000, 20000}};
    d.count = 4;
    d.status = CalibrationData::kStatusComplete;
    for (int i = 0; i < 4; ++i)
        d.points[i] = {{touches[i].x + shift, touches[i].y + shift}, touches[i]};
    return d;
}

// A worker that takes one block at a time and is stepped by the test.
class FakeCalibrationLink : public CalibrationDeviceLink {
public:
    bool isConnected = true;
    uint8_t model = 3;
    uint32_t address = 0x1F800;
    uint32_t size = 2048;
    bool busy = false;
    uint32_t sent = 0, total = 0;
    int blockWrites = 0;
    int runRequests = 0;
    std::vector<uint8_t> written;
    std::array<uint8_t, 6> header{};

    bool connected() const override { return isConnected; }
    uint8_t modelCode() const override { return model; }
    uint32_t calibrationAreaAddress() const override { return address; }
    uint32_t calibrationAreaSize() const override { return size; }
    bool startBlockWrite(uint32_t length, const uint8_t* h, const uint8_t* data) override
    {
        if (busy)
            return false;
        busy = true;
        ++blockWrites;
        sent = 0;
        total = length;
        written.assign(data, data + length);
        std::copy(h, h + 6, header.begin());
        return true;
    }
    bool workerIdle() const override { return !busy; }
    uint32_t blockSent() const override { return sent; }
    uint32_t blockTotal() const override { return total; }
    void requestRunAndRefresh() override { ++runRequests; }
};

// A language whose text for each key is the key in brackets, so tests see which key was used.
inline TextLookup bracketLookup()
{
    return [](std::string_view key) { return "[" + std::string(key) + "]"; };
}

}  // namespace oculant::test
