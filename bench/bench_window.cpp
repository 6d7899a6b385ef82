// The Excel transfers of 10,000 records of 30 filled boxes through the main window (history
// view shown, the progress window up, rows appended to the shown grid) beside the same
// transfers headless (a grid nobody shows, no parent window), in the same run.
//
// Run: QT_QPA_PLATFORM=offscreen bench_window [runs] [export|import]   (or under xvfb-run)
#include "BenchUtil.h"
#include "DataBase.h"
#include "FontSetup.h"
#include "GetXlsSheet.h"
#include "GridAccess.h"
#include "HistoryCommands.h"
#include "HistoryGrid.h"
#include "HistoryGridModel.h"
#include "ImageButtons.h"
#include "ImportData.h"
#include "MF.h"
#include "Sheets.h"
#include "TabStrip.h"
#include "UserDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Records = 10000;
constexpr int BoxesPerRecord = 30;

// Records 0 .. Records−1 of 30 boxes each, texts of the kind clerks type.
bool fillTable(const QString& path, Mode mode) {
    DataBase(path).nextRecordNumber(mode); // creates the schema
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("m"));
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery q(db);
        ok = ok && q.exec(QStringLiteral("BEGIN"));
        q.prepare(QStringLiteral("INSERT INTO \"%1\" (Ord, Dat, Ctl, Con) VALUES (?, ?, ?, ?)")
                      .arg(Catalogue::modeWord(mode)));
        QRandomGenerator rng(12);
        for (int ord = 0; ord < Records && ok; ++ord)
            for (int k = 0; k < BoxesPerRecord && ok; ++k) {
                const int box = (k * 3 + ord) % BoxCount;
                q.bindValue(0, ord);
                q.bindValue(1, 45000.0 + ord * 0.01);
                q.bindValue(2, box);
                q.bindValue(3,
                            QStringLiteral("宁波第%1号货物 %2").arg(rng.bounded(100000)).arg(box));
                ok = q.exec();
            }
        ok = ok && q.exec(QStringLiteral("COMMIT"));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("m"));
    return ok;
}

// A grid nobody shows, as the headless import fills it.
class PlainGrid : public GridAccess {
public:
    int rows() const override { return static_cast<int>(m_rows.size()) + 1; }
    int cols() const override { return HistoryGridModel::ColumnCount; }
    int fixedRows() const override { return 1; }
    QString text(int row, int col) const override {
        return row >= 1 ? m_rows[static_cast<std::size_t>(row - 1)].value(col) : QString();
    }
    int colWidthTwips(int) const override { return 1000; }
    std::uint32_t cellBackColor(int, int) const override { return 0; }
    int addRow() override {
        m_rows.emplace_back(HistoryGridModel::ColumnCount);
        return rows() - 1;
    }
    void setText(int row, int col, const QString& text) override {
        m_rows[static_cast<std::size_t>(row - 1)][col] = text;
    }

private:
    std::vector<QStringList> m_rows;
};

// The main window over `dbPath`, on the history view of `mode`.
std::unique_ptr<MF> startWindow(Answers& answers, const QString& dbPath, Mode mode) {
    auto mf = std::make_unique<MF>(answers, dbPath, QSize(1280, 1024));
    mf->show();
    mf->historyTabs()->setCurrentIndex(static_cast<int>(mode));
    mf->mainTabs()->setCurrentIndex(1);
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    return mf;
}

double seconds(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velkordan"));
    QStandardPaths::setTestModeEnabled(true);
    registerFontSubstitutions();
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const bool exports = only != QLatin1String("import");
    const bool imports = only != QLatin1String("export");
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const QString full = dir.filePath(QStringLiteral("full.db"));
    if (!fillTable(full, Mode::Export)) {
        std::fprintf(stderr, "could not build the table\n");
        return 1;
    }
    std::printf("%d records x %d boxes; median of %d runs\n", Records, BoxesPerRecord, runs);

    std::vector<double> exportHeadless, exportWindow, importHeadless, importWindow;
    const QString headlessXls = dir.filePath(QStringLiteral("headless.xls"));
    const QString windowXls = dir.filePath(QStringLiteral("window.xls"));
    {
        // The workbook the imports read, written once before anything is timed.
        Answers answers;
        DataBase db(full);
        HistoryGridModel grid;
        HistoryCommands::FillHistoryGrid(grid, db, answers, Mode::Export, QApplication::font());
        WriteExcelFile(grid, headlessXls, nullptr);
    }
    for (int run = 0; run < runs; ++run) {
        // Export, headless: the same grid filled but never shown.
        if (exports) {
            Answers answers;
            DataBase db(full);
            HistoryGridModel grid;
            HistoryCommands::FillHistoryGrid(grid, db, answers, Mode::Export, QApplication::font());
            QFile::remove(headlessXls);
            QElapsedTimer t;
            t.start();
            WriteExcelFile(grid, headlessXls, nullptr);
            exportHeadless.push_back(seconds(t));
        }
        // Export through the window: 导 出 on the shown export history.
        if (exports) {
            Answers answers;
            auto mf = startWindow(answers, full, Mode::Export);
            answers.file = windowXls;
            QFile::remove(windowXls);
            QElapsedTimer t;
            t.start();
            mf->imageButton(0)->click();
            exportWindow.push_back(seconds(t));
            if (answers.told.size() != 1 ||
                !answers.told.first().contains(QString::number(Records)))
                std::printf("window export: %s\n", qPrintable(answers.told.join(u'|')));
            mf->close();
        }
        // Import, headless, into an empty table (of the workbook the export wrote).
        if (imports) {
            Answers answers;
            answers.file = headlessXls;
            answers.texts = {QStringLiteral("2"), QString::number(Records + 1)};
            const QString path = dir.filePath(QStringLiteral("h%1.db").arg(run));
            DataBase db(path);
            db.nextRecordNumber(Mode::Import);
            PlainGrid grid;
            QElapsedTimer t;
            t.start();
            ImportExcelRows(grid, Mode::Import, db, answers, nullptr,
                            [](const QStringList& names, QWidget*) { return names.value(0); });
            importHeadless.push_back(seconds(t));
        }
        // Import through the window: 导 入 on the shown, empty import history.
        if (imports) {
            Answers answers;
            const QString path = dir.filePath(QStringLiteral("w%1.db").arg(run));
            auto mf = startWindow(answers, path, Mode::Import);
            answers.file = headlessXls;
            answers.texts = {QStringLiteral("2"), QString::number(Records + 1)};
            // The sheet question waits for the clerk: answer it once it is up.
            QTimer answerSheets;
            QObject::connect(&answerSheets, &QTimer::timeout, [] {
                for (QWidget* w : QApplication::topLevelWidgets())
                    if (auto* sheets = qobject_cast<Sheets*>(w); sheets && sheets->isVisible())
                        sheets->okButton()->click();
            });
            answerSheets.start(0);
            QElapsedTimer t;
            t.start();
            mf->imageButton(1)->click();
            importWindow.push_back(seconds(t));
            answerSheets.stop();
            if (mf->historyGrid().access().rows() != Records + 1)
                std::printf("window import: %d rows, %s\n", mf->historyGrid().access().rows(),
                            qPrintable(answers.told.join(u'|')));
            mf->close();
        }
    }
    const auto line = [](const char* what, double window, double headless) {
        std::printf("%-8s window %7.3f s   headless %7.3f s   ratio %.2fx\n", what, window,
                    headless, window / headless);
    };
    if (exports)
        line("export", median(exportWindow), median(exportHeadless));
    if (imports)
        line("import", median(importWindow), median(importHeadless));
    return 0;
}
