#include "diagnostics/DiagnosticPicture.h"

#include <algorithm>

#include "diagnostics/DiagnosticGeometry.h"

namespace oculant {

namespace {

std::string look(const TextLookup& lookup, std::string_view key) { return lookup ? lookup(key) : std::string(); }

constexpr TextStyle kPlainText{};
constexpr TextStyle kPercentText{kBlack, true, false, TextSize::Normal};
constexpr TextStyle kVerticalPercentText{kBlack, true, true, TextSize::Normal};
constexpr TextStyle kVerticalLabel{kBlack, false, true, TextSize::Normal};

// Legend rows, from the centre of the picture.
constexpr int kLegendLeft = -60;
constexpr int kLegendStepsTop = -120;
constexpr int kLegendResultsTop = -35;
constexpr int kLegendFaultsTop = 50;
constexpr int kLegendRow = 15;
constexpr int kLegendSwatchIndent = 15;

// Fault list: a 120-pixel column, one 20-pixel line per board side plus its title, left of
// where the verdict word goes (it starts 230 pixels left of the centre), never nearer the left
// edge than the side bars.
constexpr int kFaultListLeft = -360;
constexpr int kFaultListMinX = 70;
constexpr int kFaultListWidth = 120;
constexpr int kFaultLineHeight = 20;

// The verdict word's top-left corner, from the centre.
constexpr int kVerdictTop = -130;
constexpr int kFailLeft = -200;
constexpr int kPassLeft = -230;

}  // namespace

void DrawLegend(DiagnosticCanvas& canvas, int width, int height, const TextLookup& lookup)
{
    const int cx = width / 2, cy = height / 2;
    const int x0 = cx + kLegendLeft;
    canvas.text(x0, cy + kLegendStepsTop, look(lookup, diagtext::kTestSteps), kPlainText);
    for (int i = 0; i < 4; ++i)
        canvas.text(x0, cy + kLegendStepsTop + kLegendRow * (i + 1), look(lookup, diagtext::kTestStep[i]), kPlainText);

    canvas.text(x0, cy + kLegendResultsTop, look(lookup, diagtext::kTestResults), kPlainText);
    for (int i = 0; i < 4; ++i) {
        const int y = cy + kLegendResultsTop + kLegendRow * (i + 1);
        canvas.circle({x0, y + 2, x0 + 10, y + 12}, verdictColour(i));
        canvas.text(x0 + kLegendSwatchIndent, y, look(lookup, diagtext::kTestResult[i]), kPlainText);
    }

    canvas.text(x0, cy + kLegendFaultsTop, look(lookup, diagtext::kFaults), kPlainText);
    for (int i = 0; i < 4; ++i)
        canvas.text(x0, cy + kLegendFaultsTop + kLegendRow * (i + 1), look(lookup, diagtext::kFault[i]), kPlainText);

    // The corner where the frame's cable leaves.
    canvas.line(50, height - 50, 30, height - 30, 2);
    canvas.text(20, height - 30, diagtext::kUsb, kPlainText);
}

void DrawBoardFrames(DiagnosticCanvas& canvas, std::vector<PCB_INFO>& boards, int width, int height, int xTotal,
                     int yTotal)
{
    for (PCB_INFO& b : boards) {
        const BoardFrame f = boardFrame(b, width, height, xTotal, yTotal);
        b.left = uint16_t(f.rect.left);
        b.right = uint16_t(f.rect.right);
        b.top = uint16_t(f.rect.top);
        b.bottom = uint16_t(f.rect.bottom);
        canvas.outlineRect(f.rect);
        canvas.text(f.label.x, f.label.y, f.label.text, f.label.vertical ? kVerticalLabel : kPlainText);
    }
}

void DrawElementBar(DiagnosticCanvas& canvas, const PCB_INFO& board)
{
    for (const ElementRun& run : elementRuns(board))
        canvas.fillRect(run.rect, run.colour);
    const TextItem percent = okPercent(board);
    if (!percent.text.empty())
        canvas.text(percent.x, percent.y, percent.text, percent.vertical ? kVerticalPercentText : kPercentText);
}

void DrawBoardDot(DiagnosticCanvas& canvas, const PCB_INFO& board)
{
    canvas.circle(boardDot(board), verdictColour(board.status));
}

void DrawFaultList(DiagnosticCanvas& canvas, const BoardModel& model, int width, int height, const TextLookup& lookup)
{
    // The boards as built (X and Y), so that the box always holds the lines drawn into it.
    const int n = model.boardCount();
    const int h = n * 2 * kFaultLineHeight + kFaultLineHeight;
    const int x = std::max(kFaultListMinX, width / 2 + kFaultListLeft);
    int y = height / 2 - h / 2;
    canvas.fillRect({x, y, x + kFaultListWidth, y + h}, kWhite);
    canvas.text(x, y, look(lookup, diagtext::kFaultStatus), kPlainText);
    for (const auto* list : {&model.emitters, &model.receivers})
        for (const PCB_INFO& b : *list) {
            y += kFaultLineHeight;
            canvas.text(x, y, FaultLine(b, lookup), kPlainText);
        }
}

RedrawOutcome DiagnosticPicture::Redraw(DiagnosticCanvas& canvas, BoardModel& model, int width, int height,
                                        const TextLookup& lookup)
{
    if (width < kMinPictureWidth || height < kMinPictureHeight || model.xTotal == 0 || model.yTotal == 0)
        return RedrawOutcome::Skipped;

    const bool layout = width != width_ || height != height_;
    if (layout) {
        width_ = width;
        height_ = height;
        canvas.resize(width, height);
        canvas.fillRect({0, 0, width, height}, kWhite);
        DrawLegend(canvas, width, height, lookup);
        DrawBoardFrames(canvas, model.emitters, width, height, model.xTotal, model.yTotal);
        DrawBoardFrames(canvas, model.receivers, width, height, model.xTotal, model.yTotal);
    }

    bool allOk = true, anyFault = false;
    for (const auto* list : {&model.emitters, &model.receivers})
        for (const PCB_INFO& b : *list) {
            DrawElementBar(canvas, b);
            DrawBoardDot(canvas, b);
            anyFault |= b.status == kFault;
            allOk &= b.status == kOk;
        }

    DrawFaultList(canvas, model, width, height, lookup);

    const int cx = width / 2, cy = height / 2;
    if (anyFault)
        canvas.text(cx + kFailLeft, cy + kVerdictTop, diagtext::kFail, {kRed, true, false, TextSize::Verdict});
    else if (allOk)
        canvas.text(cx + kPassLeft, cy + kVerdictTop, diagtext::kPass, {kGreen, true, false, TextSize::Verdict});
    return layout ? RedrawOutcome::LaidOut : RedrawOutcome::Painted;
}

}  // namespace oculant
