#pragma once

#include "Catalogue.h"

#include <QString>

#include <array>
#include <functional>

class DataBase;
class Form;
class HistoryGridModel;
class QFont;
class UserDialogs;

// The commands of the history view. Rows are grid rows: 0 is the header, data rows
// count from 1. Questions and messages, "数据库打开错误！" among them, go through `dialogs`.
namespace HistoryCommands {

// The 91 header texts: the box captions of `mode` ("：" removed), whatever mode the
// form view shows.
std::array<QString, 91> headerTexts(Mode mode);
// The print date as the grid shows it: "yyyy-MM-dd HH:mm:ss", or "yyyy-MM-dd" at midnight;
// the working record's fixed date shows as today.
QString dateText(double dat);

// Calls `add` for every row of the history of `mode`, highest record number first; false
// when the table cannot be read to its end.
using RowSink = std::function<void(int ord, double dat, int ctl, QString con)>;
bool readHistoryRows(DataBase& db, Mode mode, const RowSink& add);

// Refills the grid from the history of `mode`, highest record number first, colours it
// and fits the widths with `windowFont`. On a database failure the grid holds the header
// row alone.
bool FillHistoryGrid(HistoryGridModel& grid, DataBase& db, UserDialogs& dialogs, Mode mode,
                     const QFont& windowFont);

// Deletes the records of grid rows `currentRow` to `otherEndRow` (either order) after
// asking, in one transaction; only then do the rows leave the grid. Rows without a
// record number leave the grid without touching the database. False when nothing changed.
bool DeleteGridRows(HistoryGridModel& grid, DataBase& db, UserDialogs& dialogs, Mode mode,
                    int currentRow, int otherEndRow);

// Deletes every row of the history of `mode` after asking; the grid is emptied only when
// that worked.
bool ClearHistory(HistoryGridModel& grid, DataBase& db, UserDialogs& dialogs, Mode mode);

// Puts grid row `row` into the 88 boxes, stores them as the working record of `mode`
// and then calls `showFormView`. Each step runs even when the store failed. False (and
// nothing done) when `row` is not a data row.
bool RestoreGridRow(const HistoryGridModel& grid, int row, Form& form, DataBase& db,
                    UserDialogs& dialogs, Mode mode, const std::function<void()>& showFormView);

} // namespace HistoryCommands
