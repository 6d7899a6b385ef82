#include "DataBase.h"
#include "DeclarationChecks.h"
#include "Form.h"
#include "HistoryCommands.h"
#include "HistoryGrid.h"
#include "HistoryGridModel.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <numeric>
#include <random>
#include <vector>

namespace {

constexpr int Records = 10000;
constexpr int BoxesPerRecord = 30;
constexpr int Repeats = 5;

class SilentDialogs : public UserDialogs {
public:
    bool askYesNo(const QString&, const QString&) override { return true; }
    bool askOkCancel(const QString&, const QString&) override { return true; }
    void tell(const QString& text, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    std::optional<QString> askText(const QString&, const QString&) override { return {}; }
    QString chooseOpenFile(const QString&) override { return {}; }
    QString chooseSaveFile(const QString&) override { return {}; }
    bool choosePrinter(QPrinter&) override { return false; }
};

// Texts of the kind clerks type: names, codes, amounts, units, free text.
QString boxText(int box, QRandomGenerator& rng) {
    static const QStringList companies{"深圳市", "上海", "广州", "宁波", "青岛", "天津"};
    static const QStringList goods{"电子元件", "棉制针织服装", "不锈钢餐具",
                                   "塑料玩具", "集成电路",     "皮革手袋"};
    static const QStringList units{"千克", "件", "套", "个", "台", "米"};
    switch (box % 6) {
    case 0:
        return companies[rng.bounded(companies.size())] +
               QStringLiteral("第%1进出口贸易有限公司").arg(rng.bounded(1, 5000));
    case 1:
        return QStringLiteral("%1").arg(rng.bounded(10000000, 99999999));
    case 2:
        return QString::number(rng.bounded(1, 1000000) / 100.0, 'f', 2);
    case 3:
        return goods[rng.bounded(goods.size())] + u' ' +
               QStringLiteral("型号%1").arg(rng.bounded(999));
    case 4:
        return QString::number(rng.bounded(1, 9999)) + units[rng.bounded(units.size())];
    default:
        return QStringLiteral("CO.,LTD NO.%1 %2").arg(rng.bounded(100000)).arg(u"照章征税");
    }
}

bool makeTable(const QString& path, int records) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("maker"));
    db.setDatabaseName(path);
    if (!db.open())
        return false;
    QSqlQuery q(db);
    q.exec(QStringLiteral("BEGIN"));
    q.prepare(QStringLiteral("INSERT INTO 出口 (Ord, Dat, Ctl, Con) VALUES (?, ?, ?, ?)"));
    QRandomGenerator rng(27);
    for (int ord = -1; ord < records - 1; ++ord) {
        const double dat = ord < 0 ? WorkingRecordDate : 44000 + ord * 0.37;
        std::vector<int> boxes(BoxCount);
        std::iota(boxes.begin(), boxes.end(), 0);
        std::shuffle(boxes.begin(), boxes.end(), std::mt19937(static_cast<unsigned>(ord + 2)));
        boxes.resize(BoxesPerRecord);
        std::sort(boxes.begin(), boxes.end());
        for (int box : boxes) {
            q.bindValue(0, ord);
            q.bindValue(1, dat);
            q.bindValue(2, box);
            q.bindValue(3, boxText(box, rng));
            if (!q.exec())
                return false;
        }
    }
    const bool ok = q.exec(QStringLiteral("COMMIT"));
    q.finish();
    db.close();
    return ok;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double timeIt(const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < Repeats; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(ms);
}

long peakKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// The export history grid shown on screen over the database at `path`.
struct ShownGrid {
    DataBase db;
    HistoryGrid grid;
    ShownGrid(UserDialogs& dialogs, const QString& path) : db(path), grid(db, dialogs) {
        grid.resize(1200, 800);
        grid.show();
        QApplication::processEvents();
    }
};

// One process: the grid shown and filled from `path`, then its peak resident size.
int memoryRun(const QString& path) {
    SilentDialogs dialogs;
    ShownGrid shown(dialogs, path);
    HistoryGrid& grid = shown.grid;
    grid.FillHistoryGrid(Mode::Export);
    QApplication::processEvents();
    std::printf("%ld %d\n", peakKb(), grid.gridModel().rows());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("AR PL UMing CN"), 9));
    const QStringList args = QApplication::arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--memory"))
        return memoryRun(args[2]);

    QTemporaryDir dir;
    SilentDialogs dialogs;
    const QString full = dir.filePath(QStringLiteral("full/Par.db"));
    const QString empty = dir.filePath(QStringLiteral("empty/Par.db"));
    {
        DataBase a(full), b(empty);
        a.nextRecordNumber(Mode::Export); // creates the schemas
        b.nextRecordNumber(Mode::Export);
    }
    if (!makeTable(full, Records)) {
        std::fprintf(stderr, "could not build the table\n");
        return 1;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("maker"));
    std::printf("table: %d records x %d boxes = %d rows (plus the working record)\n", Records,
                BoxesPerRecord, Records * BoxesPerRecord);
    const char* sql = "SELECT Ord, Dat, Ctl, Con FROM \"出口\" ORDER BY Ord DESC";

    ShownGrid shown(dialogs, full);
    DataBase& db = shown.db;
    HistoryGrid& grid = shown.grid;

    // Baseline 1: the C interface of SQLite, every value read, texts as stored (UTF-8).
    sqlite3* h = nullptr;
    sqlite3_open_v2(full.toUtf8().constData(), &h, SQLITE_OPEN_READONLY, nullptr);
    const auto rawCRead = [&] {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(h, sql, -1, &st, nullptr);
        long long sum = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            sum += sqlite3_column_int(st, 0) +
                   static_cast<long long>(sqlite3_column_double(st, 1)) + sqlite3_column_int(st, 2);
            const unsigned char* text = sqlite3_column_text(st, 3);
            sum += sqlite3_column_bytes(st, 3) + (text != nullptr);
        }
        sqlite3_finalize(st);
        if (sum == 42)
            std::puts("");
    };
    // Baseline 2: the same query through Qt SQL, every value turned into int, double, QString.
    QSqlDatabase rawDb =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
    rawDb.setDatabaseName(full);
    rawDb.open();
    const auto rawQtRead = [&] {
        QSqlQuery q(rawDb);
        q.setForwardOnly(true);
        q.exec(QString::fromUtf8(sql));
        long long sum = 0;
        while (q.next())
            sum += q.value(0).toInt() + q.value(2).toInt() +
                   static_cast<long long>(q.value(1).toDouble()) + q.value(3).toString().size();
        if (sum == 42)
            std::puts("");
    };
    const auto storeRead = [&] {
        long long n = 0;
        HistoryCommands::readHistoryRows(
            db, Mode::Export, [&](int, double, int, const QString& con) { n += con.size(); });
    };
    const auto fillGrid = [&] {
        grid.FillHistoryGrid(Mode::Export);
        QApplication::processEvents(); // drawn once
    };
    const auto fitWidths = [&] { grid.AdjustColWidth(grid.window()->font()); };

    // Rounds interleave the five, so a busy machine slows all of them alike.
    const std::vector<std::function<void()>> work{rawCRead, rawQtRead, storeRead, fillGrid,
                                                  fitWidths};
    std::vector<std::vector<double>> ms(work.size());
    for (int round = 0; round < 2 * Repeats + 1; ++round)
        for (std::size_t w = 0; w < work.size(); ++w) {
            QElapsedTimer t;
            t.start();
            work[w]();
            ms[w].push_back(t.nsecsElapsed() / 1e6);
        }
    const double rawC = median(ms[0]);
    const double rawQt = median(ms[1]);
    const double read = median(ms[2]);
    const double fill = median(ms[3]);
    const double fit = median(ms[4]);
    sqlite3_close(h);
    rawDb.close();
    rawDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));

    HistoryGridModel& model = grid.gridModel();
    std::printf("\nFillHistoryGrid (%d grid rows)\n", model.rows() - 1);
    std::printf("  raw read, SQLite C interface      %8.1f ms\n", rawC);
    std::printf("  raw read, Qt SQL                  %8.1f ms\n", rawQt);
    std::printf("  FillHistoryGrid end to end        %8.1f ms  (%.2fx C, %.2fx Qt SQL)\n", fill,
                fill / rawC, fill / rawQt);
    std::printf("    query (store read)              %8.1f ms\n", read);
    std::printf("    model and view                  %8.1f ms\n", fill - read - fit);
    std::printf("    fitted widths                   %8.1f ms%s\n", fit,
                model.lastFitMeasuredEveryCell() ? "  (every cell shaped)" : "");

    // Widths the slow way, for comparison.
    const double shapedAll = timeIt([&] {
        const QFontMetricsF fm(grid.window()->font());
        double widest = 0;
        for (int r = 0; r < model.rows(); ++r)
            for (int c = 1; c < model.cols(); ++c)
                widest = std::max(widest, fm.horizontalAdvance(model.text(r, c)));
        if (widest < 0)
            std::puts("");
    });
    std::printf("    (shaping every cell instead     %8.1f ms)\n", shapedAll);

    std::printf("\nHeader-click sort of all rows\n");
    for (const auto& [col, what] : {std::pair{3 + 0, "company names"},
                                    {3 + 1, "8-digit codes"},
                                    {3 + 2, "amounts"},
                                    {2, "print date"}}) {
        const int column = col;
        const double click = timeIt([&] {
            emit grid.horizontalHeader()->sectionPressed(column);
            QApplication::processEvents();
        });
        const double plain = timeIt([&] {
            QStringList cells;
            cells.reserve(model.rows());
            for (int r = 1; r < model.rows(); ++r)
                cells.append(model.text(r, column));
            std::stable_sort(cells.begin(), cells.end());
        });
        std::printf("  column %2d (%-13s) click %7.1f ms   plain QString sort %6.1f ms\n", col,
                    what, click, plain);
    }

    // The find: the fourth character typed, beside one full fill in the same run.
    std::printf("\nFind, %d records (one FillHistoryGrid: %.1f ms)\n", model.storedRowCount(),
                fill);
    {
        QElapsedTimer t;
        t.start();
        model.prepareFind(); // what entering the find box does
        std::printf("  entering the find box (texts gathered once a fill): %6.1f ms\n",
                    t.nsecsElapsed() / 1e6);
    }
    for (const QString& typed : {QStringLiteral("no.1"), QStringLiteral("宁波第1"),
                                 QStringLiteral("2024"), QStringLiteral("XYZ9")}) {
        const QString three = typed.left(3);
        grid.setFilterText(QString());
        QElapsedTimer first;
        first.start();
        grid.setFilterText(typed.left(1));
        QApplication::processEvents();
        const double firstKey = first.nsecsElapsed() / 1e6;
        std::vector<double> fourth, back;
        for (int i = 0; i < 2 * Repeats + 1; ++i) {
            grid.setFilterText(three);
            QApplication::processEvents();
            QElapsedTimer t;
            t.start();
            grid.setFilterText(typed);
            QApplication::processEvents();
            fourth.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            grid.setFilterText(three); // backspace: every row is searched again
            QApplication::processEvents();
            back.push_back(t.nsecsElapsed() / 1e6);
        }
        grid.setFilterText(typed);
        std::printf("  \"%s\": 4th key %6.2f ms (%5d rows shown)   backspace %6.2f ms   first key "
                    "%6.1f ms\n",
                    qPrintable(typed), median(fourth), model.rows() - 1, median(back), firstKey);
    }
    grid.setFilterText(QString());

    // The checks before paper of one whole declaration, beside one fill in the same run.
    {
        DeclarationTexts declaration;
        QRandomGenerator rng(88);
        for (int i = 0; i < BoxCount; ++i)
            declaration[static_cast<std::size_t>(i)] = boxText(i, rng);
        for (const auto& line : Catalogue::goodsLines()) {
            declaration[static_cast<std::size_t>(line[1])] = QStringLiteral("8471300000");
            declaration[static_cast<std::size_t>(line[3])] = QStringLiteral("1,200千克\r\n40箱");
            declaration[static_cast<std::size_t>(line[4])] = QStringLiteral("美国(502)\r\n12.35");
            declaration[static_cast<std::size_t>(line[5])] = QStringLiteral("14820.00");
        }
        for (int date : {4, 5, 39})
            declaration[static_cast<std::size_t>(date)] = QStringLiteral("2024-03-01");
        // A code table on a dozen boxes, as the code tables will be.
        const QSet<QString> codes{"0110", "1210", "2", "3", "4", "5", "101", "502", "116", "110"};
        const KnownCode known = [&codes](int box, const QString& text) -> std::optional<bool> {
            if (box < 7 || box > 19)
                return std::nullopt;
            return codes.contains(text.section(u' ', 0, 0));
        };
        std::vector<double> ms;
        std::size_t found = 0;
        for (int i = 0; i < 1001; ++i) {
            QElapsedTimer t;
            t.start();
            found = DeclarationChecks::check(declaration, Mode::Export, known).size();
            ms.push_back(t.nsecsElapsed() / 1e6);
        }
        std::printf(
            "\nChecks before paper, one declaration of 88 boxes (%zu findings), 1001 runs\n",
            found);
        std::printf("  median %8.3f ms   worst %8.3f ms   (one FillHistoryGrid: %.1f ms)\n",
                    median(ms), *std::max_element(ms.begin(), ms.end()), fill);
    }

    std::printf("\nPeak memory (VmHWM) of the program with the grid shown and filled\n");
    long kb[2] = {0, 0};
    const QString paths[2] = {empty, full};
    for (int i = 0; i < 2; ++i) {
        QProcess p;
        p.start(QApplication::applicationFilePath(), {QStringLiteral("--memory"), paths[i]});
        p.waitForFinished(120000);
        const QList<QByteArray> out = p.readAllStandardOutput().trimmed().split(' ');
        kb[i] = out.value(0).toLong();
        std::printf("  %-6s table: %8.1f MB  (%s grid rows)\n", i ? "full" : "empty",
                    kb[i] / 1024.0, out.value(1).constData());
    }
    std::printf("  difference:   %8.1f MB\n", (kb[1] - kb[0]) / 1024.0);
    return 0;
}
