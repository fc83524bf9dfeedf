#include "calibration/FormMultiCalib.h"

namespace oculant {

TFormMultiCalib::TFormMultiCalib(QWidget* parent) : QDialog(parent)
{
    setObjectName("TFormMultiCalib");
    setWindowTitle("MultiAreaCalib");
    resize(820, 520);
}

}  // namespace oculant
