#include "ExcelOracles.h"
#include "FakeHistoryGrid.h"
#include "GetXlsSheet.h"
#include "ProgressWatcher.h"
#include "ScriptedDialogs.h"
#include "TestFolder.h"
#include "XlsWorkbookReader.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTest>

// The 导 出 command on a grid laid out as the history grid.
class ExcelExportTest : public QObject {
    Q_OBJECT
private slots:
    void columnLetters_data();
    void columnLetters();
    void saveName_data();
    void saveName();
    void emptyGridSaysNoRecords();
    void historyGridAsWorkbook_data();
    void historyGridAsWorkbook();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void oldFileStaysWhileWriting();
    void failedWriteIsReported();
    void escapeKeepsRowsSoFar();
    void tooManyRowsRefusedBeforeAnything();
};

namespace {

QJsonObject xlrdFull(const TestFolder& folder, const QString& file) {
    const QString script = ExcelOracles::writeScript(folder.path(), QStringLiteral("read.py"),
                                                     ExcelOracles::XlrdScript);
    const auto r = ExcelOracles::run(ExcelOracles::Python, {script, file, QStringLiteral("full")});
    if (r.exitCode != 0)
        qWarning("xlrd: %s", r.err.constData());
    return r.json();
}

QJsonArray rgb(std::uint32_t bgr) {
    return QJsonArray{int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)};
}

void fill(FakeHistoryGrid& grid, int records) {
    for (int k = 0; k < records; ++k) {
        QStringList boxes(88);
        boxes[0] = QStringLiteral("00%1").arg(k); // leading zeros are kept
        boxes[5] = QStringLiteral("上海浦东国际机场");
        boxes[87] = QStringLiteral("第%1行\n第二行").arg(k);
        grid.addRecord(records - 1 - k, QStringLiteral("2024-03-0%1 10:00:00").arg(k % 9 + 1),
                       boxes);
    }
}

} // namespace

void ExcelExportTest::columnLetters_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("letters");
    QTest::newRow("1") << 1 << "A";
    QTest::newRow("26") << 26 << "Z";
    QTest::newRow("27") << 27 << "AA";
    QTest::newRow("52") << 52 << "AZ";
    QTest::newRow("53") << 53 << "BA";
    QTest::newRow("90, the history grid's last") << 90 << "CL";
    QTest::newRow("702") << 702 << "ZZ";
}

void ExcelExportTest::columnLetters() {
    QFETCH(int, n);
    QFETCH(QString, letters);
    QCOMPARE(ColumnLetters(n), letters);
}

void ExcelExportTest::saveName_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no ending") << "/tmp/报关"
                               << "/tmp/报关.xls";
    QTest::newRow("upper-case ending kept") << "/tmp/a.XLS"
                                            << "/tmp/a.XLS";
    QTest::newRow("newer ending gets .xls") << "/tmp/a.xlsx"
                                            << "/tmp/a.xlsx.xls";
    QTest::newRow("cancelled") << ""
                               << "";
}

void ExcelExportTest::saveName() {
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    ScriptedDialogs dialogs;
    dialogs.saveFiles.enqueue(typed);
    QCOMPARE(ChooseSaveXls(dialogs), expected);
    QCOMPARE(dialogs.shown.first().text, QStringLiteral("*.xls"));
}

void ExcelExportTest::emptyGridSaysNoRecords() {
    struct NoRows : FakeHistoryGrid {
        int rows() const override { return 0; }
    } grid;
    ScriptedDialogs dialogs;
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.allTexts(), QStringList{ExcelMessages::noRecords()});
}

void ExcelExportTest::historyGridAsWorkbook_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("colouredRow"); // −1: none
    QTest::addColumn<int>("longTexts");   // cells past Excel's limit of 32,767 characters
    QTest::newRow("header only") << 0 << -1 << 0;
    QTest::newRow("records, one coloured") << 4 << 2 << 0;
    QTest::newRow("texts of 40,000 characters are cut and counted") << 3 << -1 << 2;
}

void ExcelExportTest::historyGridAsWorkbook() {
    QFETCH(int, records);
    QFETCH(int, colouredRow);
    QFETCH(int, longTexts);
    if (!ExcelOracles::haveXlrd())
        QSKIP("python3-xlrd is missing");
    TestFolder folder;
    FakeHistoryGrid grid;
    fill(grid, records);
    const std::uint32_t colour = 0x0033AA55;
    if (colouredRow >= 0)
        grid.setBackColor(colouredRow, 1, colour);
    grid.setBackColor(1 + (colouredRow == 1), 5, 0x00FF00FF); // other columns do not count
    grid.setWidth(7, 100);                                    // narrower than one character
    for (int i = 0; i < longTexts; ++i)
        grid.setText(1 + i, 10 + i, QString(40000, QChar(u'长' + i)));
    ScriptedDialogs dialogs;
    const QString file = folder.file(QStringLiteral("历史"));
    dialogs.saveFiles.enqueue(file);
    ProgressWatcher watcher(false);
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.messages(),
             QStringList{
                 ExcelMessages::exported(file + QStringLiteral(".xls"), records) +
                 (longTexts > 0 ? u'\n' + ExcelMessages::textsShortened(longTexts) : QString())});
    QVERIFY(watcher.seen);
    QCOMPARE(watcher.caption, QStringLiteral("Writing excel file …"));
    QVERIFY(watcher.alwaysOnTop);

    const QJsonObject x = xlrdFull(folder, file + QStringLiteral(".xls"));
    QCOMPARE(x.value("nrows").toInt(), records + 1);
    QCOMPARE(x.value("ncols").toInt(), 90); // A to CL
    const QJsonArray cells = x.value("cells").toArray();
    for (int r = 0; r <= records; ++r) {
        for (int c = 0; c < 90; ++c) {
            const QJsonArray cell = cells[r].toArray()[c].toArray();
            const QByteArray where = QByteArray::number(r) + "," + QByteArray::number(c);
            // Worksheet column A holds grid column 1; grid column 0 is never written.
            QVERIFY2(cell[0].toString() == grid.text(r, c + 1).left(32767), where);
            QVERIFY2(cell[1].toBool() == (r == 0), where);
            const QJsonValue expectedFill = r == 0             ? QJsonValue(rgb(9553663))
                                            : r == colouredRow ? QJsonValue(rgb(colour))
                                                               : QJsonValue();
            QVERIFY2(cell[2] == expectedFill, where);
            QVERIFY2(cell[3].toArray() == (QJsonArray{1, 1, 1, 1}), where);
        }
    }
    const QJsonObject widths = x.value("widths").toObject();
    for (int c = 1; c <= 90; ++c)
        QCOMPARE(widths.value(QString::number(c - 1)).toInt(), grid.colWidthTwips(c) / 123 * 256);
}

void ExcelExportTest::overwriteQuestion_data() {
    QTest::addColumn<bool>("answer");
    QTest::newRow("OK replaces") << true;
    QTest::newRow("Cancel keeps") << false;
}

void ExcelExportTest::overwriteQuestion() {
    QFETCH(bool, answer);
    TestFolder folder;
    const QString file = folder.file(QStringLiteral("a.xls"));
    QVERIFY(TestFolder::write(file, QByteArray("old")));
    FakeHistoryGrid grid;
    fill(grid, 2);
    ScriptedDialogs dialogs;
    dialogs.saveFiles.enqueue(file);
    dialogs.okCancel.enqueue(answer);
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.shown.value(1).kind, QStringLiteral("okcancel"));
    QCOMPARE(dialogs.shown.value(1).text, QStringLiteral("文件已存在是否覆盖？"));
    XlsWorkbookReader reader;
    QCOMPARE(reader.open(file), answer);
    if (answer) {
        QVERIFY(reader.selectSheet(reader.sheetNames().value(0)));
        QCOMPARE(reader.rowCount(), 3);
        QCOMPARE(reader.cellText(2, 2), QStringLiteral("001"));
    }
}

void ExcelExportTest::oldFileStaysWhileWriting() {
    TestFolder folder;
    const QString file = folder.file(QStringLiteral("keep.xls"));
    QVERIFY(TestFolder::write(file, QByteArray("the previous workbook")));
    FakeHistoryGrid grid;
    fill(grid, 3);
    QByteArray during;
    ProgressWatcher watcher(false, [&] {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly))
            during = f.readAll();
    });
    ScriptedDialogs dialogs;
    dialogs.saveFiles.enqueue(file);
    dialogs.okCancel.enqueue(true);
    ExportToExcel(grid, dialogs, nullptr);
    QVERIFY(watcher.seen);
    QCOMPARE(during, QByteArray("the previous workbook"));
    XlsWorkbookReader reader;
    QVERIFY(reader.open(file));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("keep.xls")});
}

void ExcelExportTest::failedWriteIsReported() {
    TestFolder folder;
    FakeHistoryGrid grid;
    fill(grid, 1);
    ScriptedDialogs dialogs;
    // A folder that does not exist cannot take the file.
    dialogs.saveFiles.enqueue(folder.file(QStringLiteral("missing/a.xls")));
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.messages(), QStringList{ExcelMessages::writeFailed()});
}

void ExcelExportTest::escapeKeepsRowsSoFar() {
    if (!ExcelOracles::haveXlrd())
        QSKIP("python3-xlrd is missing");
    TestFolder folder;
    FakeHistoryGrid grid;
    fill(grid, 5);
    ScriptedDialogs dialogs;
    const QString file = folder.file(QStringLiteral("esc.xls"));
    dialogs.saveFiles.enqueue(file);
    ProgressWatcher watcher(true);
    ExportToExcel(grid, dialogs, nullptr);
    QVERIFY(watcher.seen);
    QCOMPARE(dialogs.messages(), QStringList{ExcelMessages::exported(file, 0)});
    // Esc reaches the window before the first row is done: that row is saved, plain.
    const QJsonObject x = xlrdFull(folder, file);
    QCOMPARE(x.value("nrows").toInt(), 1);
    const QJsonArray header = x.value("cells").toArray()[0].toArray();
    QCOMPARE(header[1].toArray()[0].toString(), QStringLiteral("打印日期"));
    for (const QJsonValue& cell : header)
        QCOMPARE(cell.toArray()[3].toArray(), (QJsonArray{0, 0, 0, 0}));
    QVERIFY(x.value("widths").toObject().isEmpty());
}

void ExcelExportTest::tooManyRowsRefusedBeforeAnything() {
    FakeHistoryGrid grid;
    grid.generatedRows = 65537; // a header and 65,536 records
    grid.generated = [](int r, int c) { return QStringLiteral("%1-%2").arg(r).arg(c); };
    ScriptedDialogs dialogs;
    dialogs.saveFiles.enqueue(QStringLiteral("/nonexistent/never.xls"));
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.allTexts(), QStringList{ExcelMessages::tooManyRows()});
}

QTEST_MAIN(ExcelExportTest)
#include "tst_excelexport.moc"
