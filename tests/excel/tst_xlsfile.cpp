#include "CompoundFile.h"
#include "CompoundFileReader.h"
#include "ExcelFixture.h"
#include "ExcelOracles.h"
#include "GetXlsSheet.h"
#include "XlsWorkbookReader.h"
#include "XlsWorkbookWriter.h"

#include <QDate>
#include <QTest>
#include <QtEndian>

#include <cstring>

// Workbooks of our writer, up to the largest sheet, read by xlrd, Spreadsheet::ParseExcel,
// FreeXL and our reader; and records that only other writers produce, read by ours.
class XlsFileTest : public QObject {
    Q_OBJECT
private slots:
    void paletteFallsBackToNearest();
    void cellsOfOtherWriters_data();
    void cellsOfOtherWriters();
    void largestSheet();

private:
    TestFolder m_folder;
};

namespace {

using namespace ExcelOracles;

constexpr std::uint32_t HeaderFill = 9553663; // RGB 255, 198, 145 as BGR

// The rows of the first sheet, each with its cells joined by '|'.
QStringList readAll(XlsWorkbookReader& reader, const QString& file, int rows, int columns) {
    QStringList out;
    const bool read = reader.open(file) && reader.selectSheet(reader.sheetNames().value(0));
    for (int r = 0; r < rows && read; ++r) {
        QStringList row;
        for (int c = 0; c < columns; ++c)
            row.append(reader.cellText(r, c));
        out.append(row.join(u'|'));
    }
    return out;
}

// Little-endian bytes built up by chained calls.
struct Le : QByteArray {
    Le& u8(int v) { return static_cast<Le&>(append(char(v))); }
    Le& u16(int v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Le& u32(quint32 v) { return u16(int(v & 0xFFFF)).u16(int(v >> 16)); }
    Le& f64(double d) {
        quint64 b = 0;
        std::memcpy(&b, &d, 8);
        return u32(quint32(b)).u32(quint32(b >> 32));
    }
    Le& wide(const QString& s) {
        for (QChar c : s)
            u16(c.unicode());
        return *this;
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

void XlsFileTest::paletteFallsBackToNearest() {
    // The header takes one slot, so 55 row colours fit; the next ones take the nearest:
    // one just off row 3's grey, one just off the header colour.
    QList<std::uint32_t> fills{HeaderFill};
    for (int i = 0; i < 55; ++i)
        fills.append(0x010101u * std::uint32_t(4 * i + 10));
    const QList<std::uint32_t> shown = fills + QList<std::uint32_t>{fills[3], HeaderFill};
    fills += {fills[3] + 1, HeaderFill - 1};
    XlsWorkbookWriter w(2);
    for (int r = 0; r < fills.size(); ++r)
        w.setRowFormat(w.addRow(), r == 0, fills[r]);
    w.addRow(); // neither text nor format: no record of its own
    w.setText(w.addRow(), 0, QStringLiteral("last"));
    const QString file = m_folder.file(QStringLiteral("p.xls"));
    QVERIFY(TestFolder::write(file, w.fileBytes()));
    const QJsonObject x = read(m_folder.path(), Xlrd, {file, "full"});
    QCOMPARE(x["nrows"].toInt(), fills.size() + 2);
    QCOMPARE(x["cells"][fills.size()][0],
             QJsonArray({"", false, QJsonValue(), QJsonArray{0, 0, 0, 0}}));
    QCOMPARE(x["cells"][fills.size() + 1][0][0], QJsonValue("last"));
    for (int r = 0; r < fills.size(); ++r)
        QVERIFY2(x["cells"][r][1][2] == QJsonValue(rgb(shown[r])), QByteArray::number(r));
}

void XlsFileTest::cellsOfOtherWriters_data() {
    QTest::addColumn<QByteArray>("file");
    const QByteArray stream = otherWritersStream();
    const QString streamFile = m_folder.file(QStringLiteral("stream"));
    QVERIFY(stream.size() < 4096 && TestFolder::write(streamFile, stream));
    run(m_folder.path(), OleStorage, {streamFile, m_folder.file(QStringLiteral("ole.xls"))});
    QTest::newRow("in the mini stream") << fileBytes(m_folder.file(QStringLiteral("ole.xls")));
    QTest::newRow("in regular sectors") << CompoundFileWithWorkbook(stream);
}

void XlsFileTest::cellsOfOtherWriters() {
    QFETCH(QByteArray, file);
    const QString path = m_folder.file(QStringLiteral("other.xls"));
    QVERIFY(TestFolder::write(path, file));
    XlsWorkbookReader reader;
    const QStringList cells = readAll(reader, path, 7, 6);
    QCOMPARE(reader.sheetNames(), QStringList{QStringLiteral("数据")}); // the chart is not listed
    QCOMPARE(reader.rowCount(), 7);
    QCOMPARE(reader.columnCount(), 6);
    QCOMPARE(cells, (QStringList{"42|12.34||||", "-7|0.5||||",
                                 "2024-03-05|2024-03-05 12:00:00|18:00:00|2024-03-05|12345.678|"
                                 "2024-03-05",
                                 "2.25|公式结果|TRUE|||", "老格式|||||", "ab|扩展串|前半tail|||",
                                 "1e+20|0.333333333333333|0|0.00001|-1234.5678|123456789012345"}));
    QVERIFY(!reader.selectSheet(QStringLiteral("图表")));
    QCOMPARE(reader.failure(), XlsWorkbookReader::Failure::NoSuchSheet);
}

void XlsFileTest::largestSheet() {
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
    // longer than 8,224 bytes, so the shared strings are continued.
    const QByteArray bytes = fileBytes(file);
    QVERIFY(qFromLittleEndian<quint32>(bytes.data() + 44) > 109);
    QByteArray stream;
    QCOMPARE(CompoundFileReader(bytes).read({QStringLiteral("Workbook")}, stream),
             CompoundFileReader::Result::Ok);
    int continues = 0;
    for (qsizetype at = 0, length = 0; at + 4 <= stream.size(); at += 4 + length) {
        length = qFromLittleEndian<quint16>(stream.data() + at + 2);
        QVERIFY(length <= 8224);
        continues += qFromLittleEndian<quint16>(stream.data() + at) == 0x003C;
    }
    QVERIFY2(continues > 100, QByteArray::number(continues));

    // xlrd counts the text cells and reads the last row; FreeXL and ours read every cell.
    const QJsonObject x = read(m_folder.path(), Xlrd, {file, "values"});
    QCOMPARE(x["nrows"].toInt(), Rows);
    QCOMPARE(x["ncols"].toInt(), 90);
    QCOMPARE(x["textcells"].toInt(), 3 * (Rows - 1) + 89); // three a record, 89 in the header
    for (int c = 1; c <= 90; ++c)
        QCOMPARE(x["last"][c - 1].toString(), largeText(Rows - 1, c));
    const FreeXlSheet theirs = readWithFreeXl(file);
    QCOMPARE(int(theirs.rows), Rows);
    QCOMPARE(int(theirs.columns), 90);
    XlsWorkbookReader ours;
    QVERIFY(ours.open(file) && ours.selectSheet(QStringLiteral("Sheet1")));
    QCOMPARE(ours.rowCount(), Rows);
    for (int row = 0; row < Rows; ++row)
        for (int c = 1; c <= 90; ++c)
            if (theirs.cells[size_t(row)][c - 1] != largeText(row, c) ||
                ours.cellText(row, c - 1) != largeText(row, c))
                QFAIL(qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(c)));
}

QTEST_MAIN(XlsFileTest)
#include "tst_xlsfile.moc"
