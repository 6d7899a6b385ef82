#include "Form.h"
#include "FormScans.h"
#include "HistoryCommands.h"
#include "HistoryGridModel.h"
#include "Layouts.h"
#include "LocalImport.h"
#include "OfficeFixture.h"
#include "SaveContents.h"
#include "ScriptedDialogs.h"
#include "TestFolder.h"

#include <QFont>
#include <QSet>
#include <QThread>

namespace {

const QString DbError = QStringLiteral("数据库打开错误！");

// The store under test: the local file or the office server, as a row names it.
struct EngineStore {
    TestFolder folder;
    OfficeFixture office;
    std::unique_ptr<DataBase> db;

    explicit EngineStore(bool onServer) {
        db = onServer ? office.clerk()
                      : std::make_unique<DataBase>(folder.file(QStringLiteral("Par.db")));
    }
};

QList<HistoryRow> rowsOf(DataBase& db, Mode mode) {
    QList<HistoryRow> rows;
    db.forEachHistoryRow(mode, [&](const HistoryRow& r) { rows.append(r); });
    return rows;
}

} // namespace

// The office store on a PostgreSQL server: the same behaviour as the local file, record
// numbers under load, each clerk's own working form, the server going away, and moving a
// clerk's local history onto the server.
class OfficeStoreTest : public QObject {
    Q_OBJECT
private slots:
    void sameOnBothEngines_data();
    void sameOnBothEngines();
    void recordNumbersUnderLoad();
    void clerksKeptApart();
    void serverLostDuringSave();
    void localImportCopiesOnce();
};

void OfficeStoreTest::sameOnBothEngines_data() {
    QTest::addColumn<bool>("onServer");
    QTest::newRow("local file") << false;
    QTest::newRow("office server") << true;
}

void OfficeStoreTest::sameOnBothEngines() {
    QFETCH(bool, onServer);
    EngineStore s(onServer);
    if (onServer)
        NEED_OFFICE(s.office);
    DataBase& db = *s.db;
    Form form, loaded;
    const QString bom = QString(QChar(0xFEFF)) + QStringLiteral("ABC");
    form.setText(0, QStringLiteral("O'Brien \"货物\" \\N {a,b} NULL; DROP TABLE 出口"));
    form.setText(5, bom);
    form.setText(87, QStringLiteral("末格\n第二行"));
    int first = 0, second = 0, work = WorkingRecordOrd;
    QVERIFY(db.SaveHistoryRecord(form, Mode::Export, first));
    QVERIFY(db.SaveHistoryRecord(form, Mode::Export, second));
    QCOMPARE((QList<int>{first, second}), (QList<int>{0, 1}));
    form.setText(3, QStringLiteral("工作"));
    QVERIFY(db.SaveHistoryRecord(form, Mode::Export, work));
    QVERIFY(db.LoadHistoryRecord(loaded, first, Mode::Export));
    QCOMPARE(loaded.text(5), bom);
    QCOMPARE(loaded.text(0), form.text(0));
    QVERIFY(loaded.text(3).isEmpty());
    QVERIFY(db.LoadHistoryRecord(loaded, WorkingRecordOrd, Mode::Export));
    QCOMPARE(loaded.text(3), QStringLiteral("工作"));
    // A date with a time of day comes back to the last bit.
    QCOMPARE(db.copyRecord(Mode::Import, 45000.123456789, QStringList{"x"}, "6f1c2a52-9d0e-4b7a-8c43-2f6a1d5e9b11"),
             std::optional<bool>(true));
    const QList<HistoryRow> imported = rowsOf(db, Mode::Import);
    QCOMPARE(imported.size(), 1);
    QCOMPARE(imported[0].dat, 45000.123456789);

    // Layouts: a name with an apostrophe, every column its own value.
    Layouts layouts(db);
    Form laid, back;
    laid.setLeft(3, 1234.5f);
    laid.setFontBold(3, true);
    laid.setFontStrikethru(4, true);
    laid.setFontSize(3, 11.5f);
    const QString name = QStringLiteral("甲's 格式");
    QCOMPARE(layouts.wouldReplace(name), std::optional<bool>(false));
    QVERIFY(layouts.SaveLayout(laid, name));
    QCOMPARE(layouts.wouldReplace(name), std::optional<bool>(true));
    QVERIFY(layouts.layoutNames().value().contains(name));
    QVERIFY(layouts.layoutNames().value().contains(QStringLiteral("标准格式")));
    QVERIFY(layouts.LoadLayout(back, name));
    for (int i = 0; i < BoxCount; ++i)
        QVERIFY2(back.box(i).layoutFields() == laid.box(i).layoutFields(), qPrintable(QString::number(i)));

    // The grid: newest first, the working record last; a delete and the next number.
    HistoryGridModel grid;
    ScriptedDialogs dialogs;
    QVERIFY(HistoryCommands::FillHistoryGrid(grid, db, dialogs, Mode::Export, QFont()));
    QCOMPARE(grid.rows(), 4);
    QCOMPARE((QStringList{grid.text(1, 0), grid.text(2, 0), grid.text(3, 0)}),
             (QStringList{"1", "0", "-1"}));
    QCOMPARE(grid.text(1, HistoryGridModel::FirstBoxColumn + 5), bom);
    QVERIFY(db.deleteRecords(Mode::Export, {1}));
    QCOMPARE(db.nextRecordNumber(Mode::Export), std::optional<int>(1));

    // Scans keep their bytes; a clear empties the history.
    FormScans scans(db);
    const FormScan scan{QByteArray("\x89PNG\0\xff\x00x", 8), QStringLiteral("底图.png"), 1.5, -2, 101};
    QVERIFY(scans.save(Mode::Export, scan));
    QCOMPARE(scans.load(Mode::Export).value(), scan);
    QVERIFY(db.clearTable(Mode::Export));
    QVERIFY(rowsOf(db, Mode::Export).isEmpty());
}

// Two clerks saving at once: every record its own number, no two records merged.
void OfficeStoreTest::recordNumbersUnderLoad() {
    OfficeFixture f;
    NEED_OFFICE(f);
    constexpr int Saves = 500;
    std::atomic<int> failures = 0;
    const auto saver = [&](const QString& clerk) {
        return QThread::create([&f, &failures, clerk] {
            std::unique_ptr<DataBase> db = f.clerk(clerk);
            for (int i = 0; i < Saves; ++i) {
                const QString text = clerk + u'-' + QString::number(i);
                if (!db->appendNewRecord(Mode::Export, 46000, [&](int box) {
                        return box < 3 ? text : QString();
                    }))
                    ++failures;
            }
        });
    };
    std::unique_ptr<QThread> one(saver(QStringLiteral("clerk1")));
    std::unique_ptr<QThread> two(saver(QStringLiteral("clerk2")));
    one->start();
    two->start();
    QVERIFY(one->wait(300000) && two->wait(300000));
    QCOMPARE(failures.load(), 0);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(DISTINCT Ord) FROM 出口")), 2 * Saves);
    QCOMPARE(f.count(QStringLiteral("SELECT MAX(Ord) FROM 出口")), 2 * Saves - 1);
    // Each number holds the three boxes of one save, all by one clerk.
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM (SELECT Ord FROM 出口 GROUP BY Ord "
                                    "HAVING COUNT(*) <> 3 OR COUNT(DISTINCT Con) <> 1 OR "
                                    "COUNT(DISTINCT Clerk) <> 1) merged")),
             0);
}

// Working records and the last-exit layout are each clerk's own; records are the office's
// and remember who saved them.
void OfficeStoreTest::clerksKeptApart() {
    OfficeFixture f;
    NEED_OFFICE(f);
    std::unique_ptr<DataBase> one = f.clerk(QStringLiteral("clerk1"));
    std::unique_ptr<DataBase> two = f.clerk(QStringLiteral("clerk2"));
    Form a, b, seen;
    a.setText(7, QStringLiteral("一号的工作"));
    a.setLeft(0, 111);
    b.setText(7, QStringLiteral("二号的工作"));
    b.setLeft(0, 222);
    for (auto [db, form] : {std::pair{one.get(), &a}, std::pair{two.get(), &b}}) {
        int work = WorkingRecordOrd;
        QVERIFY(db->SaveHistoryRecord(*form, Mode::Import, work));
        QVERIFY(Layouts(*db).SaveLayout(*form, Catalogue::fixedLayoutName()));
    }
    for (auto [db, form] : {std::pair{one.get(), &a}, std::pair{two.get(), &b}}) {
        Form mine;
        QVERIFY(db->LoadHistoryRecord(mine, WorkingRecordOrd, Mode::Import));
        QCOMPARE(mine.text(7), form->text(7));
        QVERIFY(Layouts(*db).LoadLayout(mine, Catalogue::fixedLayoutName()));
        QCOMPARE(mine.box(0).left, form->box(0).left);
    }
    int ord = 0;
    QVERIFY(one->SaveHistoryRecord(a, Mode::Import, ord));
    QVERIFY(two->LoadHistoryRecord(seen, ord, Mode::Import));
    QCOMPARE(seen.text(7), a.text(7));
    QCOMPARE(f.scalar(QStringLiteral("SELECT string_agg(DISTINCT Clerk, ',') FROM 进口 WHERE Ord = 0"))
                 .toString(),
             QStringLiteral("clerk1"));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 进口 WHERE Ord = 0 AND Saved > now() - "
                                    "interval '1 hour'")),
             1);
}

// The server away during a save: the message names the server, nothing is half-written,
// and once it is back the next save works without a restart; a dropped connection alone is
// made again without a word.
void OfficeStoreTest::serverLostDuringSave() {
    OfficeFixture f;
    NEED_OFFICE(f);
    std::unique_ptr<DataBase> db = f.clerk();
    ScriptedDialogs dialogs;
    Form form;
    form.setText(1, QStringLiteral("第一份"));
    SaveContents(form, Mode::Export, *db, dialogs);
    const auto cutOff = [&](bool allow) {
        return f.asAdmin(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS %2")
                             .arg(f.name, allow ? QStringLiteral("true") : QStringLiteral("false"))) &&
               f.asAdmin(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                    "datname = '%1' AND usename = 'clerk1'")
                         .arg(f.name));
    };
    QVERIFY(cutOff(false));
    form.setText(1, QStringLiteral("第二份"));
    dialogs.shown.clear();
    SaveContents(form, Mode::Export, *db, dialogs);
    QCOMPARE(dialogs.messages(), QStringList{DbError});
    const QString details = dialogs.shown.last().details;
    QVERIFY2(details.contains(u"服务器：") && details.contains(f.admin.section(u' ', 0, 0).mid(5)),
             qPrintable(details));
    QVERIFY(form.ContentChanged());
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 1);

    QVERIFY(cutOff(true));
    dialogs.shown.clear();
    SaveContents(form, Mode::Export, *db, dialogs);
    QCOMPARE(dialogs.messages(), QStringList{QStringLiteral("报关单内容已存入历史记录！")});
    QVERIFY(cutOff(true)); // the connection dropped, the server there
    form.setText(1, QStringLiteral("第三份"));
    dialogs.shown.clear();
    SaveContents(form, Mode::Export, *db, dialogs);
    QCOMPARE(dialogs.messages(), QStringList{QStringLiteral("报关单内容已存入历史记录！")});
    QCOMPARE(f.scalar(QStringLiteral("SELECT string_agg(Con, ',' ORDER BY Ord) FROM 出口")).toString(),
             QStringLiteral("第一份,第二份,第三份"));
}

// The local history and named layouts go onto the server after its own records, once.
void OfficeStoreTest::localImportCopiesOnce() {
    OfficeFixture f;
    NEED_OFFICE(f);
    TestFolder folder;
    DataBase local(folder.file(QStringLiteral("Par.db")));
    std::unique_ptr<DataBase> office = f.clerk();
    Form form;
    form.setText(2, QStringLiteral("本地一"));
    int ord = 0, work = WorkingRecordOrd;
    QVERIFY(office->SaveHistoryRecord(form, Mode::Export, ord));
    QVERIFY(local.SaveHistoryRecord(form, Mode::Export, ord));
    form.setText(2, QStringLiteral("本地二"));
    QVERIFY(local.SaveHistoryRecord(form, Mode::Export, ord));
    QVERIFY(local.SaveHistoryRecord(form, Mode::Import, ord));
    QVERIFY(local.SaveHistoryRecord(form, Mode::Import, work));
    form.setLeft(9, 999);
    QVERIFY(Layouts(local).SaveLayout(form, QStringLiteral("本地格式")));

    const std::optional<LocalImportCount> first = importLocalStore(local, *office);
    QVERIFY(first);
    QCOMPARE((QList<int>{first->records, first->layouts}), (QList<int>{3, 1}));
    QCOMPARE(f.scalar(QStringLiteral("SELECT string_agg(Ord || ':' || Con, ',' ORDER BY Ord) FROM "
                                     "出口"))
                 .toString(),
             QStringLiteral("0:本地一,1:本地一,2:本地二"));
    const std::optional<LocalImportCount> again = importLocalStore(local, *office);
    QVERIFY(again);
    QCOMPARE((QList<int>{again->records, again->layouts}), (QList<int>{0, 0}));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")) +
                 f.count(QStringLiteral("SELECT COUNT(*) FROM 进口")),
             4);
    Form back;
    QVERIFY(Layouts(*office).LoadLayout(back, QStringLiteral("本地格式")));
    QCOMPARE(back.box(9).left, 999.0f);
}

QTEST_MAIN(OfficeStoreTest)
#include "tst_officestore.moc"
