#include "CodeTables.h"
#include "CompletionIndex.h"
#include "CompletionPopup.h"
#include "DataBase.h"
#include "Form.h"
#include "HistoryGrid.h"
#include "PageWidget.h"

#include "BenchUtil.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int BoxesFilled = 30;

// The first 30 single-line boxes: the ones a declaration usually fills.
std::vector<int> filledBoxes() {
    std::vector<int> boxes;
    for (int i = 0; i < BoxCount && static_cast<int>(boxes.size()) < BoxesFilled; ++i)
        if (!Catalogue::field(i).multiLine)
            boxes.push_back(i);
    return boxes;
}

// `records` declarations of 30 boxes, 70 % export and 30 % import. A third of the boxes
// repeat a few texts, a third some thousand, a third are new in nearly every record.
void fill(const QString& path, int records) {
    DataBase(path).nextRecordNumber(Mode::Export); // the schema and its indexes
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert[2] = {};
    sqlite3_prepare_v2(db, "INSERT INTO \"出口\" (Ord, Dat, Ctl, Con) VALUES (?, ?, ?, ?)", -1, &insert[0], nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO \"进口\" (Ord, Dat, Ctl, Con) VALUES (?, ?, ?, ?)", -1, &insert[1], nullptr);
    const std::vector<int> boxes = filledBoxes();
    const int distinct[3] = {40, 3000, 1000000};
    QRandomGenerator random(7);
    int next[2] = {0, 0};
    for (int r = 0; r < records; ++r) {
        const int m = r % 10 < 7 ? 0 : 1;
        const int ord = next[m]++;
        for (int k = 0; k < BoxesFilled; ++k) {
            const QByteArray text = QStringLiteral("%1号货物 Item%2 上海")
                                        .arg(k)
                                        .arg(random.bounded(distinct[k % 3]))
                                        .toUtf8();
            sqlite3_stmt* s = insert[m];
            sqlite3_bind_int(s, 1, ord);
            sqlite3_bind_double(s, 2, 45000 + r / 50.0);
            sqlite3_bind_int(s, 3, boxes[static_cast<std::size_t>(k)]);
            sqlite3_bind_text(s, 4, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            sqlite3_step(s);
            sqlite3_reset(s);
        }
    }
    for (sqlite3_stmt* s : insert)
        sqlite3_finalize(s);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

double msSince(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void press(QWidget* box, int key, const QString& text) {
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(box, &up);
    QApplication::processEvents(); // the list drawn
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir folder;
    const QString big = folder.filePath(QStringLiteral("big.db"));
    const QString small = folder.filePath(QStringLiteral("small.db"));
    QElapsedTimer made;
    made.start();
    fill(big, 100000);
    fill(small, 10000);
    std::printf("made 100,000 + 10,000 records x 30 boxes in %.1f s\n", msSince(made) / 1000);

    DataBase db(big);
    CodeTables codes(db);
    CompletionIndex index(db, codes);
    Form form;
    form.resetToBuiltIn();
    PageWidget page(form);
    auto* popup = new CompletionPopup(page, [&](int box, const QString& typed) { return index.choices(box, typed); });
    page.show();
    page.activateWindow();
    QApplication::setActiveWindow(&page);
    QApplication::processEvents();

    // Each box: a first key (its texts read once), then keys with the list open, then two
    // keys that match nothing (a full pass over the box's texts).
    std::vector<double> firstKeys;
    std::vector<double> keys;
    int listShown = 0;
    for (int box : filledBoxes()) {
        auto* line = static_cast<QLineEdit*>(page.boxWidget(box));
        line->setFocus();
        QApplication::processEvents();
        const QString typed = QStringLiteral("Item12zz");
        for (qsizetype c = 0; c < typed.size(); ++c) {
            QElapsedTimer t;
            t.start();
            press(line, typed[c].isDigit() ? Qt::Key_0 + typed[c].digitValue() : Qt::Key_A, typed.mid(c, 1));
            (c == 0 ? firstKeys : keys).push_back(msSince(t));
            listShown += popup->isVisible() ? 1 : 0;
        }
    }
    std::sort(firstKeys.begin(), firstKeys.end());
    std::sort(keys.begin(), keys.end());

    DataBase smallDb(small);
    Answers answers;
    HistoryGrid grid(smallDb, answers);
    grid.resize(1200, 800);
    grid.show();
    QApplication::processEvents();
    const double fillMs = medianMs(3, [&](int) {
        grid.FillHistoryGrid(Mode::Export);
        QApplication::processEvents();
    });

    std::printf("\nCompletion, 100,000 records x 30 boxes (keystroke: key event, match, list shown)\n");
    std::printf("  keystroke with the list open     median %7.2f ms   worst %7.2f ms   (%zu keys, list open after %d)\n",
                keys[keys.size() / 2], keys.back(), keys.size(), listShown);
    std::printf("  first key in a box (one query)   median %7.2f ms   worst %7.2f ms\n",
                firstKeys[firstKeys.size() / 2], firstKeys.back());
    std::printf("  goal: under 30 ms a keystroke\n");
    report("keystroke median vs one FillHistoryGrid, 10,000", keys[keys.size() / 2], fillMs);
    return 0;
}
