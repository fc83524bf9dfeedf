// The touch feature check boxes of the main window only show what the frame reports: a click or
// a key changes nothing, they take no focus, and they stay in their normal, readable colours.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "FormDiagFixture.h"

namespace oculant {
namespace {

using namespace formdiagtest;
class FormDiagFeatures : public FormDiagFixture {};

void clickAndPressSpace(QCheckBox* box)
{
    const QPointF centre(box->height() / 2.0, box->height() / 2.0);  // on the indicator
    QMouseEvent press(QEvent::MouseButtonPress, centre, box->mapToGlobal(centre), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, centre, box->mapToGlobal(centre), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(box, &press);
    QApplication::sendEvent(box, &release);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
    QApplication::sendEvent(box, &down);
    QApplication::sendEvent(box, &up);
    box->click();
}

TEST_F(FormDiagFeatures, the_feature_boxes_show_the_reported_word_and_cannot_be_toggled)
{
    VirtualFrameProfile p;
    p.featureWord = 0x24;  // smooth, reverse y
    attach(p);
    start();
    connectAndRead();
    QCheckBox* boxes[] = {form->CheckBoxFeatureSmooth,     form->CheckBoxFeatureReverseX,
                          form->CheckBoxFeatureReverseY,   form->CheckBoxFeatureExchangeXY,
                          form->CheckBoxFeatureUSARTOn,    form->CheckBoxFeatureSmallPointOn};
    const bool reported[] = {true, false, true, false, false, false};
    for (size_t i = 0; i < std::size(boxes); ++i) {
        QCheckBox* box = boxes[i];
        SCOPED_TRACE(box->objectName().toStdString());
        EXPECT_EQ(box->isChecked(), reported[i]);
        clickAndPressSpace(box);
        EXPECT_EQ(box->isChecked(), reported[i]) << "toggled by the user";
        EXPECT_TRUE(box->isEnabled()) << "greyed out";
        EXPECT_EQ(box->focusPolicy(), Qt::NoFocus);
    }
}

}  // namespace
}  // namespace oculant
