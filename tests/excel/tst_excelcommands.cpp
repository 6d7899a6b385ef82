#include "CompoundFile.h"
#include "ExcelFixture.h"
#include "ExcelOracles.h"
#include "GetXlsSheet.h"
#include "Indicater.h"
#include "ProgressWatcher.h"
#include "Sheets.h"
#include "XlsWorkbookReader.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

// The 导 出 and 导 入 commands between a grid laid out as the history grid and workbooks,
// and their progress window.
class ExcelCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exportRefused_data();
    void exportRefused();
    void exportedAndImportedBack_data();
    void exportedAndImportedBack();
    void importRows_data();
    void importRows();
    void databaseFailureKeepsStoredRows();
    void progressBar();

private:
    TestFolder m_folder;
    QString m_workbook; // written by Spreadsheet::WriteExcel
};

namespace {

using namespace ExcelOracles;

// Records with texts on every (k % 5 + 1)th box: leading zeros, several lines, quotes.
void addRecords(FakeHistoryGrid& grid, int records) {
    for (int k = 0; k < records; ++k) {
        QStringList boxes(88);
        for (int i = 0; i < 88; i += 1 + k % 5)
            boxes[i] = QStringLiteral("%1号-%2 0%3").arg(k).arg(i).arg(k * i);
        boxes[0] = QStringLiteral("00%1").arg(k);
        boxes[10] = QStringLiteral("多行\n文本 'quoted' \"double\" é-latin 𠀀 surrogates");
        const QDate date = QDate(2023, 1, 5).addDays(37 * k);
        grid.addRecord(records - 1 - k, date.toString(u"yyyy-MM-dd 09:15:00"), boxes);
    }
}

} // namespace

void ExcelCommandsTest::initTestCase() {
    m_workbook = m_folder.file(QStringLiteral("from-perl.xls"));
    ExcelOracles::run(m_folder.path(), ExcelOracles::WriteExcel, {m_workbook});
    QVERIFY(QFile::exists(m_workbook));
}

void ExcelCommandsTest::exportRefused_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("typed");    // the name typed, empty to cancel
    QTest::addColumn<QByteArray>("there"); // a file of that name, kept on Cancel
    QTest::addColumn<QString>("message");
    QTest::newRow("no records") << 0 << "a.xls" << QByteArray() << ExcelMessages::noRecords();
    // A header and 65,536 records do not fit a sheet.
    QTest::newRow("too many rows")
        << 65537 << "a.xls" << QByteArray() << ExcelMessages::tooManyRows();
    QTest::newRow("folder missing")
        << 2 << "missing/a.xls" << QByteArray() << ExcelMessages::writeFailed();
    QTest::newRow("name cancelled") << 2 << QString() << QByteArray() << QString();
    QTest::newRow("file there, Cancel keeps it") << 2 << "a.xls" << QByteArray("old") << QString();
}

void ExcelCommandsTest::exportRefused() {
    QFETCH(int, rows);
    QFETCH(QString, typed);
    QFETCH(QByteArray, there);
    QFETCH(QString, message);
    TestFolder folder;
    FakeHistoryGrid grid;
    grid.generatedRows = rows;
    grid.generated = [](int r, int c) { return QStringLiteral("%1-%2").arg(r).arg(c); };
    if (!there.isNull())
        QVERIFY(TestFolder::write(folder.file(typed), there));
    ScriptedDialogs dialogs;
    dialogs.saveFiles.enqueue(typed.isEmpty() ? typed : folder.file(typed));
    dialogs.okCancel.enqueue(false);
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.messages().join(u'|'), message);
    QCOMPARE(dialogs.saveFiles.isEmpty(), rows > 0 && rows <= 65536); // the name is asked last
    QCOMPARE(dialogs.okCancel.isEmpty(), !there.isNull());
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files),
             there.isNull() ? QStringList() : QStringList{typed});
    QVERIFY(there.isNull() || fileBytes(folder.file(typed)) == there);
}

void ExcelCommandsTest::exportedAndImportedBack_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("colouredRow"); // −1: none
    QTest::addColumn<int>("longTexts");   // cells past Excel's limit of 32,767 characters
    QTest::addColumn<bool>("escape");     // pressed as soon as the progress window shows
    const auto row = [](const char* name, const QString& typed, const QString& file, int records,
                        int colouredRow, int longTexts, bool escape) {
        QTest::newRow(name) << typed << file << records << colouredRow << longTexts << escape;
    };
    row("one row coloured, .xls added", "历史", "历史.xls", 12, 2, 0, false);
    row("texts of 40,000 characters cut and counted, .XLS kept", "a.XLS", "a.XLS", 3, -1, 2, false);
    // Esc reaches the window before the first row is done: the header is saved, plain.
    row("escape keeps the rows so far, .xlsx gets .xls", "a.xlsx", "a.xlsx.xls", 5, -1, 0, true);
}

void ExcelCommandsTest::exportedAndImportedBack() {
    QFETCH(QString, typed);
    QFETCH(QString, file);
    QFETCH(int, records);
    QFETCH(int, colouredRow);
    QFETCH(int, longTexts);
    QFETCH(bool, escape);
    ImportRun t;
    FakeHistoryGrid grid;
    addRecords(grid, records);
    const std::uint32_t colour = 0x0033AA55;
    if (colouredRow >= 0)
        grid.colours[{colouredRow, 1}] = colour;
    grid.colours[{1 + (colouredRow == 1), 5}] = 0x00FF00FF; // other columns do not count
    for (int i = 0; i < longTexts; ++i)
        grid.setText(1 + i, 10 + i, QString(40000, QChar(u'长' + i)));
    // A file of that name is replaced, but stays whole until the new workbook is complete.
    const QString path = t.folder.file(file);
    QVERIFY(TestFolder::write(path, "the previous workbook"));
    QByteArray during;
    ProgressWatcher watcher(escape, [&] { during = fileBytes(path); });
    t.dialogs.saveFiles.enqueue(t.folder.file(typed));
    t.dialogs.okCancel.enqueue(true);
    ExportToExcel(grid, t.dialogs, nullptr);
    QCOMPARE(t.dialogs.shown.value(1).text, ExcelMessages::overwrite());
    QCOMPARE(during, QByteArray("the previous workbook"));
    const int written = escape ? 0 : records;
    QCOMPARE(t.dialogs.messages(),
             QStringList{ExcelMessages::exported(path, written) +
                         (longTexts ? u'\n' + ExcelMessages::textsShortened(longTexts) : "")});

    // Worksheet column A holds grid column 1; grid column 0 is never written. xlrd and
    // Spreadsheet::ParseExcel see each cell's text, the bold header, fills and borders.
    const QJsonObject x = read(t.folder.path(), Xlrd, {path, "full"});
    const QJsonObject p = read(t.folder.path(), ParseExcel, {path});
    const FreeXlSheet f = readWithFreeXl(path);
    for (const QJsonObject& o : {x, p})
        QVERIFY(o["nrows"].toInt() == written + 1 && o["ncols"].toInt() == 90); // A to CL
    QVERIFY(longTexts || f.cells.size() == std::size_t(written + 1));
    const QJsonArray lines = escape ? QJsonArray{0, 0, 0, 0} : QJsonArray{1, 1, 1, 1};
    for (int r = 0; r <= written; ++r) {
        for (int c = 0; c < 90; ++c) {
            const QString text = grid.text(r, c + 1).left(32767);
            const bool header = r == 0 && !escape, filled = header || r == colouredRow;
            const QJsonValue fill = header ? rgb(9553663) : filled ? rgb(colour) : QJsonValue();
            const QJsonValue xc = x["cells"][r][c], pc = p["cells"][r][c];
            const QByteArray where = QByteArray::number(r) + "," + QByteArray::number(c);
            QVERIFY2(xc[0] == text && xc[1] == header && xc[2] == fill && xc[3] == lines, where);
            // ParseExcel: a fill as its pattern number; no cell where nothing is written.
            QVERIFY2(pc.isNull() ? escape && text.isEmpty()
                                 : pc[0] == text && pc[1] == header && pc[2] == int(filled) &&
                                       pc[3] == lines,
                     where);
            // FreeXL misreads texts over many records (see tst_freexlfaults).
            QVERIFY2(longTexts || f.cells[r].value(c) == text, where);
        }
    }
    const QJsonObject widths = x["widths"].toObject();
    QCOMPARE(widths.isEmpty(), escape);
    for (int c = 1; c <= 90 && !escape; ++c)
        QCOMPARE(widths[QString::number(c - 1)].toInt(), grid.colWidthTwips(c) / 123 * 256);
    if (escape)
        return;

    // Imported back, every record keeps its box texts and the date of its print date.
    QCOMPARE(t.run(path, {"2", QString::number(written + 1)}), 0);
    const auto stored = t.records();
    QCOMPARE(int(stored.size()), written);
    for (int k = 0; k < written; ++k) {
        std::map<int, QString> boxes;
        for (int i = 0; i < 88; ++i)
            if (const QString text = grid.text(k + 1, 3 + i).left(32767); !text.isEmpty())
                boxes[i] = text;
        QCOMPARE(stored.at(k).boxes, boxes);
        QCOMPARE(DataBase::fromOleDate(stored.at(k).dat), // midnight of the print date
                 QDateTime::fromString(grid.text(k + 1, 2).left(10), u"yyyy-MM-dd"));
    }
}

void ExcelCommandsTest::importRows_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content"); // null: no file; "perl": the WriteExcel workbook
    QTest::addColumn<QString>("sheet");      // empty: the first one
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("records"); // as importRows() writes them
    // When given, the sheet is chosen in the sheet dialog by clicks on its list, as (column,
    // row): a click on a mark moves it there, one on the marked sheet takes it away.
    QTest::addColumn<QList<QPoint>>("clicks");
    const auto row = [](const char* name, const QString& file, const QByteArray& content,
                        const QString& sheet, const QStringList& answers, const QString& message,
                        const QStringList& records = {}, const QList<QPoint>& clicks = {}) {
        QTest::newRow(name) << file << content << sheet << answers << message << records << clicks;
    };
    const QByteArray perl("perl");
    const QString done = "导入EXCEL表格第%1至第%2行完成！", refused = "行号必须大于0！";
    const QString wrongType = "文件类型不对，请选择Excel文档！";
    const QString y = "2024-01-02 08:00:00=2024-01-02 00:00 1:y"; // the time of day dropped
    // Rows 4 and 6 have no box text; column A is not read, nor any past the last box.
    row("rows 2 to 7", "a.xls", perl, "", {"2", "7"}, done.arg(2).arg(7),
        {"2024-03-05=2024-03-05 00:00 0:0012 1:42 2:3.14159 3:0.1 4:上海浦东 "
         "5:2024-03-05 14:30:00 6:2023-12-31 7:-17.5 8:123456789012345 9:2024-02-02 87:最后一格",
         "不是日期=now 0:x", y, "=now 2:z"});
    row("10 and 4 swapped", "a.xls", perl, "", {"10", "4"}, done.arg(4).arg(10),
        {y, "=now 2:z", "=now 0:r8", "=now 0:r9", "=now 0:r10"});
    row("3.5 reads as 4, 7行 as 7", "a.xls", perl, "", {"3.5", "7行"}, done.arg(4).arg(7),
        {y, "=now 2:z"});
    row("2.5 reads as 2, the header row too", "a.xls", perl, "第二页", {"2.5", "1"},
        done.arg(1).arg(2), {"=now 0:表头", "=now 0:第二页内容"});
    row("past the sheet's last row, cut to it", "a.xls", perl, "", {"11", "99999999999"},
        done.arg(11).arg(12), {"=now 0:r11", "=now 0:r12"});
    row("beyond 16 bits, nothing there", "a.xls", perl, "", {"40000", "40001"},
        "表格只有12行，第40000行及以后没有数据可读取！");
    row("letters refused", "a.xls", perl, "", {"abc", "3"}, refused);
    row("cancel refused", "a.xls", perl, "", {QString(), "3"}, refused);
    row("the second sheet marked, number and name clicks do nothing", "a.xls", perl, "", {"1", "5"},
        done.arg(1).arg(2), {"=now 0:表头", "=now 0:第二页内容"}, {{1, 2}, {1, 1}, {0, 0}, {2, 2}});
    row("the mark taken away: nothing imported, nothing said", "a.xls", perl, "", {"1", "5"}, "",
        {}, {{1, 0}});
    row(".XLS accepted, sheet not there", "UPPER.XLS", perl, "不存在", {"1", "5"},
        "输入表格名称有误，无法打开表格，请重新输入！");
    row("missing file", "none.xls", {}, "", {"1", "5"},
        "无法打开Excel文件，请检查后重新输入文件名及路径！");
    row("text file named .xls", "t.xls", "序号,日期\n", "", {"1", "5"}, wrongType);
    row("empty file", "e.xls", "", "", {"1", "5"}, wrongType);
    QByteArray otherProgram = CompoundFileWithWorkbook(QByteArray(64, '\0'));
    otherProgram.replace(QByteArray("W\0o\0r\0k", 7), QByteArray("W\0o\0r\0d", 7));
    row("compound file of another program", "doc.xls", otherProgram, "", {"1", "5"}, wrongType);
    row("compound file without a workbook", "bad.xls",
        QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(1024, '\0'), "", {"1", "5"},
        "未知错误，错误号：2001\u3000请检查输入值！");
    row(".xlsx refused by name", "a.xlsx", "PK", "", {"1", "5"},
        "您选择的文件不是EXCEL文件，请选择EXCEL文件。");
}

void ExcelCommandsTest::importRows() {
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, sheet);
    QFETCH(QStringList, answers);
    QFETCH(QString, message);
    QFETCH(QStringList, records);
    QFETCH(QList<QPoint>, clicks);
    ImportRun t;
    if (!clicks.isEmpty()) {
        t.chooser = [&](const QStringList& names, QWidget*) {
            t.listed = names;
            Sheets dialog(names);
            dialog.show();
            auto* list = dialog.findChild<QTableWidget*>(QStringLiteral("SHL"));
            for (const QPoint& cell : clicks)
                QTest::mouseClick(
                    list->viewport(), Qt::LeftButton, {},
                    list->visualRect(list->model()->index(cell.y(), cell.x())).center());
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("IMG0")),
                              Qt::LeftButton);
            return dialog.sheetName();
        };
    }
    const QString path = t.folder.file(file);
    if (content == "perl")
        QVERIFY(QFile::copy(m_workbook, path));
    else if (!content.isNull())
        QVERIFY(TestFolder::write(path, content));
    // New records follow those stored.
    QVERIFY(t.db.appendNewRecord(ImportRun::table(), 45000, [](int) { return "旧"; }));
    t.sheet = sheet;
    const double before = DataBase::toOleDate(QDateTime::currentDateTime());
    t.run(path, answers);
    const double after = DataBase::toOleDate(QDateTime::currentDateTime());
    QCOMPARE(t.dialogs.messages().join(u'|'), message);
    const QStringList sheets{"报关单", "第二页", "空表"}; // offered only from a workbook
    QCOMPARE(t.listed, content == "perl" ? sheets : QStringList());
    // Each new record as "<date cell text>=<its date, or now> <box>:<text> ...", its grid row
    // showing its number, the sequence and the same texts.
    QStringList stored;
    for (const auto& [ord, record] : t.records()) {
        const int r = int(stored.size()) + 1;
        if (ord == 0)
            continue;
        QString s = t.grid.text(r, 2) + u'=' +
                    (record.dat >= before && record.dat <= after
                         ? QStringLiteral("now")
                         : DataBase::fromOleDate(record.dat).toString(u"yyyy-MM-dd hh:mm"));
        for (const auto& [box, text] : record.boxes) {
            s += QStringLiteral(" %1:%2").arg(box).arg(text);
            QCOMPARE(t.grid.text(r, 3 + box), text);
        }
        QCOMPARE(t.grid.text(r, 0) + u'|' + t.grid.text(r, 1),
                 QStringLiteral("%1|%2").arg(ord).arg(r));
        stored.append(s);
    }
    QCOMPARE(stored, records);
    QCOMPARE(t.grid.rows(), 1 + records.size());
}

void ExcelCommandsTest::databaseFailureKeepsStoredRows() {
    ImportRun t;
    // After the first stored row the table is taken away, so the second row fails.
    QTimer breaker;
    breaker.callOnTimeout([&] {
        if (t.grid.rows() < 2)
            return;
        breaker.stop();
        QSqlDatabase outside = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "outside");
        outside.setDatabaseName(t.db.filePath());
        if (outside.open())
            QSqlQuery(outside).exec(QStringLiteral("ALTER TABLE 进口 RENAME TO 旧进口"));
    });
    breaker.start(0);
    t.run(m_workbook, {"2", "12"});
    QCOMPARE(t.dialogs.messages(), QStringList{Messages::databaseOpenError()});
    // The first record stays stored, and the grid holds only rows with a record behind them.
    QCOMPARE(t.grid.rows(), 2);
    QSqlQuery q(QSqlDatabase::database(QStringLiteral("outside")));
    QVERIFY(q.exec(QStringLiteral("SELECT COUNT(DISTINCT Ord) FROM 旧进口")) && q.next());
    QCOMPARE(q.value(0).toInt(), 1);
}

void ExcelCommandsTest::progressBar() {
    // Pure blue from the left, nothing for no progress, never shrinking, full at the total;
    // the rest white.
    Indicater indicater;
    indicater.IndicaterOpen(QStringLiteral("t"), 4);
    for (const auto& [step, fraction] : {std::pair{-1, 0.0}, {4, 0.75}, {-2, 0.75}, {7, 1.0}}) {
        indicater.IndicaterStep(step);
        const QImage image = indicater.window()->picture()->grab().toImage();
        const int drawn = qRound(fraction * image.width());
        for (int x = 0; x < image.width(); ++x)
            QVERIFY(QColor(image.pixel(x, image.height() / 2)) ==
                    (x < drawn ? Qt::blue : Qt::white));
    }
}

QTEST_MAIN(ExcelCommandsTest)
#include "tst_excelcommands.moc"
