// Export and import of 10,000 history records of 30 filled boxes each, beside the
// baselines, in one run. Run with QT_QPA_PLATFORM=offscreen; figures go to stdout.
#include "BenchUtil.h"
#include "DataBase.h"
#include "GetXlsSheet.h"
#include "GridAccess.h"
#include "ImportData.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>

#include <freexl.h>
#include <sqlite3.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int Records = 10000;
constexpr int Columns = 91;
constexpr int FilledBoxes = 30;

QString cellText(int row, int col) {
    if (row == 0)
        return col == 2   ? QStringLiteral("打印日期")
               : col >= 3 ? QStringLiteral("栏目%1").arg(col - 3)
                          : QString();
    if (col == 0)
        return QString::number(Records - row);
    if (col == 1)
        return QString::number(row);
    if (col == 2)
        return QStringLiteral("2024-03-%1 10:00:00").arg(row % 28 + 1, 2, 10, QChar(u'0'));
    const int box = col - 3;
    if (box % 3 != 0 || box / 3 >= FilledBoxes)
        return {};
    return QStringLiteral("第%1号%2栏 0%3").arg(row).arg(box).arg(row * 31 + box);
}

class BenchGrid : public GridAccess {
public:
    BenchGrid() {
        m_cells.resize(Records + 1);
        for (int r = 0; r <= Records; ++r)
            for (int c = 0; c < Columns; ++c)
                m_cells[r].append(cellText(r, c));
    }
    int rows() const override { return static_cast<int>(m_cells.size()); }
    int cols() const override { return Columns; }
    int fixedRows() const override { return 1; }
    QString text(int row, int col) const override { return m_cells[row].value(col); }
    int colWidthTwips(int col) const override { return col == 0 ? 0 : 1200 + 20 * col; }
    std::uint32_t cellBackColor(int row, int) const override {
        return row % 50 == 0 ? 0xC0FFC0 : 0;
    }
    int addRow() override {
        m_cells.push_back(QStringList(Columns));
        return rows() - 1;
    }
    void setText(int row, int col, const QString& text) override { m_cells[row][col] = text; }

private:
    std::vector<QStringList> m_cells;
};

const char* PerlWriter = R"PL(
use strict; use warnings; use utf8;
use Spreadsheet::WriteExcel; use Time::HiRes qw(time);
open(my $in, '<:encoding(UTF-8)', $ARGV[0]) or die;
my @rows = map { chomp; [split /\t/, $_, -1] } <$in>;
close $in;
my $start = time;
my $book = Spreadsheet::WriteExcel->new($ARGV[1]);
my $s = $book->add_worksheet('Sheet1');
$book->set_custom_color(40, 255, 198, 145);
$book->set_custom_color(41, 192, 255, 192);
my $header = $book->add_format(bold => 1, bg_color => 40, pattern => 1, border => 1);
my $filled = $book->add_format(bg_color => 41, pattern => 1, border => 1);
my $plain = $book->add_format(border => 1);
for my $c (1 .. 90) { $s->set_column($c - 1, $c - 1, int((1200 + 20 * $c) / 123)); }
for my $r (0 .. $#rows) {
  my $f = $r == 0 ? $header : ($r % 50 == 0 ? $filled : $plain);
  for my $c (1 .. 90) {
    my $t = $rows[$r][$c];
    if (defined $t && length $t) { $s->write_string($r, $c - 1, $t, $f); } else { $s->write_blank($r, $c - 1, $f); }
  }
}
$book->close();
printf "%.3f\n", time - $start;
)PL";

double seconds(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e9;
}

// Every cell of the first sheet, as FreeXL gives it.
double bareFreeXlRead(const QString& path, std::vector<std::vector<QString>>& cells) {
    QElapsedTimer t;
    t.start();
    const void* h = nullptr;
    if (freexl_open(path.toLocal8Bit().constData(), &h) != FREEXL_OK)
        return -1;
    freexl_select_active_worksheet(h, 0);
    unsigned int rows = 0;
    unsigned short cols = 0;
    freexl_worksheet_dimensions(h, &rows, &cols);
    cells.assign(rows, std::vector<QString>(cols));
    for (unsigned int r = 0; r < rows; ++r)
        for (unsigned short c = 0; c < cols; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(h, r, c, &v) == FREEXL_OK &&
                (v.type == FREEXL_CELL_TEXT || v.type == FREEXL_CELL_SST_TEXT))
                cells[r][c] = QString::fromUtf8(v.value.text_value);
        }
    freexl_close(h);
    return seconds(t);
}

// The same rows into the same schema with sqlite3 alone: a transaction per record, as the
// import commits each row as soon as it is read, or one for all.
double rawSqliteInsert(const QString& path, const std::vector<std::vector<QString>>& cells,
                       bool transactionPerRecord) {
    QFile::remove(path);
    QElapsedTimer t;
    t.start();
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                 "CREATE TABLE 进口 (Ord INTEGER NOT NULL, Dat REAL NOT NULL, Ctl INTEGER NOT "
                 "NULL, Con TEXT NOT NULL);"
                 "CREATE INDEX 进口_Ord ON 进口 (Ord);",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO 进口 (Ord, Dat, Ctl, Con) VALUES (?, ?, ?, ?)", -1, &insert,
                       nullptr);
    if (!transactionPerRecord)
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (std::size_t r = 1; r < cells.size(); ++r) {
        if (transactionPerRecord)
            sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (std::size_t c = 2; c < cells[r].size(); ++c) {
            if (cells[r][c].isEmpty())
                continue;
            const QByteArray text = cells[r][c].toUtf8();
            sqlite3_bind_int(insert, 1, static_cast<int>(r));
            sqlite3_bind_double(insert, 2, 45000.0);
            sqlite3_bind_int(insert, 3, static_cast<int>(c) - 2);
            sqlite3_bind_text(insert, 4, text.constData(), static_cast<int>(text.size()),
                              SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        if (transactionPerRecord)
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    if (!transactionPerRecord)
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return seconds(t);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir dir;
    const int runs = 3;
    BenchGrid grid;
    std::printf("%d records, %d filled boxes each; best of %d runs\n", Records, FilledBoxes, runs);

    // Export.
    const QString ours = dir.filePath(QStringLiteral("ours.xls"));
    double exportBest = 1e9;
    for (int i = 0; i < runs; ++i) {
        QFile::remove(ours);
        QElapsedTimer t;
        t.start();
        WriteExcelFile(grid, ours, nullptr);
        exportBest = std::min(exportBest, seconds(t));
    }
    const QString tsv = dir.filePath(QStringLiteral("cells.tsv"));
    {
        QFile f(tsv);
        f.open(QIODevice::WriteOnly);
        QTextStream out(&f);
        out.setEncoding(QStringConverter::Utf8);
        for (int r = 0; r < grid.rows(); ++r) {
            QStringList row;
            for (int c = 0; c < Columns; ++c)
                row.append(grid.text(r, c));
            out << row.join(u'\t') << '\n';
        }
    }
    const QString script = dir.filePath(QStringLiteral("w.pl"));
    {
        QFile f(script);
        f.open(QIODevice::WriteOnly);
        f.write(PerlWriter);
    }
    double perlBest = 1e9;
    for (int i = 0; i < runs; ++i) {
        QProcess perl;
        perl.start(QStringLiteral("/usr/bin/perl"),
                   {script, tsv, dir.filePath(QStringLiteral("perl.xls"))});
        perl.waitForFinished(600000);
        perlBest = std::min(perlBest, perl.readAllStandardOutput().trimmed().toDouble());
    }
    std::printf("export   ours %.3f s (%.1f MB)   Spreadsheet::WriteExcel %.3f s (%.1f MB, writing "
                "only)   ratio %.1fx\n",
                exportBest, QFileInfo(ours).size() / 1e6, perlBest,
                QFileInfo(dir.filePath(QStringLiteral("perl.xls"))).size() / 1e6,
                perlBest / exportBest);

    // Import of the same rows.
    double importBest = 1e9;
    for (int i = 0; i < runs; ++i) {
        Answers answers;
        answers.file = ours;
        answers.texts = {QStringLiteral("2"), QString::number(Records + 1)};
        const QString dbPath = dir.filePath(QStringLiteral("Par%1.db").arg(i));
        DataBase db(dbPath);
        db.nextRecordNumber(Mode::Import); // the schema exists before timing
        BenchGrid target;
        QElapsedTimer t;
        t.start();
        ImportExcelRows(target, Mode::Import, db, answers, nullptr,
                        [](const QStringList& names, QWidget*) { return names.value(0); });
        importBest = std::min(importBest, seconds(t));
        if (answers.told.size() != 1 ||
            !answers.told.first().contains(QString::number(Records + 1)))
            std::printf("import did not finish: %s\n", qPrintable(answers.told.join(u'|')));
    }
    double readBest = 1e9;
    double insertBest = 1e9;
    double insertOneBest = 1e9;
    std::vector<std::vector<QString>> cells;
    for (int i = 0; i < runs; ++i) {
        readBest = std::min(readBest, bareFreeXlRead(ours, cells));
        insertBest = std::min(insertBest,
                              rawSqliteInsert(dir.filePath(QStringLiteral("raw.db")), cells, true));
        insertOneBest = std::min(
            insertOneBest, rawSqliteInsert(dir.filePath(QStringLiteral("raw1.db")), cells, false));
    }
    std::printf("import   ours %.3f s   bare FreeXL read %.3f s + raw sqlite3 insert %.3f s "
                "(transaction per record) = %.3f s   ratio %.2fx\n",
                importBest, readBest, insertBest, readBest + insertBest,
                importBest / (readBest + insertBest));
    std::printf("         (raw sqlite3 insert in one transaction: %.3f s; FreeXL read + that = "
                "%.3f s, ratio %.2fx)\n",
                insertOneBest, readBest + insertOneBest, importBest / (readBest + insertOneBest));
    return 0;
}
