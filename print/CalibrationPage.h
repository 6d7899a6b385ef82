#pragma once

#include <QRectF>
#include <QString>

class CollateForm;
class QPainter;
class QPrinter;
class QWidget;
class UserDialogs;

namespace CalibrationMessages {
inline QString printQuestion() {
    return QStringLiteral("您是否需要打印校验图形？如果要打印，请在打印机中放好A4纸一张。");
}
inline QString printQuestionTitle() {
    return QStringLiteral("打印位置校验");
}
// The name of the calibration job in the print queue.
inline QString documentName() {
    return QStringLiteral("打印校验图形");
}
} // namespace CalibrationMessages

// The solid black square, 10 mm on a side, 10 mm right of and below the printer origin,
// in printer twips.
QRectF calibrationSquare();
// Draws the square onto a painter whose unit is a printer twip.
void drawCalibrationSquare(QPainter& painter);
// Prints the calibration page on a printer already chosen; false when it failed.
bool printCalibrationSquare(QPrinter& printer);

// The calibration button: asks whether to print the square, prints it on the printer
// the user chooses, and whatever happened opens the margin dialog, modeless (the one
// already open is raised instead of opening a second). Returns that dialog.
CollateForm* PrintCalibrationPage(UserDialogs& dialogs, QWidget* parent);
// The same once the clerk has said to calibrate before a print: the square on the printer
// the user chooses, then the margin dialog.
CollateForm* CalibrateFirst(UserDialogs& dialogs, QWidget* parent);
