#include "BoxText.h"
#include "DataBase.h"
#include "ExcelOracles.h"
#include "FakeHistoryGrid.h"
#include "GetXlsSheet.h"
#include "ImportData.h"
#include "ProgressWatcher.h"
#include "ScriptedDialogs.h"
#include "Sheets.h"
#include "TestFolder.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <map>
#include <memory>

// The 导 入 command: workbooks written by Spreadsheet::WriteExcel and by our own export.
class ExcelImportTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rowsOfAWorkbookFromElsewhere();
    void rowQuestions_data();
    void rowQuestions();
    void failures_data();
    void failures();
    void roundTrip();
    void sheetsDialogMarks();
    void databaseFailureStopsAndKeepsStoredRows();

private:
    QString m_workbook; // written by Spreadsheet::WriteExcel
    TestFolder m_folder;
};

namespace {

// Sheet 1: a header and rows of every kind of cell; rows 4 and 6 (1-based) have no box
// text; rows 8 to 12 are short. Sheet 2 has one row of its own.
const char* WriterScript = R"PL(
use strict; use warnings; use utf8;
use Spreadsheet::WriteExcel;
my $book = Spreadsheet::WriteExcel->new($ARGV[0]) or die "cannot create\n";
my $s = $book->add_worksheet('报关单');
my $t = $book->add_worksheet('第二页');
$book->add_worksheet('空表');
my $date = $book->add_format(num_format => 'yyyy-mm-dd');
my $moment = $book->add_format(num_format => 'yyyy-mm-dd hh:mm:ss');
$s->write_string(0, $_, "列$_") for 0 .. 90;
$s->write_number(1, 0, 1);
$s->write_date_time(1, 1, '2024-03-05T', $date);
$s->write_string(1, 2, '0012');
$s->write_number(1, 3, 42);
$s->write_number(1, 4, 3.14159);
$s->write_number(1, 5, 0.1);
$s->write_string(1, 6, '上海浦东');
$s->write_date_time(1, 7, '2024-03-05T14:30:00', $moment);
$s->write_date_time(1, 8, '2023-12-31T', $date);
$s->write_number(1, 9, -17.5);
$s->write_number(1, 10, 123456789012345);
$s->write_date_time(1, 11, '2024-02-02T00:00:00', $moment);
$s->write_string(1, 89, '最后一格');
$s->write_string(1, 90, '超出的列');
$s->write_number(2, 0, 2);
$s->write_string(2, 1, '不是日期');
$s->write_string(2, 2, 'x');
$s->write_number(3, 0, 3);
$s->write_string(3, 1, '2024-05-06');
$s->write_number(4, 0, 4);
$s->write_date_time(4, 1, '2024-01-02T08:00:00', $moment);
$s->write_string(4, 3, 'y');
$s->write_number(6, 0, 6);
$s->write_string(6, 4, 'z');
for my $r (7 .. 11) { $s->write_number($r, 0, $r); $s->write_string($r, 2, "r" . ($r + 1)); }
$t->write_string(0, 2, '表头');
$t->write_string(1, 2, '第二页内容');
$book->close() or die "cannot close\n";
)PL";

struct Record {
    double dat = 0;
    std::map<int, QString> boxes;
};

std::map<int, Record> records(DataBase& db, Mode mode) {
    std::map<int, Record> out;
    db.forEachHistoryRow(mode, [&](const HistoryRow& row) {
        out[row.ord].dat = row.dat;
        out[row.ord].boxes[row.ctl] = row.con;
    });
    return out;
}

double oleDate(int y, int m, int d) {
    return DataBase::toOleDate(QDateTime(QDate(y, m, d), QTime(0, 0)));
}

struct ImportRun {
    TestFolder folder;
    ScriptedDialogs dialogs;
    std::unique_ptr<DataBase> db;
    FakeHistoryGrid grid;
    QString chosenSheet;
    QStringList listed;

    ImportRun() : db(std::make_unique<DataBase>(folder.file(QStringLiteral("Par.db")))) {}
    int run(const QString& file, const QString& sheet, const QStringList& answers,
            Mode mode = Mode::Import) {
        dialogs.openFiles.enqueue(file);
        for (const QString& a : answers)
            dialogs.texts.enqueue(a.isNull() ? std::optional<QString>() : std::optional(a));
        chosenSheet = sheet;
        return ImportExcelRows(grid, mode, *db, dialogs, nullptr,
                               [this](const QStringList& names, QWidget*) {
                                   listed = names;
                                   return chosenSheet;
                               });
    }
};

} // namespace

void ExcelImportTest::initTestCase() {
    if (!ExcelOracles::haveWriteExcel())
        QSKIP("Spreadsheet::WriteExcel is missing");
    m_workbook = m_folder.file(QStringLiteral("from-perl.xls"));
    const QString script =
        ExcelOracles::writeScript(m_folder.path(), QStringLiteral("write.pl"), WriterScript);
    const auto r = ExcelOracles::run(ExcelOracles::Perl, {script, m_workbook});
    QVERIFY2(r.exitCode == 0, r.err.constData());
}

void ExcelImportTest::rowsOfAWorkbookFromElsewhere() {
    ImportRun t;
    // New records follow those of the table, whatever the other table holds.
    for (const Mode mode : {Mode::Import, Mode::Import, Mode::Export})
        QVERIFY(t.db->appendNewRecord(mode, 45000, [](int) { return QStringLiteral("旧"); }));
    const double before = DataBase::toOleDate(QDateTime::currentDateTime());
    // Rows 2 to 7; rows 4 and 6 carry no box text.
    QCOMPARE(t.run(m_workbook, QStringLiteral("报关单"), {"2", "7"}), 0);
    const double after = DataBase::toOleDate(QDateTime::currentDateTime());
    QCOMPARE(t.listed, (QStringList{"报关单", "第二页", "空表"}));
    QCOMPARE(t.dialogs.messages(), QStringList{QStringLiteral("导入EXCEL表格第2至第7行完成！")});
    QCOMPARE(t.dialogs.shown[1].text, QStringLiteral("请输入数据读取的开始行："));
    QCOMPARE(t.dialogs.shown[2].text, QStringLiteral("请输入数据读取的结尾行："));

    const auto stored = records(*t.db, Mode::Import);
    QCOMPARE(stored.size(), std::size_t(6));
    const std::map<int, QString> expected{
        {0, "0012"},       {1, "42"},       {2, "3.14159"},
        {3, "0.1"},        {4, "上海浦东"}, {5, "2024-03-05 14:30:00"},
        {6, "2023-12-31"}, {7, "-17.5"},    {8, "123456789012345"},
        {9, "2024-02-02"}, {87, "最后一格"}};
    QCOMPARE(stored.at(2).boxes, expected);
    QCOMPARE(stored.at(2).dat, oleDate(2024, 3, 5));
    QCOMPARE(stored.at(3).boxes, (std::map<int, QString>{{0, "x"}}));
    QVERIFY(stored.at(3).dat >= before && stored.at(3).dat <= after); // not a date
    QCOMPARE(stored.at(4).boxes, (std::map<int, QString>{{1, "y"}}));
    QCOMPARE(stored.at(4).dat, oleDate(2024, 1, 2)); // the time of day is dropped
    QCOMPARE(stored.at(5).boxes, (std::map<int, QString>{{2, "z"}}));
    QVERIFY(stored.at(5).dat >= before && stored.at(5).dat <= after); // empty date cell

    // One grid row per record, each with its own number; column A is not read.
    QCOMPARE(t.grid.rows(), 5);
    for (int r = 1; r <= 4; ++r) {
        QCOMPARE(t.grid.text(r, 0), QString::number(r + 1));
        QCOMPARE(t.grid.text(r, 1), QString::number(r));
    }
    QCOMPARE(t.grid.text(1, 2), QStringLiteral("2024-03-05"));
    QCOMPARE(t.grid.text(1, 90), QStringLiteral("最后一格"));
    QCOMPARE(t.grid.text(2, 2), QStringLiteral("不是日期"));
    QCOMPARE(t.grid.text(3, 2), QStringLiteral("2024-01-02 08:00:00"));
}

void ExcelImportTest::rowQuestions_data() {
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("firstAnswer");
    QTest::addColumn<QString>("lastAnswer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("boxTexts"); // box 0 of each stored record, in order
    const QString refused = QStringLiteral("行号必须大于0！");
    QTest::newRow("10 and 4 swapped")
        << "报关单"
        << "10"
        << "4"
        << "导入EXCEL表格第4至第10行完成！" << QStringList{"", "", "r8", "r9", "r10"};
    QTest::newRow("3.5 reads as 4, 7行 as 7")
        << "报关单"
        << "3.5"
        << "7行"
        << "导入EXCEL表格第4至第7行完成！" << QStringList{"", ""};
    QTest::newRow("2.5 reads as 2, the header row too")
        << "第二页"
        << "2.5"
        << "1"
        << "导入EXCEL表格第1至第2行完成！" << QStringList{"表头", "第二页内容"};
    QTest::newRow("letters refused") << "报关单"
                                     << "abc"
                                     << "3" << refused << QStringList{};
    QTest::newRow("zero refused") << "报关单"
                                  << "5"
                                  << "0" << refused << QStringList{};
    QTest::newRow("cancel refused") << "报关单" << QString() << "3" << refused << QStringList{};
    QTest::newRow("past the sheet's last row, cut to it")
        << "报关单"
        << "11"
        << "99999999999"
        << "导入EXCEL表格第11至第12行完成！" << QStringList{"r11", "r12"};
    QTest::newRow("beyond 16 bits, nothing there")
        << "报关单"
        << "40000"
        << "40001"
        << "表格只有12行，第40000行及以后没有数据可读取！" << QStringList{};
    QTest::newRow("1e30 reads as 1") << "第二页"
                                     << "1e30"
                                     << "1"
                                     << "导入EXCEL表格第1至第1行完成！" << QStringList{"表头"};
}

void ExcelImportTest::rowQuestions() {
    QFETCH(QString, sheet);
    QFETCH(QString, firstAnswer);
    QFETCH(QString, lastAnswer);
    QFETCH(QString, message);
    QFETCH(QStringList, boxTexts);
    ImportRun t;
    t.run(m_workbook, sheet, {firstAnswer, lastAnswer}, Mode::Export);
    QCOMPARE(t.dialogs.messages(), QStringList{message});
    QStringList stored;
    for (const auto& [ord, record] : records(*t.db, Mode::Export))
        stored.append(record.boxes.count(0) ? record.boxes.at(0) : QString());
    QCOMPARE(stored, boxTexts);
    QCOMPARE(t.grid.rows(), 1 + boxTexts.size());
}

void ExcelImportTest::failures_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("message");
    const QString wrongType = "文件类型不对，请选择Excel文档！";
    QTest::newRow("missing file") << "none.xls" << QByteArray() << "Sheet1"
                                  << "无法打开Excel文件，请检查后重新输入文件名及路径！";
    QTest::newRow("text file named .xls")
        << "text.xls" << QByteArray("序号,日期\n1,2\n") << "Sheet1" << wrongType;
    QTest::newRow("empty file") << "empty.xls" << QByteArray("") << "Sheet1" << wrongType;
    QTest::newRow("compound file without a workbook")
        << "bad.xls" << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(1024, '\0')
        << "Sheet1"
        << "未知错误，错误号：";
    QTest::newRow(".xlsx refused by name") << "a.xlsx" << QByteArray("PK") << "Sheet1"
                                           << "您选择的文件不是EXCEL文件，请选择EXCEL文件。";
    QTest::newRow(".XLS accepted, sheet not there")
        << "UPPER.XLS" << QByteArray("perl") << "不存在"
        << "输入表格名称有误，无法打开表格，请重新输入！";
    // The real dialog, run modally: the first sheet's mark is removed, then 确  定.
    QTest::newRow("no sheet marked ends silently") << "a.xls" << QByteArray("perl") << ""
                                                   << "";
}

void ExcelImportTest::failures() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, sheet);
    QFETCH(QString, message);
    ImportRun t;
    const QString file = t.folder.file(name);
    if (content == "perl")
        QVERIFY(QFile::copy(m_workbook, file));
    else if (!content.isNull())
        QVERIFY(TestFolder::write(file, content));
    bool asked = false;
    QTimer driver;
    driver.setSingleShot(true);
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<Sheets*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        asked = true;
        QTableWidget* list = dialog->list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(0, 1)).center());
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    driver.start(0);
    t.dialogs.openFiles.enqueue(file);
    t.dialogs.texts << QStringLiteral("1") << QStringLiteral("5");
    const int result = sheet.isEmpty()
                           ? ImportExcelRows(t.grid, Mode::Import, *t.db, t.dialogs, nullptr)
                           : ImportExcelRows(t.grid, Mode::Import, *t.db, t.dialogs, nullptr,
                                             [&](const QStringList&, QWidget*) {
                                                 asked = true;
                                                 return sheet;
                                             });
    QCOMPARE(asked, content == "perl");
    QCOMPARE(t.dialogs.messages().size(), message.isEmpty() ? 0 : 1);
    QVERIFY2(message.isEmpty() || t.dialogs.messages().value(0).startsWith(message),
             qPrintable(t.dialogs.messages().value(0)));
    QCOMPARE(result != 0, !message.isEmpty() && !message.startsWith(QStringLiteral("您选择")));
    QCOMPARE(t.grid.rows(), 1);
    QVERIFY(records(*t.db, Mode::Import).empty());
}

void ExcelImportTest::roundTrip() {
    ImportRun t;
    FakeHistoryGrid source;
    const int count = 12;
    for (int k = 0; k < count; ++k) {
        QStringList boxes(88);
        for (int i = 0; i < 88; i += 1 + k % 5)
            boxes[i] = QStringLiteral("%1号-%2 0%3").arg(k).arg(i).arg(k * i);
        boxes[10] = QStringLiteral("多行\n文本 'quoted' \"double\"");
        // A leading U+FEFF is kept; a lone surrogate becomes U+FFFD, its neighbours kept.
        boxes[11] = QChar(0xFEFF) + QStringLiteral("ABC");
        boxes[12] = QStringLiteral("货") + QChar(0xD83D) + QStringLiteral("物品");
        source.addRecord(count - 1 - k,
                         QStringLiteral("2023-%1-%2 09:15:00")
                             .arg(k % 12 + 1, 2, 10, QChar(u'0'))
                             .arg(k % 28 + 1, 2, 10, QChar(u'0')),
                         boxes);
    }
    const QString file = t.folder.file(QStringLiteral("round.xls"));
    t.dialogs.saveFiles.enqueue(file);
    ExportToExcel(source, t.dialogs, nullptr);
    t.dialogs.clear();

    QCOMPARE(t.run(file, QStringLiteral("Sheet1"), {"2", QString::number(count + 1)}), 0);
    QCOMPARE(t.dialogs.messages(),
             QStringList{QStringLiteral("导入EXCEL表格第2至第%1行完成！").arg(count + 1)});
    const auto stored = records(*t.db, Mode::Import);
    QCOMPARE(int(stored.size()), count);
    for (int k = 0; k < count; ++k) {
        std::map<int, QString> original;
        for (int i = 0; i < 88; ++i)
            if (!source.text(k + 1, 3 + i).isEmpty())
                original[i] = BoxText::wellFormed(source.text(k + 1, 3 + i));
        QCOMPARE(original[12], QStringLiteral("货\uFFFD物品"));
        QCOMPARE(stored.at(k).boxes, original);
        const QDate date = QDate::fromString(source.text(k + 1, 2).left(10), Qt::ISODate);
        QCOMPARE(stored.at(k).dat, oleDate(date.year(), date.month(), date.day()));
    }
}

void ExcelImportTest::sheetsDialogMarks() {
    Sheets dialog({QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")});
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTableWidget* list = dialog.list();
    const auto marks = [&] {
        QStringList m;
        for (int r = 0; r < list->rowCount(); ++r)
            m.append(list->item(r, 1)->text());
        return m;
    };
    const auto click = [&](int row, int column) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(row, column)).center());
    };
    QCOMPARE(marks(), (QStringList{"√", "", ""}));
    click(2, 1);
    QCOMPARE(marks(), (QStringList{"", "", "√"}));
    click(1, 2); // the name column does nothing
    click(0, 0);
    QCOMPARE(marks(), (QStringList{"", "", "√"}));
    click(1, 1);
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.sheetName(), QStringLiteral("二"));
}

void ExcelImportTest::databaseFailureStopsAndKeepsStoredRows() {
    ImportRun t;
    // After the first stored row the table is taken away, so the second row fails.
    QTimer breaker;
    breaker.setInterval(0);
    QObject::connect(&breaker, &QTimer::timeout, [&] {
        if (t.grid.rows() < 2)
            return;
        breaker.stop();
        QSqlDatabase outside = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "breaker");
        outside.setDatabaseName(t.db->filePath());
        QVERIFY(outside.open());
        QSqlQuery(outside).exec(QStringLiteral("ALTER TABLE 进口 RENAME TO 旧进口"));
        outside.close();
    });
    breaker.start();
    ProgressWatcher watcher(false);
    QCOMPARE(t.run(m_workbook, QStringLiteral("报关单"), {"2", "12"}),
             ImportError::DatabaseFailure);
    QSqlDatabase::removeDatabase("breaker");
    QCOMPARE(watcher.caption, QStringLiteral("正在读取EXCEL数据…"));
    QCOMPARE(t.dialogs.messages(), QStringList{Messages::databaseOpenError()});
    // The first record stays stored, and the grid holds only rows with a record behind them.
    QCOMPARE(t.grid.rows(), 2);
    QCOMPARE(t.grid.text(1, 0), QStringLiteral("0"));
    QSqlDatabase look = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "look");
    look.setDatabaseName(t.db->filePath());
    QVERIFY(look.open());
    QSqlQuery q(look);
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(DISTINCT Ord) FROM 旧进口")) && q.next());
    QCOMPARE(q.value(0).toInt(), 1);
}

QTEST_MAIN(ExcelImportTest)
#include "tst_excelimport.moc"
