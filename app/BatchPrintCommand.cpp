#include "BatchPrintCommand.h"

#include "BatchPrint.h"
#include "HistoryGrid.h"
#include "HistoryGridModel.h"
#include "Indicater.h"
#include "PrintJob.h"
#include "PrintPreview.h"
#include "UserDialogs.h"

#include <QPrinter>

#include <algorithm>

QString BatchPrintMessages::closing(int printed, int total, bool stopped, int skipped) {
    QString text =
        stopped ? QStringLiteral("批量打印已中止：已打印%1页，共%2页。").arg(printed).arg(total)
                : QStringLiteral("批量打印完成：共打印%1页。").arg(printed);
    if (skipped > 0)
        text += QStringLiteral("另有%1行没有记录，未打印。").arg(skipped);
    return text;
}

void BatchPrintCommand(const HistoryGrid& grid, const Form& layout, UserDialogs& dialogs,
                       QWidget* parent, const PreviewScan* preview) {
    const int current = grid.currentGridRow();
    if (current < 1)
        return;
    const int otherEnd = grid.selectionEndRow();
    const HistoryGridModel& model = grid.gridModel();
    std::vector<RecordTexts> records;
    int skipped = 0;
    for (int row = std::min(current, otherEnd); row <= std::max(current, otherEnd); ++row) {
        // A row a failed import left behind has no record to print.
        if (!model.recordNumber(row)) {
            ++skipped;
            continue;
        }
        RecordTexts& texts = records.emplace_back();
        for (int i = 0; i < BoxCount; ++i)
            texts[static_cast<std::size_t>(i)] =
                model.text(row, HistoryGridModel::FirstBoxColumn + i);
    }
    const int total = static_cast<int>(records.size());
    if (total == 0) {
        dialogs.tell(BatchPrintMessages::closing(0, 0, false, skipped));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    if (!dialogs.choosePrinter(printer))
        return;
    if (preview) {
        // The preview shows the printable area of the printer the pages will go to.
        if (!printer.isValid() || !preparePrinter(printer)) {
            dialogs.tell(PrintMessages::printError());
            return;
        }
        PrintPreviewDialog pages(
            printer,
            [&](QPainter& painter, QPrinter& target) {
                paintBatchPreview(painter, target, layout, records, *preview);
            },
            parent);
        if (pages.exec() != QDialog::Accepted)
            return;
    }

    Indicater indicater;
    indicater.IndicaterOpen(BatchPrintMessages::progress(1, total), total, parent);
    const BatchOutcome outcome =
        PrintBatch(layout, records, printer, dialogs, [&indicater](int done, int all) {
            indicater.IndicaterStep(1);
            if (done < all && indicater.window())
                indicater.window()->setWindowTitle(BatchPrintMessages::progress(done + 1, all));
            return !indicater.ProgressCancelled();
        });
    indicater.IndicaterClose();
    if (!outcome.failed)
        dialogs.tell(BatchPrintMessages::closing(outcome.printed, total, outcome.stopped, skipped));
}
