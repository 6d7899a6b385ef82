#pragma once

#include "GridAccess.h"

#include <QHash>
#include <QList>
#include <QStringList>

#include <functional>

// An in-memory grid laid out as the history grid: 91 columns (0 the hidden record number,
// 1 the sequence, 2 "打印日期", 3 to 90 the boxes 0 to 87) and one header row.
class FakeHistoryGrid : public GridAccess {
public:
    static constexpr int Columns = 91;

    FakeHistoryGrid() {
        QStringList header(Columns);
        header[2] = QStringLiteral("打印日期");
        for (int i = 0; i < 88; ++i)
            header[3 + i] = QStringLiteral("栏目%1").arg(i);
        m_rows.append(header);
        for (int c = 0; c < Columns; ++c)
            m_widths.append(c == 0 ? 0 : 1000 + 37 * c);
    }

    // Rows generated on demand instead of stored (for very large grids).
    std::function<QString(int row, int col)> generated;
    int generatedRows = 0;

    int rows() const override { return generated ? generatedRows : int(m_rows.size()); }
    int cols() const override { return Columns; }
    int fixedRows() const override { return 1; }
    QString text(int row, int col) const override {
        return generated ? generated(row, col) : m_rows.value(row).value(col);
    }
    int colWidthTwips(int col) const override { return m_widths.value(col); }
    std::uint32_t cellBackColor(int row, int col) const override {
        return m_colours.value(qMakePair(row, col));
    }
    int addRow() override {
        m_rows.append(QStringList(Columns));
        return int(m_rows.size()) - 1;
    }
    void setText(int row, int col, const QString& text) override {
        if (row >= 0 && row < m_rows.size() && col >= 0 && col < Columns)
            m_rows[row][col] = text;
    }

    void setBackColor(int row, int col, std::uint32_t bgr) { m_colours[qMakePair(row, col)] = bgr; }
    void setWidth(int col, int twips) { m_widths[col] = twips; }
    // Appends a record row: number, sequence, date text and the box texts.
    int addRecord(int ord, const QString& date, const QStringList& boxes) {
        const int r = addRow();
        setText(r, 0, QString::number(ord));
        setText(r, 1, QString::number(r));
        setText(r, 2, date);
        for (int i = 0; i < boxes.size() && i < 88; ++i)
            setText(r, 3 + i, boxes[i]);
        return r;
    }

private:
    QList<QStringList> m_rows;
    QList<int> m_widths;
    QHash<QPair<int, int>, std::uint32_t> m_colours;
};
