#include "GetXlsSheet.h"

#include "GridAccess.h"
#include "Indicater.h"
#include "Sheets.h"
#include "UserDialogs.h"
#include "XlsWorkbookReader.h"
#include "XlsWorkbookWriter.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include "UserSettings.h"

#include <QSettings>
#include <QStandardPaths>

#include <cstdlib>

namespace {

constexpr std::uint32_t HeaderFill = 9553663; // RGB 255, 198, 145
constexpr int TwipsPerWidthUnit = 123;

// The Excel exchange opens its file questions where the clerk last took a workbook.
QString lastExcelFolder() {
    const QString folder = userSettings().value(QStringLiteral("Excel/LastFolder")).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void rememberExcelFolder(const QString& fileName) {
    userSettings().setValue(QStringLiteral("Excel/LastFolder"), QFileInfo(fileName).absolutePath());
}

} // namespace

QString ExcelMessages::importError(int number) {
    switch (number) {
    case ImportError::CannotOpen:
        return QStringLiteral("无法打开Excel文件，请检查后重新输入文件名及路径！");
    case ImportError::NoSuchSheet:
        return QStringLiteral("输入表格名称有误，无法打开表格，请重新输入！");
    case ImportError::NotWorkbook:
        return QStringLiteral("文件类型不对，请选择Excel文档！");
    case 1004:
        return QStringLiteral("输入表格列号超界，请重新输入！");
    default:
        return QStringLiteral("未知错误，错误号：%1\u3000请检查输入值！").arg(number);
    }
}

QString ChooseSaveXls(UserDialogs& dialogs, const QString& proposedName) {
    QString start = lastExcelFolder();
    if (!proposedName.isEmpty())
        start = QDir(start).filePath(proposedName +
                                     QDate::currentDate().toString(QStringLiteral("-yyyy-MM-dd")) +
                                     QStringLiteral(".xls"));
    QString name = dialogs.chooseSaveFileAt(QStringLiteral("*.xls"), start);
    if (name.isEmpty())
        return {};
    rememberExcelFolder(name);
    if (name.right(4).toLower() != QLatin1String(".xls"))
        name += QStringLiteral(".xls");
    return name;
}

void ExportToExcel(GridAccess& grid, UserDialogs& dialogs, QWidget* parent,
                   const QString& proposedName) {
    if (grid.rows() < 1) {
        dialogs.tell(ExcelMessages::noRecords());
        return;
    }
    // Said before anything is asked or written: a workbook of this size would be broken.
    if (grid.rows() > XlsWorkbookWriter::MaxRows) {
        dialogs.tell(ExcelMessages::tooManyRows());
        return;
    }
    if (grid.cols() - 1 > XlsWorkbookWriter::MaxColumns) {
        dialogs.tell(ExcelMessages::tooManyColumns());
        return;
    }
    const QString name = ChooseSaveXls(dialogs, proposedName);
    if (name.isEmpty())
        return;
    if (QFileInfo::exists(name) && !dialogs.askOkCancel(ExcelMessages::overwrite()))
        return;
    int records = 0;
    int shortened = 0;
    if (!WriteExcelFile(grid, name, parent, nullptr, &records, &shortened)) {
        dialogs.tell(ExcelMessages::writeFailed());
        return;
    }
    QString done = ExcelMessages::exported(QDir::toNativeSeparators(name), records);
    if (shortened > 0)
        done += u'\n' + ExcelMessages::textsShortened(shortened);
    dialogs.tell(done);
}

bool WriteExcelFile(GridAccess& grid, const QString& fileName, QWidget* parent, QString* error,
                    int* recordsWritten, int* shortened) {
    const int rows = std::min(grid.rows(), XlsWorkbookWriter::MaxRows);
    const int columns = std::min(grid.cols() - 1, XlsWorkbookWriter::MaxColumns);
    const int fixedRows = grid.fixedRows();

    Indicater indicater;
    indicater.IndicaterOpen(ExcelMessages::exportCaption(), rows - 1, parent);
    XlsWorkbookWriter writer(std::max(columns, 0));
    indicater.IndicaterStep(1);
    indicater.IndicaterStep(1);

    bool cancelled = false;
    int written = 0;
    for (int r = 0; r < rows; ++r) {
        const int row = writer.addRow();
        for (int c = 1; c <= columns; ++c) {
            const QString text = grid.text(r, c);
            if (!text.isEmpty())
                writer.setText(row, c - 1, text);
        }
        written = r + 1;
        indicater.IndicaterStep(1);
        if (indicater.ProgressCancelled()) {
            cancelled = true;
            break;
        }
        if (r < fixedRows)
            writer.setRowFormat(row, true, HeaderFill);
        else if (const std::uint32_t colour = grid.cellBackColor(r, 1); colour != 0)
            writer.setRowFormat(row, false, colour);
    }
    // A stopped export keeps the rows written so far, without borders and widths.
    if (!cancelled) {
        writer.setBorders(true);
        for (int c = 1; c <= columns; ++c)
            writer.setColumnWidth(c - 1, std::max(grid.colWidthTwips(c), 0) / TwipsPerWidthUnit);
    }

    // The old file is replaced only by a complete new one.
    QSaveFile file(fileName);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        const QByteArray bytes = writer.fileBytes();
        ok = file.write(bytes) == bytes.size() && file.commit();
    }
    if (!ok && error)
        *error = file.errorString();
    if (shortened)
        *shortened = writer.shortenedCells();
    if (!ok)
        file.cancelWriting();
    if (recordsWritten)
        *recordsWritten = std::max(written - fixedRows, 0);
    indicater.IndicaterClose();
    return ok;
}

QString RunSheetsDialog(const QStringList& sheetNames, QWidget* parent) {
    Sheets dialog(sheetNames, parent);
    dialog.exec();
    return dialog.sheetName();
}

QString ChooseXlsFile(UserDialogs& dialogs) {
    const QString name = dialogs.chooseOpenFileAt(QStringLiteral("*.xls"), lastExcelFolder());
    if (name.isEmpty())
        return {};
    rememberExcelFolder(name);
    if (name.right(4).toLower() != QLatin1String(".xls")) {
        dialogs.tell(ExcelMessages::notExcelName());
        return {};
    }
    return name;
}

XlsChoice ChooseExcelSheet(UserDialogs& dialogs, QWidget* parent, const SheetChooser& chooser) {
    XlsChoice choice;
    const QString path = ChooseXlsFile(dialogs);
    if (path.isEmpty())
        return choice;
    XlsWorkbookReader reader;
    if (!reader.open(path, true)) {
        choice.failure = ImportErrorNumber(reader);
        dialogs.tell(ExcelMessages::importError(choice.failure));
        return choice;
    }
    const QStringList names = reader.sheetNames();
    reader.close();
    choice.XlsFilePath = path;
    choice.XlsSheetName = chooser(names, parent);
    return choice;
}

int ImportErrorNumber(const XlsWorkbookReader& reader) {
    switch (reader.failure()) {
    case XlsWorkbookReader::Failure::CannotOpen:
        return ImportError::CannotOpen;
    case XlsWorkbookReader::Failure::NotWorkbook:
        return ImportError::NotWorkbook;
    case XlsWorkbookReader::Failure::NoSuchSheet:
        return ImportError::NoSuchSheet;
    default:
        return ImportError::DamagedBase + std::abs(reader.failureCode());
    }
}
