#include "GridFixture.h"
#include "HistoryGrid.h"

#include <QAbstractButton>
#include <QDate>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QStyleOptionViewItem>
#include <QTest>

#include <cmath>

namespace {

int fitted(const QFont& font, const QStringList& texts) {
    const QFontMetricsF fm(font);
    double widest = 0;
    for (const QString& t : texts)
        widest = std::max(widest, fm.horizontalAdvance(t));
    return static_cast<int>(std::lround(widest * 15 + 100));
}

// The grid shown as the clerk uses it, filled with `records` export records.
struct Shown {
    GridFixture f;
    HistoryGrid grid{*f.store.db, f.store.dialogs};
    explicit Shown(int records) {
        f.insertNumbered(Mode::Export, records);
        grid.resize(900, 600);
        grid.show();
        grid.FillHistoryGrid(Mode::Export);
    }
    GridAccess& cells() { return grid.access(); }
    QStringList column(int col) {
        QStringList out;
        for (int r = 1; r < cells().rows(); ++r)
            out.append(cells().text(r, col));
        return out;
    }
    void clickHeader(int col) {
        QHeaderView* h = grid.horizontalHeader();
        grid.scrollTo(grid.model()->index(0, col));
        QTest::mouseClick(
            h->viewport(), Qt::LeftButton, {},
            QPoint(h->sectionViewportPosition(col) + h->sectionSize(col) / 2, h->height() / 2));
    }
    QPoint cellAt(int gridRow) {
        return grid.visualRect(grid.model()->index(gridRow - 1, 3)).center();
    }
};

} // namespace

class GridTest : public QObject {
    Q_OBJECT
private slots:
    void fillShowsRecordsUnderTheModeHeaders_data();
    void fillShowsRecordsUnderTheModeHeaders();
    void fillFailureLeavesHeaderAlone();
    void sortOrder_data();
    void sortOrder();
    void deleteRange_data();
    void deleteRange();
    void deleteTakesTheRecordsBehindTheRows();
    void failedDeleteOrClearChangesNothing_data();
    void failedDeleteOrClearChangesNothing();
    void restoreExportRowWhileFormShowsImport();
    void headerClicksSortAndTheCornerRefits();
    void rowSelection_data();
    void rowSelection();
    void widthsOfTheView();
};

void GridTest::fillShowsRecordsUnderTheModeHeaders_data() {
    QTest::addColumn<Mode>("mode");
    QTest::addColumn<QStringList>("firstHeaders"); // boxes 0, 2 and 10
    QTest::newRow("export") << Mode::Export << QStringList{"预录入编号", "出口口岸", "发货单位"};
    QTest::newRow("import") << Mode::Import << QStringList{"预录入编号", "进口口岸", "收货单位"};
}

void GridTest::fillShowsRecordsUnderTheModeHeaders() {
    QFETCH(Mode, mode);
    QFETCH(QStringList, firstHeaders);
    GridFixture f;
    QVERIFY(f.fill(mode));
    QCOMPARE(f.grid.rows(), 1);
    QCOMPARE(f.grid.colWidthTwips(1), 100); // no header text, no rows
    QCOMPARE(f.grid.colWidthTwips(5), fitted(f.font, {f.grid.text(0, 5)}));

    const double seconds = (9 * 3600 + 5 * 60 + 7) / 86400.0;
    QVERIFY(f.insert(mode, -1, WorkingRecordDate, {{0, "w"}}));
    QVERIFY(f.insert(mode, 0, 46000.5, {{87, "末格"}, {0, "首格"}}));
    QVERIFY(f.insert(mode, 70000, 45000 + seconds, {{5, "other"}}));
    QVERIFY(f.insert(mode, 3, 45000 + 86399.6 / 86400, {{1, "x"}}));
    // Rows no writer of ours makes: box numbers outside 0..87, a box stored twice.
    QVERIFY(f.insert(mode, 70000, 45000 + seconds, {{88, "beyond"}, {-1, "before"}, {5, "again"}}));
    QVERIFY(f.fill(mode));
    QCOMPARE((QStringList{f.grid.text(0, 3), f.grid.text(0, 5), f.grid.text(0, 13)}), firstHeaders);
    QCOMPARE(f.grid.text(0, 2), QStringLiteral("打印日期"));
    // Goods lines 2 to 5 repeat the headers of line 1, whatever their own labels say.
    for (int i = 49; i <= 80; ++i)
        QCOMPARE(f.grid.text(0, 3 + i), f.grid.text(0, 3 + 41 + (i - 41) % 8));
    QVERIFY(!f.grid.text(0, 3).contains(u'：'));

    QCOMPARE(f.column(0), (QStringList{"70000", "3", "0", "-1"}));
    QCOMPARE(f.column(1), (QStringList{"1", "2", "3", "4"}));
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QCOMPARE(f.column(2),
             (QStringList{"2023-03-15 09:05:07", "2023-03-16", "2025-12-09 12:00:00", today}));
    QCOMPARE(f.grid.text(3, 3), QStringLiteral("首格"));
    QCOMPARE(f.grid.text(3, 90), QStringLiteral("末格"));
    QVERIFY(f.grid.text(1, 8) == QStringLiteral("other") || f.grid.text(1, 8) == "again");
    for (int c = 3; c < 91; ++c)
        QVERIFY(c == 8 || f.grid.text(1, c).isEmpty());
    // Every other box column is grey; BGR puts red in the low byte.
    QCOMPARE(f.grid.cellBackColor(2, 5), 0xDDDDDDu);
    QCOMPARE(f.grid.cellBackColor(2, 4), 0u);
    QCOMPARE(f.grid.data(f.grid.index(0, 4), Qt::ForegroundRole).value<QColor>(), QColor(Qt::blue));
    f.grid.SetColBKColor(4, QColor(1, 2, 3));
    QCOMPARE(f.grid.cellBackColor(1, 4), 0x030201u);
}

void GridTest::fillFailureLeavesHeaderAlone() {
    GridFixture f;
    QVERIFY(f.insertNumbered(Mode::Export, 3));
    QVERIFY(f.fill(Mode::Export));
    QVERIFY(f.store.run(QStringLiteral("ALTER TABLE 出口 RENAME TO gone")));
    QVERIFY(!f.fill(Mode::Export));
    QCOMPARE(f.grid.rows(), 1);
    QCOMPARE(f.grid.text(0, 2), QStringLiteral("打印日期"));
    QCOMPARE(f.store.dialogs.messages(), QStringList{QStringLiteral("数据库打开错误！")});
}

void GridTest::sortOrder_data() {
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("numbers"); // the hidden numbers, where equal cells meet
    const QStringList mixed{"9", "abc", "10", "", "2.5", "-1", "Abd", " 3 ", "1e2", "12abc"};
    QTest::newRow("numbers by value before texts, empty last")
        << mixed << true
        << QStringList{"-1", "2.5", " 3 ", "9", "10", "1e2", "12abc", "abc", "Abd", ""}
        << QStringList{};
    QTest::newRow("descending reverses, empty still last")
        << mixed << false
        << QStringList{"Abd", "abc", "12abc", "1e2", "10", "9", " 3 ", "2.5", "-1", ""}
        << QStringList{};
    QTest::newRow("descending keeps equal cells in order")
        << QStringList{"b", "", "a", "b", "", "a"} << false
        << QStringList{"b", "b", "a", "a", "", ""}
        << QStringList{"100", "103", "102", "105", "101", "104"};
    QTest::newRow("equal cells keep their order")
        << QStringList{"b", "a", "b", "a"} << true << QStringList{"a", "a", "b", "b"}
        << QStringList{"101", "103", "100", "102"};
    QTest::newRow("chinese texts by reading")
        << QStringList{"上海", "北京", "广州", "重庆"} << true
        << QStringList{"北京", "重庆", "广州", "上海"} << QStringList{};
    QTest::newRow("dates as text are in time order")
        << QStringList{"2024-01-02", "2023-12-31 23:59:59", "2024-01-02 00:00:01", "2023-12-31"}
        << true
        << QStringList{"2023-12-31", "2023-12-31 23:59:59", "2024-01-02", "2024-01-02 00:00:01"}
        << QStringList{};
}

void GridTest::sortOrder() {
    QFETCH(QStringList, cells);
    QFETCH(bool, ascending);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, numbers);
    HistoryGridModel grid;
    for (int i = 0; i < cells.size(); ++i) {
        const int row = grid.addRow();
        grid.setText(row, 0, QString::number(100 + i));
        grid.setText(row, 7, cells[i]);
    }
    grid.sortByColumn(7, ascending);
    QStringList sorted, hidden;
    for (int r = 1; r < grid.rows(); ++r) {
        sorted.append(grid.text(r, 7));
        hidden.append(grid.text(r, 0));
        // Whole rows move: the hidden number still names the same cell.
        QCOMPARE(grid.text(r, 7), cells[grid.text(r, 0).toInt() - 100]);
    }
    QCOMPARE(sorted, expected);
    if (!numbers.isEmpty())
        QCOMPARE(hidden, numbers);
}

void GridTest::deleteRange_data() {
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("otherEnd");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("remainingOrds");
    const QStringList all{"9", "8", "7", "6", "5", "4", "3", "2", "1", "0"};
    // Ten records: grid rows 1..10 show Ord 9..0.
    QTest::newRow("rows 5 down to 3") << 5 << 3 << "您确定要删除第5至第3行数据？" << true
                                      << QStringList{"9", "8", "4", "3", "2", "1", "0"};
    QTest::newRow("one row") << 10 << 10 << "您确定要删除第10至第10行数据？" << true
                             << all.mid(0, 9);
    QTest::newRow("answer no") << 2 << 1 << "您确定要删除第2至第1行数据？" << false << all;
    QTest::newRow("header row is current") << 0 << 4 << "" << true << all;
}

void GridTest::deleteRange() {
    QFETCH(int, current);
    QFETCH(int, otherEnd);
    QFETCH(QString, question);
    QFETCH(bool, answer);
    QFETCH(QStringList, remainingOrds);
    GridFixture f;
    QVERIFY(f.insertNumbered(Mode::Export, 10));
    QVERIFY(f.fill(Mode::Export));
    f.store.dialogs.yesNo.enqueue(answer);
    QCOMPARE(HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.store.dialogs, Mode::Export,
                                             current, otherEnd),
             answer && !question.isEmpty());
    QCOMPARE(f.store.dialogs.allTexts(),
             question.isEmpty() ? QStringList() : QStringList{question});
    QCOMPARE(f.column(0), remainingOrds);
    // The grid and the table agree, record by record.
    QCOMPARE(f.rowsOf(Mode::Export), remainingOrds.size());
    for (const QString& ord : remainingOrds)
        QCOMPARE(f.records(Mode::Export, ord.toInt()), 1);
}

void GridTest::deleteTakesTheRecordsBehindTheRows() {
    GridFixture f;
    QVERIFY(f.insertNumbered(Mode::Export, 6)); // rows show 5 4 3 2 1 0
    QVERIFY(f.insert(Mode::Export, -1, WorkingRecordDate, {{0, "w"}}));
    QVERIFY(f.fill(Mode::Export));
    f.store.dialogs.yesNo << true << true << true << true;
    QVERIFY(
        HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.store.dialogs, Mode::Export, 2, 3));
    QCOMPARE(f.column(0), QStringList({"5", "2", "1", "0", "-1"}));
    // Row 3 now shows the record that was in row 5; the working record can go too.
    QVERIFY(
        HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.store.dialogs, Mode::Export, 3, 3));
    QVERIFY(
        HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.store.dialogs, Mode::Export, 4, 4));
    QCOMPARE(f.column(0), QStringList({"5", "2", "0"}));
    QCOMPARE(f.records(Mode::Export, 1) + f.records(Mode::Export, -1), 0);
    // After a sort, and with a row an import left without a record number.
    f.grid.sortByColumn(3, true); // 记录0, 记录2, 记录5
    const int orphan = f.grid.addRow();
    f.grid.setText(orphan, 0, QStringLiteral("not a number"));
    QVERIFY(HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.store.dialogs, Mode::Export, 2,
                                            orphan));
    QCOMPARE(f.column(0), QStringList({"0"}));
    QCOMPARE(f.rowsOf(Mode::Export), 1);
    QVERIFY(f.store.dialogs.messages().isEmpty());
}

void GridTest::failedDeleteOrClearChangesNothing_data() {
    QTest::addColumn<QString>("fault"); // SQL run from outside first
    QTest::addColumn<bool>("clear");
    const QString trigger = QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON 出口 WHEN "
                                           "OLD.Ord = 3 BEGIN SELECT RAISE(ABORT, 'refused'); END");
    QTest::newRow("delete, third record refused") << trigger << false;
    QTest::newRow("delete, file locked") << "BEGIN IMMEDIATE" << false;
    QTest::newRow("clear, file locked") << "BEGIN IMMEDIATE" << true;
    QTest::newRow("clear cancelled") << "" << true;
}

void GridTest::failedDeleteOrClearChangesNothing() {
    QFETCH(QString, fault);
    QFETCH(bool, clear);
    GridFixture f;
    QVERIFY(f.insertNumbered(Mode::Export, 8));
    QVERIFY(f.insertNumbered(Mode::Import, 1));
    QVERIFY(f.fill(Mode::Export));
    if (!fault.isEmpty())
        QVERIFY(f.store.run(fault));
    const QStringList before = f.column(0);
    f.store.dialogs.yesNo.enqueue(true);
    f.store.dialogs.okCancel.enqueue(!fault.isEmpty());
    QVERIFY(clear
                ? !HistoryCommands::ClearHistory(f.grid, *f.store.db, f.store.dialogs, Mode::Export)
                : !HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.store.dialogs,
                                                   Mode::Export, 2, 6));
    if (fault.startsWith(QLatin1String("BEGIN")))
        QVERIFY(f.store.run(QStringLiteral("ROLLBACK")));
    QCOMPARE(f.store.dialogs.messages(),
             fault.isEmpty() ? QStringList() : QStringList{QStringLiteral("数据库打开错误！")});
    QCOMPARE(f.column(0), before);
    QCOMPARE(f.rowsOf(Mode::Export), 8);
    QVERIFY(f.store.run(QStringLiteral("DROP TRIGGER IF EXISTS refuse")));
    // A clear that goes through empties this mode's table and grid only.
    f.store.dialogs.okCancel.enqueue(true);
    QVERIFY(HistoryCommands::ClearHistory(f.grid, *f.store.db, f.store.dialogs, Mode::Export));
    QCOMPARE(f.store.dialogs.shown.last().text, QStringLiteral("您真的要清除历史数据？"));
    QCOMPARE(f.grid.rows(), 1);
    QCOMPARE(f.rowsOf(Mode::Export), 0);
    QCOMPARE(f.rowsOf(Mode::Import), 1);
}

void GridTest::restoreExportRowWhileFormShowsImport() {
    GridFixture f;
    QVERIFY(f.insert(Mode::Export, 0, 45000, {{0, "出口甲"}, {87, "出口末"}}));
    QVERIFY(f.insert(Mode::Export, 1, 45000, {{0, "出口乙"}, {10, "十"}}));
    QVERIFY(f.insert(Mode::Export, -1, WorkingRecordDate, {{5, "旧的工作记录"}}));
    QVERIFY(f.insert(Mode::Import, -1, WorkingRecordDate, {{2, "进口工作"}}));
    QVERIFY(f.fill(Mode::Export));
    Form form; // the form view shows import
    form.setText(30, QStringLiteral("typed in import"));
    int shown = 0;
    // The main window's tab change: the form view's mode (import) loads its working record.
    const auto showImportForm = [&] {
        ++shown;
        f.store.db->LoadHistoryRecord(form, WorkingRecordOrd, Mode::Import);
    };
    // Rows outside the data do nothing.
    for (int row : {0, 4})
        QVERIFY(!HistoryCommands::RestoreGridRow(f.grid, row, form, *f.store.db, f.store.dialogs,
                                                 Mode::Export, showImportForm));
    QCOMPARE(shown, 0);
    QVERIFY(HistoryCommands::RestoreGridRow(f.grid, 2, form, *f.store.db, f.store.dialogs,
                                            Mode::Export, showImportForm));
    QCOMPARE(shown, 1);
    QCOMPARE(form.text(2), QStringLiteral("进口工作"));
    QCOMPARE(form.text(30), QString());
    // Switching the form view to export would show the row.
    Form exportForm;
    QVERIFY(f.store.db->LoadHistoryRecord(exportForm, WorkingRecordOrd, Mode::Export));
    QCOMPARE(exportForm.text(0), QStringLiteral("出口甲"));
    QCOMPARE(exportForm.text(87), QStringLiteral("出口末"));
    QCOMPARE(exportForm.text(5), QString());

    // A failed store is shown and the form view still opens.
    QVERIFY(f.store.run(QStringLiteral("BEGIN IMMEDIATE")));
    QVERIFY(HistoryCommands::RestoreGridRow(f.grid, 1, form, *f.store.db, f.store.dialogs,
                                            Mode::Export, showImportForm));
    QVERIFY(f.store.run(QStringLiteral("ROLLBACK")));
    QCOMPARE(shown, 2);
    QVERIFY(f.store.dialogs.messages().contains(QStringLiteral("数据库打开错误！")));
    QCOMPARE(f.records(Mode::Export, -1), 2);
}

void GridTest::headerClicksSortAndTheCornerRefits() {
    Shown s(12); // box 0 reads 记录11 .. 记录0
    QVERIFY(QTest::qWaitForWindowExposed(&s.grid));
    const QString header = s.cells().text(0, 3);
    s.clickHeader(3);
    QCOMPARE(s.cells().text(0, 3), header + u'△');
    QCOMPARE(s.column(3).mid(0, 2), QStringList({"记录0", "记录1"}));
    s.clickHeader(3);
    QCOMPARE(s.cells().text(0, 3), header + u'▽');
    QCOMPARE(s.column(3).first(), QStringLiteral("记录9"));
    // Another header takes the mark; the date column sorts by time.
    s.clickHeader(2);
    QCOMPARE(s.cells().text(0, 3), header);
    QCOMPARE(s.cells().text(0, 2), QStringLiteral("打印日期△"));
    QCOMPARE(s.column(3).first(), QStringLiteral("记录0"));
    QCOMPARE(s.grid.currentIndex().column(), 2);
    // The fixed column of sequence numbers selects rows; it never sorts.
    const QStringList order = s.column(0);
    QHeaderView* v = s.grid.verticalHeader();
    QTest::mouseClick(
        v->viewport(), Qt::LeftButton, {},
        QPoint(v->width() / 2, v->sectionViewportPosition(3) + v->sectionSize(3) / 2));
    QCOMPARE(s.grid.currentGridRow(), 4);

    // The corner refits the columns, and sorts and selects nothing.
    s.grid.AdjustColWidth(s.grid.window()->font());
    const int fitted = s.cells().colWidthTwips(3);
    s.grid.gridModel().setColWidthTwips(3, 6000);
    const int frame = s.grid.frameWidth();
    auto* corner = qobject_cast<QAbstractButton*>(s.grid.childAt(frame + 2, frame + 2));
    QVERIFY(corner);
    QTest::mouseClick(corner, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(s.cells().colWidthTwips(3), fitted);
    QCOMPARE(s.grid.columnWidth(3), qRound(fitted / 15.0) + s.grid.cellMarginPixels());
    QCOMPARE(s.column(0), order);
    QCOMPARE(s.cells().text(0, 2), QStringLiteral("打印日期△"));
    QVERIFY(s.grid.selectionModel()->selectedRows().size() <= 1);
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
    QVERIFY(QTest::qWaitForWindowExposed(&s.grid));
    // After a fill the last row is current.
    QCOMPARE(s.grid.currentGridRow(), 10);
    QWidget* cells = s.grid.viewport();
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
        s.grid.setFocus();
        QTest::keyClick(&s.grid, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&s.grid, Qt::Key_Down, Qt::ShiftModifier);
    } else {
        s.grid.setGridSelection(2, 4);
        s.clickHeader(3); // the selected row numbers stay
    }
    QCOMPARE(s.grid.currentGridRow(), row);
    QCOMPARE(s.grid.selectionEndRow(), otherEnd);
    QCOMPARE(s.grid.selectionModel()->selectedRows().size(), std::abs(row - otherEnd) + 1);
    // What is highlighted is what the delete takes.
    const QStringList doomed =
        s.column(0).mid(std::min(row, otherEnd) - 1, std::abs(row - otherEnd) + 1);
    s.f.store.dialogs.yesNo.enqueue(true);
    QVERIFY(s.grid.DeleteGridRows());
    for (const QString& ord : doomed)
        QCOMPARE(s.f.records(Mode::Export, ord.toInt()), 0);
    QCOMPARE(s.f.rowsOf(Mode::Export), 10 - doomed.size());
}

void GridTest::widthsOfTheView() {
    Shown s(3);
    s.grid.horizontalHeader()->resizeSection(6, 77 + s.grid.cellMarginPixels());
    QCOMPARE(s.cells().colWidthTwips(6), 77 * 15);
    QVERIFY(s.grid.isColumnHidden(0));
    // A fitted column holds what the view's own delegate needs, margins and grid line included.
    s.grid.AdjustColWidth(s.grid.window()->font());
    QStyleOptionViewItem option;
    option.initFrom(s.grid.viewport());
    option.font = s.grid.font();
    QAbstractItemModel* model = s.grid.model();
    for (int c = 2; c < 91; ++c) {
        int needed = 0;
        for (int r = 0; r < model->rowCount(); ++r)
            needed = std::max(needed,
                              s.grid.itemDelegate()->sizeHint(option, model->index(r, c)).width());
        QVERIFY2(s.grid.columnWidth(c) >= needed + 1, qPrintable(QString::number(c)));
    }
    // Nothing current: 再次打印 does nothing.
    s.grid.setGridSelection(0, 0);
    Form form;
    QVERIFY(!s.grid.RestoreGridRow(form, Mode::Export, [] { QFAIL("shown"); }));
    QVERIFY(s.f.store.dialogs.shown.isEmpty());
}

QTEST_MAIN(GridTest)
#include "tst_grid.moc"
