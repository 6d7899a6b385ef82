#include "BiffRecords.h"
#include "CompoundFile.h"
#include "CompoundFileReader.h"
#include "ExcelFixture.h"
#include "ExcelOracles.h"
#include "XlsWorkbookReader.h"
#include "XlsWorkbookWriter.h"

#include <QRandomGenerator>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

// Damaged workbooks never crash the import: each one ends in a message. The 500 damaged
// copies are made once per run; all imports go into one database. And a fault of FreeXL
// 1.0.6 that is why the program reads workbooks with its own reader (the other is in
// tst_excel): the day it fails, FreeXL has been fixed for it.
class XlsFuzzTest : public QObject {
    Q_OBJECT
private slots:
    void damagedWorkbooks_data();
    void damagedWorkbooks();
    void damageReachedEveryLayer();
    void freeXlCrashesOnADamagedWorkbook();
    void freeXlMisreadsALongText();

private:
    ImportRun m_run;
    QMap<QString, int> m_outcomes; // of the random copies, by the message's first characters
};

namespace {

quint32 get32(const QByteArray& b, qsizetype at) {
    return qFromLittleEndian<quint32>(b.constData() + at);
}
QByteArray put32(QByteArray b, qsizetype at, quint32 v) {
    qToLittleEndian(v, b.data() + at);
    return b;
}
void flipBit(QByteArray& b, QRandomGenerator& random, qsizetype within) {
    const qsizetype at = random.bounded(int(within));
    b[at] = char(b[at] ^ (1 << random.bounded(8)));
}

// A workbook stream of our export, with texts long enough to need CONTINUE records.
QByteArray exportedStream(int textLength) {
    XlsWorkbookWriter w(2);
    for (int r = 0; r < 3; ++r)
        w.setText(w.addRow(), r % 2, QString(textLength, QChar(0x4E00 + r)));
    return w.workbookStream();
}

qsizetype lastRecord(const QByteArray& stream, quint16 type) {
    qsizetype found = -1;
    for (qsizetype at = 0; at + 4 <= stream.size(); at += 4 + (get32(stream, at) >> 16))
        if ((get32(stream, at) & 0xFFFF) == type)
            found = at;
    return found;
}

// Where the first record of `type` at or after `from` starts, -1 when there is none.
qsizetype firstRecord(const QByteArray& stream, quint16 type, qsizetype from = 0) {
    for (qsizetype at = 0; at + 4 <= stream.size(); at += 4 + (get32(stream, at) >> 16))
        if (at >= from && (get32(stream, at) & 0xFFFF) == type)
            return at;
    return -1;
}

QByteArray workbookStream(const QByteArray& file) {
    QByteArray stream;
    CompoundFileReader(file).read({QStringLiteral("Workbook")}, stream);
    return stream;
}

// The first cell record of `type` in the first sheet of a workbook stream.
qsizetype firstCell(const QByteArray& stream, quint16 type) {
    return firstRecord(stream, type, get32(stream, firstRecord(stream, Biff::BoundSheet) + 4));
}

// The file with the 512-byte sector zeroed that holds byte `at` of its workbook stream.
QByteArray zeroSectorOf(QByteArray file, qsizetype at) {
    const QByteArray sector = workbookStream(file).mid(at / 512 * 512, 512);
    for (qsizetype s = 512; s + sector.size() <= file.size(); s += 512)
        if (file.mid(s, sector.size()) == sector)
            return file.replace(s, sector.size(), QByteArray(sector.size(), '\0'));
    return {};
}

using R = XlsWorkbookReader;

} // namespace

void XlsFuzzTest::damagedWorkbooks_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("damage"); // the reader's damage code, 0 for a random copy
    // Our export of 40 records, some rows coloured, and the WriteExcel workbook.
    FakeHistoryGrid grid;
    addRecords(grid, 40);
    for (int r = 0; r < 40; r += 7)
        grid.colours[{r, 1}] = 0x00123456u * std::uint32_t(r);
    const QString validFile = m_run.folder.file(QStringLiteral("valid.xls"));
    m_run.dialogs.saveFiles.enqueue(validFile);
    ExportToExcel(grid, m_run.dialogs, nullptr);
    const QByteArray valid = TestFolder::read(validFile);
    QRandomGenerator random(20240305);
    const QString perlFile = m_run.folder.file(QStringLiteral("perl.xls"));
    ExcelOracles::run(m_run.folder.path(), ExcelOracles::WriteExcel, {perlFile});
    const QByteArray perl = TestFolder::read(perlFile);
    QVERIFY(!perl.isEmpty());
    for (int i = 0; i < 100; ++i) {
        QByteArray copy = perl;
        if (i % 4 == 0)
            copy.truncate(random.bounded(int(copy.size())));
        for (int f = 0; i % 4 != 0 && f < 1 + i % 5; ++f)
            flipBit(copy, random, copy.size());
        QTest::addRow("other writer %d", i) << copy << 0;
    }
    // Cut at every sector boundary region and at random points.
    for (int i = 0; i < 120; ++i) {
        const qsizetype length =
            i < 40 ? qsizetype(i) * valid.size() / 40 + (i % 3) : random.bounded(int(valid.size()));
        QTest::addRow("cut at %lld", static_cast<long long>(length)) << valid.left(length) << 0;
    }
    // Flipped bits, half of them in the header, where a reader is easiest to mislead.
    for (int i = 0; i < 200; ++i) {
        QByteArray copy = valid;
        for (int f = 0, flips = 1 + random.bounded(6); f < flips; ++f)
            flipBit(copy, random, i % 2 ? 512 : copy.size());
        QTest::addRow("flips %d", i) << copy << 0;
    }
    // Whole words set to extreme values: sizes, counts, sector numbers.
    const quint32 extremes[] = {0xFFFFFFFF, 0x7FFFFFFF, 0xFFFFFFFE, 0x00010000, 0};
    for (int i = 0; i < 80; ++i) {
        const qsizetype at = random.bounded(int(valid.size() - 4)) & ~qsizetype(1);
        QTest::addRow("word %d at %lld", i, static_cast<long long>(at))
            << put32(valid, at, extremes[random.bounded(5)]) << 0;
    }

    // Workbooks that once made the reader walk or grow without end: each ends in its failure.
    const auto hostile = [](const char* name, const QByteArray& content, int damage) {
        QTest::newRow(name) << content << damage;
    };
    const QByteArray small = CompoundFileWithWorkbook(exportedStream(10)); // one 4096-byte stream
    // Where the Workbook entry's size and the FAT lie.
    const qsizetype sizeAt = 512 * (get32(small, 48) + 1) + 248,
                    fatAt = 512 * (get32(small, 76) + 1);
    const QByteArray shorter = put32(small, sizeAt, 4096 - 3);
    hostile("stream 3 bytes short: under the mini stream's cutoff", shorter, R::BadCompoundFile);
    hostile("stream 3 bytes long: past its last sector", put32(small, sizeAt, 4096 + 3),
            R::BadCompoundFile);
    const QByteArray texts = exportedStream(6000);
    hostile("shared strings continued past the stream's end",
            CompoundFileWithWorkbook(texts.left(lastRecord(texts, Biff::Continue) + 40)),
            R::BadStringTable);
    // A formula's text result of 6000 characters whose CONTINUE record is cut off.
    QByteArray formula = texts.left(lastRecord(texts, Biff::Eof));
    const auto record = [&](quint16 type, const QByteArray& data, int length) {
        formula += put32(QByteArray(4, '\0'), 0, quint32(type | length << 16)) + data;
    };
    record(Biff::Formula,
           QByteArray("\1\0\0\0\x0F\0\0\0\0\0\0\0\xFF\xFF", 14) + QByteArray(8, '\0'), 22);
    record(Biff::String, QByteArray("\x70\x17\x01", 3) + QByteArray(8000, 'x'), 8003);
    record(Biff::Continue, QByteArray("\x01xxxx", 5), 4001);
    hostile("formula text continued past the stream's end", CompoundFileWithWorkbook(formula),
            R::BadSheet);
    // The stream under the cutoff, and the mini FAT's chain a loop with a huge count.
    hostile("mini FAT chain in a loop", put32(put32(put32(shorter, 60, 0), 64, ~0u), fatAt, 0),
            R::BadCompoundFile);
    hostile("FAT chain in a loop", put32(small, fatAt + 12, 1), R::BadCompoundFile);

    // A sector of zeros among the cells reads as records of type 0.
    const QByteArray ours = workbookStream(valid), theirs = workbookStream(perl);
    const qsizetype ourCell = firstCell(ours, Biff::LabelSst);
    const QList<QPair<const char*, QByteArray>> zeroed{
        {"our export, the sector of its first cell zeroed", zeroSectorOf(valid, ourCell)},
        {"our export, the sector of its sheet's end zeroed",
         zeroSectorOf(valid, lastRecord(ours, Biff::Eof))},
        {"WriteExcel, the sector of its first number zeroed",
         zeroSectorOf(perl, firstCell(theirs, Biff::Number))}};
    for (const auto& [name, content] : zeroed) {
        QVERIFY2(!content.isEmpty(), name);
        hostile(name, content, R::BadRecord);
    }
    // A walk out of step that meets an EOF: with data, or one that ends the sheet in its first
    // block of 32 rows, or, in WriteExcel's only block, after the ROW records (only INDEX
    // tells the block's cells are missing).
    hostile("our export, a cell read as an EOF with data",
            CompoundFileWithWorkbook(put32(ours, ourCell, Biff::Eof | 10u << 16)), R::BadSheet);
    hostile("our export, the sheet ended in its first block",
            CompoundFileWithWorkbook(put32(ours, ourCell, Biff::Eof)), R::MissingCells);
    const QString compatFile = m_run.folder.file(QStringLiteral("compat.xls"));
    ExcelOracles::run(m_run.folder.path(), ExcelOracles::WriteExcel, {compatFile, "compat"});
    const QByteArray compat = workbookStream(TestFolder::read(compatFile));
    QVERIFY(firstRecord(compat, Biff::Index) > 0);
    hostile("WriteExcel with INDEX, the sheet ended after its ROW records",
            CompoundFileWithWorkbook(put32(compat, firstCell(compat, Biff::LabelSst), Biff::Eof)),
            R::MissingCells);
}

void XlsFuzzTest::damagedWorkbooks() {
    QFETCH(QByteArray, content);
    QFETCH(int, damage);
    const QString file = m_run.folder.file(QStringLiteral("damaged.xls"));
    QVERIFY(TestFolder::write(file, content));
    const std::size_t stored = damage == 0 ? 0 : m_run.records().size();
    m_run.run(file, {"1", "100"});
    const QStringList messages = m_run.dialogs.messages();
    QVERIFY2(messages.size() == 1, qPrintable(m_run.dialogs.allTexts().join(u'|')));
    if (damage == 0) {
        ++m_outcomes[messages.first().left(4)];
        return;
    }
    // The damaged-file message, and nothing of the workbook kept.
    QVERIFY2(messages.first().startsWith(u"未知错误"), qPrintable(messages.first()));
    QCOMPARE(m_run.records().size(), stored);
    QCOMPARE(m_run.grid.rows(), 1);
    XlsWorkbookReader reader;
    QVERIFY(!(reader.open(file) && reader.selectSheet(reader.sheetNames().value(0))));
    QCOMPARE(reader.failureCode(), damage);
}

void XlsFuzzTest::damageReachedEveryLayer() {
    // Some copies still read through to the end, others fail in the compound file or in
    // the records: the damage was not all stopped at the door.
    qInfo() << m_outcomes;
    for (const char* start : {"导入EX", "未知错误", "文件类型"})
        QVERIFY2(m_outcomes.value(QString::fromUtf8(start)) > 0, start);
}

void XlsFuzzTest::freeXlCrashesOnADamagedWorkbook() {
    // Texts of 3,000 CJK characters; the first one's option byte then says one byte per
    // character where there are two, so FreeXL reads past its buffer. Where the overread
    // lands depends on the heap, so workbooks of several sizes are tried: one crash shows it.
    QList<QByteArray> paths;
    for (int copy = 0; copy < 8; ++copy) {
        XlsWorkbookWriter writer(1);
        for (int r = 0; r < 40 + 7 * copy; ++r)
            writer.setText(writer.addRow(), 0, QString(3000, QChar(0x4E00 + r)));
        QByteArray stream = writer.workbookStream();
        const qsizetype sst = lastRecord(stream, Biff::Sst);
        QVERIFY(sst >= 0 && sst + 15 <= stream.size());
        stream[sst + 14] = char(stream[sst + 14] & ~0x01);
        const QString path = m_run.folder.file(QStringLiteral("crash%1.xls").arg(copy));
        QVERIFY(TestFolder::write(path, CompoundFileWithWorkbook(stream)));
        paths.append(path.toLocal8Bit());
    }
    const pid_t child = fork();
    if (child == 0) {
        // The crash itself ends the child, not the sanitizer's report of it; a hang ends in
        // the alarm, which is no crash.
        std::signal(SIGSEGV, SIG_DFL);
        std::signal(SIGBUS, SIG_DFL);
        alarm(60);
        for (const QByteArray& path : paths) {
            const void* handle = nullptr;
            if (freexl_open(path.constData(), &handle) == FREEXL_OK)
                freexl_close(handle);
        }
        _exit(0);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    if (!WIFSIGNALED(status))
        QSKIP("FreeXL read past its buffer without crashing in this run");
    QVERIFY(WTERMSIG(status) == SIGSEGV || WTERMSIG(status) == SIGBUS);
    XlsWorkbookReader ours;
    QVERIFY(!(ours.open(QString::fromLocal8Bit(paths.first())) &&
              ours.selectSheet(QStringLiteral("Sheet1"))));
    QCOMPARE(ours.failure(), XlsWorkbookReader::Failure::Damaged);
}

void XlsFuzzTest::freeXlMisreadsALongText() {
    // 10,000 CJK characters take three CONTINUE records after the shared-string record.
    QString text;
    for (int i = 0; i < 10000; ++i)
        text += QChar(0x4E00 + i % 500);
    XlsWorkbookWriter writer(1);
    writer.setText(writer.addRow(), 0, text);
    const QString path = m_run.folder.file(QStringLiteral("long.xls"));
    QVERIFY(TestFolder::write(path, writer.fileBytes()));
    // What FreeXL makes of it differs from run to run; it is never the text.
    const auto theirs = ExcelOracles::readWithFreeXl(path);
    QVERIFY(theirs.empty() || theirs[0].value(0) != text);
    XlsWorkbookReader ours;
    QVERIFY(ours.open(path) && ours.selectSheet(QStringLiteral("Sheet1")));
    QCOMPARE(ours.cellText(0, 0), text);
}

QTEST_MAIN(XlsFuzzTest)
#include "tst_xlsfuzz.moc"
