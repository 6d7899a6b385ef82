#include "ExcelOracles.h"
#include "FreeXlOracle.h"
#include "TestFolder.h"
#include "XlsWorkbookReader.h"
#include "XlsWorkbookWriter.h"

#include <QFile>
#include <QJsonArray>
#include <QTest>

#include <optional>

// Workbooks from our writer, read back by xlrd, Spreadsheet::ParseExcel and FreeXL.
class XlsFileTest : public QObject {
    Q_OBJECT
private slots:
    void readByOthers_data();
    void readByOthers();
    void paletteFallsBackToNearest();
    void sharedStringsAcrossContinueRecords_data();
    void sharedStringsAcrossContinueRecords();
    void dimensionsAreExact_data();
    void dimensionsAreExact();
    void numberTexts_data();
    void numberTexts();
};

namespace {

constexpr std::uint32_t HeaderFill = 9553663; // RGB 255, 198, 145 as BGR

struct Table {
    int columns = 0;
    QList<QStringList> rows;
    QList<std::uint32_t> fills; // per row, BGR
    int headerRows = 1;
    bool borders = true;
    QList<int> widths;
};

XlsWorkbookWriter build(const Table& t) {
    XlsWorkbookWriter w(t.columns);
    for (int r = 0; r < t.rows.size(); ++r) {
        const int row = w.addRow();
        for (int c = 0; c < t.rows[r].size(); ++c)
            w.setText(row, c, t.rows[r][c]);
        if (r < t.headerRows)
            w.setRowFormat(row, true, HeaderFill);
        else if (r < t.fills.size() && t.fills[r] != 0)
            w.setRowFormat(row, false, t.fills[r]);
    }
    w.setBorders(t.borders);
    for (int c = 0; c < t.widths.size(); ++c)
        w.setColumnWidth(c, t.widths[c]);
    return w;
}

bool save(const XlsWorkbookWriter& w, const QString& path) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(w.fileBytes()) > 0;
}

QJsonArray rgb(std::uint32_t bgr) {
    return QJsonArray{int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)};
}

QJsonObject xlrd(const TestFolder& folder, const QString& file, const QStringList& extra = {}) {
    const QString script = ExcelOracles::writeScript(folder.path(), QStringLiteral("read.py"),
                                                     ExcelOracles::XlrdScript);
    const auto r =
        ExcelOracles::run(ExcelOracles::Python,
                          QStringList{script, file, extra.isEmpty() ? "full" : "values"} + extra);
    if (r.exitCode != 0)
        qWarning("xlrd: %s", r.err.constData());
    return r.json();
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

    const QString longText = QString(40000, u'长');
    Table t;
    t.columns = columns;
    t.borders = borders;
    QStringList header{QStringLiteral("序号"),       QStringLiteral("打印日期"),
                       QStringLiteral("预录入编号"), QStringLiteral("海关编号"),
                       QStringLiteral("出口口岸"),   QStringLiteral("备案号")};
    QStringList a{
        QStringLiteral("1"), QStringLiteral("2024-03-05 14:20:00"),     QStringLiteral("0012"),
        QString(),           QStringLiteral("上海海关 'quoted' \"x\""), QStringLiteral("é-latin")};
    QStringList b{QStringLiteral("2"),         QString(), QString(), longText, QString(),
                  QStringLiteral("行一\n行二")};
    QStringList c{QStringLiteral("3"), QStringLiteral("𠀀 surrogate"),
                  QString(),           QString(),
                  QString(),           QString()};
    t.rows = {header.mid(0, columns), a.mid(0, columns), b.mid(0, columns), c.mid(0, columns)};
    t.fills = {0, 0, 0, 0};
    const std::uint32_t rowFill = 0x00CC8844; // BGR
    if (fillRow >= 0)
        t.fills[fillRow] = rowFill;
    for (int i = 0; i < columns; ++i)
        t.widths.append(i * 3);
    const QString file = folder.file(QStringLiteral("t.xls"));
    QVERIFY(save(build(t), file));

    const QJsonObject x = xlrd(folder, file);
    QCOMPARE(x.value("sheets").toArray(), QJsonArray{QStringLiteral("Sheet1")});
    QCOMPARE(x.value("nrows").toInt(), t.rows.size());
    QCOMPARE(x.value("ncols").toInt(), columns);
    const QJsonArray cells = x.value("cells").toArray();
    for (int r = 0; r < t.rows.size(); ++r) {
        for (int col = 0; col < columns; ++col) {
            const QJsonArray cell = cells[r].toArray()[col].toArray();
            QString expected = t.rows[r][col];
            if (expected.size() > XlsWorkbookWriter::MaxCellText)
                expected.truncate(XlsWorkbookWriter::MaxCellText);
            const QByteArray where = QByteArray::number(r) + "," + QByteArray::number(col);
            QVERIFY2(cell[0].toString() == expected, where);
            QVERIFY2(cell[1].toBool() == (r == 0), where);
            const QJsonValue fill = r == 0         ? QJsonValue(rgb(HeaderFill))
                                    : r == fillRow ? QJsonValue(rgb(rowFill))
                                                   : QJsonValue(QJsonValue::Null);
            QVERIFY2(cell[2] == fill, where);
            const int line = borders ? 1 : 0;
            QVERIFY2(cell[3].toArray() == (QJsonArray{line, line, line, line}), where);
        }
    }
    const QJsonObject widths = x.value("widths").toObject();
    for (int col = 0; col < columns; ++col)
        QCOMPARE(widths.value(QString::number(col)).toInt(), col * 3 * 256);

    // Text cells are strings, so a code keeps its leading zeros.
    const QJsonArray types = x.value("types").toArray();
    if (columns > 2)
        QCOMPARE(types[1].toArray()[2].toInt(), 1);

    // Spreadsheet::ParseExcel agrees on values, bold and borders.
    const QString pl = ExcelOracles::writeScript(folder.path(), QStringLiteral("read.pl"),
                                                 ExcelOracles::ParseExcelScript);
    const auto p = ExcelOracles::run(ExcelOracles::Perl, {pl, file});
    QVERIFY2(p.exitCode == 0, p.err.constData());
    const QJsonObject pj = p.json();
    QCOMPARE(pj.value("rmax").toInt(), t.rows.size() - 1);
    QCOMPARE(pj.value("cmax").toInt(), columns - 1);
    const QJsonArray pcells = pj.value("cells").toArray();
    for (int r = 0; r < t.rows.size(); ++r) {
        for (int col = 0; col < columns; ++col) {
            const QJsonValue v = pcells[r].toArray()[col];
            const QString expected = t.rows[r][col].left(XlsWorkbookWriter::MaxCellText);
            const QByteArray where = QByteArray::number(r) + "," + QByteArray::number(col);
            if (!borders && expected.isEmpty() && r != 0) {
                QVERIFY2(v.isNull(), where);
                continue;
            }
            const QJsonArray cell = v.toArray();
            QVERIFY2(cell[0].toString() == expected, where);
            QVERIFY2(cell[1].toBool() == (r == 0), where);
            const bool filled = r == 0 || r == fillRow;
            QVERIFY2(cell[2].toInt() == (filled ? 1 : 0), where);
            const int line = borders ? 1 : 0;
            QVERIFY2(cell[3].toArray() == (QJsonArray{line, line, line, line}), where);
        }
    }

    // Our own reader, long text included.
    XlsWorkbookReader reader;
    QVERIFY(reader.open(file));
    QCOMPARE(reader.sheetNames(), QStringList{QStringLiteral("Sheet1")});
    QVERIFY(reader.selectSheet(QStringLiteral("Sheet1")));
    QCOMPARE(reader.rowCount(), t.rows.size());
    QCOMPARE(reader.columnCount(), columns);
    for (int r = 0; r < t.rows.size(); ++r)
        for (int col = 0; col < columns; ++col)
            QCOMPARE(reader.cellText(r, col), t.rows[r][col].left(XlsWorkbookWriter::MaxCellText));

    // FreeXL, which cannot read a text spread over more than two records: the long text
    // is left out of its copy.
    if (t.rows[2].size() > 3)
        t.rows[2][3].clear();
    const QString forFreeXl = folder.file(QStringLiteral("f.xls"));
    QVERIFY(save(build(t), forFreeXl));
    const FreeXlSheet f = readWithFreeXl(forFreeXl);
    QCOMPARE(f.rc, FREEXL_OK);
    QCOMPARE(f.sheets, QStringList{QStringLiteral("Sheet1")});
    QCOMPARE(int(f.rows), t.rows.size());
    QCOMPARE(int(f.columns), columns);
    for (int r = 0; r < t.rows.size(); ++r)
        QCOMPARE(f.cells[r], t.rows[r]);
}

void XlsFileTest::paletteFallsBackToNearest() {
    if (!ExcelOracles::haveXlrd())
        QSKIP("python3-xlrd is missing");
    TestFolder folder;
    // The header takes one slot, so 55 row colours fit; the next ones take the nearest.
    Table t;
    t.columns = 2;
    t.rows.append({QStringLiteral("h"), QStringLiteral("h")});
    t.fills.append(0);
    QList<std::uint32_t> expected{HeaderFill};
    for (int i = 0; i < 55; ++i) {
        const std::uint32_t bgr = 0x010101u * static_cast<std::uint32_t>(4 * i + 10);
        t.rows.append({QString::number(i), QString()});
        t.fills.append(bgr);
        expected.append(bgr);
    }
    // Just off row 3's grey and off the header colour.
    const std::uint32_t nearGrey = expected[3] + 1;
    const std::uint32_t nearHeader = HeaderFill - 0x000001;
    t.rows.append({QStringLiteral("g"), QString()});
    t.fills.append(nearGrey);
    expected.append(expected[3]);
    t.rows.append({QStringLiteral("o"), QString()});
    t.fills.append(nearHeader);
    expected.append(HeaderFill);
    const QString file = folder.file(QStringLiteral("p.xls"));
    QVERIFY(save(build(t), file));
    const QJsonArray cells = xlrd(folder, file).value("cells").toArray();
    QCOMPARE(cells.size(), t.rows.size());
    for (int r = 0; r < t.rows.size(); ++r)
        QVERIFY2(cells[r].toArray()[1].toArray()[2] == QJsonValue(rgb(expected[r])),
                 QByteArray::number(r));
}

void XlsFileTest::sharedStringsAcrossContinueRecords_data() {
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("wide");
    QTest::newRow("short one-byte texts") << 6000 << 7 << false;
    QTest::newRow("short CJK texts") << 5000 << 5 << true;
    QTest::newRow("texts spread over two records") << 40 << 4000 << true;
    QTest::newRow("texts spread over many records") << 12 << 30000 << true;
    QTest::newRow("odd lengths, mixed") << 900 << 37 << false;
}

void XlsFileTest::sharedStringsAcrossContinueRecords() {
    QFETCH(int, count);
    QFETCH(int, length);
    QFETCH(bool, wide);
    if (!ExcelOracles::haveXlrd())
        QSKIP("python3-xlrd is missing");
    TestFolder folder;
    XlsWorkbookWriter w(3);
    QStringList texts;
    for (int i = 0; i < count; ++i) {
        QString s = QStringLiteral("%1:").arg(i);
        const QChar fill = wide ? QChar(0x4E00 + i % 200) : (i % 2 ? QChar(u'é') : QChar(u'x'));
        s += QString(length, fill);
        if (!wide && i % 3 == 0)
            s += QStringLiteral("中"); // some texts need two bytes per character
        texts.append(s);
        const int row = w.addRow();
        w.setText(row, 0, s);
        w.setText(row, 2, texts.first()); // repeated text shares one entry
    }
    const QString file = folder.file(QStringLiteral("s.xls"));
    QVERIFY(save(w, file));
    QStringList rows;
    for (int r = 0; r < count; r += std::max(1, count / 50))
        rows.append(QString::number(r));
    rows.append(QString::number(count - 1));
    const QJsonObject x = xlrd(folder, file, rows);
    QCOMPARE(x.value("nrows").toInt(), count);
    QCOMPARE(x.value("textcells").toInt(), 2 * count);
    const QJsonObject got = x.value("rows").toObject();
    for (const QString& r : rows) {
        QCOMPARE(got.value(r).toArray()[0].toString(), texts[r.toInt()]);
        QCOMPARE(got.value(r).toArray()[2].toString(), texts.first());
    }
    XlsWorkbookReader reader;
    QVERIFY(reader.open(file));
    QVERIFY(reader.selectSheet(QStringLiteral("Sheet1")));
    QCOMPARE(reader.rowCount(), count);
    for (int r = 0; r < count; ++r)
        QCOMPARE(reader.cellText(r, 0), texts[r]);
    if (length <= 4000) { // within what FreeXL can read
        const FreeXlSheet f = readWithFreeXl(file);
        QCOMPARE(f.rc, FREEXL_OK);
        QCOMPARE(int(f.rows), count);
        for (int r = 0; r < count; ++r)
            QCOMPARE(f.cells[r][0], texts[r]);
    }
}

void XlsFileTest::dimensionsAreExact_data() {
    QTest::addColumn<bool>("borders");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::newRow("bordered: the whole table") << true << 3 << 5;
    QTest::newRow("plain: only the text cells") << false << 3 << 4;
}

void XlsFileTest::dimensionsAreExact() {
    QFETCH(bool, borders);
    QFETCH(int, rows);
    QFETCH(int, columns);
    TestFolder folder;
    XlsWorkbookWriter w(5);
    for (int i = 0; i < 4; ++i)
        w.addRow();
    w.setText(1, 1, QStringLiteral("a"));
    w.setText(2, 3, QStringLiteral("b"));
    w.setBorders(borders);
    // Without borders the first row, which has no text, is not part of the sheet.
    const QByteArray stream = w.workbookStream();
    // Walk the records to the worksheet's DIMENSIONS.
    qsizetype at = 0;
    int bofs = 0;
    std::optional<QList<int>> dims;
    const auto u16 = [&](qsizetype p) {
        return int(uchar(stream[p])) | int(uchar(stream[p + 1])) << 8;
    };
    const auto u32 = [&](qsizetype p) { return u16(p) | u16(p + 2) << 16; };
    while (at + 4 <= stream.size()) {
        const int type = u16(at);
        const int len = u16(at + 2);
        QVERIFY(len <= 8224);
        if (type == 0x0809)
            ++bofs;
        if (type == 0x0200 && bofs == 2)
            dims = QList<int>{u32(at + 4), u32(at + 8), u16(at + 12), u16(at + 14)};
        at += 4 + len;
    }
    QCOMPARE(at, stream.size());
    QVERIFY(dims.has_value());
    if (borders)
        QCOMPARE(*dims, (QList<int>{0, 4, 0, 5}));
    else
        QCOMPARE(*dims, (QList<int>{1, rows, 1, columns}));
    const QString file = folder.file(QStringLiteral("d.xls"));
    QVERIFY(save(w, file));
    XlsWorkbookReader reader;
    QVERIFY(reader.open(file));
    QVERIFY(reader.selectSheet(QStringLiteral("Sheet1")));
    QCOMPARE(reader.cellText(1, 1), QStringLiteral("a"));
    QCOMPARE(reader.cellText(2, 3), QStringLiteral("b"));
}

void XlsFileTest::numberTexts_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("integer as double") << 12345.0 << "12345";
    QTest::newRow("decimal") << 0.1 << "0.1";
    QTest::newRow("negative decimal") << -1234.5678 << "-1234.5678";
    QTest::newRow("15 digits") << 123456789012345.0 << "123456789012345";
    QTest::newRow("small") << 0.00001 << "0.00001";
    QTest::newRow("rounded to 15 digits") << 1.0 / 3 << "0.333333333333333";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("huge keeps an exponent") << 1e20 << "1e+20";
}

void XlsFileTest::numberTexts() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(XlsWorkbookReader::numberText(value), text);
}

QTEST_GUILESS_MAIN(XlsFileTest)
#include "tst_xlsfile.moc"
