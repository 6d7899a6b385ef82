#include "CompoundFile.h"
#include "TestFolder.h"
#include "XlsWorkbookReader.h"

#include <QDate>
#include <QFile>
#include <QTest>

#include <cstring>

// Our reader on records that our writer does not produce but other programs do: RK and
// MULRK numbers, formulas with cached results, booleans, LABEL, rich strings, date and
// time formats, charts among the sheets, and small streams kept in the mini stream.
class XlsReaderTest : public QObject {
    Q_OBJECT
private slots:
    void cellsOfOtherWriters_data();
    void cellsOfOtherWriters();
};

namespace {

class Biff {
public:
    QByteArray bytes;
    void u8(int v) { bytes.append(static_cast<char>(v)); }
    void u16(int v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(quint32 v) {
        u16(static_cast<int>(v & 0xFFFF));
        u16(static_cast<int>(v >> 16));
    }
    void f64(double d) {
        quint64 bits = 0;
        std::memcpy(&bits, &d, 8);
        for (int i = 0; i < 8; ++i)
            u8(static_cast<int>((bits >> (8 * i)) & 0xFF));
    }
    void wide(const QString& s) {
        for (QChar c : s)
            u16(c.unicode());
    }
    qsizetype begin(int type) {
        u16(type);
        u16(0);
        return bytes.size();
    }
    void end(qsizetype start) {
        const qsizetype length = bytes.size() - start;
        bytes[start - 2] = static_cast<char>(length & 0xFF);
        bytes[start - 1] = static_cast<char>(length >> 8);
    }
    void cellHead(int row, int col, int xf) {
        u16(row);
        u16(col);
        u16(xf);
    }
};

// A workbook stream: XF 16 shows dates, 17 times, 18 a custom date format, 19 a number
// format with an exponent; a chart comes before the worksheet.
QByteArray workbookStream() {
    Biff b;
    qsizetype r = b.begin(0x0809);
    b.u16(0x0600);
    b.u16(0x0005);
    b.u32(0);
    b.u32(0);
    b.end(r);
    r = b.begin(0x041E);
    b.u16(164);
    const QString custom = QStringLiteral("yyyy\"年\"m\"月\"d\"日\"");
    b.u16(static_cast<int>(custom.size()));
    b.u8(1);
    b.wide(custom);
    b.end(r);
    r = b.begin(0x041E);
    b.u16(165);
    b.u16(8);
    b.u8(0);
    b.bytes.append("0.00E+00");
    b.end(r);
    const int formats[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 14, 20, 164, 165, 22};
    for (int f : formats) {
        r = b.begin(0x00E0);
        b.u16(0);
        b.u16(f);
        for (int i = 0; i < 16; ++i)
            b.u8(0);
        b.end(r);
    }
    // A chart sheet, then the worksheet; offsets are patched below.
    const auto sheet = [&](const QString& name, int type) {
        r = b.begin(0x0085);
        const qsizetype at = b.bytes.size();
        b.u32(0);
        b.u8(0);
        b.u8(type);
        b.u8(static_cast<int>(name.size()));
        b.u8(1);
        b.wide(name);
        b.end(r);
        return at;
    };
    const qsizetype chartAt = sheet(QStringLiteral("图表"), 2);
    const qsizetype sheetAt = sheet(QStringLiteral("数据"), 0);
    // Shared strings: a rich one (two runs), one with an extension, one continued.
    r = b.begin(0x00FC);
    b.u32(3);
    b.u32(3);
    b.u16(2);
    b.u8(0x08);
    b.u16(2);
    b.bytes.append("ab");
    b.u32(0);
    b.u32(0);
    b.u16(3);
    b.u8(0x05);
    b.u32(4);
    b.wide(QStringLiteral("扩展串"));
    b.u32(0xDEADBEEF);
    b.u16(6);
    b.u8(0x01);
    b.wide(QStringLiteral("前半"));
    b.end(r);
    r = b.begin(0x003C);
    b.u8(0x00); // the rest in one byte per character
    b.bytes.append("tail");
    b.end(r);
    r = b.begin(0x000A);
    b.end(r);

    const auto patch = [&](qsizetype at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            b.bytes[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    patch(chartAt, static_cast<quint32>(b.bytes.size()));
    r = b.begin(0x0809);
    b.u16(0x0600);
    b.u16(0x0020);
    b.u32(0);
    b.u32(0);
    b.end(r);
    r = b.begin(0x000A);
    b.end(r);

    patch(sheetAt, static_cast<quint32>(b.bytes.size()));
    r = b.begin(0x0809);
    b.u16(0x0600);
    b.u16(0x0010);
    b.u32(0);
    b.u32(0);
    b.end(r);
    r = b.begin(0x027E); // RK integer 42
    b.cellHead(0, 0, 15);
    b.u32((42u << 2) | 0x02);
    b.end(r);
    r = b.begin(0x027E); // RK 1234 / 100
    b.cellHead(0, 1, 15);
    b.u32((1234u << 2) | 0x03);
    b.end(r);
    r = b.begin(0x00BD); // MULRK: −7 and 0.5 (a double's top bits)
    b.cellHead(1, 0, 15);
    b.u32((static_cast<quint32>(-7) << 2) | 0x02);
    b.u16(15);
    b.u32(0x3FE00000u);
    b.u16(1);
    b.end(r);
    const double day = QDate(1899, 12, 30).daysTo(QDate(2024, 3, 5));
    const auto number = [&](int row, int col, int xf, double v) {
        r = b.begin(0x0203);
        b.cellHead(row, col, xf);
        b.f64(v);
        b.end(r);
    };
    number(2, 0, 16, day);
    number(2, 1, 20, day + 0.5);
    number(2, 2, 17, 0.75);
    number(2, 3, 18, day);
    number(2, 4, 19, 12345.678);
    number(2, 5, 20, day); // a date-time format at midnight
    r = b.begin(0x0006);   // FORMULA with a number result
    b.cellHead(3, 0, 15);
    b.f64(2.25);
    b.u16(0);
    b.u32(0);
    b.u16(0);
    b.end(r);
    r = b.begin(0x0006); // FORMULA with a text result in the STRING record after it
    b.cellHead(3, 1, 15);
    for (int v : {0, 0, 0, 0, 0, 0, 0xFF, 0xFF})
        b.u8(v);
    b.u16(0);
    b.u32(0);
    b.u16(0);
    b.end(r);
    r = b.begin(0x0207);
    b.u16(4);
    b.u8(1);
    b.wide(QStringLiteral("公式结果"));
    b.end(r);
    r = b.begin(0x0205); // BOOLERR true
    b.cellHead(3, 2, 15);
    b.u8(1);
    b.u8(0);
    b.end(r);
    r = b.begin(0x0205); // an error value stays empty
    b.cellHead(3, 3, 15);
    b.u8(0x07);
    b.u8(1);
    b.end(r);
    r = b.begin(0x0204); // LABEL
    b.cellHead(4, 0, 15);
    b.u16(3);
    b.u8(1);
    b.wide(QStringLiteral("老格式"));
    b.end(r);
    for (int i = 0; i < 3; ++i) {
        r = b.begin(0x00FD);
        b.cellHead(5, i, 15);
        b.u32(static_cast<quint32>(i));
        b.end(r);
    }
    r = b.begin(0x000A);
    b.end(r);
    return b.bytes;
}

void put32(QByteArray& b, qsizetype at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A compound file whose workbook stream (under 4096 bytes) lives in the mini stream.
QByteArray inMiniStream(const QByteArray& stream) {
    const quint32 miniSectors = static_cast<quint32>((stream.size() + 63) / 64);
    const quint32 dataSectors = (miniSectors * 64 + 511) / 512;
    QByteArray f(512 * (4 + static_cast<int>(dataSectors)), '\0');
    const char signature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
    std::memcpy(f.data(), signature, 8);
    f[24] = 0x3E;
    f[26] = 0x03;
    f[28] = '\xFE';
    f[29] = '\xFF';
    f[30] = 9;
    f[32] = 6;
    put32(f, 44, 1);          // FAT sectors
    put32(f, 48, 1);          // directory
    put32(f, 56, 4096);       // mini stream cutoff
    put32(f, 60, 2);          // mini FAT
    put32(f, 64, 1);          // mini FAT sectors
    put32(f, 68, 0xFFFFFFFE); // no DIFAT
    for (int i = 0; i < 109; ++i)
        put32(f, 76 + 4 * i, i == 0 ? 0 : 0xFFFFFFFF);
    const auto sector = [](quint32 s) { return 512 * (static_cast<qsizetype>(s) + 1); };
    for (quint32 i = 0; i < 128; ++i)
        put32(f, sector(0) + 4 * i, 0xFFFFFFFF);
    put32(f, sector(0), 0xFFFFFFFD);
    put32(f, sector(0) + 4, 0xFFFFFFFE);
    put32(f, sector(0) + 8, 0xFFFFFFFE);
    for (quint32 i = 0; i < dataSectors; ++i)
        put32(f, sector(0) + 4 * (3 + i), i + 1 < dataSectors ? 4 + i : 0xFFFFFFFE);
    for (quint32 i = 0; i < 128; ++i)
        put32(f, sector(2) + 4 * i,
              i < miniSectors ? (i + 1 < miniSectors ? i + 1 : 0xFFFFFFFE) : 0xFFFFFFFF);
    const auto entry = [&](int index, const QString& name, int type, quint32 child, quint32 start,
                           quint32 size) {
        const qsizetype e = sector(1) + 128 * index;
        for (int i = 0; i < name.size(); ++i) {
            f[e + 2 * i] = static_cast<char>(name[i].unicode() & 0xFF);
            f[e + 2 * i + 1] = static_cast<char>(name[i].unicode() >> 8);
        }
        f[e + 64] = static_cast<char>(2 * (name.size() + 1));
        f[e + 66] = static_cast<char>(type);
        f[e + 67] = 1;
        put32(f, e + 68, 0xFFFFFFFF);
        put32(f, e + 72, 0xFFFFFFFF);
        put32(f, e + 76, child);
        put32(f, e + 116, start);
        put32(f, e + 120, size);
    };
    entry(0, QStringLiteral("Root Entry"), 5, 1, 3, miniSectors * 64);
    entry(1, QStringLiteral("Book"), 2, 0xFFFFFFFF, 0, static_cast<quint32>(stream.size()));
    std::memcpy(f.data() + sector(3), stream.constData(), static_cast<size_t>(stream.size()));
    return f;
}

} // namespace

void XlsReaderTest::cellsOfOtherWriters_data() {
    QTest::addColumn<QByteArray>("file");
    const QByteArray stream = workbookStream();
    QVERIFY(stream.size() < 4096);
    QTest::newRow("small stream in the mini stream") << inMiniStream(stream);
    QTest::newRow("stream in regular sectors") << CompoundFileWithWorkbook(stream);
}

void XlsReaderTest::cellsOfOtherWriters() {
    QFETCH(QByteArray, file);
    TestFolder folder;
    const QString path = folder.file(QStringLiteral("other.xls"));
    QVERIFY(TestFolder::write(path, file));
    XlsWorkbookReader reader;
    QVERIFY(reader.open(path));
    QCOMPARE(reader.sheetNames(), QStringList{QStringLiteral("数据")}); // the chart is not listed
    QVERIFY(reader.selectSheet(QStringLiteral("数据")));
    QCOMPARE(reader.rowCount(), 6);
    QCOMPARE(reader.columnCount(), 6);
    const QList<QStringList> expected{
        {"42", "12.34"},
        {"-7", "0.5"},
        {"2024-03-05", "2024-03-05 12:00:00", "18:00:00", "2024-03-05", "12345.678", "2024-03-05"},
        {"2.25", "公式结果", "TRUE", ""},
        {"老格式"},
        {"ab", "扩展串", "前半tail"}};
    for (int row = 0; row < expected.size(); ++row)
        for (int col = 0; col < 6; ++col)
            QCOMPARE(reader.cellText(row, col), expected[row].value(col));
    QVERIFY(!reader.selectSheet(QStringLiteral("图表")));
    QCOMPARE(reader.failure(), XlsWorkbookReader::Failure::NoSuchSheet);
}

QTEST_GUILESS_MAIN(XlsReaderTest)
#include "tst_xlsreader.moc"
