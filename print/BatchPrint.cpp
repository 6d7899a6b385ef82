#include "BatchPrint.h"

#include "CalibrationSetting.h"
#include "Form.h"
#include "PageRenderer.h"
#include "PrintJob.h"
#include "PrintPreview.h"
#include "UserDialogs.h"

#include <QPainter>
#include <QPrinter>

namespace {

// One scratch form carries each record in turn, so the clerk's own boxes stay as they are.
void forEachRecordPage(const Form& layout, const std::vector<RecordTexts>& records,
                       const std::function<bool(const Form& page, int k)>& page) {
    Form scratch;
    for (int i = 0; i < BoxCount; ++i)
        scratch.setLayout(i, layout.box(i));
    for (int k = 0; k < static_cast<int>(records.size()); ++k) {
        for (int i = 0; i < BoxCount; ++i)
            scratch.setText(i, records[static_cast<std::size_t>(k)][static_cast<std::size_t>(i)]);
        if (!page(scratch, k))
            return;
    }
}

} // namespace

void paintBatchPreview(QPainter& painter, QPrinter& printer, const Form& layout,
                       const std::vector<RecordTexts>& records, const PreviewScan& scan,
                       const std::vector<std::vector<CheckFinding>>& findings) {
    static const std::vector<CheckFinding> none;
    forEachRecordPage(layout, records, [&](const Form& page, int k) {
        if (k > 0)
            printer.newPage();
        painter.save();
        const auto record = static_cast<std::size_t>(k);
        paintPreviewPage(painter, printer, page, scan,
                         record < findings.size() ? findings[record] : none);
        painter.restore();
        return true;
    });
}

BatchOutcome PrintBatch(const Form& layout, const std::vector<RecordTexts>& records,
                        QPrinter& printer, UserDialogs& dialogs, const BatchPageDone& pageDone) {
    BatchOutcome outcome;
    if (records.empty())
        return outcome;
    const CalibrationSetting::Margins margins = CalibrationSetting::read();
    const PrintOffsets offsets{CalibrationSetting::offsetMm(margins.x),
                               CalibrationSetting::offsetMm(margins.y)};
    QPainter painter;
    const auto fail = [&] {
        if (painter.isActive()) {
            printer.abort();
            painter.end();
        }
        dialogs.tell(PrintMessages::printError());
        outcome.failed = true;
        return outcome;
    };
    if (!printer.isValid() || !preparePrinter(printer) || !painter.begin(&printer))
        return fail();

    const int total = static_cast<int>(records.size());
    bool failed = false;
    forEachRecordPage(layout, records, [&](const Form& page, int k) {
        if (k > 0 && !printer.newPage())
            return !(failed = true);
        painter.save();
        scaleToTwips(painter, printer);
        PageRenderer(page, offsets).render(painter);
        painter.restore();
        if (printer.printerState() == QPrinter::Error)
            return !(failed = true);
        ++outcome.printed;
        if (pageDone && !pageDone(outcome.printed, total) && outcome.printed < total) {
            outcome.stopped = true;
            return false;
        }
        return true;
    });
    if (failed || !painter.end() || printer.printerState() == QPrinter::Error)
        return fail();
    return outcome;
}
