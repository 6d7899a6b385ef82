#include "DataBase.h"
#include "Form.h"
#include "Layouts.h"
#include "StoreFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

// The database file: its schema and repair, files it must leave alone, failures injected
// into its transactions, and texts kept exactly.
class DataBaseTest : public QObject {
    Q_OBJECT
private slots:
    void schemaCreatedAndRepaired();
    void unusableFileIsLeftAlone_data();
    void unusableFileIsLeftAlone();
    void failedWorkingRecordKeepsOldRows();
    void textsKeptExactly_data();
    void textsKeptExactly();
};

namespace {

QByteArray digest(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
               : QByteArray();
}

// A form whose every box holds `pattern` with the box's number.
const Form& filled(Form& form, const QString& pattern) {
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, pattern.arg(i));
    return form;
}

} // namespace

void DataBaseTest::schemaCreatedAndRepaired() {
    QVERIFY(DataBase::defaultFilePath().endsWith(u"/Par.db"));
    StoreFixture f;
    QVERIFY(DataBase::defaultFilePath().contains(u".qttest")); // never the user's data
    QVERIFY(!QFile::exists(f.db->filePath()));
    int ord = 0;
    Form form;
    QVERIFY(f.db->SaveHistoryRecord(filled(form, QStringLiteral("%1")), Mode::Export, ord));
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
    QVERIFY(f.run(QStringLiteral("SELECT Name, Ctl, X, Y, W, H, Color, fName, fSize, fBold, "
                                 "fItalic, fUnderline, fStrikethru FROM 格式")));
    // A database of the first schema version, and one whose tables were dropped.
    for (const char* sql :
         {"DROP TABLE 格式", "DROP TABLE 恢复", "DROP INDEX 出口_Ord", "PRAGMA user_version = 1"})
        QVERIFY(f.run(QString::fromUtf8(sql)));
    f.reopen();
    QVERIFY(Layouts(*f.db).SaveLayout(form, QStringLiteral("a")));
    QCOMPARE(f.scalar(QStringLiteral("PRAGMA user_version")).toInt(), DataBase::SchemaVersion);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name IN "
                                    "('格式', '恢复', '出口_Ord', '进口_Ord', '格式_Name')")),
             5);
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 88);
}

void DataBaseTest::unusableFileIsLeftAlone_data() {
    QTest::addColumn<QByteArray>("content"); // empty: a database locked by another program
    QTest::addColumn<QString>("reason");
    QTest::newRow("text") << QByteArray("a letter to the customs office\n").repeated(200)
                          << "文件不是数据库";
    QByteArray access(4096, '\0');
    access.replace(4, 15, "Standard Jet DB");
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

void DataBaseTest::failedWorkingRecordKeepsOldRows() {
    StoreFixture f;
    Form old;
    Form changed;
    int ord = WorkingRecordOrd;
    QVERIFY(f.db->SaveHistoryRecord(filled(old, QStringLiteral("old %1")), Mode::Export, ord));
    QVERIFY(f.run(QStringLiteral("CREATE TRIGGER fail BEFORE INSERT ON 出口 WHEN NEW.Ctl = 60 "
                                 "BEGIN SELECT RAISE(ABORT, 'injected'); END")));
    QVERIFY(!f.db->SaveHistoryRecord(filled(changed, QStringLiteral("new %1")), Mode::Export, ord));
    QCOMPARE(f.count(QStringLiteral("SELECT COUNT(*) FROM 出口")), 88);
    QVERIFY(f.db->LoadHistoryRecord(changed, ord, Mode::Export));
    for (int i = 0; i < BoxCount; ++i)
        QCOMPARE(changed.text(i), old.text(i));
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

QTEST_GUILESS_MAIN(DataBaseTest)
#include "tst_database.moc"
