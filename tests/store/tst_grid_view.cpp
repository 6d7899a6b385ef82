#include "GridFixture.h"
#include "HistoryGrid.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QStyleOptionViewItem>
#include <QTest>

// The grid as the clerk uses it: header clicks, the corner, row selection by mouse and keys.
class GridViewTest : public QObject {
    Q_OBJECT
private slots:
    void headerClicksCycleTheMark();
    void cornerClickRefitsAndSortsNothing();
    void sortKeepsTheSelectedRowNumbers();
    void rowSelection_data();
    void rowSelection();
    void afterAFillTheLastRowIsCurrent();
    void deleteAsksForTheSelectedRange();
    void userWidthIsTheExportWidth();
    void fittedTextsAreNotCut();

private:
    struct Shown {
        GridFixture f;
        HistoryGrid grid{*f.store.db};
        explicit Shown(int records) {
            f.insertNumbered(f.exportTable, records);
            grid.resize(900, 600);
            grid.show();
            QVERIFY(QTest::qWaitForWindowExposed(&grid));
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
            const QPoint at(h->sectionViewportPosition(col) + h->sectionSize(col) / 2,
                            h->height() / 2);
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
        }
        QPoint cellAt(int gridRow) {
            return grid.visualRect(grid.model()->index(gridRow - 1, 3)).center();
        }
    };
};

void GridViewTest::headerClicksCycleTheMark() {
    Shown s(12); // box 0 reads 记录11 .. 记录0
    const QString header = s.cells().text(0, 3);
    const QStringList fillOrder = s.column(0);
    s.clickHeader(3);
    QCOMPARE(s.cells().text(0, 3), header + u'△');
    QCOMPARE(s.column(3).first(), QStringLiteral("记录0"));
    QCOMPARE(s.column(3).at(1), QStringLiteral("记录1"));
    s.clickHeader(3);
    QCOMPARE(s.cells().text(0, 3), header + u'▽');
    QCOMPARE(s.column(3).first(), QStringLiteral("记录9"));
    s.clickHeader(3);
    QCOMPARE(s.cells().text(0, 3), header + u'△');
    QCOMPARE(s.column(3).first(), QStringLiteral("记录0"));
    // Whole rows moved: the hidden number still belongs to the text.
    for (int r = 1; r < s.cells().rows(); ++r)
        QCOMPARE(s.cells().text(r, 3), QStringLiteral("记录") + s.cells().text(r, 0));
    // Another header takes the mark; the date column sorts by time.
    s.clickHeader(2);
    QCOMPARE(s.cells().text(0, 3), header);
    QCOMPARE(s.cells().text(0, 2), QStringLiteral("打印日期△"));
    QStringList ascending = fillOrder;
    std::reverse(ascending.begin(), ascending.end());
    QCOMPARE(s.column(0), ascending);
    QCOMPARE(s.grid.currentIndex().column(), 2);
    // The fixed column of sequence numbers selects rows; it never sorts.
    const QStringList before = s.column(0);
    QHeaderView* v = s.grid.verticalHeader();
    QTest::mouseClick(
        v->viewport(), Qt::LeftButton, {},
        QPoint(v->width() / 2, v->sectionViewportPosition(3) + v->sectionSize(3) / 2));
    QCOMPARE(s.column(0), before);
    QCOMPARE(s.grid.currentGridRow(), 4);
}

void GridViewTest::cornerClickRefitsAndSortsNothing() {
    Shown s(5);
    s.clickHeader(4);
    const QStringList headers = [&] {
        QStringList h;
        for (int c = 0; c < 91; ++c)
            h.append(s.cells().text(0, c));
        return h;
    }();
    const QStringList order = s.column(0);
    s.grid.AdjustColWidth(s.grid.window()->font());
    const int fitted = s.cells().colWidthTwips(3);
    s.grid.gridModel().setColWidthTwips(3, 6000);
    QCOMPARE(s.grid.columnWidth(3), 400 + s.grid.cellMarginPixels());
    const int frame = s.grid.frameWidth();
    QWidget* corner = s.grid.childAt(frame + 2, frame + 2);
    QVERIFY(qobject_cast<QAbstractButton*>(corner));
    QTest::mouseClick(corner, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(s.cells().colWidthTwips(3), fitted);
    QCOMPARE(s.grid.columnWidth(3), qRound(fitted / 15.0) + s.grid.cellMarginPixels());
    QCOMPARE(s.column(0), order);
    for (int c = 0; c < 91; ++c)
        QCOMPARE(s.cells().text(0, c), headers[c]);
    // The corner does not select every row either.
    QVERIFY(s.grid.selectionModel()->selectedRows().size() <= 1);
}

void GridViewTest::sortKeepsTheSelectedRowNumbers() {
    Shown s(8);
    s.grid.setGridSelection(2, 4);
    s.clickHeader(3);
    QCOMPARE(s.grid.currentGridRow(), 2);
    QCOMPARE(s.grid.selectionEndRow(), 4);
    // What is highlighted is what the delete takes.
    const QStringList shown = s.column(0).mid(1, 3);
    s.f.store.dialogs.yesNo.enqueue(true);
    QVERIFY(s.grid.DeleteGridRows());
    for (const QString& ord : shown)
        QCOMPARE(s.f.records(s.f.exportTable, ord.toInt()), 0);
    QCOMPARE(s.f.rowsOf(s.f.exportTable), 5);
}

void GridViewTest::rowSelection_data() {
    QTest::addColumn<QString>("gesture");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("otherEnd");
    QTest::newRow("press on 5, drag to 3") << "drag" << 5 << 3;
    QTest::newRow("click 2, shift+click 6") << "shift" << 2 << 6;
    QTest::newRow("click 4, shift+down twice") << "keys" << 4 << 6;
    QTest::newRow("click 7, up") << "up" << 6 << 6;
}

void GridViewTest::rowSelection() {
    QFETCH(QString, gesture);
    QFETCH(int, row);
    QFETCH(int, otherEnd);
    Shown s(10);
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
        QTest::keyClick(&s.grid, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&s.grid, Qt::Key_Down, Qt::ShiftModifier);
    } else {
        QTest::mouseClick(cells, Qt::LeftButton, {}, s.cellAt(7));
        QTest::keyClick(&s.grid, Qt::Key_Up);
    }
    QCOMPARE(s.grid.currentGridRow(), row);
    QCOMPARE(s.grid.selectionEndRow(), otherEnd);
    QCOMPARE(s.grid.selectionModel()->selectedRows().size(), std::abs(row - otherEnd) + 1);
}

void GridViewTest::afterAFillTheLastRowIsCurrent() {
    Shown s(4);
    QCOMPARE(s.grid.currentGridRow(), 4);
    QCOMPARE(s.grid.selectionEndRow(), 4);
    s.grid.setGridSelection(0, 0);
    QCOMPARE(s.grid.currentGridRow(), 0);
    // Nothing current: 再次打印 does nothing.
    Form form;
    bool shown = false;
    QVERIFY(!s.grid.RestoreGridRow(form, s.f.exportTable, [&] { shown = true; }));
    QVERIFY(!shown);
    QVERIFY(s.f.store.dialogs.shown.isEmpty());
    // An empty table leaves nothing current.
    QVERIFY(s.f.store.run(QStringLiteral("DELETE FROM 出口")));
    QVERIFY(s.grid.FillHistoryGrid(Mode::Export));
    QCOMPARE(s.grid.currentGridRow(), 0);
}

void GridViewTest::deleteAsksForTheSelectedRange() {
    Shown s(10);
    QWidget* cells = s.grid.viewport();
    QTest::mousePress(cells, Qt::LeftButton, {}, s.cellAt(5));
    QTest::mouseMove(cells, s.cellAt(3));
    QTest::mouseRelease(cells, Qt::LeftButton, {}, s.cellAt(3));
    const QStringList doomed = s.column(0).mid(2, 3);
    s.f.store.dialogs.yesNo.enqueue(true);
    QVERIFY(s.grid.DeleteGridRows());
    QCOMPARE(s.f.store.dialogs.allTexts(), QStringList{"您确定要删除第5至第3行数据？"});
    for (const QString& ord : doomed)
        QCOMPARE(s.f.records(s.f.exportTable, ord.toInt()), 0);
    QCOMPARE(s.cells().rows(), 8);
    QCOMPARE(s.f.rowsOf(s.f.exportTable), 7);
    QCOMPARE(s.grid.currentGridRow(), 3);
}

void GridViewTest::userWidthIsTheExportWidth() {
    Shown s(3);
    s.grid.horizontalHeader()->resizeSection(6, 77 + s.grid.cellMarginPixels());
    QCOMPARE(s.cells().colWidthTwips(6), 77 * 15);
    QVERIFY(s.grid.isColumnHidden(0));
    QCOMPARE(s.grid.verticalHeader()->width(), qRound(s.cells().colWidthTwips(1) / 15.0));
}

void GridViewTest::fittedTextsAreNotCut() {
    Shown s(3);
    s.grid.AdjustColWidth(s.grid.window()->font());
    // What the view's own delegate needs for each cell, its margins and the grid line
    // included.
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
}

QTEST_MAIN(GridViewTest)
#include "tst_grid_view.moc"
