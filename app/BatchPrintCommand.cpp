#include "BatchPrintCommand.h"

#include "BatchPrint.h"
#include "HistoryGrid.h"
#include "HistoryGridModel.h"
#include "Indicater.h"
#include "LastPrinter.h"
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
                       const PrintGate& gate, const PreviewScan* preview) {
    QWidget* parent = gate.parent;
    const int current = grid.currentGridRow();
    if (current < 1)
        return;
    const int otherEnd = grid.selectionEndRow();
    const HistoryGridModel& model = grid.gridModel();
    std::vector<RecordTexts> records;
    std::vector<std::vector<CheckFinding>> findings;
    QStringList listed;
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
        for (const CheckFinding& f : findings.emplace_back(gate.check(texts)))
            listed.append(BatchPrintMessages::finding(static_cast<int>(records.size()),
                                                      model.text(row, 1), f.message));
    }
    const int total = static_cast<int>(records.size());
    if (total == 0) {
        dialogs.tell(BatchPrintMessages::closing(0, 0, false, skipped));
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    LastPrinter::preselect(printer);
    if (preview) {
        if (!preparePreviewPrinter(printer, dialogs))
            return;
        PrintPreviewDialog pages(
            printer,
            [&](QPainter& painter, QPrinter& target) {
                paintBatchPreview(painter, target, layout, records, *preview, findings);
            },
            listed, parent);
        if (pages.exec() != QDialog::Accepted)
            return;
    }
    if (!gate.pass(dialogs, static_cast<int>(listed.size()), listed) ||
        !LastPrinter::choose(dialogs, printer))
        return;

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
