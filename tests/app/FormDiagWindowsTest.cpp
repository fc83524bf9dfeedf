// What the main window shows and opens looks as it behaves: the touch feature boxes only show
// the frame's word, and the full-screen windows cover the screen also without a window manager.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

#include "tests/support/FormDiagFixture.h"

namespace oculant {
namespace {

using namespace formdiagtest;
class FormDiagWindows : public FormDiagFixture {};

TEST_F(FormDiagWindows, the_feature_boxes_show_the_reported_word_and_neither_click_nor_key_toggles_them)
{
    VirtualFrameProfile p;
    p.featureWord = 0x24;  // smooth, reverse y
    attach(p);
    start();
    connectAndRead();
    for (QCheckBox* box : {form->CheckBoxFeatureSmooth, form->CheckBoxFeatureReverseX, form->CheckBoxFeatureReverseY,
                           form->CheckBoxFeatureExchangeXY, form->CheckBoxFeatureUSARTOn,
                           form->CheckBoxFeatureSmallPointOn}) {
        SCOPED_TRACE(box->objectName().toStdString());
        const bool reported = box == form->CheckBoxFeatureSmooth || box == form->CheckBoxFeatureReverseY;
        EXPECT_EQ(box->isChecked(), reported);
        const QPointF at(box->height() / 2.0, box->height() / 2.0);  // on the indicator
        QMouseEvent press(QEvent::MouseButtonPress, at, box->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, at, box->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
        QKeyEvent space(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
        for (QEvent* e : std::initializer_list<QEvent*>{&press, &release, &space})
            QApplication::sendEvent(box, e);
        box->click();
        EXPECT_EQ(box->isChecked(), reported) << "toggled by the user";
        EXPECT_TRUE(box->isEnabled());
        EXPECT_EQ(box->focusPolicy(), Qt::NoFocus);
    }
}

// Where no window manager honours the full-screen or maximised state (a kiosk X session, Xvfb)
// the state alone leaves a window at its design size.
TEST_F(FormDiagWindows, capture_diagnostic_and_draw_test_take_the_screens_geometry_when_shown)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // The handlers alone, as the show event runs them: no platform has acted on a state yet.
    calibrate.FormShow();
    imgDiag.FormShow();
    points.FormShow();
    EXPECT_EQ(calibrate.geometry(), screen);
    EXPECT_EQ(imgDiag.geometry(), screen);
    EXPECT_EQ(points.geometry(), screen);
}

}  // namespace
}  // namespace oculant
