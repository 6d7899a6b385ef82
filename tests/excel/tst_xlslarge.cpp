#include "CompoundFileReader.h"
#include "ExcelOracles.h"
#include "FakeHistoryGrid.h"
#include "FreeXlOracle.h"
#include "GetXlsSheet.h"
#include "ScriptedDialogs.h"
#include "TestFolder.h"
#include "XlsWorkbookReader.h"

#include <QFile>
#include <QJsonArray>
#include <QTest>
#include <QtEndian>

// The largest grid an Excel 97-2003 sheet takes, a header and 65,535 records, exported once
// and read back whole by xlrd, FreeXL and our reader.
class XlsLargeTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void structureOfTheFile();
    void readBackWholeByXlrd();
    void readBackWholeByFreeXl();
    void readBackWholeByOurReader();

private:
    TestFolder m_folder;
    QString m_file;
};

namespace {

constexpr int Rows = 65536;

// The text of sheet row `row`, grid column `col` (sheet column col − 1).
QString expected(int row, int col) {
    if (row == 0)
        return col == 2   ? QStringLiteral("打印日期")
               : col >= 3 ? QStringLiteral("栏%1").arg(col)
                          : "";
    switch (col) {
    case 1:
        return QString::number(row);
    case 2:
        return QStringLiteral("2024-01-%1").arg(row % 28 + 1, 2, 10, QChar(u'0'));
    case 3:
        return QStringLiteral("报关单%1").arg(row);
    case 40:
        return QStringLiteral("code-%1").arg(row * 7);
    case 90:
        return QStringLiteral("同一个文本");
    }
    return {};
}

} // namespace

void XlsLargeTest::initTestCase() {
    FakeHistoryGrid grid;
    grid.generatedRows = Rows;
    grid.generated = [](int r, int c) {
        return c == 0 && r > 0 ? QString::number(Rows - r) : expected(r, c);
    };
    ScriptedDialogs dialogs;
    m_file = m_folder.file(QStringLiteral("large.xls"));
    dialogs.saveFiles.enqueue(m_file);
    ExportToExcel(grid, dialogs, nullptr);
    QCOMPARE(dialogs.messages(), QStringList{ExcelMessages::exported(m_file, Rows - 1)});
}

void XlsLargeTest::structureOfTheFile() {
    QFile f(m_file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const auto u32 = [&](qsizetype at) { return qFromLittleEndian<quint32>(bytes.data() + at); };
    QVERIFY(u32(44) > 109); // more FAT sectors than the header lists, so DIFAT sectors are used
    QVERIFY(u32(72) >= 1);
    QByteArray stream;
    QCOMPARE(CompoundFileReader(bytes).read({QStringLiteral("Workbook")}, stream),
             CompoundFileReader::Result::Ok);
    int continues = 0;
    for (qsizetype at = 0; at + 4 <= stream.size();) {
        const quint16 length = qFromLittleEndian<quint16>(stream.data() + at + 2);
        QVERIFY(length <= 8224);
        continues += qFromLittleEndian<quint16>(stream.data() + at) == 0x003C;
        at += 4 + length;
    }
    QVERIFY2(continues > 100, QByteArray::number(continues));
}

void XlsLargeTest::readBackWholeByXlrd() {
    if (!ExcelOracles::haveXlrd())
        QSKIP("python3-xlrd is missing");
    const QStringList rows{"0", "1", "32767", "32768", "65534", "65535"};
    const QJsonObject x = ExcelOracles::read(m_folder.path(), ExcelOracles::XlrdScript,
                                             QStringList{m_file, QStringLiteral("values")} + rows);
    QCOMPARE(x.value("nrows").toInt(), Rows);
    QCOMPARE(x.value("ncols").toInt(), 90);
    int texts = 0;
    for (int row = 0; row < Rows; ++row)
        for (int c = 1; c <= 90; ++c)
            texts += !expected(row, c).isEmpty();
    QCOMPARE(x.value("textcells").toInt(), texts);
    for (const QString& row : rows)
        for (int c = 1; c <= 90; ++c)
            QCOMPARE(x.value("rows")[row][c - 1].toString(), expected(row.toInt(), c));
}

void XlsLargeTest::readBackWholeByFreeXl() {
    const FreeXlSheet f = readWithFreeXl(m_file);
    QCOMPARE(f.rc, FREEXL_OK);
    QCOMPARE(int(f.rows), Rows);
    QCOMPARE(int(f.columns), 90);
    for (int row = 0; row < Rows; ++row)
        for (int c : {1, 2, 3, 40, 90})
            if (f.cells[size_t(row)][c - 1] != expected(row, c))
                QFAIL(qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(c)));
}

void XlsLargeTest::readBackWholeByOurReader() {
    XlsWorkbookReader reader;
    QVERIFY(reader.open(m_file) && reader.selectSheet(QStringLiteral("Sheet1")));
    QCOMPARE(reader.rowCount(), Rows);
    for (int row = 0; row < Rows; ++row)
        for (int c = 1; c <= 90; ++c)
            if (reader.cellText(row, c - 1) != expected(row, c))
                QFAIL(qPrintable(QStringLiteral("row %1 column %2").arg(row).arg(c)));
}

QTEST_MAIN(XlsLargeTest)
#include "tst_xlslarge.moc"
