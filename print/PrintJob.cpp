#include "PrintJob.h"

#include "CalibrationSetting.h"
#include "Form.h"
#include "LastPrinter.h"
#include "PageRenderer.h"
#include "Units.h"
#include "UserDialogs.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>

bool preparePrinter(QPrinter& printer) {
    bool accepted = printer.setPageSize(QPageSize(QPageSize::A4));
    accepted = printer.setPageOrientation(QPageLayout::Portrait) && accepted;
    printer.setFullPage(false);
    // The default margins are wider than the printer's own; the calibration measures
    // from where the printer can really print.
    const QPageLayout layout = printer.pageLayout();
    accepted = printer.setPageMargins(layout.minimumMargins(), layout.units()) && accepted;
    return accepted;
}

void scaleToTwips(QPainter& painter, const QPrinter& printer) {
    painter.scale(printer.logicalDpiX() / Units::PrinterTwipsPerInch,
                  printer.logicalDpiY() / Units::PrinterTwipsPerInch);
}

bool PrintJob(const Form& form, QPrinter& printer, UserDialogs& dialogs) {
    const CalibrationSetting::Margins margins = CalibrationSetting::read();
    const PrintOffsets offsets{CalibrationSetting::offsetMm(margins.x),
                               CalibrationSetting::offsetMm(margins.y)};
    const auto fail = [&dialogs] {
        dialogs.tell(PrintMessages::printError());
        return false;
    };
    if (!printer.isValid() || !preparePrinter(printer))
        return fail();
    QPainter painter;
    if (!painter.begin(&printer))
        return fail();
    scaleToTwips(painter, printer);
    PageRenderer(form, offsets).render(painter);
    if (printer.printerState() == QPrinter::Error) {
        printer.abort();
        painter.end();
        return fail();
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return fail();
    return true;
}

void PrintCommand(Form& form, UserDialogs& dialogs, const std::function<void()>& storeNewRecord,
                  const QString& documentName, const PrintGate& gate) {
    if (!gate.pass(dialogs, gate.check(form)))
        return;
    QPrinter printer(QPrinter::HighResolution);
    LastPrinter::preselect(printer);
    printer.setDocName(documentName);
    if (!LastPrinter::choose(dialogs, printer))
        return;
    PrintAndAsk(form, printer, dialogs, storeNewRecord);
}

bool PrintAndAsk(Form& form, QPrinter& printer, UserDialogs& dialogs,
                 const std::function<void()>& storeNewRecord) {
    if (!PrintJob(form, printer, dialogs))
        return false;
    if (!form.ContentChanged())
        return true;
    form.setContentChanged(false);
    if (dialogs.askYesNo(PrintMessages::saveRecordQuestion()) && storeNewRecord)
        storeNewRecord();
    return true;
}
