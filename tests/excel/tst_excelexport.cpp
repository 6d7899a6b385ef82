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
    void names_data();
    void names();
    void refusedBeforeAnything_data();
    void refusedBeforeAnything();
    void historyGridAsWorkbook_data();
    void historyGridAsWorkbook();
    void overwriteQuestion_data();
    void overwriteQuestion();
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

void ExcelExportTest::names_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("letters");
    QTest::newRow("no ending") << "/tmp/报关"
                               << "/tmp/报关.xls" << 1 << "A";
    QTest::newRow("upper-case ending kept") << "/tmp/a.XLS"
                                            << "/tmp/a.XLS" << 27 << "AA";
    QTest::newRow("newer ending gets .xls") << "/tmp/a.xlsx"
                                            << "/tmp/a.xlsx.xls" << 90 << "CL";
    QTest::newRow("cancelled") << ""
                               << "" << 702 << "ZZ";
}

void ExcelExportTest::names() {
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    QFETCH(int, column);
    QFETCH(QString, letters);
    ScriptedDialogs dialogs;
    dialogs.saveFiles.enqueue(typed);
    QCOMPARE(ChooseSaveXls(dialogs), expected);
    QCOMPARE(dialogs.shown.first().text, QStringLiteral("*.xls"));
    QCOMPARE(ColumnLetters(column), letters);
}

void ExcelExportTest::refusedBeforeAnything_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("message");
    QTest::newRow("no records") << 0 << "a.xls" << ExcelMessages::noRecords();
    // A header and 65,536 records do not fit a sheet.
    QTest::newRow("too many rows") << 65537 << "a.xls" << ExcelMessages::tooManyRows();
    QTest::newRow("folder missing, file not written")
        << 2 << "missing/a.xls" << ExcelMessages::writeFailed();
}

void ExcelExportTest::refusedBeforeAnything() {
    QFETCH(int, rows);
    QFETCH(QString, file);
    QFETCH(QString, message);
    TestFolder folder;
    FakeHistoryGrid grid;
    grid.generatedRows = rows;
    grid.generated = [](int r, int c) { return QStringLiteral("%1-%2").arg(r).arg(c); };
    ScriptedDialogs dialogs;
    dialogs.saveFiles.enqueue(folder.file(file));
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.messages(), QStringList{message});
    QCOMPARE(dialogs.saveFiles.isEmpty(), message == ExcelMessages::writeFailed());
    QVERIFY(QDir(folder.path()).isEmpty());
}

void ExcelExportTest::historyGridAsWorkbook_data() {
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("colouredRow"); // −1: none
    QTest::addColumn<int>("longTexts");   // cells past Excel's limit of 32,767 characters
    QTest::addColumn<bool>("escape");     // pressed as soon as the progress window shows
    QTest::newRow("records, one coloured") << 4 << 2 << 0 << false;
    QTest::newRow("texts of 40,000 characters are cut and counted") << 3 << -1 << 2 << false;
    // Esc reaches the window before the first row is done: the header is saved, plain.
    QTest::newRow("escape keeps the rows so far") << 5 << -1 << 0 << true;
}

void ExcelExportTest::historyGridAsWorkbook() {
    QFETCH(int, records);
    QFETCH(int, colouredRow);
    QFETCH(int, longTexts);
    QFETCH(bool, escape);
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
    ProgressWatcher watcher(escape);
    ExportToExcel(grid, dialogs, nullptr);
    const int written = escape ? 0 : records;
    QCOMPARE(dialogs.messages(),
             QStringList{
                 ExcelMessages::exported(file + QStringLiteral(".xls"), written) +
                 (longTexts > 0 ? u'\n' + ExcelMessages::textsShortened(longTexts) : QString())});
    QCOMPARE(watcher.caption, QStringLiteral("Writing excel file …"));
    QVERIFY(watcher.alwaysOnTop);

    const QJsonObject x = xlrdFull(folder, file + QStringLiteral(".xls"));
    QCOMPARE(x.value("nrows").toInt(), written + 1);
    QCOMPARE(x.value("ncols").toInt(), 90); // A to CL
    const QJsonArray cells = x.value("cells").toArray();
    const QJsonArray lines = escape ? QJsonArray{0, 0, 0, 0} : QJsonArray{1, 1, 1, 1};
    for (int r = 0; r <= written; ++r) {
        for (int c = 0; c < 90; ++c) {
            const QJsonArray cell = cells[r].toArray()[c].toArray();
            const QByteArray where = QByteArray::number(r) + "," + QByteArray::number(c);
            // Worksheet column A holds grid column 1; grid column 0 is never written.
            QVERIFY2(cell[0].toString() == grid.text(r, c + 1).left(32767), where);
            QVERIFY2(cell[1].toBool() == (r == 0 && !escape), where);
            const QJsonValue expectedFill = r == 0 && !escape  ? QJsonValue(rgb(9553663))
                                            : r == colouredRow ? QJsonValue(rgb(colour))
                                                               : QJsonValue();
            QVERIFY2(cell[2] == expectedFill, where);
            QVERIFY2(cell[3].toArray() == lines, where);
        }
    }
    const QJsonObject widths = x.value("widths").toObject();
    QCOMPARE(widths.isEmpty(), escape);
    for (int c = 1; c <= 90 && !escape; ++c)
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
    QVERIFY(TestFolder::write(file, QByteArray("the previous workbook")));
    FakeHistoryGrid grid;
    fill(grid, 2);
    // The old file stays whole until the new workbook is complete.
    QByteArray during;
    ProgressWatcher watcher(false, [&] {
        QFile f(file);
        if (f.open(QIODevice::ReadOnly))
            during = f.readAll();
    });
    ScriptedDialogs dialogs;
    dialogs.saveFiles.enqueue(file);
    dialogs.okCancel.enqueue(answer);
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.shown.value(1).text, QStringLiteral("文件已存在是否覆盖？"));
    QCOMPARE(watcher.seen, answer);
    QCOMPARE(during, answer ? QByteArray("the previous workbook") : QByteArray());
    XlsWorkbookReader reader;
    QCOMPARE(reader.open(file), answer);
    if (answer) {
        QVERIFY(reader.selectSheet(reader.sheetNames().value(0)));
        QCOMPARE(reader.rowCount(), 3);
        QCOMPARE(reader.cellText(2, 2), QStringLiteral("001"));
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.xls")});
}

QTEST_MAIN(ExcelExportTest)
#include "tst_excelexport.moc"
