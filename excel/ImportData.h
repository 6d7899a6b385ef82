#pragma once

#include "Catalogue.h"
#include "GetXlsSheet.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class DataBase;
class GridAccess;
class QWidget;
class UserDialogs;

// The grid and worksheet columns the import reads: B is the print date, C to CL the boxes.
inline constexpr int ImportDateColumn = 2;
inline constexpr int ImportFirstBoxColumn = 3;
inline constexpr int ImportLastColumn = 90;

// The 导 入 command: asks for the workbook, the sheet and the rows, then stores each
// worksheet row that has box texts as a new record of `mode` and appends it to the grid.
// Returns 0 on success or when the user stopped, the failure's number otherwise.
int ImportExcelRows(GridAccess& grid, Mode mode, DataBase& db, UserDialogs& dialogs,
                    QWidget* parent, const SheetChooser& chooser = RunSheetsDialog);

// Stores one row of texts by grid column (2: the date, 3 to 90: boxes 0 to 87) as a new
// record; returns the number it took.
std::optional<int> StoreImportedRow(const QStringList& rowTexts, DataBase& db, Mode mode);

// The date a cell text names (any time of day dropped), if it names one.
std::optional<QDate> DateOfCellText(const QString& text);

// A row number typed by the user: its leading number rounded half to even; 0 when it is
// not a number or the question was cancelled.
int RowNumberOfAnswer(const std::optional<QString>& answer);

namespace ExcelMessages {
inline QString firstRowQuestion() {
    return QStringLiteral("请输入数据读取的开始行：");
}
inline QString lastRowQuestion() {
    return QStringLiteral("请输入数据读取的结尾行：");
}
inline QString rowsMustBePositive() {
    return QStringLiteral("行号必须大于0！");
}
inline QString imported(int first, int last) {
    return QStringLiteral("导入EXCEL表格第%1至第%2行完成！").arg(first).arg(last);
}
inline QString beyondSheet(int first, int sheetRows) {
    return QStringLiteral("表格只有%1行，第%2行及以后没有数据可读取！").arg(sheetRows).arg(first);
}
} // namespace ExcelMessages
