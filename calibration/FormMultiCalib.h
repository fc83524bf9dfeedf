#pragma once
// The multi-area calibration window: a display split into areas, calibrated one by one.

#include <QDialog>

namespace oculant {

class TFormMultiCalib : public QDialog {
    Q_OBJECT
public:
    explicit TFormMultiCalib(QWidget* parent = nullptr);
};

}  // namespace oculant
