#include "Form.h"
#include "FormScans.h"
#include "HistoryCommands.h"
#include "HistoryGrid.h"
#include "HistoryGridModel.h"
#include "Layouts.h"
#include "RecoveryCopy.h"
#include "SaveContents.h"
#include "SelDialog.h"
#include "StoreFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QGuiApplication>
#include <QHeaderView>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>

namespace {

const QString DbError = QStringLiteral("数据库打开错误！");

// A form whose every box holds `pattern` with the box's number.
Form& filled(Form& form, const QString& pattern) {
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, pattern.arg(i));
    return form;
}

// A store with history records written from outside, and a grid to fill from it.
struct GridFixture : StoreFixture {
    HistoryGridModel grid;

    bool insert(Mode mode, int ord, double dat, const QMap<int, QString>& boxes) {
        for (auto it = boxes.cbegin(); it != boxes.cend(); ++it)
            if (!run(QStringLiteral("INSERT INTO \"%1\" VALUES (%2, %3, %4, '%5')")
                         .arg(Catalogue::modeWord(mode), QString::number(ord),
                              QString::number(dat, 'f', 10), QString::number(it.key()), *it)))
                return false;
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
        return HistoryCommands::FillHistoryGrid(grid, *db, dialogs, mode, QFont("DejaVu Sans", 9));
    }
    int rowsOf(Mode mode) {
        return count(QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(Catalogue::modeWord(mode)));
    }
    QStringList column(int col) {
        QStringList out;
        for (int r = 1; r < grid.rows(); ++r)
            out.append(grid.text(r, col));
        return out;
    }
};

} // namespace

// The database file: its schema and upgrade, history records, layouts, failures injected into
// its transactions; the history grid filled from it, sorted, and its rows deleted and restored.
class StoreTest : public QObject {
    Q_OBJECT
private slots:
    void oldFileUpgradedKeepingEveryRow();
    void olderFileReadAsItIs_data();
    void olderFileReadAsItIs();
    void layoutDialogTellsAFailedList();
    void layoutDialogNames_data();
    void layoutDialogNames();
    void injectedFailuresLoseNothing();
    void textsKeptExactly_data();
    void textsKeptExactly();
    void fillShowsRecordsUnderTheModeHeaders();
    void sortOrder();
    void clearDeleteAndRestore();
    void theShownGrid();
};

void StoreTest::oldFileUpgradedKeepingEveryRow() {
    StoreFixture f;
    const QString path = DataBase::defaultFilePath(); // never the user's data
    QVERIFY(path.contains(u"/.qttest/") && path.endsWith(u"/Par.db"));
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    // A file as schema version 1 left it, with rows in every table, and an index lost.
    for (const char* sql :
         {"DROP TABLE 底图", "DROP TABLE 恢复", "DROP INDEX 出口_Ord", "DELETE FROM 格式",
          "PRAGMA user_version = 1",
          "INSERT INTO 出口 VALUES (-1, 26894.0, 6, '宁波甬港'), (0, 45000.5, 42, '8471300000')",
          "INSERT INTO 进口 VALUES (40000, 45001.25, 46, '250000.00')",
          "INSERT INTO 格式 VALUES ('上一次退出时的格式', 0, 11, 22, 33, 44, 255, '宋体', 12, 1, "
          "0, 0, 0)",
          // Rows of a layout other programs wrote: boxes outside 0..87, an empty X, a text that
          // is no number, a box written twice.
          "INSERT INTO 格式 (Name, Ctl, X, Y, W, fSize) VALUES ('p', 88, 1, 1, 1, 1), ('p', -1, 1, "
          "1, 1, 1), ('p', 5, NULL, 4321, 'wide', 14), ('p', 1, 10, 0, 0, 0), ('p', 1, 20, 0, 0, "
          "0)"})
        QVERIFY2(f.run(QString::fromUtf8(sql)), sql);
    const QString rows = QStringLiteral(
        "SELECT group_concat(t || Ord || Dat || Ctl || Con, ';') FROM (SELECT 'e' AS t, * FROM "
        "出口 UNION ALL SELECT 'i', * FROM 进口 UNION ALL SELECT Name, X, Y, W, fName FROM 格式)");
    const QVariant before = f.scalar(rows);
    f.reopen();
    QCOMPARE(f.db->nextRecordNumber(Mode::Export), std::optional<int>(1));
    QCOMPARE(f.db->nextRecordNumber(Mode::Import), std::optional<int>(40001)); // past 16 bits
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA user_version")).toInt(), DataBase::SchemaVersion);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name IN ('底图', "
                                    "'恢复', '出口_Ord', '进口_Ord', '格式_Name')")),
             5);
    // Every row kept, and no factory layout added to a file that has its own.
    QCOMPARE(f.scalar(rows), before);
    // Of the other programs' rows, what makes sense is read; the last row of a box wins.
    Form form, other;
    Layouts layouts(*f.db);
    QVERIFY(layouts.LoadLayout(other, QStringLiteral("p")));
    QCOMPARE((QList<float>{other.box(5).left, other.box(5).top, other.box(5).width,
                           other.box(5).fontSize, other.box(1).left}),
             (QList<float>{form.box(5).left, 4321, form.box(5).width, 14, 20}));
    QVERIFY(other.box(87).layoutFields() == form.box(87).layoutFields());
    QCOMPARE(layouts.wouldReplace(Catalogue::fixedLayoutName()), std::optional<bool>(true));
    // The new table keeps one scan per mode.
    FormScans scans(*f.db);
    const FormScan scan{QByteArray("\x89PNG\0x", 6), QStringLiteral("出口.png"), 1.5, -2, 98.5};
    QVERIFY(scans.save(Mode::Export, scan));
    QVERIFY(scans.save(Mode::Import, FormScan{QByteArray(300000, 'i'), "i.pdf", 0, 0, 100}));
    QVERIFY(scans.save(Mode::Import, FormScan{}));
    QVERIFY(scans.load(Mode::Import).value().isEmpty());
    QCOMPARE(scans.load(Mode::Export).value(), scan);
}

void StoreTest::olderFileReadAsItIs_data() {
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("held by another program") << false;
    QTest::newRow("on a read-only file system") << true;
}

// An older file that cannot be written is read as it is: nothing upgraded, the features of
// the newer tables off and said so once, and a read-only one left without -wal or -shm.
void StoreTest::olderFileReadAsItIs() {
    QFETCH(bool, readOnly);
    StoreFixture f;
    for (const char* sql : {"DROP TABLE 底图", "DROP TABLE 恢复", "PRAGMA user_version = 1",
                            "INSERT INTO 出口 VALUES (4, 45000.5, 42, '8471300000')"})
        QVERIFY2(f.run(QString::fromUtf8(sql)), sql);
    QString folder = f.folder.path();
    QTemporaryDir mounted;
    if (readOnly) {
        f.release();
        // A read-only bind of the folder: the one way to make a file read-only for root.
        const QString target = mounted.path();
        if (QProcess::execute("mount", {"--bind", folder, target}) != 0)
            QSKIP("no read-only mount here (needs root)");
        QProcess::execute("mount", {"-o", "remount,ro,bind", target});
        folder = target;
    } else {
        QVERIFY(f.run(QStringLiteral("BEGIN IMMEDIATE")));
    }
    const auto unmount = qScopeGuard([&] {
        if (readOnly)
            QProcess::execute("umount", {mounted.path()});
    });
    {
        DataBase db(QDir(folder).filePath(QStringLiteral("Par.db")));
        db.setBusyTimeout(100);
        Form form;
        QVERIFY(db.LoadHistoryRecord(form, 4, Mode::Export));
        QCOMPARE(form.text(42), QStringLiteral("8471300000"));
        QVERIFY(db.takeNotice().contains(u"只读"));
        QVERIFY(db.takeNotice().isEmpty());
        QCOMPARE(db.nextRecordNumber(Mode::Export), std::optional<int>(5));
        RecoveryCopy recovery(db);
        QVERIFY(recovery.save(form, Mode::Export) && !recovery.pending());
        FormScans scans(db);
        QVERIFY(scans.load(Mode::Export).value().isEmpty());
        QVERIFY(!scans.save(Mode::Export, FormScan{QByteArray("x"), "x.png", 0, 0, 100}));
        int ord = 0;
        QVERIFY(!db.SaveHistoryRecord(form, Mode::Export, ord));
        QVERIFY(!db.failureReason().isEmpty());
        QVERIFY(!QGuiApplication::overrideCursor()); // the busy cursor went with the wait
    }
    if (readOnly) {
        const QStringList left = QDir(folder).entryList(QDir::Files);
        QCOMPARE(left, QStringList{QStringLiteral("Par.db")});
    } else {
        QVERIFY(f.run(QStringLiteral("ROLLBACK")));
        QCOMPARE(f.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 1);
    }
}

// The layout dialog says when the list of layouts cannot be read, and still opens.
void StoreTest::layoutDialogTellsAFailedList() {
    StoreFixture f;
    f.release();
    QFile file(f.folder.file(QStringLiteral("Par.db")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(4096, 'x')) == 4096);
    file.close();
    f.reopen();
    Layouts layouts(*f.db);
    Form form;
    Sel dialog(layouts, f.dialogs, form, QSize(800, 600));
    QCOMPARE(f.dialogs.messages(), QStringList{DbError});
    QVERIFY(f.dialogs.shown.last().details.contains(u"文件不是数据库"));
    QCOMPARE(dialog.findChild<QComboBox*>()->count(), 0);
}

void StoreTest::layoutDialogNames_data() {
    QTest::addColumn<QString>("typed"); // a null text leaves the name as the dialog shows it
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<float>("stored"); // box 0's left in the last exit's layout afterwards
    const QString fixed = Catalogue::fixedLayoutName();
    QTest::newRow("OK on the empty name") << QString() << QList<bool>{} << 111.f;
    QTest::newRow("the last exit's name, Yes") << fixed << QList<bool>{true} << 222.f;
    QTest::newRow("the last exit's name, No") << fixed << QList<bool>{false} << 111.f;
}

// Saving starts from an empty name and replaces the last exit's layout only when the clerk
// says so.
void StoreTest::layoutDialogNames() {
    QFETCH(QString, typed);
    QFETCH(QList<bool>, answers);
    QFETCH(float, stored);
    StoreFixture f;
    Layouts layouts(*f.db);
    Form form, back;
    form.setLeft(0, 111);
    QVERIFY(layouts.SaveLayout(form, Catalogue::fixedLayoutName()));
    form.setLeft(0, 222);
    layouts.setSelSaveMode(true);
    QPointer<Sel> dialog = new Sel(layouts, f.dialogs, form, QSize(800, 600));
    QCOMPARE(dialog->nameBox()->currentText(), QString());
    if (!typed.isNull())
        dialog->nameBox()->setEditText(typed);
    f.dialogs.yesNo.append(answers);
    dialog->okButton()->click();
    QTRY_VERIFY(dialog.isNull());
    QCOMPARE(f.dialogs.allTexts(), QStringList(answers.size(), "该记录已存在，是否覆盖？"));
    QVERIFY(layouts.LoadLayout(back, Catalogue::fixedLayoutName()));
    QCOMPARE(back.box(0).left, stored);
}

// A write that fails half-way leaves the old rows whole and tells why. (The working record
// keeps its fixed date.)
void StoreTest::injectedFailuresLoseNothing() {
    StoreFixture f;
    Form old;
    int ord = WorkingRecordOrd;
    QVERIFY(f.db->SaveHistoryRecord(filled(old, QStringLiteral("old %1")), Mode::Export, ord));
    Layouts layouts(*f.db);
    QVERIFY(layouts.SaveLayout(old, QStringLiteral("A")));
    QVERIFY(f.refuse(QStringLiteral("出口"), 60) && f.refuse(QStringLiteral("格式"), 40));
    const QString layoutRows = QStringLiteral("SELECT group_concat(Name || Ctl || X) FROM 格式");
    const QVariant layoutsBefore = f.scalar(layoutRows);

    Form changed;
    QVERIFY(!f.db->SaveHistoryRecord(filled(changed, QStringLiteral("new %1")), Mode::Export, ord));
    QVERIFY(f.db->LoadHistoryRecord(changed, ord, Mode::Export));
    for (int i = 0; i < BoxCount; ++i)
        QCOMPARE(changed.text(i), old.text(i));
    // 保存内容 of a new record stores no row of it and keeps it to be saved again.
    SaveContents(filled(changed, QStringLiteral("new %1")), Mode::Export, *f.db, f.dialogs);
    QCOMPARE(f.dialogs.messages(), QStringList{DbError});
    QVERIFY(f.dialogs.shown.last().details.contains(u"injected"));
    QVERIFY(changed.ContentChanged());
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口 WHERE Dat = 26894.0")), 88);
    // A layout replaced, under its own name or the fixed one, keeps its old rows.
    changed.setLeft(0, 1);
    QVERIFY(!layouts.SaveLayout(changed, QStringLiteral("A")));
    QVERIFY(!layouts.SaveLayout(changed, Catalogue::fixedLayoutName()));
    QCOMPARE(layouts.CurrentLayoutName(), QStringLiteral("A"));
    QCOMPARE(f.scalar(layoutRows), layoutsBefore);
    // A delete refused half-way deletes nothing.
    QVERIFY(f.refuse(QStringLiteral("出口"), WorkingRecordOrd, "DELETE"));
    QVERIFY(!f.db->deleteRecords(Mode::Export, {0, WorkingRecordOrd}));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 88);
}

void StoreTest::textsKeptExactly_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    const QChar high(0xD83D), low(0xDE00), bom(0xFEFF), bad(QChar::ReplacementCharacter);
    QTest::newRow("lone high surrogate") << QStringLiteral("货") + high + QStringLiteral("物品")
                                         << QStringLiteral("货") + bad + QStringLiteral("物品");
    QTest::newRow("lone low surrogate at the end")
        << QStringLiteral("品") + low << QStringLiteral("品") + bad;
    QTest::newRow("pair kept") << QString(high) + low << QString(high) + low;
    QTest::newRow("leading BOM") << bom + QStringLiteral("ABC") << bom + QStringLiteral("ABC");
}

void StoreTest::textsKeptExactly() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    StoreFixture f;
    Form form, loaded;
    form.setText(5, typed);
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, Mode::Export, ord));
    QVERIFY(f.db->LoadHistoryRecord(loaded, ord, Mode::Export));
    QCOMPARE(loaded.text(5), kept);
}

// Newest first under the mode's headers, each record with its print date (the working record's
// as today), rows no writer of ours makes as far as they make sense; after a failed read, the
// store's failure and no half of the table.
void StoreTest::fillShowsRecordsUnderTheModeHeaders() {
    GridFixture f;
    QVERIFY(f.insert(Mode::Import, -1, WorkingRecordDate, {{0, "w"}}));
    QVERIFY(f.insert(Mode::Import, 0, 46000.5, {{87, "末格"}, {0, "首格"}}));
    QVERIFY(f.insert(Mode::Import, 3, 45000 + 86399.6 / 86400, {{1, "x"}}));
    // Box numbers outside 0..87, a box stored twice.
    QVERIFY(f.insert(Mode::Import, 70000, 45000.25, {{88, "beyond"}, {-1, "before"}, {5, "one"}}));
    QVERIFY(f.insert(Mode::Import, 70000, 45000.25, {{5, "two"}}));
    QVERIFY(f.insert(Mode::Export, 9, 45000, {{0, "出口"}}));
    QVERIFY(f.fill(Mode::Import));
    QCOMPARE(f.grid.text(0, 13), QStringLiteral("收货单位"));
    // Goods lines 2 to 5 repeat the headers of line 1, whatever their own labels say.
    for (int i = 49; i <= 80; ++i)
        QCOMPARE(f.grid.text(0, 3 + i), f.grid.text(0, 3 + 41 + (i - 41) % 8));
    QCOMPARE(f.column(0), (QStringList{"70000", "3", "0", "-1"}));
    QCOMPARE(f.column(2), (QStringList{"2023-03-15 06:00:00", "2023-03-16", "2025-12-09 12:00:00",
                                       QDate::currentDate().toString(u"yyyy-MM-dd")}));
    QCOMPARE(f.grid.text(3, 3) + f.grid.text(3, 90), QStringLiteral("首格末格"));
    for (int c = 3; c < 91; ++c)
        QVERIFY(c == 8 ? QStringList({"one", "two"}).contains(f.grid.text(1, c))
                       : f.grid.text(1, c).isEmpty());
    QCOMPARE(f.grid.cellBackColor(2, 5), 0xDDDDDDu); // every other box column is grey
    QCOMPARE(f.grid.cellBackColor(2, 4), 0u);
    QVERIFY(f.run(QStringLiteral("ALTER TABLE 进口 RENAME TO gone")));
    QVERIFY(!f.fill(Mode::Import));
    QCOMPARE(f.grid.rows(), 1);
    QCOMPARE(f.dialogs.messages(), QStringList{DbError});
}

// Descending: texts by reading before numbers by value, equal cells in their order, empty
// cells still last; whole rows move.
void StoreTest::sortOrder() {
    GridFixture f;
    const QStringList cells{"9",   "abc", "10",    "",    "2.5",  "-1",   "Abd",
                            " 3 ", "1e2", "12abc", "ABC", "上海", "北京", ""};
    for (int i = 0; i < cells.size(); ++i) {
        const int row = f.grid.addRow();
        f.grid.setText(row, 0, QString::number(i));
        f.grid.setText(row, 7, cells[i]);
    }
    f.grid.sortByColumn(7, false);
    QStringList sorted;
    for (int r = 1; r < f.grid.rows(); ++r)
        sorted.append(f.grid.text(r, 7) + u' ' + f.grid.text(r, 0));
    QCOMPARE(sorted, (QStringList{"Abd 6", "abc 1", "ABC 10", "上海 11", "北京 12", "12abc 9",
                                  "1e2 8", "10 2", "9 0", " 3  7", "2.5 4", "-1 5", " 3", " 13"}));
}

// A clear or a delete asks first, and a locked file, a No or the header row as the current
// row changes nothing; 再次打印 on a locked file shows the failure and still opens the form
// view. A clear that goes through empties this mode's table and grid only.
void StoreTest::clearDeleteAndRestore() {
    GridFixture f;
    QVERIFY(f.insertNumbered(Mode::Export, 2) && f.insertNumbered(Mode::Import, 1));
    QVERIFY(f.fill(Mode::Export) && f.run(QStringLiteral("BEGIN IMMEDIATE")));
    f.dialogs.okCancel << true << false << true;
    f.dialogs.yesNo << true << false;
    QVERIFY(!HistoryCommands::ClearHistory(f.grid, *f.db, f.dialogs, Mode::Export));
    for (auto [current, otherEnd] : {std::pair(1, 2), std::pair(2, 1), std::pair(0, 1)})
        QVERIFY(!HistoryCommands::DeleteGridRows(f.grid, *f.db, f.dialogs, Mode::Export, current,
                                                 otherEnd));
    Form form;
    int shown = 0;
    QVERIFY(HistoryCommands::RestoreGridRow(f.grid, 1, form, *f.db, f.dialogs, Mode::Export,
                                            [&] { ++shown; }));
    QVERIFY(f.run(QStringLiteral("ROLLBACK")));
    QVERIFY(!HistoryCommands::ClearHistory(f.grid, *f.db, f.dialogs, Mode::Export));
    QCOMPARE(f.dialogs.messages(), (QStringList{DbError, DbError, DbError}));
    QVERIFY(f.dialogs.shown.value(1).details.contains(QStringLiteral("文件被其他程序锁定")));
    QCOMPARE(form.text(0) + QString::number(shown), QStringLiteral("记录11"));
    QCOMPARE((QList<int>{f.grid.rows(), f.rowsOf(Mode::Export)}), (QList<int>{3, 2}));
    QVERIFY(HistoryCommands::ClearHistory(f.grid, *f.db, f.dialogs, Mode::Export));
    QCOMPARE((QList<int>{f.grid.rows(), f.rowsOf(Mode::Export), f.rowsOf(Mode::Import)}),
             (QList<int>{1, 0, 1}));
}

// The history view: a dragged column edge is the width the export takes; the corner refits
// the columns; with nothing current, 再次打印 does nothing.
void StoreTest::theShownGrid() {
    GridFixture f;
    QVERIFY(f.insertNumbered(Mode::Export, 12));
    HistoryGrid view(*f.db, f.dialogs);
    view.resize(900, 600);
    view.show();
    view.FillHistoryGrid(Mode::Export);
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const int fitted = view.access().colWidthTwips(6);
    view.horizontalHeader()->resizeSection(6, 77 + view.cellMarginPixels());
    QCOMPARE(view.access().colWidthTwips(6), 77 * 15);
    const int frame = view.frameWidth();
    auto* corner = qobject_cast<QAbstractButton*>(view.childAt(frame + 2, frame + 2));
    QVERIFY(corner);
    QTest::mouseClick(corner, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(view.access().colWidthTwips(6), fitted);
    view.setGridSelection(0, 0);
    Form form;
    QVERIFY(!view.RestoreGridRow(form, Mode::Export, [] { QFAIL("shown"); }));
    QVERIFY(f.dialogs.shown.isEmpty());
}

QTEST_MAIN(StoreTest)
#include "tst_database.moc"
