#pragma once
// A check box that shows a state the program sets and the user cannot change: no click, key or
// focus toggles it. It keeps the normal text colours (a disabled box would be hard to read) and
// draws its indicator on the window's colour, as read-only fields are drawn, so it does not
// invite a click.

#include <QCheckBox>
#include <QPalette>

namespace oculant {

class ReadOnlyCheckBox : public QCheckBox {
public:
    explicit ReadOnlyCheckBox(QWidget* parent = nullptr) : QCheckBox(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        QPalette p = palette();
        p.setColor(QPalette::Base, p.color(QPalette::Window));
        setPalette(p);
    }

protected:
    // setChecked still works; clicks, the space key and click() end here.
    void nextCheckState() override {}
    // No press look either: a click never lands on the button.
    bool hitButton(const QPoint&) const override { return false; }
};

}  // namespace oculant
