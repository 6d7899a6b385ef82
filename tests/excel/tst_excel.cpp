#include "CompoundFile.h"
#include "CompoundFileReader.h"
#include "ExcelFixture.h"
#include "ExcelOracles.h"
#include "HistoryGridModel.h"
#include "ProgressWatcher.h"
#include "Sheets.h"
#include "XlsWorkbookReader.h"
#include "XlsWorkbookWriter.h"

#include <QDir>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <QtEndian>

#include <bit>
#include <cstring>

// Workbooks of our writer read by xlrd, Spreadsheet::ParseExcel and FreeXL, up to the largest
// sheet; records only other writers produce; the 导 出 and 导 入 commands between a grid laid
// out as the history grid and workbooks.
class ExcelTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cellsOfOtherWriters();
    void largestSheet();
    void exportRefused_data();
    void exportRefused();
    void exported_data();
    void exported();
    void importRows_data();
    void importRows();
    void importNumbersEveryRow();

private:
    TestFolder m_folder;
    QString m_workbook;       // written by Spreadsheet::WriteExcel
    QString m_compatWorkbook; // the same in its compatibility mode: with INDEX and DBCELL
};

namespace {

using namespace ExcelOracles;

constexpr std::uint32_t HeaderFill = 9553663; // RGB 255, 198, 145 as BGR

struct Le : QByteArray {
    Le& u8(int v) { return static_cast<Le&>(append(char(v))); }
    Le& u16(int v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Le& u32(quint32 v) { return u16(int(v & 0xFFFF)).u16(int(v >> 16)); }
    Le& f64(double d) {
        return u32(quint32(std::bit_cast<quint64>(d))).u32(std::bit_cast<quint64>(d) >> 32);
    }
    Le& wide(const QString& s) {
        return raw({reinterpret_cast<const char*>(s.utf16()), 2 * s.size()});
    }
    Le& raw(const QByteArray& b) { return static_cast<Le&>(append(b)); }
};

// A workbook stream as other writers make it: XF 16 shows dates, 17 times, 18 a custom date
// format, 19 an exponent, 20 date and time; a chart sheet before the worksheet; RK, MULRK,
// formulas, booleans, LABEL and rich or extended shared strings.
QByteArray otherWritersStream() {
    Le s;
    const auto rec = [&s](int type, const QByteArray& data) {
        s.u16(type).u16(int(data.size())).raw(data);
    };
    const auto bof = [&](int kind) { rec(0x0809, Le().u16(0x0600).u16(kind).u32(0).u32(0)); };
    const auto cell = [](int row, int col, int xf) { return Le().u16(row).u16(col).u16(xf); };
    bof(0x0005);
    const QString custom = QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
    rec(0x041E, Le().u16(164).u16(int(custom.size())).u8(1).wide(custom));
    rec(0x041E, Le().u16(165).u16(8).u8(0).raw("0.00E+00"));
    for (int f : {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 14, 20, 164, 165, 22})
        rec(0x00E0, Le().u16(0).u16(f).raw(QByteArray(16, '\0')));
    qsizetype offsetAt[2];
    for (const QString& name : {QStringLiteral("图表"), QStringLiteral("数据")}) {
        offsetAt[name == u"数据"] = s.size() + 4;
        rec(0x0085, Le().u32(0).u8(0).u8(name == u"数据" ? 0 : 2).u8(2).u8(1).wide(name));
    }
    // Shared strings: "ab" with a rich-text run, "扩展串" with extended data, "前半" continued
    // by "tail" in one byte per character.
    Le sst;
    sst.u32(3).u32(3).u16(2).u8(0x08).u16(2).raw("ab").u32(0).u32(0);
    sst.u16(3).u8(0x05).u32(4).wide(QStringLiteral("扩展串")).u32(0xDEADBEEF);
    rec(0x00FC, sst.u16(6).u8(0x01).wide(QStringLiteral("前半")));
    rec(0x003C, Le().u8(0).raw("tail"));
    rec(0x000A, {});
    const auto startSheet = [&](int k, int kind) {
        const quint32 at = quint32(s.size());
        std::memcpy(s.data() + offsetAt[k], Le().u32(at).constData(), 4);
        bof(kind);
    };
    startSheet(0, 0x0020);
    rec(0x000A, {});
    startSheet(1, 0x0010);
    rec(0x027E, cell(0, 0, 15).u32((42u << 2) | 0x02));   // RK integer
    rec(0x027E, cell(0, 1, 15).u32((1234u << 2) | 0x03)); // RK integer / 100
    rec(0x00BD, cell(1, 0, 15).u32((quint32(-7) << 2) | 0x02).u16(15).u32(0x3FE00000u).u16(1));
    const double day = QDate(1899, 12, 30).daysTo(QDate(2024, 3, 5));
    const double numbers[][2] = {{16, day}, {20, day + 0.5}, {17, 0.75},
                                 {18, day}, {19, 12345.678}, {20, day}};
    for (int c = 0; c < 6; ++c)
        rec(0x0203, cell(2, c, int(numbers[c][0])).f64(numbers[c][1]));
    rec(0x0006, cell(3, 0, 15).f64(2.25).u16(0).u32(0).u16(0));
    rec(0x0006, cell(3, 1, 15).u32(0).u16(0).u16(0xFFFF).u16(0).u32(0).u16(0)); // text result
    rec(0x0207, Le().u16(4).u8(1).wide(QStringLiteral("公式结果")));
    rec(0x0205, cell(3, 2, 15).u8(1).u8(0)); // TRUE
    rec(0x0205, cell(3, 3, 15).u8(7).u8(1)); // an error value stays empty
    rec(0x0204, cell(4, 0, 15).u16(3).u8(1).wide(QStringLiteral("老格式")));
    for (int i = 0; i < 3; ++i)
        rec(0x00FD, cell(5, i, 15).u32(quint32(i)));
    // Numbers shown in at most 15 digits, the largest with an exponent.
    const double plain[] = {1e20, 1.0 / 3, -0.0, 0.00001, -1234.5678, 123456789012345.0};
    for (int c = 0; c < 6; ++c)
        rec(0x0203, cell(6, c, 15).f64(plain[c]));
    rec(0x0203, cell(6, 300, 15).f64(1)); // past the last column: dropped
    rec(0x000A, {});
    return s;
}

// OLE::Storage_Lite keeps a stream under 4096 bytes in the mini stream; here it is "Book".
const Script OleStorage{"/usr/bin/perl", R"PL(
use strict; use warnings; use OLE::Storage_Lite;
open(my $in, '<:raw', $ARGV[0]) or die; my $data = do { local $/; <$in> };
my $book = OLE::Storage_Lite::PPS::File->new(OLE::Storage_Lite::Asc2Ucs('Book'), $data);
OLE::Storage_Lite::PPS::Root->new(undef, undef, [$book])->save($ARGV[1]) or die;
)PL"};

// The text of the largest sheet's row `row`, grid column `col` (sheet column col − 1).
constexpr int Rows = 65536;
QString largeText(int row, int col) {
    if (row == 0)
        return col == 2   ? QStringLiteral("打印日期")
               : col >= 3 ? QStringLiteral("栏%1").arg(col)
                          : "";
    return col == 1    ? QString::number(row)
           : col == 3  ? QStringLiteral("报关单%1").arg(row)
           : col == 90 ? QStringLiteral("同一个文本")
                       : QString();
}

} // namespace

void ExcelTest::initTestCase() {
    m_workbook = m_folder.file(QStringLiteral("from-perl.xls"));
    ExcelOracles::run(m_folder.path(), ExcelOracles::WriteExcel, {m_workbook});
    QVERIFY(QFile::exists(m_workbook));
    m_compatWorkbook = m_folder.file(QStringLiteral("from-perl-compat.xls"));
    ExcelOracles::run(m_folder.path(), ExcelOracles::WriteExcel, {m_compatWorkbook, "compat"});
    QVERIFY(QFile::exists(m_compatWorkbook));
}

void ExcelTest::cellsOfOtherWriters() {
    const QByteArray stream = otherWritersStream();
    const QString streamFile = m_folder.file(QStringLiteral("stream"));
    const QString path = m_folder.file(QStringLiteral("other.xls"));
    QVERIFY(stream.size() < 4096 && TestFolder::write(streamFile, stream));
    run(m_folder.path(), OleStorage, {streamFile, path});
    XlsWorkbookReader reader;
    QVERIFY(reader.open(path) && reader.selectSheet(QStringLiteral("数据")));
    QCOMPARE(reader.sheetNames(), QStringList{QStringLiteral("数据")}); // the chart is not listed
    QCOMPARE(QSize(reader.columnCount(), reader.rowCount()), QSize(6, 7));
    QString cells; // '|' between cells, '/' after each row
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 6; ++c)
            cells += reader.cellText(r, c) + (c < 5 ? u'|' : u'/');
    QCOMPARE(
        cells,
        QStringLiteral(
            "42|12.34||||/-7|0.5||||/2024-03-05|2024-03-05 12:00:00|18:00:00|2024-03-05|12345.678|"
            "2024-03-05/2.25|公式结果|TRUE|||/老格式|||||/ab|扩展串|前半tail|||/"
            "1e+20|0.333333333333333|0|0.00001|-1234.5678|123456789012345/"));
    QVERIFY(!reader.selectSheet(QStringLiteral("图表")));
    QCOMPARE(reader.failure(), XlsWorkbookReader::Failure::NoSuchSheet);
}

void ExcelTest::largestSheet() {
    // A header and 65,535 records, the most a sheet takes, through the 导 出 command.
    FakeHistoryGrid grid;
    grid.generatedRows = Rows;
    grid.generated = [](int r, int c) {
        return c == 0 && r > 0 ? QString::number(Rows - r) : largeText(r, c);
    };
    ScriptedDialogs dialogs;
    const QString file = m_folder.file(QStringLiteral("large.xls"));
    dialogs.saveFiles.enqueue(file);
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.messages(), QStringList{ExcelMessages::exported(file, Rows - 1)});

    // More FAT sectors than the header lists, so DIFAT sectors are used; no record is
    // longer than 8,224 bytes.
    const QByteArray bytes = TestFolder::read(file);
    QVERIFY(qFromLittleEndian<quint32>(bytes.data() + 44) > 109);
    QByteArray stream;
    QCOMPARE(CompoundFileReader(bytes).read({QStringLiteral("Workbook")}, stream),
             CompoundFileReader::Result::Ok);
    for (qsizetype at = 0, length = 0; at + 4 <= stream.size(); at += 4 + length) {
        length = qFromLittleEndian<quint16>(stream.data() + at + 2);
        QVERIFY(length <= 8224);
    }

    // xlrd counts the text cells and reads the last row; FreeXL and ours read every cell.
    const QJsonObject x = run(m_folder.path(), Xlrd, {file, "values"});
    QCOMPARE(x["nrows"].toInt(), Rows);
    QCOMPARE(x["ncols"].toInt(), 90);
    QCOMPARE(x["textcells"].toInt(), 3 * (Rows - 1) + 89); // three a record, 89 in the header
    for (int c = 1; c <= 90; ++c)
        QCOMPARE(x["last"][c - 1].toString(), largeText(Rows - 1, c));
    const auto theirs = readWithFreeXl(file);
    QVERIFY(theirs.size() == Rows && theirs[0].size() == 90);
    XlsWorkbookReader ours;
    QVERIFY(ours.open(file) && ours.selectSheet(QStringLiteral("Sheet1")));
    QCOMPARE(ours.rowCount(), Rows);
    for (int row = 0; row < Rows; ++row)
        for (int c = 1; c <= 90; ++c)
            if (theirs[size_t(row)][c - 1] != largeText(row, c) ||
                ours.cellText(row, c - 1) != largeText(row, c))
                QFAIL(qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(c)));
}

void ExcelTest::exportRefused_data() {
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

void ExcelTest::exportRefused() {
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
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files).size(), int(!there.isNull()));
    QCOMPARE(TestFolder::read(folder.file(QStringLiteral("a.xls"))), there);
}

void ExcelTest::exported_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("coloured");  // rows from the first record on with a colour
    QTest::addColumn<int>("longTexts"); // cells past Excel's limit of 32,767 characters
    QTest::addColumn<bool>("escape");   // pressed as soon as the progress window shows
    const auto row = [](const char* name, const QString& typed, const QString& file, int records,
                        int coloured, int longTexts, bool escape) {
        QTest::newRow(name) << typed << file << records << coloured << longTexts << escape;
    };
    row("more colours than the palette holds, .xls added", "历史", "历史.xls", 58, 57, 0, false);
    row("texts of 40,000 characters cut and counted, .XLS kept", "a.XLS", "a.XLS", 3, 1, 2, false);
    // Esc reaches the window before the first row is done: the header is saved, plain.
    row("escape keeps the rows so far, .xlsx gets .xls", "a.xlsx", "a.xlsx.xls", 5, 0, 0, true);
}

void ExcelTest::exported() {
    QFETCH(QString, typed);
    QFETCH(QString, file);
    QFETCH(int, records);
    QFETCH(int, coloured);
    QFETCH(int, longTexts);
    QFETCH(bool, escape);
    ImportRun t;
    FakeHistoryGrid grid;
    addRecords(grid, records);
    // Greys, but the header takes one palette slot, so 55 row colours fit; the next ones take
    // the nearest: one just off the third grey, one just off the header colour.
    QList<QJsonValue> fills(records + 1); // as xlrd shows each row's
    for (int r = 1; r <= coloured; ++r) {
        const std::uint32_t grey = 0x010101u * std::uint32_t(4 * r + 6), third = 0x010101u * 18;
        grid.colours[{r, 1}] = r == 56 ? third + 1 : r == 57 ? HeaderFill - 1 : grey;
        fills[r] = rgb(r == 56 ? third : r == 57 ? HeaderFill : grey);
    }
    grid.colours[{records, 5}] = 0x00FF00FF; // other columns do not count
    for (int i = 0; i < longTexts; ++i)
        grid.setText(1 + i, 10 + i, QString(40000, QChar(u'长' + i)));
    // A file of that name is replaced, but stays whole until the new workbook is complete.
    const QString path = t.folder.file(file);
    QVERIFY(TestFolder::write(path, "the previous workbook"));
    QByteArray during;
    ProgressWatcher watcher(escape, [&] { during = TestFolder::read(path); });
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
    const QJsonObject x = run(t.folder.path(), Xlrd, {path, "full"});
    const QJsonObject p = run(t.folder.path(), ParseExcel, {path});
    // FreeXL reads past its buffer on texts over many records: it reads only the workbooks
    // without them (its misreading of such texts is shown in tst_xlsfuzz).
    const auto f = longTexts ? std::vector<QStringList>() : readWithFreeXl(path);
    for (const QJsonObject& o : {x, p})
        QVERIFY(o["nrows"].toInt() == written + 1 && o["ncols"].toInt() == 90); // A to CL
    QVERIFY(longTexts || f.size() == std::size_t(written + 1));
    const QJsonArray lines = escape ? QJsonArray{0, 0, 0, 0} : QJsonArray{1, 1, 1, 1};
    for (int r = 0; r <= written; ++r) {
        for (int c = 0; c < 90; ++c) {
            const QString text = grid.text(r, c + 1).left(32767);
            const bool header = r == 0 && !escape, filled = header || (r > 0 && r <= coloured);
            const QJsonValue fill = header ? rgb(HeaderFill) : fills[r];
            const QJsonValue xc = x["cells"][r][c], pc = p["cells"][r][c];
            const QByteArray where = QByteArray::number(r) + "," + QByteArray::number(c);
            QVERIFY2(xc[0] == text && xc[1] == header && xc[2] == fill && xc[3] == lines, where);
            // ParseExcel: a fill as its pattern number; no cell where nothing is written.
            QVERIFY2(pc.isNull() ? escape && text.isEmpty()
                                 : pc[0] == text && pc[1] == header && pc[2] == int(filled) &&
                                       pc[3] == lines,
                     where);
            QVERIFY2(longTexts || f[r].value(c) == text, where);
        }
    }
    // Our own reader gives back the texts cut at Excel's limit.
    for (int i = 0; i < longTexts; ++i) {
        XlsWorkbookReader ours;
        QVERIFY(ours.open(path) && ours.selectSheet(QStringLiteral("Sheet1")));
        QCOMPARE(ours.cellText(1 + i, 9 + i), grid.text(1 + i, 10 + i).left(32767));
    }
    const QJsonObject widths = x["widths"].toObject();
    QCOMPARE(widths.isEmpty(), escape);
    for (int c = 1; c <= 90 && !escape; ++c)
        QCOMPARE(widths[QString::number(c - 1)].toInt(), grid.colWidthTwips(c) / 123 * 256);
}

void ExcelTest::importRows_data() {
    QTest::addColumn<QString>("file");
    // Null: no file; "perl": the WriteExcel workbook, "perl compat" the one with INDEX and
    // DBCELL, "perl refused" with the store refusing the second new record.
    QTest::addColumn<QByteArray>("content");
    // On the sheet dialog's list, as (column, row), before 确  定: a click on a mark moves it
    // there, one on the marked sheet takes it away; the first sheet is marked at first.
    QTest::addColumn<QList<QPoint>>("clicks");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("records"); // as importRows() writes them
    const auto row = [](const char* name, const QString& file, const QByteArray& content,
                        const QList<QPoint>& clicks, const QStringList& answers,
                        const QString& message, const QStringList& records = {}) {
        QTest::newRow(name) << file << content << clicks << answers << message << records;
    };
    const QByteArray perl("perl");
    const QString done = "导入EXCEL表格第%1至第%2行完成！", refused = "行号必须大于0！";
    const QString wrongType = "文件类型不对，请选择Excel文档！";
    const QString y = "2024-01-02 08:00:00=2024-01-02 00:00 1:y"; // the time of day dropped
    // Rows 4 and 6 have no box text; column A is not read, nor any past the last box.
    const QString second =
        "2024-03-05=2024-03-05 00:00 0:0012 1:42 2:3.14159 3:0.1 4:上海浦东 5:2024-03-05 14:30:00 "
        "6:2023-12-31 7:-17.5 8:123456789012345 9:2024-02-02 87:最后一格";
    row("rows 2 to 7, .XLS accepted", "a.XLS", perl, {}, {"2", "7"}, done.arg(2).arg(7),
        {second, "不是日期=now 0:x", y, "=now 2:z"});
    row("WriteExcel with INDEX, ROW and DBCELL records", "a.xls", "perl compat", {}, {"2", "7"},
        done.arg(2).arg(7), {second, "不是日期=now 0:x", y, "=now 2:z"});
    row("the store refuses the second record: the first stays", "a.xls", "perl refused", {},
        {"2", "7"}, Messages::databaseOpenError(), {second});
    row("the second sheet marked; 2.5 reads as 2, the header row too", "a.xls", perl,
        {{1, 2}, {1, 1}, {0, 0}, {2, 2}}, {"2.5", "1"}, done.arg(1).arg(2),
        {"=now 0:表头", "=now 0:第二页内容"});
    row("past the sheet's last row, cut to it", "a.xls", perl, {}, {"11", "99999999999"},
        done.arg(11).arg(12), {"=now 0:r11", "=now 0:r12"});
    row("beyond 16 bits, nothing there", "a.xls", perl, {}, {"40000", "40001"},
        "表格只有12行，第40000行及以后没有数据可读取！");
    row("cancel refused", "a.xls", perl, {}, {QString(), "3"}, refused);
    row("missing file", "none.xls", {}, {}, {},
        "无法打开Excel文件，请检查后重新输入文件名及路径！");
    QByteArray otherProgram = CompoundFileWithWorkbook(QByteArray(64, '\0'));
    otherProgram.replace(QByteArray("W\0o\0r\0k", 7), QByteArray("W\0o\0r\0d", 7));
    row("compound file of another program", "doc.xls", otherProgram, {}, {}, wrongType);
    row(".xlsx refused by name", "a.xlsx", "PK", {}, {},
        "您选择的文件不是EXCEL文件，请选择EXCEL文件。");
}

void ExcelTest::importRows() {
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QList<QPoint>, clicks);
    QFETCH(QStringList, answers);
    QFETCH(QString, message);
    QFETCH(QStringList, records);
    ImportRun t;
    QStringList listed; // the sheet names offered
    t.chooser = [&](const QStringList& names, QWidget*) {
        listed = names;
        Sheets dialog(names);
        dialog.show();
        auto* list = dialog.findChild<QTableWidget*>(QStringLiteral("SHL"));
        for (const QPoint& cell : clicks)
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualRect(list->model()->index(cell.y(), cell.x())).center());
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("IMG0")), Qt::LeftButton);
        return dialog.sheetName();
    };
    const QString path = t.folder.file(file);
    if (content.startsWith("perl"))
        QVERIFY(QFile::copy(content.endsWith("compat") ? m_compatWorkbook : m_workbook, path));
    else if (!content.isNull())
        QVERIFY(TestFolder::write(path, content));
    // New records follow those stored.
    QVERIFY(t.db.appendNewRecord(ImportRun::mode(), 45000, [](int) { return "旧"; }));
    if (content.endsWith("refused")) {
        QSqlDatabase outside = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "outside");
        outside.setDatabaseName(t.db.filePath());
        QVERIFY(outside.open() && QSqlQuery(outside).exec("CREATE TRIGGER r BEFORE INSERT ON 进口 "
                                                          "WHEN NEW.Ord = 2 BEGIN SELECT "
                                                          "RAISE(ABORT, 'injected'); END"));
    }
    const double before = DataBase::toOleDate(QDateTime::currentDateTime());
    t.run(path, answers);
    const double after = DataBase::toOleDate(QDateTime::currentDateTime());
    QCOMPARE(t.dialogs.messages().join(u'|'), message);
    const QStringList sheets{"报关单", "第二页", "空表"}; // offered only from a workbook
    QCOMPARE(listed, content.startsWith("perl") ? sheets : QStringList());
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

void ExcelTest::importNumbersEveryRow() {
    // Five records numbered 1 to 5, a find showing three; two worksheet rows are imported.
    ImportRun t;
    HistoryGridModel grid;
    std::vector<HistoryGridModel::Row> rows;
    for (int k = 0; k < 5; ++k)
        rows.push_back({{0, QString::number(4 - k)},
                        {1, QString::number(k + 1)},
                        {3, k % 2 ? QStringLiteral("甲") : QStringLiteral("乙")}});
    grid.replaceContents({}, std::move(rows));
    grid.setFilterText(QStringLiteral("乙"));
    const QString path = t.folder.file(QStringLiteral("a.xls"));
    QVERIFY(QFile::copy(m_workbook, path));
    t.runInto(grid, path, {"2", "3"});
    QCOMPARE(t.dialogs.messages(), QStringList{ExcelMessages::imported(2, 3)});
    // The new rows show below the three, numbered after every row, hidden ones included.
    QCOMPARE(grid.rows(), 1 + 3 + 2);
    QCOMPARE(grid.text(4, 1) + u' ' + grid.text(5, 1), QStringLiteral("6 7"));
}

QTEST_MAIN(ExcelTest)
#include "tst_excel.moc"
