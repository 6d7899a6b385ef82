#include "GridFixture.h"

#include <QDate>
#include <QFontMetricsF>
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

} // namespace

class GridTest : public QObject {
    Q_OBJECT
private slots:
    void emptyTableShowsHeaderAlone();
    void headersFollowTheHistoryMode_data();
    void headersFollowTheHistoryMode();
    void rowsInDescendingOrderWithDates_data();
    void rowsInDescendingOrderWithDates();
    void sparseRecordFillsOnlyItsColumns();
    void fillFailureLeavesHeaderAlone();
    void colours();
    void fittedWidthsMatchMeasuringEveryCell_data();
    void fittedWidthsMatchMeasuringEveryCell();
    void sortOrder_data();
    void sortOrder();
    void deleteRange_data();
    void deleteRange();
    void deleteAfterAMoveDeletesTheRightRecord();
    void deleteWorkingRecordRow();
    void deleteFailureChangesNothing();
    void deleteRowWithoutRecordNumber();
    void clearHistory_data();
    void clearHistory();
    void restoreOutsideDataRowsDoesNothing_data();
    void restoreOutsideDataRowsDoesNothing();
    void restoreExportRowWhileFormShowsImport();
    void gridAccessForTheExchange();
};

void GridTest::emptyTableShowsHeaderAlone() {
    GridFixture f;
    QVERIFY(f.fill(f.exportTable));
    QCOMPARE(f.grid.rows(), 1);
    QCOMPARE(f.grid.rowCount(), 0);
    QCOMPARE(f.grid.cols(), 91);
    QCOMPARE(f.grid.text(0, 2), QStringLiteral("打印日期"));
    QCOMPARE(f.grid.colWidthTwips(0), 0);
    QCOMPARE(f.grid.colWidthTwips(1), 100); // no header text, no rows
    for (int c = 2; c < 91; ++c)
        QCOMPARE(f.grid.colWidthTwips(c), fitted(f.font, {f.grid.text(0, c)}));
    QVERIFY(f.store.dialogs.shown.isEmpty());
}

void GridTest::headersFollowTheHistoryMode_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("firstHeaders"); // boxes 0, 2 and 10
    QTest::newRow("export") << 0 << QStringList{"预录入编号", "出口口岸", "发货单位"};
    QTest::newRow("import") << 1 << QStringList{"预录入编号", "进口口岸", "收货单位"};
}

void GridTest::headersFollowTheHistoryMode() {
    QFETCH(int, mode);
    QFETCH(QStringList, firstHeaders);
    GridFixture f;
    QVERIFY(HistoryCommands::FillHistoryGrid(f.grid, *f.store.db, static_cast<Mode>(mode), f.font));
    QCOMPARE((QStringList{f.grid.text(0, 3), f.grid.text(0, 5), f.grid.text(0, 13)}), firstHeaders);
    for (int i = 0; i < BoxCount; ++i)
        QVERIFY2(!f.grid.text(0, 3 + i).contains(u'：'), qPrintable(QString::number(i)));
    // Goods lines 2 to 5 repeat the headers of line 1, whatever their own labels say.
    for (int i = 49; i <= 80; ++i)
        QCOMPARE(f.grid.text(0, 3 + i), f.grid.text(0, 3 + 41 + (i - 41) % 8));
    QCOMPARE(f.grid.text(0, 3 + 49), QStringLiteral("项号"));
}

void GridTest::rowsInDescendingOrderWithDates_data() {
    QTest::addColumn<QList<int>>("ords");
    QTest::addColumn<QList<double>>("dates");
    QTest::addColumn<QStringList>("expectedOrds");
    QTest::addColumn<QStringList>("expectedDates");
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QTest::newRow("working record last with today's date")
        << QList<int>{-1, 0, 1} << QList<double>{WorkingRecordDate, 46000.5, 45000.0}
        << QStringList{"1", "0", "-1"} << QStringList{"2023-03-15", "2025-12-09 12:00:00", today};
    QTest::newRow("seconds kept, zero padded")
        << QList<int>{3} << QList<double>{45000 + (9 * 3600 + 5 * 60 + 7) / 86400.0}
        << QStringList{"3"} << QStringList{"2023-03-15 09:05:07"};
    QTest::newRow("a time that rounds up to midnight")
        << QList<int>{0} << QList<double>{45000 + 86399.6 / 86400} << QStringList{"0"}
        << QStringList{"2023-03-16"};
    QTest::newRow("beyond 16 bits")
        << QList<int>{40000, 70000} << QList<double>{45000, 45001} << QStringList{"70000", "40000"}
        << QStringList{"2023-03-16", "2023-03-15"};
}

void GridTest::rowsInDescendingOrderWithDates() {
    QFETCH(QList<int>, ords);
    QFETCH(QList<double>, dates);
    QFETCH(QStringList, expectedOrds);
    QFETCH(QStringList, expectedDates);
    GridFixture f;
    for (int i = 0; i < ords.size(); ++i)
        QVERIFY(f.insert(f.exportTable, ords[i], dates[i], {{1, QStringLiteral("x")}, {2, "y"}}));
    QVERIFY(f.fill(f.exportTable));
    QCOMPARE(f.column(0), expectedOrds);
    QCOMPARE(f.column(2), expectedDates);
    QStringList sequence;
    for (int i = 1; i <= ords.size(); ++i)
        sequence.append(QString::number(i));
    QCOMPARE(f.column(1), sequence);
}

void GridTest::sparseRecordFillsOnlyItsColumns() {
    GridFixture f;
    QVERIFY(f.insert(f.exportTable, 0, 45000, {{87, "末格"}, {0, "首格"}}));
    QVERIFY(f.insert(f.exportTable, 1, 45000, {{5, "other"}}));
    // Rows no writer of ours makes: box numbers outside 0..87, a box stored twice.
    QVERIFY(f.insert(f.exportTable, 1, 45000, {{88, "beyond"}, {-1, "before"}, {5, "again"}}));
    QVERIFY(f.fill(f.exportTable));
    QCOMPARE(f.grid.rows(), 3);
    QCOMPARE(f.grid.text(2, 3), QStringLiteral("首格"));
    QCOMPARE(f.grid.text(2, 90), QStringLiteral("末格"));
    for (int c = 4; c < 90; ++c)
        QVERIFY2(f.grid.text(2, c).isEmpty(), qPrintable(QString::number(c)));
    QVERIFY(f.grid.text(1, 8) == QStringLiteral("other") || f.grid.text(1, 8) == "again");
    for (int c = 3; c < 91; ++c)
        QVERIFY(c == 8 || f.grid.text(1, c).isEmpty());
    QCOMPARE(f.grid.data(f.grid.index(1, 90)).toString(), QStringLiteral("末格"));
}

void GridTest::fillFailureLeavesHeaderAlone() {
    GridFixture f;
    QVERIFY(f.insertNumbered(f.exportTable, 3));
    QVERIFY(f.fill(f.exportTable));
    QCOMPARE(f.grid.rows(), 4);
    QVERIFY(f.store.run(QStringLiteral("ALTER TABLE 出口 RENAME TO gone")));
    QVERIFY(!f.fill(f.exportTable));
    QCOMPARE(f.grid.rows(), 1);
    QCOMPARE(f.grid.text(0, 2), QStringLiteral("打印日期"));
    QCOMPARE(f.store.dialogs.messages(), QStringList{QStringLiteral("数据库打开错误！")});
}

void GridTest::colours() {
    GridFixture f;
    QVERIFY(f.insertNumbered(f.exportTable, 2));
    QVERIFY(f.fill(f.exportTable));
    for (int c = 0; c < 91; ++c) {
        const bool grey = c >= 3 && c <= 89 && c % 2 == 1;
        QCOMPARE(f.grid.cellBackColor(0, c), 0u); // the header has none of its own
        QCOMPARE(f.grid.cellBackColor(2, c), grey ? 0xDDDDDDu : 0u);
        const QVariant fore = f.grid.data(f.grid.index(0, c), Qt::ForegroundRole);
        QCOMPARE(fore.isValid() ? fore.value<QColor>() : QColor(),
                 c >= 2 ? QColor(0, 0, 255) : QColor());
        QCOMPARE(f.grid.data(f.grid.index(0, c), Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignLeft | Qt::AlignVCenter));
    }
    // BGR: red in the low byte.
    f.grid.SetColBKColor(4, QColor(1, 2, 3));
    QCOMPARE(f.grid.cellBackColor(1, 4), 0x030201u);
}

void GridTest::fittedWidthsMatchMeasuringEveryCell_data() {
    QTest::addColumn<QString>("family");
    QTest::addColumn<QStringList>("texts");
    const QStringList latin{"AVAVAVAV",      "To To To", "fiflffi", "WWWW",
                            "iiiiiiiiiiiii", "Wa.",      "LT'Y",    "1234567890"};
    const QStringList cjk{
        "中华人民共和国", "上海浦东国际机场", "（一般贸易）", "ＡＢＣ１２３",
        "照章征税",       "件/千克",          "美元USD",      "深圳市某某进出口有限公司"};
    const QStringList complex{"e\u0301e\u0301e\u0301e\u0301e\u0301e\u0301",
                              "مرحبا بالعالم",
                              "第一行\r\n第二行较长的一行",
                              "tab\there",
                              "😀😀😀😀",
                              "a\u200db\u200dc"};
    for (const char* family : {"DejaVu Sans", "AR PL UMing CN", "DejaVu Serif"}) {
        QTest::addRow("%s latin", family) << QString::fromLatin1(family) << latin;
        QTest::addRow("%s cjk", family) << QString::fromLatin1(family) << cjk;
        QTest::addRow("%s complex", family) << QString::fromLatin1(family) << (complex + latin);
    }
}

void GridTest::fittedWidthsMatchMeasuringEveryCell() {
    QFETCH(QString, family);
    QFETCH(QStringList, texts);
    HistoryGridModel grid;
    // Each column gets the texts in a different order, so the widest comes anywhere.
    for (int r = 0; r < texts.size(); ++r) {
        const int row = grid.addRow();
        for (int c = 1; c < 91; ++c)
            grid.setText(row, c, texts[(r + c) % texts.size()]);
    }
    for (int size : {7, 9, 12}) {
        const QFont font(family, size);
        grid.AdjustColWidth(font);
        for (int c = 1; c < 91; ++c)
            QCOMPARE(grid.colWidthTwips(c), fitted(font, texts));
    }
    QCOMPARE(grid.colWidthTwips(0), 0);
}

void GridTest::sortOrder_data() {
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("expected");
    const QStringList mixed{"9", "abc", "10", "", "2.5", "-1", "Abd", " 3 ", "1e2", "12abc"};
    QTest::newRow("numbers by value before texts, empty last")
        << mixed << true
        << QStringList{"-1", "2.5", " 3 ", "9", "10", "1e2", "12abc", "abc", "Abd", ""};
    QTest::newRow("descending reverses, empty still last")
        << mixed << false
        << QStringList{"Abd", "abc", "12abc", "1e2", "10", "9", " 3 ", "2.5", "-1", ""};
    QTest::newRow("descending keeps equal cells in order")
        << QStringList{"b", "", "a", "b", "", "a"} << false
        << QStringList{"b", "b", "a", "a", "", ""};
    QTest::newRow("chinese texts by reading") << QStringList{"上海", "北京", "广州", "重庆"} << true
                                              << QStringList{"北京", "重庆", "广州", "上海"};
    QTest::newRow("equal cells keep their order")
        << QStringList{"b", "a", "b", "a"} << true << QStringList{"a", "a", "b", "b"};
    QTest::newRow("dates as text are in time order")
        << QStringList{"2024-01-02", "2023-12-31 23:59:59", "2024-01-02 00:00:01", "2023-12-31"}
        << true
        << QStringList{"2023-12-31", "2023-12-31 23:59:59", "2024-01-02", "2024-01-02 00:00:01"};
}

void GridTest::sortOrder() {
    QFETCH(QStringList, cells);
    QFETCH(bool, ascending);
    QFETCH(QStringList, expected);
    HistoryGridModel grid;
    for (int i = 0; i < cells.size(); ++i) {
        const int row = grid.addRow();
        grid.setText(row, 0, QString::number(100 + i));
        grid.setText(row, 1, QString::number(i + 1));
        grid.setText(row, 7, cells[i]);
    }
    grid.sortByColumn(7, ascending);
    QCOMPARE(grid.rows(), cells.size() + 1);
    for (int r = 1; r < grid.rows(); ++r) {
        QCOMPARE(grid.text(r, 7), expected[r - 1]);
        // Whole rows move: the hidden number still names the same cell.
        const int original = grid.text(r, 0).toInt() - 100;
        QCOMPARE(grid.text(r, 7), cells[original]);
        QCOMPARE(grid.text(r, 1), QString::number(original + 1));
    }
    if (QTest::currentDataTag() == QByteArray("equal cells keep their order"))
        QCOMPARE(QStringList({grid.text(1, 0), grid.text(2, 0)}), QStringList({"101", "103"}));
    if (QTest::currentDataTag() == QByteArray("descending keeps equal cells in order"))
        QCOMPARE(QStringList({grid.text(1, 0), grid.text(2, 0), grid.text(5, 0)}),
                 QStringList({"100", "103", "101"}));
}

void GridTest::deleteRange_data() {
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("otherEnd");
    QTest::addColumn<QString>("question");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QStringList>("remainingOrds");
    // Ten records: grid rows 1..10 show Ord 9..0.
    QTest::newRow("rows 5 down to 3") << 5 << 3 << "您确定要删除第5至第3行数据？" << true
                                      << QStringList{"9", "8", "4", "3", "2", "1", "0"};
    QTest::newRow("rows 3 to 5") << 3 << 5 << "您确定要删除第3至第5行数据？" << true
                                 << QStringList{"9", "8", "4", "3", "2", "1", "0"};
    QTest::newRow("one row") << 10 << 10 << "您确定要删除第10至第10行数据？" << true
                             << QStringList{"9", "8", "7", "6", "5", "4", "3", "2", "1"};
    QTest::newRow("answer no") << 2 << 1 << "您确定要删除第2至第1行数据？" << false
                               << QStringList{"9", "8", "7", "6", "5", "4", "3", "2", "1", "0"};
    QTest::newRow("header row is current")
        << 0 << 4 << "" << true << QStringList{"9", "8", "7", "6", "5", "4", "3", "2", "1", "0"};
}

void GridTest::deleteRange() {
    QFETCH(int, current);
    QFETCH(int, otherEnd);
    QFETCH(QString, question);
    QFETCH(bool, answer);
    QFETCH(QStringList, remainingOrds);
    GridFixture f;
    QVERIFY(f.insertNumbered(f.exportTable, 10));
    QVERIFY(f.fill(f.exportTable));
    f.store.dialogs.yesNo.enqueue(answer);
    const bool deleted =
        HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.exportTable, current, otherEnd);
    QCOMPARE(deleted, answer && !question.isEmpty());
    QCOMPARE(f.store.dialogs.allTexts(),
             question.isEmpty() ? QStringList() : QStringList{question});
    QCOMPARE(f.column(0), remainingOrds);
    // The grid and the table agree, record by record.
    QCOMPARE(f.rowsOf(f.exportTable), remainingOrds.size());
    for (const QString& ord : remainingOrds)
        QCOMPARE(f.records(f.exportTable, ord.toInt()), 1);
    for (int r = 1; r < f.grid.rows(); ++r)
        QCOMPARE(f.grid.text(r, 3), QStringLiteral("记录") + f.grid.text(r, 0));
}

void GridTest::deleteAfterAMoveDeletesTheRightRecord() {
    GridFixture f;
    QVERIFY(f.insertNumbered(f.exportTable, 6)); // rows show 5 4 3 2 1 0
    QVERIFY(f.fill(f.exportTable));
    f.store.dialogs.yesNo << true << true;
    QVERIFY(HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.exportTable, 2, 3));
    QCOMPARE(f.column(0), QStringList({"5", "2", "1", "0"}));
    QCOMPARE(f.column(1), QStringList({"1", "4", "5", "6"})); // the gap stays until the next fill
    // Row 3 now shows the record that was in row 5.
    QVERIFY(HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.exportTable, 3, 3));
    QCOMPARE(f.column(0), QStringList({"5", "2", "0"}));
    QCOMPARE(f.records(f.exportTable, 1), 0);
    QCOMPARE(f.records(f.exportTable, 2), 1);
    QCOMPARE(f.records(f.exportTable, 0), 1);
    // Also after a sort.
    f.grid.sortByColumn(3, true); // 记录0, 记录2, 记录5
    f.store.dialogs.yesNo.enqueue(true);
    QVERIFY(HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.exportTable, 2, 2));
    QCOMPARE(f.records(f.exportTable, 2), 0);
    QCOMPARE(f.records(f.exportTable, 0) + f.records(f.exportTable, 5), 2);
}

void GridTest::deleteWorkingRecordRow() {
    GridFixture f;
    QVERIFY(f.insertNumbered(f.importTable, 2));
    QVERIFY(f.insert(f.importTable, -1, WorkingRecordDate, {{0, "w"}, {3, "w3"}}));
    QVERIFY(f.fill(f.importTable));
    QCOMPARE(f.grid.rows(), 4);
    f.store.dialogs.yesNo.enqueue(true);
    QVERIFY(HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.importTable, 3, 3));
    QCOMPARE(f.records(f.importTable, -1), 0);
    QCOMPARE(f.rowsOf(f.importTable), 2);
    QCOMPARE(f.column(0), QStringList({"1", "0"}));
}

void GridTest::deleteFailureChangesNothing() {
    GridFixture f;
    QVERIFY(f.insertNumbered(f.exportTable, 8));
    QVERIFY(f.fill(f.exportTable));
    // The third record of the range cannot be deleted.
    QVERIFY(
        f.store.run(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON 出口 WHEN OLD.Ord = 3 "
                                   "BEGIN SELECT RAISE(ABORT, 'refused'); END")));
    const QStringList before = f.column(0);
    f.store.dialogs.yesNo.enqueue(true);
    QVERIFY(!HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.exportTable, 2, 6));
    QCOMPARE(f.store.dialogs.messages(), QStringList{QStringLiteral("数据库打开错误！")});
    QCOMPARE(f.column(0), before);
    QCOMPARE(f.rowsOf(f.exportTable), 8);
    // A locked file is refused just as whole.
    QVERIFY(f.store.run(QStringLiteral("DROP TRIGGER refuse")));
    QVERIFY(f.store.run(QStringLiteral("BEGIN IMMEDIATE")));
    f.store.dialogs.clear();
    f.store.dialogs.yesNo.enqueue(true);
    QVERIFY(!HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.exportTable, 1, 8));
    QVERIFY(f.store.run(QStringLiteral("ROLLBACK")));
    QCOMPARE(f.store.dialogs.messages(), QStringList{QStringLiteral("数据库打开错误！")});
    QCOMPARE(f.column(0), before);
    QCOMPARE(f.rowsOf(f.exportTable), 8);
}

void GridTest::deleteRowWithoutRecordNumber() {
    GridFixture f;
    QVERIFY(f.insertNumbered(f.exportTable, 3));
    QVERIFY(f.fill(f.exportTable));
    // Rows an import left behind without a record number.
    const int orphan = f.grid.addRow();
    f.grid.setText(orphan, 1, QString::number(orphan));
    f.grid.setText(orphan, 3, QStringLiteral("未存入"));
    f.store.dialogs.yesNo << true << true;
    QVERIFY(HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.exportTable, orphan, orphan));
    QCOMPARE(f.grid.rows(), 4);
    QCOMPARE(f.rowsOf(f.exportTable), 3);
    QVERIFY(f.store.dialogs.messages().isEmpty());
    // Mixed with real records, those are deleted and every row leaves the grid.
    const int second = f.grid.addRow();
    f.grid.setText(second, 0, QStringLiteral("not a number"));
    QVERIFY(HistoryCommands::DeleteGridRows(f.grid, *f.store.db, f.exportTable, 3, second));
    QCOMPARE(f.column(0), QStringList({"2", "1"}));
    QCOMPARE(f.rowsOf(f.exportTable), 2);
    QCOMPARE(f.records(f.exportTable, 0), 0);
}

void GridTest::clearHistory_data() {
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<int>("gridRows");
    QTest::addColumn<int>("tableRows");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("ok") << true << false << 1 << 0 << QStringList();
    QTest::newRow("cancel") << false << false << 4 << 4 << QStringList();
    QTest::newRow("database locked") << true << true << 4 << 4 << QStringList{"数据库打开错误！"};
}

void GridTest::clearHistory() {
    QFETCH(bool, answer);
    QFETCH(bool, locked);
    QFETCH(int, gridRows);
    QFETCH(int, tableRows);
    QFETCH(QStringList, messages);
    GridFixture f;
    QVERIFY(f.insertNumbered(f.exportTable, 2));
    QVERIFY(f.insert(f.exportTable, -1, WorkingRecordDate, {{0, "w"}, {1, "w"}}));
    QVERIFY(f.insertNumbered(f.importTable, 1));
    QVERIFY(f.fill(f.exportTable));
    if (locked)
        QVERIFY(f.store.run(QStringLiteral("BEGIN IMMEDIATE")));
    f.store.dialogs.okCancel.enqueue(answer);
    QCOMPARE(HistoryCommands::ClearHistory(f.grid, *f.store.db, f.exportTable), answer && !locked);
    if (locked)
        QVERIFY(f.store.run(QStringLiteral("ROLLBACK")));
    QCOMPARE(f.store.dialogs.shown.first().text, QStringLiteral("您真的要清除历史数据？"));
    QCOMPARE(f.store.dialogs.shown.first().title, QStringLiteral("删除记录确认"));
    QCOMPARE(f.store.dialogs.shown.first().kind, QStringLiteral("okcancel"));
    QCOMPARE(f.store.dialogs.messages(), messages);
    QCOMPARE(f.grid.rows(), gridRows);
    QCOMPARE(f.rowsOf(f.exportTable), tableRows);
    QCOMPARE(f.rowsOf(f.importTable), 1); // the other mode is untouched
}

void GridTest::restoreOutsideDataRowsDoesNothing_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("row");
    QTest::newRow("empty grid") << 0 << 1;
    QTest::newRow("header row") << 3 << 0;
    QTest::newRow("beyond the last row") << 3 << 4;
}

void GridTest::restoreOutsideDataRowsDoesNothing() {
    QFETCH(int, records);
    QFETCH(int, row);
    GridFixture f;
    QVERIFY(f.insertNumbered(f.exportTable, records));
    QVERIFY(f.fill(f.exportTable));
    Form form;
    form.setText(4, QStringLiteral("typed"));
    bool shown = false;
    QVERIFY(!HistoryCommands::RestoreGridRow(f.grid, row, form, *f.store.db, f.exportTable,
                                             [&] { shown = true; }));
    QVERIFY(!shown);
    QCOMPARE(form.text(4), QStringLiteral("typed"));
    QCOMPARE(f.records(f.exportTable, -1), 0);
}

void GridTest::restoreExportRowWhileFormShowsImport() {
    GridFixture f;
    QVERIFY(f.insert(f.exportTable, 0, 45000, {{0, "出口甲"}, {87, "出口末"}}));
    QVERIFY(f.insert(f.exportTable, 1, 45000, {{0, "出口乙"}, {10, "十"}}));
    QVERIFY(f.insert(f.exportTable, -1, WorkingRecordDate, {{5, "旧的工作记录"}}));
    QVERIFY(f.insert(f.importTable, -1, WorkingRecordDate, {{2, "进口工作"}}));
    QVERIFY(f.fill(f.exportTable));
    Form form; // the form view shows import
    form.setText(2, QStringLiteral("进口工作"));
    form.setText(30, QStringLiteral("typed in import"));
    int shown = 0;
    // The main window's tab change: the form view's mode (import) loads its working record.
    const auto showImportForm = [&] {
        ++shown;
        f.store.db->LoadHistoryRecord(form, WorkingRecordOrd, f.importTable);
    };
    QVERIFY(HistoryCommands::RestoreGridRow(f.grid, 2, form, *f.store.db, f.exportTable,
                                            showImportForm));
    QCOMPARE(shown, 1);
    QCOMPARE(form.text(2), QStringLiteral("进口工作"));
    QCOMPARE(form.text(30), QString());
    QCOMPARE(form.text(0), QString());
    // Switching the form view to export would show the row.
    Form exportForm;
    QVERIFY(f.store.db->LoadHistoryRecord(exportForm, WorkingRecordOrd, f.exportTable));
    QCOMPARE(exportForm.text(0), QStringLiteral("出口甲"));
    QCOMPARE(exportForm.text(87), QStringLiteral("出口末"));
    QCOMPARE(exportForm.text(5), QString());
    QCOMPARE(f.records(f.exportTable, -1), 2);
    QCOMPARE(f.records(f.importTable, -1), 1);

    // A failed store is shown and the form view still opens.
    QVERIFY(f.store.run(QStringLiteral("BEGIN IMMEDIATE")));
    QVERIFY(HistoryCommands::RestoreGridRow(f.grid, 1, form, *f.store.db, f.exportTable,
                                            showImportForm));
    QVERIFY(f.store.run(QStringLiteral("ROLLBACK")));
    QCOMPARE(shown, 2);
    QVERIFY(f.store.dialogs.messages().contains(QStringLiteral("数据库打开错误！")));
    QCOMPARE(f.records(f.exportTable, -1), 2);
}

void GridTest::gridAccessForTheExchange() {
    GridFixture f;
    QVERIFY(f.insertNumbered(f.exportTable, 2));
    QVERIFY(f.fill(f.exportTable));
    GridAccess& grid = f.grid;
    QCOMPARE(grid.rows(), 3);
    QCOMPARE(grid.fixedRows(), 1);
    QCOMPARE(grid.text(0, 2), QStringLiteral("打印日期"));
    const int row = grid.addRow();
    QCOMPARE(row, 3);
    QCOMPARE(grid.rows(), 4);
    QCOMPARE(grid.text(row, 3), QString());
    grid.setText(row, 3, QStringLiteral("导入的"));
    grid.setText(row, 0, QStringLiteral("7"));
    grid.setText(row, 90, QStringLiteral("末"));
    grid.setText(row, 91, QStringLiteral("ignored"));
    grid.setText(9, 3, QStringLiteral("ignored"));
    QCOMPARE(grid.text(row, 3), QStringLiteral("导入的"));
    QCOMPARE(grid.text(row, 90), QStringLiteral("末"));
    QCOMPARE(f.grid.recordNumber(row), std::optional<int>(7));
    grid.setText(row, 3, QString());
    QCOMPARE(grid.text(row, 3), QString());
    QCOMPARE(grid.text(row, 90), QStringLiteral("末"));
    QCOMPARE(grid.colWidthTwips(0), 0);
    QVERIFY(grid.colWidthTwips(2) > 100);
}

QTEST_MAIN(GridTest)
#include "tst_grid.moc"
