#pragma once

#include "Catalogue.h"

#include <QColor>
#include <QString>
#include <QTableView>

#include <functional>

class DataBase;
class Form;
class GridAccess;
class HistoryGridModel;
class UserDialogs;

// The history grid `MSF` of the history view: one row per stored declaration, sorted by
// header clicks, with the commands 删除记录, 清除记录 and 再次打印.
//
// Rows are spoken of as the grid numbers them: the header is row 0, data rows count
// from 1. Column 1 (the sequence numbers) shows as the fixed column at the left; column
// 0 (the record number) is never shown.
class HistoryGrid : public QTableView {
    Q_OBJECT
public:
    HistoryGrid(DataBase& db, UserDialogs& dialogs, QWidget* parent = nullptr);

    HistoryGridModel& gridModel() { return *m_model; }
    const HistoryGridModel& gridModel() const { return *m_model; }
    // What the Excel exchange reads and writes.
    GridAccess& access();
    // The mode of the last fill, whose history DeleteGridRows works on.
    Mode mode() const { return m_mode; }

    // Refills from the history of `mode`, headed by that mode's captions, widths fitted
    // with the font of the window that holds the grid; the find text applies again.
    bool FillHistoryGrid(Mode mode);
    // Shows only the rows that contain `text` (see HistoryGridModel); the first one becomes
    // current.
    void setFilterText(const QString& text);
    // 删除记录 on the current row selection.
    bool DeleteGridRows();
    // 清除记录 for the history view's mode.
    bool ClearHistory(Mode mode);
    // 再次打印: the current row becomes the working record of `mode`, then `showFormView`
    // switches the main tab to the form view and runs its tab change.
    bool RestoreGridRow(Form& form, Mode mode, const std::function<void()>& showFormView);

    void AdjustColWidth(const QFont& windowFont);
    void SetColColor(int col, const QColor& color);
    void SetColBKColor(int col, const QColor& color);

    // The row where the selection started (the current row of the commands), and the
    // row at its other end; 0 when no data row is current.
    int currentGridRow() const;
    int selectionEndRow() const;
    // Selects the rows from `row` to `otherEnd`; row 0 leaves no current row.
    void setGridSelection(int row, int otherEnd);
    // Pixels a column shows beyond its width in twips: the cell's text margins.
    int cellMarginPixels() const;

private:
    void headerPressed(int col);
    void cornerPressed();
    void applyColWidth(int col);
    void userResizedSection(int col, int oldSize, int newSize);
    std::pair<int, int> rowSelection() const;

    DataBase& m_db;
    UserDialogs& m_dialogs;
    HistoryGridModel* m_model = nullptr;
    Mode m_mode = Mode::Import;
    bool m_applyingWidths = false;
    // The column the grid was last sorted by (none after a fill) and its direction; the
    // header mark is drawn from these.
    int m_sortColumn = -1;
    bool m_sortAscending = true;
};
