#include "CanvasLayout.h"
#include "FactoryLayout.h"
#include "Form.h"
#include "FormScans.h"
#include "Layouts.h"
#include "SaveContents.h"
#include "StoreFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

// The database file: its schema and upgrade, files it must leave alone, history records,
// layouts, and failures injected into its transactions.
class DataBaseTest : public QObject {
    Q_OBJECT
private slots:
    void oldFileUpgradedKeepingEveryRow();
    void unusableFileIsLeftAlone_data();
    void unusableFileIsLeftAlone();
    void recordNumbering_data();
    void recordNumbering();
    void injectedFailuresLoseNothing();
    void textsKeptExactly_data();
    void textsKeptExactly();
    void layouts();
    void newDatabaseStartsTidy();
};

namespace {

QByteArray digest(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

// A form whose every box holds `pattern` with the box's number.
Form& filled(Form& form, const QString& pattern) {
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, pattern.arg(i));
    return form;
}

QRectF rectOf(const Box& b) {
    return {b.left, b.top, b.width, b.height};
}

} // namespace

void DataBaseTest::oldFileUpgradedKeepingEveryRow() {
    QVERIFY(DataBase::defaultFilePath().endsWith(u"/Par.db"));
    StoreFixture f;
    QVERIFY(DataBase::defaultFilePath().contains(u".qttest")); // never the user's data
    QVERIFY(f.db->nextRecordNumber(Mode::Export));
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    // A file as schema version 1 left it, with rows in every table, and an index lost.
    for (const char* sql :
         {"DROP TABLE 底图", "DROP TABLE 恢复", "DROP INDEX 出口_Ord", "DELETE FROM 格式",
          "PRAGMA user_version = 1",
          "INSERT INTO 出口 VALUES (-1, 26894.0, 6, '宁波甬港'), (0, 45000.5, 42, '8471300000')",
          "INSERT INTO 进口 VALUES (3, 45001.25, 46, '250000.00')",
          "INSERT INTO 格式 VALUES ('上一次退出时的格式', 0, 11, 22, 33, 44, 255, '宋体', 12, 1, "
          "0, 0, 0)"})
        QVERIFY2(f.run(QString::fromUtf8(sql)), sql);
    const QString rows = QStringLiteral(
        "SELECT group_concat(t || Ord || Dat || Ctl || Con, ';') FROM (SELECT 'e' AS t, * FROM "
        "出口 UNION ALL SELECT 'i', * FROM 进口 UNION ALL SELECT Name, X, Y, W, fName FROM 格式)");
    const QVariant before = f.scalar(rows);
    f.reopen();
    QCOMPARE(f.db->nextRecordNumber(Mode::Export), std::optional<int>(1));
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA user_version")).toInt(), DataBase::SchemaVersion);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name IN ('底图', "
                                    "'恢复', '出口_Ord', '进口_Ord', '格式_Name')")),
             5);
    // Every row kept, and no factory layout added to a file that has its own.
    QCOMPARE(f.scalar(rows), before);
    // The new table keeps one scan per mode.
    FormScans scans(*f.db);
    QVERIFY(scans.load(Mode::Export).value().isEmpty());
    const FormScan scan{QByteArray("\x89PNG\0export", 11), QStringLiteral("出口.png"), 1.5, -2,
                        98.5};
    QVERIFY(scans.save(Mode::Export, scan));
    QVERIFY(scans.save(Mode::Import, FormScan{QByteArray(300000, 'i'), "i.pdf", 0, 0, 100}));
    QVERIFY(scans.save(Mode::Import, FormScan{}));
    QVERIFY(scans.load(Mode::Import).value().isEmpty());
    QCOMPARE(scans.load(Mode::Export).value(), scan);
}

void DataBaseTest::unusableFileIsLeftAlone_data() {
    QTest::addColumn<QByteArray>("content"); // empty: a database locked by another program
    QTest::addColumn<QString>("reason");
    QByteArray access(4096, '\0');
    access.replace(4, 15, "Standard Jet DB"); // the file of an Access database
    QTest::newRow("access file") << access << "文件不是数据库";
    QTest::newRow("locked") << QByteArray() << "文件被其他程序锁定";
}

void DataBaseTest::unusableFileIsLeftAlone() {
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    StoreFixture f;
    Form form;
    filled(form, QStringLiteral("kept %1"));
    int ord = 0;
    const QString path = f.db->filePath();
    // Empty: another program holds the write lock past our busy timeout.
    QVERIFY(content.isEmpty() ? f.db->SaveHistoryRecord(form, Mode::Export, ord) &&
                                    f.run(QStringLiteral("BEGIN EXCLUSIVE")) &&
                                    f.run(QStringLiteral("DELETE FROM 出口"))
                              : TestFolder::write(path, content));
    const QByteArray before = digest(path);
    QVERIFY(!f.db->SaveHistoryRecord(form, Mode::Export, ord));
    // The details name the file and the reason, so a clerk can tell this from a full disk.
    const QString details = f.db->failureDetails();
    QVERIFY(details.contains(QDir::toNativeSeparators(path)));
    QVERIFY2(details.contains(reason), qPrintable(details));
    QCOMPARE(form.text(0), QStringLiteral("kept 0"));
    QCOMPARE(digest(path), before);
}

void DataBaseTest::recordNumbering_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty table") << "" << 0;
    QTest::newRow("only a working record") << "INSERT INTO 出口 VALUES (-1, 26894.0, 3, 'x')" << 0;
    QTest::newRow("records 0 to 7")
        << "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i<7) "
           "INSERT INTO 出口 SELECT i, 45000, 0, 'a' FROM n"
        << 8;
    QTest::newRow("after deleting the newest")
        << "INSERT INTO 出口 VALUES (0, 45000, 0, 'a'), (1, 45000, 0, 'b');"
           "DELETE FROM 出口 WHERE Ord = 1"
        << 1;
    QTest::newRow("beyond 16 bits") << "INSERT INTO 出口 VALUES (40000, 45000, 0, 'a')" << 40001;
}

// The next free number, one moment for all rows of a record, the working record's date.
void DataBaseTest::recordNumbering() {
    QFETCH(QString, setup);
    QFETCH(int, expected);
    StoreFixture f;
    QVERIFY(f.db->nextRecordNumber(Mode::Export).has_value()); // creates the schema
    for (const QString& sql : setup.split(u';', Qt::SkipEmptyParts))
        QVERIFY2(f.run(sql), qPrintable(sql));
    Form form;
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, Mode::Export, ord)); // empty: nothing stored
    filled(form, QStringLiteral("%1"));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QVERIFY(f.db->SaveHistoryRecord(form, Mode::Export, ord));
    QCOMPARE(ord, expected);
    const QString rows = QStringLiteral("SELECT %2 FROM 出口 WHERE Ord = %1").arg(ord);
    QCOMPARE(f.count(rows.arg(QStringLiteral("COUNT(DISTINCT Ctl)"))), 88);
    QCOMPARE(f.count(rows.arg(QStringLiteral("COUNT(DISTINCT Dat)"))), 1);
    const QDateTime stored = DataBase::fromOleDate(f.scalar(rows.arg("Dat")).toDouble());
    QVERIFY(stored >= before && stored <= QDateTime::currentDateTime().addSecs(1));
    ord = WorkingRecordOrd;
    QVERIFY(f.db->SaveHistoryRecord(form, Mode::Export, ord));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口 WHERE Ord = -1 AND Dat = 26894.0")),
             88);
}

// A write that fails half-way leaves the old rows whole and tells why.
void DataBaseTest::injectedFailuresLoseNothing() {
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
    QCOMPARE(f.dialogs.messages(), QStringList{QStringLiteral("数据库打开错误！")});
    QVERIFY(f.dialogs.shown.last().details.contains(u"injected"));
    QVERIFY(changed.ContentChanged());
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 88);
    // A layout replaced, under its own name or the fixed one, keeps its old rows.
    changed.setLeft(0, 1);
    QVERIFY(!layouts.SaveLayout(changed, QStringLiteral("A")));
    QVERIFY(!layouts.SaveLayout(changed, Catalogue::fixedLayoutName()));
    QCOMPARE(layouts.CurrentLayoutName(), QStringLiteral("A"));
    QCOMPARE(f.scalar(layoutRows), layoutsBefore);
}

void DataBaseTest::textsKeptExactly_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    const QChar high(0xD83D), low(0xDE00), bom(0xFEFF), bad(QChar::ReplacementCharacter);
    QTest::newRow("lone high surrogate") << QStringLiteral("货") + high + QStringLiteral("物品")
                                         << QStringLiteral("货") + bad + QStringLiteral("物品");
    QTest::newRow("lone low surrogate at the end")
        << QStringLiteral("品") + low << QStringLiteral("品") + bad;
    QTest::newRow("pair kept") << QString(high) + low << QString(high) + low;
    QTest::newRow("leading BOM") << QString(bom) + QStringLiteral("ABC")
                                 << QString(bom) + QStringLiteral("ABC");
}

void DataBaseTest::textsKeptExactly() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    StoreFixture f;
    Form form;
    form.setText(5, typed);
    QCOMPARE(form.text(5), kept);
    int ord = 0;
    QVERIFY(f.db->SaveHistoryRecord(form, Mode::Export, ord));
    Form loaded;
    QVERIFY(f.db->LoadHistoryRecord(loaded, ord, Mode::Export));
    QCOMPARE(loaded.text(5), kept);
    // A layout saved under such a name can be picked from the list and loaded.
    Layouts layouts(*f.db);
    form.setLeft(5, 1234);
    QVERIFY(layouts.SaveLayout(form, typed));
    QVERIFY(layouts.layoutNames().value().contains(kept));
    QVERIFY(layouts.LoadLayout(loaded, kept));
    QCOMPARE(loaded.box(5).left, 1234.0f);
}

// Every attribute of every box comes back, under names that are no trouble to SQL; rows
// written elsewhere are read as far as they make sense.
void DataBaseTest::layouts() {
    StoreFixture f;
    Layouts layouts(*f.db);
    Form form;
    form.setGeometry(7, 123.5f, -40.25f, 999.f, 321.f);
    form.setForeColor(7, 0x0000FF);
    form.setFontName(7, QStringLiteral("黑体"));
    form.setFontSize(7, 10.5f);
    form.setFontBold(7, true);
    form.setFontItalic(7, true);
    form.setFontStrikethru(7, true);
    form.setFontUnderline(8, true);
    form.setText(7, QStringLiteral("text is not part of a layout"));
    // A label 60 twips left of its box stays 60 twips left of it.
    form.setLabelPosition(20, form.box(20).left - 60, form.box(20).top - 15);
    form.setGeometry(20, 1000, 2000, 500, 270);
    const QStringList names{"O'Brien's printer", "x'); DROP TABLE 格式; --", " padded "};
    for (const QString& name : names) {
        QCOMPARE(layouts.wouldReplace(name), std::optional<bool>(false));
        QVERIFY(layouts.SaveLayout(Form(), name));
        QCOMPARE(layouts.wouldReplace(name), std::optional<bool>(true));
        QVERIFY(layouts.SaveLayout(form, name));
    }
    QCOMPARE(layouts.wouldReplace(QStringLiteral("padded")), std::optional<bool>(false));
    QCOMPARE(layouts.wouldReplace(Catalogue::fixedLayoutName()), std::optional<bool>(false));
    QCOMPARE(layouts.layoutNames().value().size(), 5);
    Form other;
    other.setLabelPosition(20, other.box(20).left - 60, other.box(20).top - 15);
    QList<float> offsets;
    for (int i = 0; i < BoxCount; ++i)
        offsets.append(other.label(i).left - other.box(i).left);
    QVERIFY(layouts.LoadLayout(other, names[1]));
    QCOMPARE(layouts.CurrentLayoutName(), names[1]);
    const auto attributes = [](const Form& form, int i) {
        const Box& b = form.box(i);
        return QStringList{QString::number(b.foreColor), b.fontName, QString::number(b.fontSize),
                           QString::number(b.fontBold + 2 * b.fontItalic + 4 * b.fontUnderline +
                                           8 * b.fontStrikethru)};
    };
    for (int i = 0; i < BoxCount; ++i) {
        QCOMPARE(rectOf(other.box(i)), rectOf(form.box(i)));
        QCOMPARE(attributes(other, i), attributes(form, i));
        QCOMPARE(other.label(i).left - other.box(i).left, offsets[i]);
    }
    QCOMPARE(other.label(20).top, 1985.f);
    QCOMPARE(other.text(7), QString());

    // A missing layout keeps the boxes but still becomes the current one. Of rows written
    // elsewhere, boxes outside 0..87 are skipped, an empty X and a text that is no number
    // skip only their own assignment, and the last row of a box wins.
    QVERIFY(layouts.LoadLayout(other, QStringLiteral("missing")));
    QCOMPARE(layouts.CurrentLayoutName(), QStringLiteral("missing"));
    QVERIFY(
        f.run(QStringLiteral("INSERT INTO 格式 (Name, Ctl, X, Y, W, fSize) VALUES "
                             "('p', 88, 1, 1, 1, 1), ('p', -1, 1, 1, 1, 1), ('p', 5, NULL, "
                             "4321, 'wide', 14), ('p', 1, 10, 0, 0, 0), ('p', 1, 20, 0, 0, 0)")));
    QVERIFY(layouts.LoadLayout(other, QStringLiteral("p")));
    const Box& five = other.box(5);
    QCOMPARE((QList<float>{five.left, five.top, five.width, five.fontSize}),
             (QList<float>{form.box(5).left, 4321, form.box(5).width, 14}));
    QCOMPARE(other.box(1).left, 20.f);
    QCOMPARE(rectOf(other.box(87)), rectOf(form.box(87)));
}

// The layout the first start loads, read back: nothing overlaps, nothing leaves the page.
void DataBaseTest::newDatabaseStartsTidy() {
    StoreFixture f;
    Layouts layouts(*f.db);
    Form form;
    QVERIFY(layouts.LoadLayout(form, Catalogue::fixedLayoutName()));
    QCOMPARE(layouts.layoutNames().value(),
             (QStringList{Catalogue::fixedLayoutName(), FactoryLayout::name()}));
    const CanvasLayout canvas = computeCanvasLayout(12000, 9000);
    const QRectF page(0, 0, 7935, 7935 * 297.0 / 210.0);
    for (Mode mode : {Mode::Export, Mode::Import}) {
        form.labelBoxes(mode);
        QList<QPair<QString, QRectF>> items{
            {QStringLiteral("title"),
             QRectF(canvas.title.topLeft() / canvas.zoom(), canvas.title.size() / canvas.zoom())}};
        for (int i = 0; i < BoxCount; ++i) {
            const Label& l = form.label(i);
            items.append({QStringLiteral("box %1").arg(i), rectOf(form.box(i))});
            if (!l.caption.isEmpty())
                items.append({l.caption, QRectF(l.left, l.top, l.width, l.height)});
        }
        QStringList faults;
        for (qsizetype a = 0; a < items.size(); ++a) {
            if (!page.contains(items[a].second))
                faults << items[a].first + QStringLiteral(" off the page");
            for (qsizetype b = a + 1; b < items.size(); ++b)
                if (items[a].second.intersects(items[b].second))
                    faults << items[a].first + QStringLiteral(" over ") + items[b].first;
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u'\n')));
    }
}

QTEST_MAIN(DataBaseTest)
#include "tst_database.moc"
