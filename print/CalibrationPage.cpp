#include "CalibrationPage.h"

#include "CalibrationSetting.h"
#include "CollateForm.h"
#include "PrintJob.h"
#include "Units.h"
#include "UserDialogs.h"

#include <QPainter>
#include <QPrinter>

QRectF calibrationSquare() {
    const double near = MmToTwips(CalibrationSetting::MarkDistanceMm);
    const double far = MmToTwips(2 * CalibrationSetting::MarkDistanceMm);
    return QRectF(QPointF(near, near), QPointF(far, far));
}

void drawCalibrationSquare(QPainter& painter) {
    painter.fillRect(calibrationSquare(), QColor(0, 0, 0));
}

bool printCalibrationSquare(QPrinter& printer) {
    if (!printer.isValid() || !preparePrinter(printer))
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    scaleToTwips(painter, printer);
    drawCalibrationSquare(painter);
    return painter.end() && printer.printerState() != QPrinter::Error;
}

namespace {

CollateForm* openCollateForm(UserDialogs& dialogs, QWidget* parent) {
    CollateForm* form = parent ? parent->findChild<CollateForm*>() : nullptr;
    if (!form) {
        form = new CollateForm(dialogs, parent);
        form->setAttribute(Qt::WA_DeleteOnClose);
    }
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

} // namespace

CollateForm* CalibrateFirst(UserDialogs& dialogs, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(CalibrationMessages::documentName());
    // A failed calibration page is passed over: the margins can still be typed in.
    if (dialogs.choosePrinter(printer))
        printCalibrationSquare(printer);
    return openCollateForm(dialogs, parent);
}

CollateForm* PrintCalibrationPage(UserDialogs& dialogs, QWidget* parent) {
    if (dialogs.askYesNo(CalibrationMessages::printQuestion(),
                         CalibrationMessages::printQuestionTitle()))
        return CalibrateFirst(dialogs, parent);
    return openCollateForm(dialogs, parent);
}
