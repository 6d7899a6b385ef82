#pragma once

#include "DataBase.h"
#include "GridAccess.h"
#include "ImportData.h"
#include "ScriptedDialogs.h"
#include "TestFolder.h"

#include <QDate>
#include <QHash>
#include <QStringList>

#include <functional>
#include <map>

// An in-memory grid laid out as the history grid: 91 columns (0 the hidden record number,
// 1 the sequence, 2 "打印日期", 3 to 90 the boxes 0 to 87) and one header row. Column 7 is
// narrower than one character.
class FakeHistoryGrid : public GridAccess {
public:
    static constexpr int Columns = 91;
    FakeHistoryGrid() {
        QStringList& header = m_rows.emplace_back(Columns);
        header[2] = QStringLiteral("打印日期");
        for (int i = 0; i < 88; ++i)
            header[3 + i] = QStringLiteral("栏目%1").arg(i);
    }
    // Rows generated on demand instead of stored (for very large grids).
    std::function<QString(int row, int col)> generated;
    int generatedRows = 0;
    QHash<QPair<int, int>, std::uint32_t> colours; // BGR by row and column

    int rows() const override { return generated ? generatedRows : int(m_rows.size()); }
    int cols() const override { return Columns; }
    int fixedRows() const override { return 1; }
    QString text(int row, int col) const override {
        return generated ? generated(row, col) : m_rows.value(row).value(col);
    }
    int colWidthTwips(int col) const override { return col == 7 ? 100 : 1000 + 37 * col; }
    std::uint32_t cellBackColor(int row, int col) const override {
        return colours.value({row, col});
    }
    int addRow() override {
        m_rows.append(QStringList(Columns));
        return int(m_rows.size()) - 1;
    }
    void setText(int row, int col, const QString& text) override { m_rows[row][col] = text; }

private:
    QList<QStringList> m_rows;
};

// Records with texts on every (k % 5 + 1)th box: leading zeros, several lines, quotes, Latin
// letters and characters beyond 16 bits.
inline void addRecords(FakeHistoryGrid& grid, int records) {
    for (int k = 0; k < records; ++k) {
        const int r = grid.addRow();
        const QString date = QDate(2023, 1, 5).addDays(37 * k).toString(u"yyyy-MM-dd 09:15:00");
        const QStringList first{QString::number(records - 1 - k), QString::number(r), date,
                                QStringLiteral("00%1").arg(k)}; // number, sequence, date, box 0
        for (int c = 0; c < 4; ++c)
            grid.setText(r, c, first[c]);
        for (int i = 1 + k % 5; i < 88; i += 1 + k % 5)
            grid.setText(r, 3 + i, QStringLiteral("%1号-%2 0%3").arg(k).arg(i).arg(k * i));
        grid.setText(r, 13, QStringLiteral("多行\n文本 'quoted' \"double\" é-latin 𠀀 surrogates"));
    }
}

// The 导 入 command into a history table of a fresh database, shown in a fake grid, with
// the dialogs answered in turn.
struct ImportRun {
    struct Record {
        double dat = 0;
        std::map<int, QString> boxes;
    };
    TestFolder folder;
    ScriptedDialogs dialogs;
    DataBase db{folder.file(QStringLiteral("Par.db"))};
    FakeHistoryGrid grid;
    SheetChooser chooser = [](const QStringList& names, QWidget*) { return names.value(0); };

    static Mode mode() { return Mode::Import; }
    // Imports from `file`, the row questions answered by `answers` (a null one cancels),
    // into an empty grid and with nothing shown yet.
    int run(const QString& file, const QStringList& answers) {
        grid = {};
        return runInto(grid, file, answers);
    }
    // The same into `target` as it stands.
    int runInto(GridAccess& target, const QString& file, const QStringList& answers) {
        dialogs.clear();
        dialogs.texts.clear();
        dialogs.openFiles.enqueue(file);
        for (const QString& a : answers)
            dialogs.texts.enqueue(a.isNull() ? std::optional<QString>() : std::optional(a));
        return ImportExcelRows(target, mode(), db, dialogs, nullptr, chooser);
    }
    std::map<int, Record> records() {
        std::map<int, Record> out;
        db.forEachHistoryRow(mode(), [&](const HistoryRow& row) {
            out[row.ord].dat = row.dat;
            out[row.ord].boxes[row.ctl] = row.con;
        });
        return out;
    }
};
