#pragma once
// The draw test without its window: six touch slots with their large-contact flags, the shapes
// each touch report puts on the canvas, the caption, and the frame's touch mode. The frame
// processor calls HandleTouches for every touch report, whether or not the window is shown; the
// window tells it the client size and the menu's options and paints what it hands over.

#include "base/TextLookup.h"
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "drawtest/TouchDrawing.h"
#include "drawtest/TouchModeCommands.h"
#include "signal/SignalFrameListener.h"
#include "signal/SignalStore.h"

namespace oculant {

// The state byte of a touch record.
inline constexpr uint8_t kStateContact = 9;
inline constexpr uint8_t kStateRelease = 8;

struct DrawTestOptions {
    bool drawLine = false;  // strokes from each touch to the next instead of dots
    bool fixSize = false;   // every touch about 10 pixels across, for the size test too
    bool smooth = false;    // the antialiased path; it keeps its own large-contact flags
};

// Where the shapes go: the window's canvas.
class DrawTestView {
public:
    virtual ~DrawTestView() = default;
    virtual void showDrawing(const TouchDrawing& drawing) = 0;
};

class DrawTest : public SignalFrameListener {
public:
    // SendCommand of the device link: code, payload and its length.
    using CommandSender = std::function<void(uint8_t code, const uint8_t* payload, size_t length)>;

    // One slot per record index of a report; records after the sixth are not drawn or counted.
    static constexpr size_t kSlotCount = 6;
    static constexpr std::string_view kTitleKey = "FormPoints";
    enum Path : size_t { kPlainPath = 0, kSmoothPath = 1 };

    // ---- Wiring, once at start; every pointer outlives this object ----
    // Null: reports still update the slots, flags and caption.
    void setView(DrawTestView* view) { view_ = view; }
    // nX and nY for the size test. Null: one position per axis, the store's start layout.
    void setLayout(const SignalStore* store) { store_ = store; }
    // Without a lookup the title is the key itself.
    void setTextLookup(TextLookup lookup) { lookup_ = std::move(lookup); }
    // Without a sender the mode commands go nowhere (no frame link, as in most tests).
    void setCommandSender(CommandSender send) { send_ = std::move(send); }

    void setClientSize(ClientSize client) { client_ = client; }
    ClientSize clientSize() const { return client_; }
    DrawTestOptions& options() { return options_; }
    const DrawTestOptions& options() const { return options_; }

    // The point handler: the shapes of this report go to the view.
    void HandleTouches(uint8_t count, const TouchTable& records) override;

    // The shapes and caption of one report; updates the slots and flags. Count is clamped to
    // the slots; records in a state other than contact or release leave their slot as it is.
    TouchDrawing drawReport(uint8_t count, const TouchTable& records);
    // Clear: the client area white. Slots, flags and caption stay.
    TouchDrawing clearCanvas() const;

    void startTouchReports() const { send(kTouchReportsOn); }
    void stopTouchReports() const { send(kTouchReportsOff); }

    std::string title() const;
    const TouchRecord& previous(size_t slot) const { return slots_.at(slot).previous; }
    bool largeContact(Path path, size_t slot) const { return slots_.at(slot).large[path]; }

private:
    struct Slot {
        TouchRecord previous;          // the last record drawn here; all zero: no contact yet
        std::array<bool, 2> large{};   // by path
    };
    struct Size {
        int width = 0, height = 0;
    };

    Size touchSize(const TouchRecord& r) const;
    void drawRecord(const Slot& slot, const TouchRecord& r, const PixelBox& box, bool large,
                    std::vector<DrawOp>& ops) const;
    DrawOp borderOp() const;
    void send(const DrawTestCommand& command) const;

    std::array<Slot, kSlotCount> slots_{};
    DrawTestOptions options_;
    ClientSize client_;
    DrawTestView* view_ = nullptr;
    const SignalStore* store_ = nullptr;
    TextLookup lookup_;
    CommandSender send_;
};

}  // namespace oculant
