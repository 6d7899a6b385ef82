#pragma once

#include "PrintGate.h"

#include <QString>

class Form;
struct PreviewScan;
class HistoryGrid;
class QWidget;
class UserDialogs;

namespace BatchPrintMessages {
inline QString progress(int page, int total) {
    return QStringLiteral("正在打印第%1页，共%2页").arg(page).arg(total);
}
// The closing message: pages printed of those selected, and the rows without a record.
QString closing(int printed, int total, bool stopped, int skipped);
// A finding of the record on page `page` (from 1), whose grid row shows `sequence`.
inline QString finding(int page, const QString& sequence, const QString& message) {
    return QStringLiteral("第%1页（序号%2）：%3").arg(page).arg(sequence, message);
}
} // namespace BatchPrintMessages

// The 批量打印 command: the records of the selected shown rows of `grid`, in the order
// shown, one page each in one print job, laid out as `layout` is now. Rows without a record
// are passed over and counted; `layout`'s texts and ContentChanged stay as they are.
// The records are checked first; the gate asks once, listing every record's findings, and
// about the calibration, before the print dialog. With `preview` the pages are shown
// first, with their findings, as the form view's preview shows a page, and printed only
// when the clerk prints from the preview.
void BatchPrintCommand(const HistoryGrid& grid, const Form& layout, UserDialogs& dialogs,
                       const PrintGate& gate, const PreviewScan* preview = nullptr);
