#include "Form.h"
#include "HistoryCommands.h"
#include "HistoryGrid.h"
#include "HistoryGridModel.h"
#include "StoreFixture.h"

#include <QAbstractButton>
#include <QDate>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QStyleOptionViewItem>
#include <QTest>

namespace {

using Boxes = QMap<int, QString>;
const QString DbError = QStringLiteral("数据库打开错误！");

// A store with history records written from outside, and a grid to fill from it.
struct GridFixture {
    StoreFixture store;
    HistoryGridModel grid;
    QFont font{QStringLiteral("DejaVu Sans"), 9};
    GridFixture() { store.db->nextRecordNumber(Mode::Export); } // creates the schema

    bool insert(Mode mode, int ord, double dat, const Boxes& boxes) {
        QSqlQuery q(store.outside());
        q.prepare(QStringLiteral("INSERT INTO \"%1\" VALUES (?, ?, ?, ?)")
                      .arg(Catalogue::modeWord(mode)));
        for (auto it = boxes.cbegin(); it != boxes.cend(); ++it) {
            for (const QVariant& v :
                 {QVariant(ord), QVariant(dat), QVariant(it.key()), QVariant(it.value())})
                q.addBindValue(v);
            if (!q.exec())
                return false;
        }
        return true;
    }
    // Records 0 .. n−1 with box 0 reading "记录<ord>".
    bool insertNumbered(Mode mode, int n) {
        for (int ord = 0; ord < n; ++ord)
            if (!insert(mode, ord, 46000 + ord, {{0, QStringLiteral("记录%1").arg(ord)}}))
                return false;
        return true;
    }
    bool fill(Mode mode) {
        return HistoryCommands::FillHistoryGrid(grid, *store.db, store.dialogs, mode, font);
    }
    bool remove(int current, int otherEnd) {
        return HistoryCommands::DeleteGridRows(grid, *store.db, store.dialogs, Mode::Export,
                                               current, otherEnd);
    }
    int rowsOf(Mode mode, const QString& where = {}) {
        return store.count(
            QStringLiteral("SELECT COUNT(*) FROM \"%1\" %2").arg(Catalogue::modeWord(mode), where));
    }
    // Column `col` of every data row, top to bottom.
    QStringList column(int col, GridAccess* cells = nullptr) {
        cells = cells ? cells : &grid;
        QStringList out;
        for (int r = 1; r < cells->rows(); ++r)
            out.append(cells->text(r, col));
        return out;
    }
};

// The grid shown as the clerk uses it, filled with `records` export records.
struct Shown : GridFixture {
    HistoryGrid view{*store.db, store.dialogs};
    explicit Shown(int records) {
        insertNumbered(Mode::Export, records);
        view.resize(900, 600);
        view.show();
        view.FillHistoryGrid(Mode::Export);
    }
    GridAccess& cells() { return view.access(); }
    QStringList shown(int col) { return column(col, &cells()); }
    void clickHeader(int col) {
        QHeaderView* h = view.horizontalHeader();
        view.scrollTo(view.model()->index(0, col));
        QTest::mouseClick(
            h->viewport(), Qt::LeftButton, {},
            QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2));
    }
    QPoint cellAt(int gridRow) {
        return view.visualRect(view.model()->index(gridRow - 1, 3)).center();
    }
};

} // namespace

class GridTest : public QObject {
    Q_OBJECT
private slots:
    void fillShowsRecordsUnderTheModeHeaders();
    void sortOrder_data();
    void sortOrder();
    void deleteRange_data();
    void deleteRange();
    void deleteAfterSortClearAndRestore();
    void headerClicksSortAndTheCornerRefits();
    void rowSelection_data();
    void rowSelection();
    void widthsOfTheView();
};

void GridTest::fillShowsRecordsUnderTheModeHeaders() {
    GridFixture f;
    QVERIFY(f.fill(Mode::Import));
    QCOMPARE(f.grid.rows(), 1);
    QCOMPARE(f.grid.colWidthTwips(1), 100); // no header text, no rows
    const QFontMetricsF fm(f.font);
    QCOMPARE(f.grid.colWidthTwips(5), qRound(fm.horizontalAdvance(f.grid.text(0, 5)) * 15 + 100));

    const double seconds = (9 * 3600 + 5 * 60 + 7) / 86400.0;
    QVERIFY(f.insert(Mode::Import, -1, WorkingRecordDate, {{0, "w"}}));
    QVERIFY(f.insert(Mode::Import, 0, 46000.5, {{87, "末格"}, {0, "首格"}}));
    QVERIFY(f.insert(Mode::Import, 70000, 45000 + seconds, {{5, "other"}}));
    QVERIFY(f.insert(Mode::Import, 3, 45000 + 86399.6 / 86400, {{1, "x"}}));
    // Rows no writer of ours makes: box numbers outside 0..87, a box stored twice.
    QVERIFY(f.insert(Mode::Import, 70000, 45000 + seconds,
                     {{88, "beyond"}, {-1, "before"}, {5, "again"}}));
    QVERIFY(f.insert(Mode::Export, 9, 45000, {{0, "出口"}}));
    QVERIFY(f.fill(Mode::Import));
    QCOMPARE((QStringList{f.grid.text(0, 3), f.grid.text(0, 5), f.grid.text(0, 13)}),
             (QStringList{"预录入编号", "进口口岸", "收货单位"}));
    QCOMPARE(f.grid.text(0, 2), QStringLiteral("打印日期"));
    // Goods lines 2 to 5 repeat the headers of line 1, whatever their own labels say.
    for (int i = 49; i <= 80; ++i)
        QCOMPARE(f.grid.text(0, 3 + i), f.grid.text(0, 3 + 41 + (i - 41) % 8));
    QCOMPARE(f.column(0), (QStringList{"70000", "3", "0", "-1"}));
    QCOMPARE(f.column(1), (QStringList{"1", "2", "3", "4"}));
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QCOMPARE(f.column(2),
             (QStringList{"2023-03-15 09:05:07", "2023-03-16", "2025-12-09 12:00:00", today}));
    QCOMPARE(f.grid.text(3, 3) + f.grid.text(3, 90), QStringLiteral("首格末格"));
    QVERIFY(f.grid.text(1, 8) == QStringLiteral("other") || f.grid.text(1, 8) == "again");
    for (int c = 3; c < 91; ++c)
        QVERIFY(c == 8 || f.grid.text(1, c).isEmpty());
    // Every other box column is grey; BGR puts red in the low byte.
    QCOMPARE(f.grid.cellBackColor(2, 5), 0xDDDDDDu);
    QCOMPARE(f.grid.cellBackColor(2, 4), 0u);
    f.grid.SetColBKColor(4, QColor(1, 2, 3));
    QCOMPARE(f.grid.cellBackColor(1, 4), 0x030201u);

    // A failed read shows the store's failure and no half of the table.
    QVERIFY(f.store.run(QStringLiteral("ALTER TABLE 进口 RENAME TO gone")));
    QVERIFY(!f.fill(Mode::Import));
    QCOMPARE(f.grid.rows(), 1);
    QCOMPARE(f.grid.text(0, 13), QStringLiteral("收货单位"));
    QCOMPARE(f.store.dialogs.messages(), QStringList{DbError});
}

void GridTest::sortOrder_data() {
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("numbers"); // the hidden numbers, where equal cells meet
    QTest::newRow("numbers by value before texts, equal cells in order, empty last")
        << QStringList{"9", "abc", "10", "", "2.5", "-1", "Abd", " 3 ", "1e2", "12abc", "ABC"}
        << true
        << QStringList{"-1", "2.5", " 3 ", "9", "10", "1e2", "12abc", "abc", "ABC", "Abd", ""}
        << QStringList{"105", "104", "107", "100", "102", "108", "109", "101", "110", "106", "103"};
    QTest::newRow("descending: texts first, equal cells in order, empty still last")
        << QStringList{"b", "", "2", "b", "", "10"} << false
        << QStringList{"b", "b", "10", "2", "", ""}
        << QStringList{"100", "103", "105", "102", "101", "104"};
    QTest::newRow("chinese texts by reading")
        << QStringList{"上海", "北京", "广州", "重庆"} << true
        << QStringList{"北京", "重庆", "广州", "上海"} << QStringList{"101", "103", "102", "100"};
    QTest::newRow("dates as text are in time order")
        << QStringList{"2024-01-02", "2023-12-31 23:59:59", "2024-01-02 00:00:01", "2023-12-31"}
        << true
        << QStringList{"2023-12-31", "2023-12-31 23:59:59", "2024-01-02", "2024-01-02 00:00:01"}
        << QStringList{"103", "101", "100", "102"};
}

void GridTest::sortOrder() {
    QFETCH(QStringList, cells);
    QFETCH(bool, ascending);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, numbers);
    GridFixture f;
    for (int i = 0; i < cells.size(); ++i) {
        const int row = f.grid.addRow();
        f.grid.setText(row, 0, QString::number(100 + i));
        f.grid.setText(row, 7, cells[i]);
    }
    f.grid.sortByColumn(7, ascending);
    QCOMPARE(f.column(7), expected);
    QCOMPARE(f.column(0), numbers); // whole rows move
}

void GridTest::deleteRange_data() {
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("otherEnd");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("fault"); // SQL run from outside first
    QTest::addColumn<QStringList>("remaining");
    const QStringList all{"9", "8", "7", "6", "5", "4", "3", "2", "1", "0"};
    // Ten records: grid rows 1..10 show Ord 9..0.
    QTest::newRow("rows 5 down to 3")
        << 5 << 3 << true << "" << QStringList{"9", "8", "4", "3", "2", "1", "0"};
    QTest::newRow("one row") << 10 << 10 << true << "" << all.mid(0, 9);
    QTest::newRow("answer no") << 2 << 1 << false << "" << all;
    QTest::newRow("header row is current") << 0 << 4 << true << "" << all;
    QTest::newRow("third record refused") << 2 << 6 << true << "refuse" << all;
    QTest::newRow("file locked") << 2 << 6 << true << "BEGIN IMMEDIATE" << all;
}

void GridTest::deleteRange() {
    QFETCH(int, current);
    QFETCH(int, otherEnd);
    QFETCH(bool, answer);
    QFETCH(QString, fault);
    QFETCH(QStringList, remaining);
    GridFixture f;
    QVERIFY(f.insertNumbered(Mode::Export, 10));
    QVERIFY(f.fill(Mode::Export));
    QVERIFY(fault.isEmpty() ||
            (fault == "refuse" ? f.store.refuse("出口", 5, "DELETE") : f.store.run(fault)));
    f.store.dialogs.yesNo.enqueue(answer);
    const bool removed = f.remove(current, otherEnd);
    QCOMPARE(removed, remaining.size() < 10);
    if (fault.startsWith(QLatin1String("BEGIN")))
        QVERIFY(f.store.run(QStringLiteral("ROLLBACK")));
    const QString question =
        QStringLiteral("您确定要删除第%1至第%2行数据？").arg(current).arg(otherEnd);
    QStringList shown{question, DbError};
    QCOMPARE(f.store.dialogs.allTexts(), shown.mid(current == 0 ? 2 : 0, fault.isEmpty() ? 1 : 2));
    // The grid and the table agree, record by record.
    QCOMPARE(f.column(0), remaining);
    QCOMPARE(f.rowsOf(Mode::Export), remaining.size());
    for (const QString& ord : remaining)
        QCOMPARE(f.rowsOf(Mode::Export, QStringLiteral("WHERE Ord = ") + ord), 1);
}

void GridTest::deleteAfterSortClearAndRestore() {
    GridFixture f;
    QVERIFY(f.insertNumbered(Mode::Export, 4)); // rows show 3 2 1 0 -1
    QVERIFY(f.insert(Mode::Export, -1, WorkingRecordDate, {{0, "w"}}));
    QVERIFY(f.insertNumbered(Mode::Import, 1));
    QVERIFY(f.fill(Mode::Export));
    f.store.dialogs.yesNo << true << true;
    QVERIFY(f.remove(5, 5)); // the working record can go too
    // After a sort, and with a row an import left without a record number.
    f.grid.sortByColumn(3, true); // 记录0 .. 记录3
    const int orphan = f.grid.addRow();
    f.grid.setText(orphan, 0, QStringLiteral("not a number"));
    QVERIFY(f.remove(2, orphan));
    QCOMPARE(f.column(0), QStringList({"0"}));
    QCOMPARE(f.rowsOf(Mode::Export), 1);
    // A clear asks first, and a locked file or a No changes nothing. 再次打印 on a locked
    // file shows the failure and still opens the form view.
    QVERIFY(f.store.run(QStringLiteral("BEGIN IMMEDIATE")));
    f.store.dialogs.okCancel << true << false << true;
    QVERIFY(!HistoryCommands::ClearHistory(f.grid, *f.store.db, f.store.dialogs, Mode::Export));
    Form form;
    int shown = 0;
    QVERIFY(HistoryCommands::RestoreGridRow(f.grid, 1, form, *f.store.db, f.store.dialogs,
                                            Mode::Export, [&] { ++shown; }));
    QVERIFY(f.store.run(QStringLiteral("ROLLBACK")));
    QVERIFY(!HistoryCommands::ClearHistory(f.grid, *f.store.db, f.store.dialogs, Mode::Export));
    QCOMPARE(f.store.dialogs.messages(), (QStringList{DbError, DbError}));
    QCOMPARE(form.text(0) + QString::number(shown), QStringLiteral("记录01"));
    QCOMPARE(f.grid.rows(), 2);
    QCOMPARE(f.rowsOf(Mode::Export), 1);
    // A clear that goes through empties this mode's table and grid only.
    QVERIFY(HistoryCommands::ClearHistory(f.grid, *f.store.db, f.store.dialogs, Mode::Export));
    QCOMPARE(f.store.dialogs.shown.last().text, QStringLiteral("您真的要清除历史数据？"));
    QCOMPARE(f.grid.rows(), 1);
    QCOMPARE(f.rowsOf(Mode::Export), 0);
    QCOMPARE(f.rowsOf(Mode::Import), 1);
}

void GridTest::headerClicksSortAndTheCornerRefits() {
    Shown s(12); // box 0 reads 记录11 .. 记录0
    QVERIFY(QTest::qWaitForWindowExposed(&s.view));
    const QString header = s.cells().text(0, 3);
    s.clickHeader(3);
    QCOMPARE(s.cells().text(0, 3), header + u'△');
    QCOMPARE(s.shown(3).mid(0, 2), QStringList({"记录0", "记录1"}));
    s.clickHeader(3);
    QCOMPARE(s.cells().text(0, 3), header + u'▽');
    QCOMPARE(s.shown(3).first(), QStringLiteral("记录9"));
    // Another header takes the mark; the date column sorts by time.
    s.clickHeader(2);
    QCOMPARE(s.cells().text(0, 3), header);
    QCOMPARE(s.cells().text(0, 2), QStringLiteral("打印日期△"));
    QCOMPARE(s.shown(3).first(), QStringLiteral("记录0"));
    QCOMPARE(s.view.currentIndex().column(), 2);
    // The fixed column of sequence numbers selects rows; it never sorts.
    const QStringList order = s.shown(0);
    QHeaderView* v = s.view.verticalHeader();
    QTest::mouseClick(
        v->viewport(), Qt::LeftButton, {},
        QPoint(v->width() / 2, v->sectionViewportPosition(3) + v->sectionSize(3) / 2));
    QCOMPARE(s.view.currentGridRow(), 4);

    // The corner refits the columns, and sorts and selects nothing.
    s.view.AdjustColWidth(s.view.window()->font());
    const int fitted = s.cells().colWidthTwips(3);
    s.view.gridModel().setColWidthTwips(3, 6000);
    const int frame = s.view.frameWidth();
    auto* corner = qobject_cast<QAbstractButton*>(s.view.childAt(frame + 2, frame + 2));
    QVERIFY(corner);
    QTest::mouseClick(corner, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(s.cells().colWidthTwips(3), fitted);
    QCOMPARE(s.view.columnWidth(3), qRound(fitted / 15.0) + s.view.cellMarginPixels());
    QCOMPARE(s.shown(0), order);
    QCOMPARE(s.cells().text(0, 2), QStringLiteral("打印日期△"));
    QVERIFY(s.view.selectionModel()->selectedRows().size() <= 1);
}

void GridTest::rowSelection_data() {
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("otherEnd");
    QTest::newRow("press on 5, drag to 3") << "drag" << 5 << 3;
    QTest::newRow("click 2, shift+click 6") << "shift" << 2 << 6;
    QTest::newRow("click 4, shift+down twice") << "keys" << 4 << 6;
    QTest::newRow("sorted, then rows 2 to 4 chosen") << "sort" << 2 << 4;
}

void GridTest::rowSelection() {
    QFETCH(QString, gesture);
    QFETCH(int, row);
    QFETCH(int, otherEnd);
    Shown s(10);
    QVERIFY(QTest::qWaitForWindowExposed(&s.view));
    QCOMPARE(s.view.currentGridRow(), 10); // after a fill the last row is current
    QWidget* cells = s.view.viewport();
    if (gesture == "drag") {
        QTest::mousePress(cells, Qt::LeftButton, {}, s.cellAt(5));
        QTest::mouseMove(cells, s.cellAt(4));
        QTest::mouseMove(cells, s.cellAt(3));
        QTest::mouseRelease(cells, Qt::LeftButton, {}, s.cellAt(3));
    } else if (gesture == "shift") {
        QTest::mouseClick(cells, Qt::LeftButton, {}, s.cellAt(2));
        QTest::mouseClick(cells, Qt::LeftButton, Qt::ShiftModifier, s.cellAt(6));
    } else if (gesture == "keys") {
        QTest::mouseClick(cells, Qt::LeftButton, {}, s.cellAt(4));
        s.view.setFocus();
        QTest::keyClick(&s.view, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&s.view, Qt::Key_Down, Qt::ShiftModifier);
    } else {
        s.view.setGridSelection(2, 4);
        s.clickHeader(3); // the selected row numbers stay
    }
    QCOMPARE(s.view.currentGridRow(), row);
    QCOMPARE(s.view.selectionEndRow(), otherEnd);
    QCOMPARE(s.view.selectionModel()->selectedRows().size(), std::abs(row - otherEnd) + 1);
    // What is highlighted is what the delete takes.
    const QStringList doomed =
        s.shown(0).mid(std::min(row, otherEnd) - 1, std::abs(row - otherEnd) + 1);
    s.store.dialogs.yesNo.enqueue(true);
    QVERIFY(s.view.DeleteGridRows());
    for (const QString& ord : doomed)
        QCOMPARE(s.rowsOf(Mode::Export, QStringLiteral("WHERE Ord = ") + ord), 0);
    QCOMPARE(s.rowsOf(Mode::Export), 10 - doomed.size());
}

void GridTest::widthsOfTheView() {
    Shown s(3);
    s.view.horizontalHeader()->resizeSection(6, 77 + s.view.cellMarginPixels());
    QCOMPARE(s.cells().colWidthTwips(6), 77 * 15);
    QVERIFY(s.view.isColumnHidden(0));
    // A fitted column holds what the view's own delegate needs, margins and grid line included.
    s.view.AdjustColWidth(s.view.window()->font());
    QStyleOptionViewItem option;
    option.initFrom(s.view.viewport());
    option.font = s.view.font();
    QAbstractItemModel* model = s.view.model();
    for (int c = 2; c < 91; ++c) {
        int needed = 0;
        for (int r = 0; r < model->rowCount(); ++r)
            needed = std::max(needed,
                              s.view.itemDelegate()->sizeHint(option, model->index(r, c)).width());
        QVERIFY2(s.view.columnWidth(c) >= needed + 1, qPrintable(QString::number(c)));
    }
    // Nothing current: 再次打印 does nothing.
    s.view.setGridSelection(0, 0);
    Form form;
    QVERIFY(!s.view.RestoreGridRow(form, Mode::Export, [] { QFAIL("shown"); }));
    QVERIFY(s.store.dialogs.shown.isEmpty());
}

QTEST_MAIN(GridTest)
#include "tst_grid.moc"
