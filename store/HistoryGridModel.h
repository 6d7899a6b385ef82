#pragma once

#include "GridAccess.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QString>
#include <QTimer>

#include <array>
#include <optional>
#include <vector>

class QFont;

// The cells of the history grid `MSF`: one header row and one row per history record,
// 91 columns (record number, sequence number, print date, the 88 boxes).
//
// Two numberings meet here. As a Qt model, row k is the k-th data row. As a grid
// (GridAccess and the commands), row 0 is the header and data rows count from 1, so
// model row k is grid row k + 1.
class HistoryGridModel : public QAbstractTableModel, public GridAccess {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 91;
    static constexpr int OrdColumn = 0;
    static constexpr int SequenceColumn = 1;
    static constexpr int DateColumn = 2;
    static constexpr int FirstBoxColumn = 3;
    static constexpr int DefaultColWidthTwips = 975;

    // A data row keeps only its non-empty cells, in ascending column order.
    struct Cell {
        int col = 0;
        QString text;
    };
    using Row = std::vector<Cell>;

    explicit HistoryGridModel(QObject* parent = nullptr);

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // GridAccess, in grid numbering: the rows the find shows
    int rows() const override { return static_cast<int>(m_shown.size()) + 1; }
    int cols() const override { return ColumnCount; }
    int fixedRows() const override { return 1; }
    int heldDataRows() const override { return storedRowCount(); }
    QString text(int row, int col) const override;
    int colWidthTwips(int col) const override;
    std::uint32_t cellBackColor(int row, int col) const override;
    int addRow() override;
    void setText(int row, int col, const QString& text) override;

    // Replaces every data row (and the header texts) at once; the find text stays and
    // applies to the new rows.
    void replaceContents(const std::array<QString, ColumnCount>& header, std::vector<Row> rows);
    // Removes `count` shown data rows from grid row `first` on; the rows below move up.
    // Hidden rows stay.
    void removeGridRows(int first, int count);
    // Leaves the header row alone, hidden rows included.
    void clearRows();

    // Shows only the rows where the date or some box text contains `text`, case ignored;
    // an empty text shows every row. Rows appended later show until the text changes.
    void setFilterText(const QString& text);
    QString filterText() const { return m_filter; }
    // Gathers the texts a find searches ahead of the first key (they last until a refill).
    void prepareFind() { buildSearchTexts(); }
    // Data rows held, shown or not.
    int storedRowCount() const { return static_cast<int>(m_rows.size()); }

    // While held, appended rows reach the views a few times a second instead of one by one
    // (an import of thousands of rows would otherwise repaint the grid for each); releasing
    // announces the rest. GridAccess sees every row at once.
    void holdAppends(bool hold);
    // The record number in column 0 of a data row, when it holds one.
    std::optional<int> recordNumber(int row) const;

    // Reorders the data rows by column `col`: cells that read as numbers by value and
    // before all others, other texts by collation (Chinese by reading, case ignored);
    // equal cells keep their order. Descending reverses that; empty cells are last in
    // both directions.
    void sortByColumn(int col, bool ascending);

    void setColWidthTwips(int col, int twips);
    // Every column whose width is not 0 gets the widest of its texts (header included),
    // measured with `font`, plus 100 twips.
    void AdjustColWidth(const QFont& font);
    // Text and background colour of a column in every data row; an invalid colour removes it.
    void SetColColor(int col, const QColor& color);
    void SetColBKColor(int col, const QColor& color);
    QColor colColor(int col) const;
    QColor colBackColor(int col) const;

    // Whether the last AdjustColWidth had to measure every cell (see HistoryGridModel.cpp).
    bool lastFitMeasuredEveryCell() const { return m_lastFitMeasuredAll; }

signals:
    // The widths of one or more columns changed (col −1: possibly all of them).
    void colWidthChanged(int col);

private:
    static bool validCol(int col) { return col >= 0 && col < ColumnCount; }
    bool validDataRow(int row) const { return row >= 1 && row < rows(); }
    static const QString* findCell(const Row& row, int col);
    // The stored row shown as data row `modelRow` (grid row − 1).
    Row& shownRow(int modelRow) { return m_rows[static_cast<std::size_t>(m_shown[modelRow])]; }
    const Row& shownRow(int modelRow) const {
        return m_rows[static_cast<std::size_t>(m_shown[modelRow])];
    }
    void applyFilter(bool narrowing);
    // Rows the views know of; the held rows beyond them are not announced yet.
    int announcedRows() const { return static_cast<int>(m_shown.size()) - m_heldRows; }
    void announceHeldRows();
    void buildSearchTexts();
    static QString searchText(const Row& row);

    std::array<QString, ColumnCount> m_header;
    std::vector<Row> m_rows;
    // Indexes into m_rows of the rows shown, in m_rows order.
    std::vector<int> m_shown;
    QString m_filter;
    // Case-folded date and box texts of each stored row; empty until a find needs them.
    std::vector<QString> m_searchTexts;
    bool m_holding = false;
    int m_heldRows = 0;
    QTimer m_announceTimer;
    std::array<int, ColumnCount> m_widthTwips{};
    std::array<QColor, ColumnCount> m_foreColors;
    std::array<QColor, ColumnCount> m_backColors;
    bool m_lastFitMeasuredAll = false;
};
