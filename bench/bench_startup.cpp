// Start-up of the program until its window is shown with the last layout and the import
// working record loaded, beside a bare QMainWindow start, measured in the same run.
//
// A third start, a bare window with one Chinese label, shows what loading the CJK font
// alone costs. Each start is a fresh process (program loading, Qt's platform start and fonts
// included), launched in turns so that both see the same machine load:
//   bench_startup [runs]          prints medians and spreads of both
//   bench_startup --child mf|bare <database>   one start, prints its in-process time
#include "DataBase.h"
#include "FontSetup.h"
#include "Form.h"
#include "Layouts.h"
#include "MF.h"
#include "QtUserDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void waitUntilExposed(QWidget& window) {
    window.show();
    QElapsedTimer guard;
    guard.start();
    while ((!window.windowHandle() || !window.windowHandle()->isExposed()) &&
           guard.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
}

int child(int argc, char* argv[], const QString& kind, const QString& database) {
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    double ms = 0;
    if (kind == QLatin1String("bare") || kind == QLatin1String("text")) {
        QMainWindow window;
        window.setWindowTitle(QStringLiteral("Quillmarsh报关单打印软件1.13"));
        window.resize(890, 735);
        if (kind == QLatin1String("text")) {
            registerFontSubstitutions();
            window.setCentralWidget(new QLabel(QStringLiteral("中华人民共和国海关进口货物报关单")));
        }
        waitUntilExposed(window);
        ms = clock.nsecsElapsed() / 1e6;
    } else {
        QApplication::setApplicationName(QStringLiteral("Velkordan"));
        registerFontSubstitutions();
        installChineseTranslations(app);
        QtUserDialogs dialogs;
        MF window(dialogs, database, QSize(1024, 768));
        waitUntilExposed(window);
        ms = clock.nsecsElapsed() / 1e6;
        if (window.form().text(0).isEmpty() || window.form().box(7).left != 3333.f)
            return 2; // the record or the layout did not arrive
    }
    std::printf("%.3f\n", ms);
    return 0;
}

// A database as a clerk's machine holds it: a full import working record and the layout
// of the last exit.
bool seed(const QString& path) {
    DataBase db(path);
    Form form;
    for (int i = 0; i < BoxCount; ++i)
        form.setText(i, QStringLiteral("内容%1 ABC-123").arg(i));
    form.setGeometry(7, 3333, 2222, 1111, 300);
    int ord = WorkingRecordOrd;
    if (!db.SaveHistoryRecord(form, Mode::Import, ord))
        return false;
    Layouts(db).SaveLayout(form, Catalogue::fixedLayoutName());
    return true;
}

struct Sample {
    double wall = 0;
    double inside = 0;
};

std::optional<Sample> launch(const QString& self, const QString& kind, const QString& database) {
    QProcess p;
    QElapsedTimer clock;
    clock.start();
    p.start(self, {QStringLiteral("--child"), kind, database});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return std::nullopt;
    Sample s;
    s.wall = clock.nsecsElapsed() / 1e6;
    s.inside = QString::fromLatin1(p.readAllStandardOutput()).trimmed().toDouble();
    return s;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty()
               ? 0
               : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

void report(const char* name, const std::vector<Sample>& samples) {
    std::vector<double> wall, inside;
    for (const Sample& s : samples) {
        wall.push_back(s.wall);
        inside.push_back(s.inside);
    }
    std::printf("%-28s process %8.1f ms (min %7.1f, max %7.1f)   in-process %8.1f ms\n", name,
                median(wall), *std::min_element(wall.begin(), wall.end()),
                *std::max_element(wall.begin(), wall.end()), median(inside));
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc >= 4 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--child"))
        return child(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    QCoreApplication app(argc, argv);
    const int runs = argc >= 2 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 15;
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("Par.db"));
    if (!seed(database)) {
        std::fprintf(stderr, "cannot prepare the database\n");
        return 1;
    }
    const QString self = QCoreApplication::applicationFilePath();
    std::vector<Sample> bare, text, mf;
    for (int i = 0; i < runs + 1; ++i) {
        const auto b = launch(self, QStringLiteral("bare"), database);
        const auto t = launch(self, QStringLiteral("text"), database);
        const auto m = launch(self, QStringLiteral("mf"), database);
        if (!b || !t || !m) {
            std::fprintf(stderr, "a start failed\n");
            return 1;
        }
        if (i == 0)
            continue; // the first round warms the file cache
        bare.push_back(*b);
        text.push_back(*t);
        mf.push_back(*m);
    }
    std::printf("platform %s, %d starts each\n", qgetenv("QT_QPA_PLATFORM").constData(), runs);
    report("bare QMainWindow (baseline)", bare);
    report("bare + one Chinese label", text);
    report("main window, layout, record", mf);
    std::vector<double> bw, mw;
    for (std::size_t i = 0; i < bare.size(); ++i) {
        bw.push_back(bare[i].wall);
        mw.push_back(mf[i].wall);
    }
    std::vector<double> tw;
    for (const Sample& s : text)
        tw.push_back(s.wall);
    std::printf("ratio of medians: %.2f to the bare start, %.2f to the one-label start\n",
                median(mw) / median(bw), median(mw) / median(tw));
    return 0;
}
