#include "DataBase.h"
#include "ExcelOracles.h"
#include "FakeHistoryGrid.h"
#include "ImportData.h"
#include "ScriptedDialogs.h"
#include "TestFolder.h"
#include "XlsWorkbookWriter.h"

#include <QFile>
#include <QMap>
#include <QRandomGenerator>
#include <QTest>

// Damaged workbooks never crash the import: each one ends in a message.
class XlsFuzzTest : public QObject {
    Q_OBJECT
private slots:
    void damagedCopiesEndInAMessage_data();
    void damagedCopiesEndInAMessage();
    void damageReachedEveryLayer();

private:
    QMap<QString, int> m_outcomes; // by the message's first characters
};

namespace {

QByteArray validWorkbook() {
    XlsWorkbookWriter w(FakeHistoryGrid::Columns - 1);
    for (int r = 0; r < 40; ++r) {
        const int row = w.addRow();
        for (int c = 0; c < 90; c += 1 + r % 4)
            w.setText(row, c, QStringLiteral("第%1行第%2列 text %3").arg(r).arg(c).arg(r * c));
        if (r == 0)
            w.setRowFormat(row, true, 9553663);
        else if (r % 7 == 0)
            w.setRowFormat(row, false, 0x00123456u * static_cast<std::uint32_t>(r));
    }
    w.setBorders(true);
    for (int c = 0; c < 90; ++c)
        w.setColumnWidth(c, c % 20);
    return w.fileBytes();
}

// A workbook of another writer: numbers, dates with their formats, two sheets.
QByteArray workbookFromPerl() {
    if (!ExcelOracles::haveWriteExcel())
        return {};
    TestFolder folder;
    const QString script = ExcelOracles::writeScript(folder.path(), QStringLiteral("w.pl"), R"PL(
use strict; use warnings; use utf8; use Spreadsheet::WriteExcel;
my $b = Spreadsheet::WriteExcel->new($ARGV[0]);
my $s = $b->add_worksheet('一'); my $t = $b->add_worksheet('二');
my $d = $b->add_format(num_format => 'yyyy-mm-dd hh:mm');
for my $r (0 .. 30) {
  $s->write_number($r, 0, $r * 1.5); $s->write_string($r, 2, "文本$r");
  $s->write_date_time($r, 1, '2024-01-02T03:04:05', $d); $s->write_number($r, 5, -$r);
}
$t->write_string(0, 0, 'x');
$b->close();
)PL");
    const QString file = folder.file(QStringLiteral("p.xls"));
    ExcelOracles::run(ExcelOracles::Perl, {script, file});
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

void XlsFuzzTest::damagedCopiesEndInAMessage_data() {
    QTest::addColumn<QByteArray>("content");
    const QByteArray valid = validWorkbook();
    QRandomGenerator random(20240305);
    const QByteArray perl = workbookFromPerl();
    for (int i = 0; i < 100 && !perl.isEmpty(); ++i) {
        QByteArray copy = perl;
        if (i % 4 == 0) {
            copy.truncate(random.bounded(static_cast<int>(copy.size())));
        } else {
            for (int f = 0; f < 1 + i % 5; ++f) {
                const qsizetype at = random.bounded(static_cast<int>(copy.size()));
                copy[at] = static_cast<char>(copy[at] ^ (1 << random.bounded(8)));
            }
        }
        QTest::addRow("other writer %d", i) << copy;
    }
    // Cut at every sector boundary region and at random points.
    for (int i = 0; i < 120; ++i) {
        const qsizetype length = i < 40 ? qsizetype(i) * valid.size() / 40 + (i % 3)
                                        : random.bounded(static_cast<int>(valid.size()));
        QTest::addRow("cut at %lld", static_cast<long long>(length)) << valid.left(length);
    }
    // Flipped bits, most of them in the header, the directory and the FAT, where a
    // reader is easiest to mislead.
    const qsizetype structure = 512;
    for (int i = 0; i < 200; ++i) {
        QByteArray copy = valid;
        const int flips = 1 + random.bounded(6);
        for (int f = 0; f < flips; ++f) {
            const qsizetype at = i % 2 ? random.bounded(static_cast<int>(structure))
                                       : random.bounded(static_cast<int>(copy.size()));
            copy[at] = static_cast<char>(copy[at] ^ (1 << random.bounded(8)));
        }
        QTest::addRow("flips %d", i) << copy;
    }
    // Whole words set to extreme values: sizes, counts, sector numbers.
    for (int i = 0; i < 80; ++i) {
        QByteArray copy = valid;
        const qsizetype at = (random.bounded(static_cast<int>(copy.size() - 4))) & ~qsizetype(1);
        const quint32 values[] = {0xFFFFFFFF, 0x7FFFFFFF, 0xFFFFFFFE, 0x00010000, 0};
        const quint32 v = values[random.bounded(5)];
        for (int k = 0; k < 4; ++k)
            copy[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
        QTest::addRow("word %d at %lld", i, static_cast<long long>(at)) << copy;
    }
}

void XlsFuzzTest::damagedCopiesEndInAMessage() {
    QFETCH(QByteArray, content);
    TestFolder folder;
    const QString file = folder.file(QStringLiteral("damaged.xls"));
    QVERIFY(TestFolder::write(file, content));
    ScriptedDialogs dialogs;
    DataBase db(dialogs, folder.file(QStringLiteral("Par.db")));
    FakeHistoryGrid grid;
    dialogs.openFiles.enqueue(file);
    dialogs.texts.enqueue(QStringLiteral("1"));
    dialogs.texts.enqueue(QStringLiteral("100"));
    ImportExcelRows(grid, QStringLiteral("出口"), db, dialogs, nullptr,
                    [](const QStringList& names, QWidget*) { return names.value(0); });
    QVERIFY2(dialogs.messages().size() == 1, qPrintable(dialogs.allTexts().join(u'|')));
    ++m_outcomes[dialogs.messages().first().left(4)];
}

void XlsFuzzTest::damageReachedEveryLayer() {
    // Some copies still read through to the end, others fail in the compound file or in
    // the records: the damage was not all stopped at the door.
    qInfo() << m_outcomes;
    QVERIFY(m_outcomes.value(QStringLiteral("导入EX")) > 0);
    QVERIFY(m_outcomes.value(QStringLiteral("未知错误")) > 0);
    QVERIFY(m_outcomes.value(QStringLiteral("文件类型")) > 0);
}

QTEST_MAIN(XlsFuzzTest)
#include "tst_xlsfuzz.moc"
