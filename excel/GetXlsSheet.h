#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class GridAccess;
class QWidget;
class UserDialogs;
class XlsWorkbookReader;

// The export of the history grid to an Excel 97-2003 workbook, and the choice of the
// workbook and worksheet an import reads.

// The question put to the user when a worksheet is to be chosen; returns the chosen
// sheet's name, or an empty text when none was chosen.
using SheetChooser = std::function<QString(const QStringList& sheetNames, QWidget* parent)>;
// Shows the dialog Sheets (modal) and returns its answer.
QString RunSheetsDialog(const QStringList& sheetNames, QWidget* parent);

// The 导 出 command; `proposedName` (the mode's tab caption) and the date name the file
// the save question proposes. A written workbook is reported with its record count.
void ExportToExcel(GridAccess& grid, UserDialogs& dialogs, QWidget* parent,
                   const QString& proposedName = {});
// The save-file question with the filter "*.xls", opened in the folder used last; ".xls"
// is appended unless the name already ends in it (any case). Empty when the user cancelled.
QString ChooseSaveXls(UserDialogs& dialogs, const QString& proposedName = {});
// Writes the whole grid (column 0 left out) with its formats and replaces fileName only
// once the new workbook is complete. False (with a reason) when it could not be written;
// `recordsWritten` receives the rows below the header that went in, `shortened` the number
// of cells whose text was cut to Excel's cell limit.
bool WriteExcelFile(GridAccess& grid, const QString& fileName, QWidget* parent,
                    QString* error = nullptr, int* recordsWritten = nullptr,
                    int* shortened = nullptr);

// The open-file question, opened in the folder used last; a name not ending in ".xls"
// (any case) is refused with a message. Empty when nothing usable was chosen.
QString ChooseXlsFile(UserDialogs& dialogs);

struct XlsChoice {
    QString XlsFilePath;
    QString XlsSheetName;
    int failure = 0; // the failure's number when the workbook could not be read
    bool chosen() const { return !XlsFilePath.isEmpty() && !XlsSheetName.isEmpty(); }
};
// Asks for the workbook and then for one of its worksheets. A workbook that cannot be
// read is reported with the import's message for it and nothing is chosen.
XlsChoice ChooseExcelSheet(UserDialogs& dialogs, QWidget* parent,
                           const SheetChooser& chooser = RunSheetsDialog);

namespace ExcelMessages {
inline QString noRecords() {
    return QStringLiteral("没有记录!");
}
inline QString overwrite() {
    return QStringLiteral("文件已存在是否覆盖？");
}
inline QString tooManyRows() {
    return QStringLiteral("记录超过65535条，Excel 97-2003工作表容纳不下，请先删除部分记录再导出！");
}
inline QString tooManyColumns() {
    return QStringLiteral("表格超过256列，Excel 97-2003工作表容纳不下！");
}
inline QString writeFailed() {
    return QStringLiteral("EXCEL文件写入失败，请检查文件是否被占用、磁盘空间是否足够！");
}
inline QString exported(const QString& fileName, int records) {
    return QStringLiteral("已导出%1条记录到文件：%2").arg(records).arg(fileName);
}
inline QString notExcelName() {
    return QStringLiteral("您选择的文件不是EXCEL文件，请选择EXCEL文件。");
}
inline QString textsShortened(int cells) {
    return QStringLiteral("有%1个单元格的内容超过32767个字符，已截短。").arg(cells);
}
inline QString exportCaption() {
    return QStringLiteral("Writing excel file \u2026");
}
inline QString importCaption() {
    return QStringLiteral("正在读取EXCEL数据\u2026");
}
// The message of an import failure by its number.
QString importError(int number);
} // namespace ExcelMessages

// The import's failure number for a workbook the reader could not open.
int ImportErrorNumber(const XlsWorkbookReader& reader);

// Numbers of the import's failures.
namespace ImportError {
inline constexpr int CannotOpen = 5;
inline constexpr int NoSuchSheet = 9;
inline constexpr int NotWorkbook = 438;
// A damaged workbook: this base plus the reader's own code.
inline constexpr int DamagedBase = 2000;
// The database refused a row (its own message has been shown).
inline constexpr int DatabaseFailure = 3000;
} // namespace ImportError
