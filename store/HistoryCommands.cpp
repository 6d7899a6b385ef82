#include "HistoryCommands.h"

#include "DataBase.h"
#include "Form.h"
#include "HistoryGridModel.h"
#include "UserDialogs.h"

#include <QDate>
#include <QVariant>

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <functional>

namespace HistoryCommands {

namespace {

using Model = HistoryGridModel;

// Cells of one record arrive in any box order; a box stored twice shows only one text.
void finishRow(Model::Row& row) {
    const auto boxes = row.begin() + Model::FirstBoxColumn;
    const auto byCol = [](const Model::Cell& a, const Model::Cell& b) { return a.col < b.col; };
    // A descending scan of the index usually hands the boxes over in reverse.
    const auto after = [](const Model::Cell& a, const Model::Cell& b) { return a.col > b.col; };
    if (std::is_sorted(boxes, row.end(), after))
        std::reverse(boxes, row.end());
    else if (!std::is_sorted(boxes, row.end(), byCol))
        std::stable_sort(boxes, row.end(), byCol);
    auto out = boxes;
    for (auto in = boxes; in != row.end(); ++in) {
        if (out != boxes && (out - 1)->col == in->col) {
            *(out - 1) = std::move(*in);
            continue;
        }
        if (out != in)
            *out = std::move(*in);
        ++out;
    }
    row.erase(out, row.end());
}

} // namespace

// The one query of a fill.
bool readHistoryRows(DataBase& db, Mode mode, const RowSink& add) {
    return db.forEachHistoryRow(mode,
                                [&](const HistoryRow& r) { add(r.ord, r.dat, r.ctl, r.con); });
}

std::array<QString, 91> headerTexts(Mode mode) {
    std::array<QString, Model::ColumnCount> header;
    const std::array<QString, BoxCount>& captions = Catalogue::captionTable(mode);
    const auto boxHeader = [&](int i) { return QString(captions[i]).remove(u'：'); };
    for (int i = 0; i < BoxCount; ++i) {
        // The goods lines 2 to 5 repeat the headers of goods line 1.
        const int source = (i >= 48 && i <= 80) ? 41 + (i - 41) % 8 : i;
        header[Model::FirstBoxColumn + i] = boxHeader(source);
    }
    header[Model::DateColumn] = QStringLiteral("打印日期");
    return header;
}

QString dateText(double dat) {
    if (dat == WorkingRecordDate)
        return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    // Plain calendar arithmetic: no time zone is involved in a stored date.
    static const QDate epoch(1899, 12, 30);
    qint64 days = static_cast<qint64>(std::floor(dat));
    qint64 seconds = std::llround((dat - static_cast<double>(days)) * 86400.0);
    if (seconds >= 86400) {
        ++days;
        seconds -= 86400;
    }
    const QDate date = epoch.addDays(days);
    if (!date.isValid())
        return QString();
    QString text = QString::asprintf("%04d-%02d-%02d", date.year(), date.month(), date.day());
    if (seconds != 0)
        text += QString::asprintf(" %02d:%02d:%02d", int(seconds / 3600), int(seconds / 60 % 60),
                                  int(seconds % 60));
    return text;
}

bool FillHistoryGrid(HistoryGridModel& grid, DataBase& db, UserDialogs& dialogs, Mode mode,
                     const QFont& windowFont) {
    const std::array<QString, Model::ColumnCount> header = headerTexts(mode);
    std::vector<Model::Row> rows;
    int sequence = 0;
    bool first = true;
    int previous = 0;
    const auto add = [&](int ord, double dat, int ctl, QString con) {
        if (first || ord != previous) {
            if (!rows.empty())
                finishRow(rows.back());
            first = false;
            previous = ord;
            Model::Row& row = rows.emplace_back();
            row.reserve(Model::FirstBoxColumn + 32);
            row.push_back({Model::OrdColumn, QString::number(ord)});
            row.push_back({Model::SequenceColumn, QString::number(++sequence)});
            row.push_back({Model::DateColumn, dateText(dat)});
        }
        if (ctl >= 0 && ctl < BoxCount && !con.isEmpty())
            rows.back().push_back({Model::FirstBoxColumn + ctl, std::move(con)});
    };
    const bool ok = readHistoryRows(db, mode, add);
    if (!ok) {
        rows.clear(); // a failed read shows no half of the table
        dialogs.tellDatabaseError(db.failureDetails());
    } else if (!rows.empty())
        finishRow(rows.back());
    for (Model::Row& row : rows)
        if (row.capacity() > row.size() + 8)
            row.shrink_to_fit();
    grid.replaceContents(header, std::move(rows));

    const QColor lightGrey(221, 221, 221);
    const QColor blue(0, 0, 255);
    for (int k = Model::DateColumn; k < Model::ColumnCount; ++k) {
        if (k % 2 == 1)
            grid.SetColBKColor(k, lightGrey);
        grid.SetColColor(k, blue);
    }
    grid.setColWidthTwips(Model::OrdColumn, 0);
    grid.AdjustColWidth(windowFont);
    return ok;
}

bool DeleteGridRows(HistoryGridModel& grid, DataBase& db, UserDialogs& dialogs, Mode mode,
                    int currentRow, int otherEndRow) {
    const int last = grid.rows() - 1;
    if (currentRow < 1 || currentRow > last)
        return false;
    if (otherEndRow < 1 || otherEndRow > last)
        otherEndRow = currentRow;
    if (!dialogs.askYesNo(
            QStringLiteral("您确定要删除第%1至第%2行数据？").arg(currentRow).arg(otherEndRow)))
        return false;
    const int from = std::min(currentRow, otherEndRow);
    const int to = std::max(currentRow, otherEndRow);
    QList<int> ords;
    for (int row = from; row <= to; ++row)
        if (const std::optional<int> ord = grid.recordNumber(row))
            ords.append(*ord);
    // A row that never got a record number has nothing in the database to delete.
    if (!ords.isEmpty() && !db.deleteRecords(mode, ords)) {
        dialogs.tellDatabaseError(db.failureDetails());
        return false;
    }
    grid.removeGridRows(from, to - from + 1);
    return true;
}

bool ClearHistory(HistoryGridModel& grid, DataBase& db, UserDialogs& dialogs, Mode mode) {
    if (!dialogs.askOkCancel(QStringLiteral("您真的要清除历史数据？"),
                             QStringLiteral("删除记录确认")))
        return false;
    if (!db.clearTable(mode)) {
        dialogs.tellDatabaseError(db.failureDetails());
        return false;
    }
    grid.clearRows();
    return true;
}

bool RestoreGridRow(const HistoryGridModel& grid, int row, Form& form, DataBase& db,
                    UserDialogs& dialogs, Mode mode, const std::function<void()>& showFormView) {
    if (grid.rows() < 2 || row < 1 || row > grid.rows() - 1)
        return false;
    for (int c = Model::FirstBoxColumn; c < Model::ColumnCount; ++c)
        form.setText(c - Model::FirstBoxColumn, grid.text(row, c));
    int ord = WorkingRecordOrd;
    // A failure is shown; the form view still opens.
    if (!db.SaveHistoryRecord(form, mode, ord))
        dialogs.tellDatabaseError(db.failureDetails());
    if (showFormView)
        showFormView();
    return true;
}

} // namespace HistoryCommands
