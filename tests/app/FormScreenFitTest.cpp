// The main window and its dialogs opened on a small screen (1920 × 1080 at 200 %, 960 × 540 for
// Qt) and on a 1366 × 768 laptop: none is larger than the screen, and every control can be
// scrolled into view.
#include <QApplication>
#include <QDialogButtonBox>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>

#include "app/FormHistory.h"
#include "tests/support/FormDiagFixture.h"
#include "widgets/WindowFit.h"

namespace oculant {
namespace {

using namespace formdiagtest;

QScreen* screenNamed(const char* name)
{
    for (QScreen* s : QGuiApplication::screens())
        if (s->name() == name)
            return s;
    return nullptr;
}

// On `screen` as a window that was put there; shown, events handled.
void openOn(QWidget& window, QScreen& screen)
{
    window.setScreen(&screen);
    window.move(screen.geometry().topLeft());
    window.show();
    QApplication::processEvents();
}

// Scrolled to, if it is in a scroll area: wholly inside the window's visible area.
::testing::AssertionResult reachable(QWidget* widget)
{
    QWidget* window = widget->window();
    QWidget* shownIn = window;
    for (QWidget* w = widget->parentWidget(); w; w = w->parentWidget())
        if (auto* area = qobject_cast<ContentsScrollArea*>(w)) {
            area->ensureWidgetVisible(widget, 0, 0);
            QApplication::processEvents();
            shownIn = area->viewport();
            break;
        }
    const QRect at(widget->mapTo(shownIn, QPoint(0, 0)), widget->size());
    const QRect visible = QRect(shownIn->mapTo(window, QPoint(0, 0)), shownIn->size()) & window->rect();
    if (widget->isVisibleTo(window) && shownIn->rect().contains(at) && visible.size() == shownIn->size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << widget->objectName().toStdString() << " at " << at.x() << "," << at.y()
                                         << " " << at.width() << "x" << at.height() << " outside the visible "
                                         << shownIn->width() << "x" << shownIn->height();
}

void expectWithinScreen(const QWidget& window, const QScreen& screen)
{
    SCOPED_TRACE(window.objectName().toStdString());
    EXPECT_TRUE(screen.availableGeometry().contains(window.frameGeometry()));
    EXPECT_NE(window.minimumSize(), window.maximumSize()) << "a window of fixed size";
}

class WindowsFitTheScreen : public FormDiagFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(WindowsFitTheScreen, main_window_history_multi_area_and_signal_view_open_within_it_and_scroll_what_it_cannot_show)
{
    QScreen* screen = screenNamed(GetParam());
    ASSERT_NE(screen, nullptr) << "the offscreen screens of GuiTestMain";
    const QRect available = screen->availableGeometry();
    const bool small = available.height() < 600;
    onScreen = screen;
    startConnected();
    QApplication::processEvents();

    // The main window: as large as its contents where the screen has room, clamped where not.
    expectWithinScreen(*form, *screen);
    auto* area = form->findChild<ContentsScrollArea*>();
    ASSERT_NE(area, nullptr);
    if (small) {
        EXPECT_EQ(form->frameGeometry().height(), available.height());
        EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
    } else {
        EXPECT_EQ(area->verticalScrollBar()->maximum(), 0) << "scrolls on a screen with room for all";
    }
    EXPECT_EQ(area->horizontalScrollBar()->maximum(), 0) << "the groups fit the width";
    for (QWidget* w : std::initializer_list<QWidget*>{form->ComboBox1, form->Button15, form->ButtonHistory,
                                                      form->EditDownPxiMargin, form->Button12, form->Button14})
        EXPECT_TRUE(reachable(w));
    EXPECT_TRUE(reachable(form->StatusBar1));

    // A note shown later: the window grows with it as far as the screen lets it.
    const int before = form->height();
    form->LabelAccess->setText("/dev/hidraw3: permission denied\n/dev/hidraw4: permission denied");
    form->LabelAccess->show();
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    expectWithinScreen(*form, *screen);
    if (!small) {
        EXPECT_GT(form->height(), before);
        EXPECT_EQ(area->verticalScrollBar()->maximum(), 0);
    }
    EXPECT_TRUE(reachable(form->LabelAccess));

    // History, over the main window.
    form->ButtonHistoryClick();
    QApplication::processEvents();
    ASSERT_NE(form->FormHistory, nullptr);
    expectWithinScreen(*form->FormHistory, *screen);
    EXPECT_TRUE(reachable(form->FormHistory->ButtonReport));
    EXPECT_TRUE(reachable(form->FormHistory->ChartYield));
    EXPECT_TRUE(reachable(form->FormHistory->findChild<QDialogButtonBox*>()));
    form->FormHistory->close();

    // The multi-area window and the signal view as the main window opens them.
    form->Button12Click();
    form->Button3Click(form->Button3);
    ASSERT_EQ(form->opened.size(), 2u);
    EXPECT_EQ(form->opened[0], &multiCalib);
    EXPECT_EQ(form->opened[1], &signal);
    openOn(multiCalib, *screen);
    expectWithinScreen(multiCalib, *screen);
    for (QWidget* w : std::initializer_list<QWidget*>{multiCalib.Image1, multiCalib.Edit8, multiCalib.StringGrid,
                                                      multiCalib.Button1})
        EXPECT_TRUE(reachable(w));
    multiCalib.close();
    openOn(signal, *screen);
    expectWithinScreen(signal, *screen);
    for (int k = 0; k < 6; ++k)
        EXPECT_TRUE(reachable(signal.chart(k)));
    EXPECT_TRUE(reachable(signal.StatusLine));
    signal.close();
}

INSTANTIATE_TEST_SUITE_P(Screens, WindowsFitTheScreen, ::testing::Values("small", "laptop"));

}  // namespace
}  // namespace oculant
