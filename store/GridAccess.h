#pragma once

#include <QString>

#include <cstdint>

// What the Excel exchange reads and writes of a grid: rows and columns count from 0,
// fixed (header) rows first.
class GridAccess {
public:
    virtual ~GridAccess() = default;

    virtual int rows() const = 0; // fixed rows included
    virtual int cols() const = 0;
    virtual int fixedRows() const = 0;
    // Data rows held, those a find hides included.
    virtual int heldDataRows() const { return rows() - fixedRows(); }
    virtual QString text(int row, int col) const = 0;
    virtual int colWidthTwips(int col) const = 0;
    // The cell's own background as BGR (red in the low byte); 0 when it has none.
    virtual std::uint32_t cellBackColor(int row, int col) const = 0;

    // Appends an empty row at the bottom and returns its index.
    virtual int addRow() = 0;
    virtual void setText(int row, int col, const QString& text) = 0;
};
