#pragma once

#include "PrintGate.h"

#include <QString>

#include <functional>

class Form;
class QPainter;
class QPrinter;
class UserDialogs;

namespace PrintMessages {
inline QString printError() {
    return QStringLiteral("打印出错！");
}
inline QString saveRecordQuestion() {
    return QStringLiteral("是否保存打印记录？");
}
} // namespace PrintMessages

// A4 portrait, the origin at the corner of the area the printer can print on; false
// when the printer refuses one of them.
bool preparePrinter(QPrinter& printer);
// Scales a painter that is active on the printer so that its unit is a printer twip.
void scaleToTwips(QPainter& painter, const QPrinter& printer);

// Prints the box texts of the form on a printer already chosen, shifted by the stored
// calibration, and ends the document. On a printer error the user is told
// "打印出错！" and the result is false.
bool PrintJob(const Form& form, QPrinter& printer, UserDialogs& dialogs);

// The print button: the questions of the gate (the checks, the calibration), the print
// dialog on the printer used last (cancel ends silently), the job, then, when the contents
// changed, the question whether to keep them; Yes calls storeNewRecord. The job carries
// `documentName` (the form title), so print queues tell the jobs apart.
void PrintCommand(Form& form, UserDialogs& dialogs, const std::function<void()>& storeNewRecord,
                  const QString& documentName = {}, const PrintGate& gate = {});
// What the print button does once the printer is chosen: the job, then the question.
// False when the job failed.
bool PrintAndAsk(Form& form, QPrinter& printer, UserDialogs& dialogs,
                 const std::function<void()>& storeNewRecord);
