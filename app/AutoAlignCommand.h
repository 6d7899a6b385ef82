#pragma once

#include <QString>

class Form;
class FormUndo;
struct PreviewScan;
class UserDialogs;

namespace AutoAlignMessages {
inline QString done(int fitted, int unfitted) {
    return QStringLiteral("已对齐%1个输入框，%2个未找到格子。").arg(fitted).arg(unfitted);
}
inline QString noScan() {
    return QStringLiteral("没有显示底图，无法自动对齐。请先用“设置底图…”选择空白报关单的扫描图，"
                          "并勾选“显示底图”。");
}
inline QString noCells() {
    return QStringLiteral("底图上没有找到报关单的格子，输入框没有移动。");
}
} // namespace AutoAlignMessages

// "自动对齐": every box into its cell of the scan `shown` behind the page, as one undo step.
// The boxes left without a cell end up selected, and only they, so that the clerk sees them
// and moves them together with the arrow keys.
void AutoAlignCommand(Form& form, FormUndo& undo, const PreviewScan& shown, UserDialogs& dialogs);
