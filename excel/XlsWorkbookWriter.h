#pragma once

#include <QByteArray>
#include <QHashFunctions>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <vector>

// Builds an Excel 97-2003 workbook (BIFF8 in an OLE2 compound file) of one worksheet
// holding text cells. Rows are added top to bottom; each row may carry a fill colour and
// bold text over the table's whole width, and the table may get thin borders on every cell,
// empty cells included.
class XlsWorkbookWriter {
public:
    // Excel 97-2003 limits.
    static constexpr int MaxRows = 65536;
    static constexpr int MaxColumns = 256;
    static constexpr int MaxCellText = 32767;

    // The table spans worksheet columns 0 to columnCount − 1 (at most MaxColumns).
    explicit XlsWorkbookWriter(int columnCount, QString sheetName = QStringLiteral("Sheet1"));

    int rowCount() const { return static_cast<int>(m_rows.size()); }
    int columnCount() const { return m_columnCount; }

    // Appends an empty row (at most MaxRows) and returns its index.
    int addRow();
    // An empty text leaves the cell empty; longer texts are cut at MaxCellText.
    void setText(int row, int column, const QString& text);
    // How many cells hold a text that setText had to cut.
    int shortenedCells() const;
    // Colour as BGR (red in the low byte); 0 is no fill.
    void setRowFormat(int row, bool bold, std::uint32_t fillBgr);
    void setBorders(bool on) { m_borders = on; }
    // Width in characters; columns without a width keep the sheet's default.
    void setColumnWidth(int column, int characters);

    // The Workbook stream alone and the whole file.
    QByteArray workbookStream() const;
    QByteArray fileBytes() const;

private:
    struct Cell {
        std::uint16_t column;
        bool shortened; // beside the column, so a cell stays eight bytes
        std::uint32_t stringIndex;
    };
    struct Row {
        std::vector<Cell> cells; // ascending columns
        bool bold = false;
        std::uint32_t fill = 0;
    };

    int m_columnCount = 0;
    QString m_sheetName;
    std::vector<Row> m_rows;
    std::vector<QString> m_strings;
    struct TextHash {
        std::size_t operator()(const QString& text) const noexcept { return qHash(text); }
    };
    std::unordered_map<QString, std::uint32_t, TextHash> m_stringIndex;
    std::uint32_t m_cellTexts = 0;
    bool m_borders = false;
    std::vector<int> m_widths; // −1 = default
};
