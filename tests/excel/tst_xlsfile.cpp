#include "CompoundFile.h"
#include "ExcelOracles.h"
#include "FreeXlOracle.h"
#include "TestFolder.h"
#include "XlsWorkbookReader.h"
#include "XlsWorkbookWriter.h"

#include <QDate>
#include <QJsonArray>
#include <QTest>

#include <cstring>

// Workbooks of our writer read by xlrd, Spreadsheet::ParseExcel, FreeXL and our reader; and
// records that only other writers produce, read by ours.
class XlsFileTest : public QObject {
    Q_OBJECT
private slots:
    void readByOthers_data();
    void readByOthers();
    void paletteFallsBackToNearest();
    void cellsOfOtherWriters_data();
    void cellsOfOtherWriters();
};

namespace {

constexpr std::uint32_t HeaderFill = 9553663; // RGB 255, 198, 145 as BGR

QJsonArray rgb(std::uint32_t bgr) {
    return QJsonArray{int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)};
}

// Our reader's rows of the first sheet, each with its cells joined by '|'.
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
    rec(0x00FC, Le().u32(3)
                    .u32(3)
                    .u16(2)
                    .u8(0x08)
                    .u16(2)
                    .raw("ab")
                    .u32(0)
                    .u32(0)
                    .u16(3)
                    .u8(0x05)
                    .u32(4)
                    .wide(QStringLiteral("扩展串"))
                    .u32(0xDEADBEEF)
                    .u16(6)
                    .u8(0x01)
                    .wide(QStringLiteral("前半")));
    rec(0x003C, Le().u8(0).raw("tail")); // the rest of the string in one byte per character
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
    rec(0x000A, {});
    return s;
}

// A compound file whose workbook stream (under 4096 bytes) lives in the mini stream:
// sector 0 the FAT, 1 the directory, 2 the mini FAT, 3 on the mini stream.
QByteArray inMiniStream(const QByteArray& stream) {
    const int minis = int((stream.size() + 63) / 64);
    const int sectors = (minis * 64 + 511) / 512;
    QByteArray f(512 * (4 + sectors), '\0');
    const auto put = [&f](qsizetype at, quint32 v) { std::memcpy(f.data() + at, &v, 4); };
    std::memcpy(f.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    const quint32 header[][2] = {{24, 0x0003003E}, {28, 0x0009FFFE}, {32, 6},
                                 {44, 1},          {48, 1},          {56, 4096},
                                 {60, 2},          {64, 1},          {68, 0xFFFFFFFE}};
    for (const auto& [at, v] : header)
        put(at, v);
    for (int i = 0; i < 128; ++i) { // the FAT and the mini FAT
        put(512 + 4 * i, 0xFFFFFFFF);
        put(512 * 3 + 4 * i, 0xFFFFFFFF);
    }
    for (int i = 0; i < 109; ++i) // the header's list of FAT sectors
        put(76 + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
    for (auto [i, v] : {std::pair{0, 0xFFFFFFFDu}, {1, 0xFFFFFFFEu}, {2, 0xFFFFFFFEu}})
        put(512 + 4 * i, v);
    for (int i = 0; i < sectors; ++i)
        put(512 + 4 * (3 + i), i + 1 < sectors ? quint32(4 + i) : 0xFFFFFFFE);
    for (int i = 0; i < minis; ++i)
        put(512 * 3 + 4 * i, i + 1 < minis ? quint32(i + 1) : 0xFFFFFFFE);
    const auto entry = [&](int index, const QString& name, char type, quint32 child, quint32 start,
                           quint32 size) {
        const qsizetype e = 1024 + 128 * index;
        std::memcpy(f.data() + e, name.utf16(), 2 * size_t(name.size()));
        f[e + 64] = char(2 * (name.size() + 1));
        f[e + 66] = type;
        f[e + 67] = 1;
        const quint32 fields[][2] = {
            {68, 0xFFFFFFFF}, {72, 0xFFFFFFFF}, {76, child}, {116, start}, {120, size}};
        for (const auto& [at, v] : fields)
            put(e + at, v);
    };
    entry(0, QStringLiteral("Root Entry"), 5, 1, 3, quint32(minis * 64));
    entry(1, QStringLiteral("Book"), 2, 0xFFFFFFFF, 0, quint32(stream.size()));
    std::memcpy(f.data() + 512 * 4, stream.constData(), size_t(stream.size()));
    return f;
}

} // namespace

void XlsFileTest::readByOthers_data() {
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("borders");
    QTest::addColumn<int>("fillRow"); // a data row with a fill, −1 for none
    QTest::newRow("grid-like, bordered, one coloured row") << 6 << true << 2;
    QTest::newRow("no borders, no fill") << 4 << false << -1;
    QTest::newRow("single column") << 1 << true << 1;
}

void XlsFileTest::readByOthers() {
    QFETCH(int, columns);
    QFETCH(bool, borders);
    QFETCH(int, fillRow);
    if (!ExcelOracles::haveXlrd() || !ExcelOracles::haveParseExcel())
        QSKIP("python3-xlrd or Spreadsheet::ParseExcel is missing");
    TestFolder folder;
    // Row 3 is empty: without borders it has no record of its own.
    const QList<QStringList> rows{
        {"序号", "打印日期", "预录入编号", "海关编号", "出口口岸", "备案号"},
        {"1", "2024-03-05 14:20:00", "0012", "", "上海海关 'quoted' \"x\"", "é-latin"},
        {"2", "", "", "行一\n行二", "", ""},
        {"", "", "", "", "", ""},
        {"3", "𠀀 surrogate", "", "", "", ""}};
    const std::uint32_t rowFill = 0x00CC8844;
    XlsWorkbookWriter w(columns);
    for (int r = 0; r < rows.size(); ++r) {
        w.addRow();
        for (int c = 0; c < columns; ++c)
            w.setText(r, c, rows[r][c]);
        if (r == 0 || r == fillRow)
            w.setRowFormat(r, r == 0, r == 0 ? HeaderFill : rowFill);
    }
    w.setBorders(borders);
    for (int c = 0; c < columns; ++c)
        w.setColumnWidth(c, c * 3);
    const QString file = folder.file(QStringLiteral("t.xls"));
    QVERIFY(TestFolder::write(file, w.fileBytes()));

    const QJsonObject x =
        ExcelOracles::read(folder.path(), ExcelOracles::XlrdScript, {file, "full"});
    QCOMPARE(x.value("sheets").toArray(), QJsonArray{QStringLiteral("Sheet1")});
    const QJsonObject p = ExcelOracles::read(folder.path(), ExcelOracles::ParseExcelScript, {file});
    for (const QJsonObject& o : {x, p}) {
        QCOMPARE(o.value("nrows").toInt(), rows.size());
        QCOMPARE(o.value("ncols").toInt(), columns);
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < columns; ++c) {
                const QJsonValue v = o.value("cells")[r][c];
                const QByteArray where = QByteArray::number(r) + "," + QByteArray::number(c);
                const bool filled = r == 0 || r == fillRow;
                // ParseExcel has no cell where nothing is written or formatted.
                if (v.isNull() && !borders && !filled && rows[r][c].isEmpty())
                    continue;
                QVERIFY2(v[0].toString() == rows[r][c], where);
                QVERIFY2(v[1].toBool() == (r == 0), where);
                const QJsonValue fill = v[2];
                if (fill.isDouble()) // ParseExcel: the fill pattern
                    QVERIFY2(fill.toInt() == int(filled), where);
                else
                    QVERIFY2(
                        fill == (filled ? QJsonValue(rgb(r ? rowFill : HeaderFill)) : QJsonValue()),
                        where);
                const int line = borders ? 1 : 0;
                QVERIFY2(v[3].toArray() == (QJsonArray{line, line, line, line}), where);
            }
        }
    }
    for (int c = 0; c < columns; ++c)
        QCOMPARE(x.value("widths")[QString::number(c)].toInt(), c * 3 * 256);
    if (columns > 2) // a text cell, so a code keeps its leading zeros
        QCOMPARE(x.value("types")[1][2].toInt(), 1);

    QStringList expected;
    for (const QStringList& row : rows)
        expected += row.mid(0, columns).join(u'|');
    XlsWorkbookReader reader;
    QCOMPARE(readAll(reader, file, int(rows.size()), columns), expected);
    QCOMPARE(reader.sheetNames(), QStringList{QStringLiteral("Sheet1")});
    const FreeXlSheet f = readWithFreeXl(file);
    QCOMPARE(f.rc, FREEXL_OK);
    QCOMPARE(f.sheets, QStringList{QStringLiteral("Sheet1")});
    QStringList theirs;
    for (const QStringList& row : f.cells)
        theirs += row.join(u'|');
    QCOMPARE(theirs, expected);
}

void XlsFileTest::paletteFallsBackToNearest() {
    if (!ExcelOracles::haveXlrd())
        QSKIP("python3-xlrd is missing");
    TestFolder folder;
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
    const QString file = folder.file(QStringLiteral("p.xls"));
    QVERIFY(TestFolder::write(file, w.fileBytes()));
    const QJsonObject x =
        ExcelOracles::read(folder.path(), ExcelOracles::XlrdScript, {file, "full"});
    QCOMPARE(x.value("nrows").toInt(), fills.size());
    for (int r = 0; r < fills.size(); ++r)
        QVERIFY2(x.value("cells")[r][1][2] == QJsonValue(rgb(shown[r])), QByteArray::number(r));
}

void XlsFileTest::cellsOfOtherWriters_data() {
    QTest::addColumn<QByteArray>("file");
    const QByteArray stream = otherWritersStream();
    QVERIFY(stream.size() < 4096);
    QTest::newRow("small stream in the mini stream") << inMiniStream(stream);
    QTest::newRow("stream in regular sectors") << CompoundFileWithWorkbook(stream);
}

void XlsFileTest::cellsOfOtherWriters() {
    QFETCH(QByteArray, file);
    TestFolder folder;
    const QString path = folder.file(QStringLiteral("other.xls"));
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

QTEST_GUILESS_MAIN(XlsFileTest)
#include "tst_xlsfile.moc"
