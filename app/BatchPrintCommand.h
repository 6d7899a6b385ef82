#pragma once

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
} // namespace BatchPrintMessages

// The 批量打印 command: the records of the selected shown rows of `grid`, in the order
// shown, one page each in one print job, laid out as `layout` is now. Rows without a record
// are passed over and counted; `layout`'s texts and ContentChanged stay as they are.
// With `preview` the pages are shown first, as the form view's preview shows a page, and
// printed only when the clerk prints from the preview.
void BatchPrintCommand(const HistoryGrid& grid, const Form& layout, UserDialogs& dialogs,
                       QWidget* parent, const PreviewScan* preview = nullptr);
