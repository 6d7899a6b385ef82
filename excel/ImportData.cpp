#include "ImportData.h"

#include "DataBase.h"
#include "GridAccess.h"
#include "Indicater.h"
#include "TextNumber.h"
#include "UserDialogs.h"
#include "XlsWorkbookReader.h"

#include <QDateTime>
#include <QLocale>
#include <QSqlQuery>
#include <QVariant>

#include <climits>
#include <cmath>

std::optional<QDate> DateOfCellText(const QString& input) {
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    static const char* const dateTimeFormats[] = {"yyyy-MM-dd HH:mm:ss", "yyyy-M-d H:mm:ss",
                                                  "yyyy-M-d H:mm",       "yyyy/M/d H:mm:ss",
                                                  "yyyy/M/d H:mm",       "yyyy-MM-ddTHH:mm:ss"};
    for (const char* format : dateTimeFormats) {
        const QDateTime moment = QDateTime::fromString(text, QLatin1String(format));
        if (moment.isValid())
            return moment.date();
    }
    static const char* const dateFormats[] = {"yyyy-MM-dd", "yyyy-M-d", "yyyy/M/d", "yyyy.M.d",
                                              "yyyy年M月d日"};
    for (const char* format : dateFormats) {
        const QDate date = QDate::fromString(text, QString::fromUtf8(format));
        if (date.isValid())
            return date;
    }
    const QLocale locale = QLocale::system();
    for (const QLocale::FormatType type : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDateTime moment = locale.toDateTime(text, type);
        if (moment.isValid())
            return moment.date();
        const QDate date = locale.toDate(text, type);
        if (date.isValid())
            return date;
    }
    return std::nullopt;
}

int RowNumberOfAnswer(const std::optional<QString>& answer) {
    if (!answer)
        return 0;
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double rounded = std::nearbyint(numericValue(*answer));
    if (rounded >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (rounded <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(rounded);
}

std::optional<int> StoreImportedRow(const QStringList& rowTexts, DataBase& db, Mode mode) {
    QDateTime moment = QDateTime::currentDateTime();
    if (const std::optional<QDate> date = DateOfCellText(rowTexts.value(ImportDateColumn)))
        moment = QDateTime(*date, QTime(0, 0));
    return db.appendNewRecord(mode, DataBase::toOleDate(moment), [&rowTexts](int box) {
        return rowTexts.value(ImportFirstBoxColumn + box);
    });
}

int ImportExcelRows(GridAccess& grid, Mode mode, DataBase& db, UserDialogs& dialogs,
                    QWidget* parent, const SheetChooser& chooser) {
    const XlsChoice choice = ChooseExcelSheet(dialogs, parent, chooser);
    if (!choice.chosen())
        return choice.failure;
    int first = RowNumberOfAnswer(dialogs.askText(ExcelMessages::firstRowQuestion(), QString()));
    int last = RowNumberOfAnswer(dialogs.askText(ExcelMessages::lastRowQuestion(), QString()));
    if (first < 1 || last < 1) {
        dialogs.tell(ExcelMessages::rowsMustBePositive());
        return 0;
    }
    if (last < first)
        std::swap(first, last);

    XlsWorkbookReader reader;
    const auto failWith = [&dialogs](int number) {
        dialogs.tell(ExcelMessages::importError(number));
        return number;
    };
    if (!reader.open(choice.XlsFilePath))
        return failWith(ImportErrorNumber(reader));
    if (!reader.selectSheet(choice.XlsSheetName))
        return failWith(ImportErrorNumber(reader));
    // Rows past the sheet's last row hold nothing; the message names the rows really read.
    if (first > reader.rowCount()) {
        dialogs.tell(ExcelMessages::beyondSheet(first, reader.rowCount()));
        return 0;
    }
    last = std::min(last, reader.rowCount());

    Indicater indicater;
    indicater.IndicaterOpen(ExcelMessages::importCaption(), last - first + 1, parent);
    const int columns = std::min(grid.cols(), ImportLastColumn + 1);
    QStringList texts;
    for (int i = first; i <= last; ++i) {
        texts.fill(QString(), columns);
        bool anyBox = false;
        for (int j = ImportDateColumn; j < columns; ++j) {
            texts[j] = reader.cellText(i - 1, j - 1);
            anyBox = anyBox || (j >= ImportFirstBoxColumn && !texts[j].isEmpty());
        }
        // A row without box texts would be a record of nothing: it is passed over.
        if (anyBox) {
            const std::optional<int> ord = StoreImportedRow(texts, db, mode);
            if (!ord) {
                // What was stored before stays.
                indicater.IndicaterClose();
                dialogs.tellDatabaseError(db.failureDetails());
                return ImportError::DatabaseFailure;
            }
            const int r = grid.addRow();
            grid.setText(r, 0, QString::number(*ord));
            // The sequence counts every row, also those the grid's find hides.
            grid.setText(r, 1, QString::number(grid.heldDataRows()));
            for (int j = ImportDateColumn; j < columns; ++j)
                grid.setText(r, j, texts[j]);
        }
        indicater.IndicaterStep(1);
    }
    indicater.IndicaterClose();
    dialogs.tell(ExcelMessages::imported(first, last));
    return 0;
}
