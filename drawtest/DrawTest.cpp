#include "drawtest/DrawTest.h"

#include <algorithm>

#include "drawtest/PointCaption.h"

namespace oculant {

void DrawTest::HandleTouches(uint8_t count, const TouchTable& records)
{
    const TouchDrawing drawing = drawReport(count, records);
    if (view_)
        view_->showDrawing(drawing);
}

TouchDrawing DrawTest::drawReport(uint8_t count, const TouchTable& records)
{
    TouchDrawing drawing;
    drawing.client = client_;
    drawing.antialiased = options_.smooth;
    drawing.ops.push_back(borderOp());

    const Path path = options_.smooth ? kSmoothPath : kPlainPath;
    const int nX = store_ ? store_->nX() : 1;
    const int nY = store_ ? store_->nY() : 1;
    int contacts = 0;
    std::string points;
    const size_t n = std::min<size_t>(count, kSlotCount);
    for (size_t i = 0; i < n; ++i) {
        TouchRecord r = records[i];
        if (r.state != kStateContact && r.state != kStateRelease)
            continue;
        if (r.state == kStateContact)
            ++contacts;
        r.x = std::max<int16_t>(r.x, 0);  // y is taken as it comes
        const Size size = touchSize(r);
        const PixelBox box = boxToPixels(logicalBox(r.x, r.y, size.width, size.height), client_);
        Slot& slot = slots_[i];
        if (isLargeContact(size.width, size.height, nX, nY))
            slot.large[path] = true;
        points += pointEntry(r.id, box.centre());
        drawRecord(slot, r, box, slot.large[path], drawing.ops);
        if (r.state == kStateRelease)
            slot.large[path] = false;
        slot.previous = r;
    }
    drawing.caption = pointCaption(title(), contacts, points);
    return drawing;
}

TouchDrawing DrawTest::clearCanvas() const
{
    TouchDrawing drawing;
    drawing.client = client_;
    drawing.antialiased = options_.smooth;
    drawing.ops.push_back(DrawOp{});  // Fill
    return drawing;
}

std::string DrawTest::title() const { return lookup_ ? lookup_(kTitleKey) : std::string(kTitleKey); }

DrawTest::Size DrawTest::touchSize(const TouchRecord& r) const
{
    if (options_.fixSize)
        return {fixedTouchSize(client_.width), fixedTouchSize(client_.height)};
    return {r.width, r.height};
}

void DrawTest::drawRecord(const Slot& slot, const TouchRecord& r, const PixelBox& box, bool large,
                          std::vector<DrawOp>& ops) const
{
    DrawOp op;
    op.box = box;
    if (options_.drawLine) {
        // A stroke goes on from the slot's last contact; after a release (or in a fresh slot)
        // this record only starts the next stroke.
        if (slot.previous.state != kStateContact)
            return;
        if (large) {
            // A palm wipes instead of drawing. The smooth path fills the whole box.
            op.kind = DrawOp::Kind::Erase;
            op.colour = kInkWhite;
            op.ellipse = !options_.smooth;
        } else {
            op.kind = DrawOp::Kind::Line;
            op.from = logicalToPixel(slot.previous.x, slot.previous.y, client_);
            op.to = logicalToPixel(r.x, r.y, client_);
            op.colour = options_.fixSize ? idColour(r.id) : kInkBlack;
            op.penWidth = options_.fixSize ? 1 : 2;
        }
        ops.push_back(op);
        return;
    }
    if (r.state != kStateContact)
        return;
    op.kind = DrawOp::Kind::Dot;
    op.colour = idColour(r.id);
    op.outlined = !options_.smooth;
    ops.push_back(op);
}

DrawOp DrawTest::borderOp() const
{
    DrawOp op;
    op.kind = DrawOp::Kind::Border;
    op.box = {0, 0, client_.width, client_.height};
    op.colour = kInkRed;
    return op;
}

void DrawTest::send(const DrawTestCommand& command) const
{
    if (send_)
        send_(command.code, command.payload.data(), command.payload.size());
}

}  // namespace oculant
