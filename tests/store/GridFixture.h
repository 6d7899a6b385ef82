#pragma once

#include "DataBase.h"
#include "Form.h"
#include "HistoryCommands.h"
#include "HistoryGridModel.h"
#include "StoreFixture.h"

#include <QFont>
#include <QMap>
#include <QSqlQuery>
#include <QVariant>

// A store with history records written from outside, and a grid to fill from it.
struct GridFixture {
    StoreFixture store;
    HistoryGridModel grid;
    QFont font{QStringLiteral("DejaVu Sans"), 9};
    GridFixture() {
        store.db->nextRecordNumber(Mode::Export); // creates the schema
    }

    bool insert(Mode mode, int ord, double dat, const QMap<int, QString>& boxes) {
        QSqlQuery q(store.outside());
        q.prepare(QStringLiteral("INSERT INTO \"%1\" (Ord, Dat, Ctl, Con) VALUES (?, ?, ?, ?)")
                      .arg(Catalogue::modeWord(mode)));
        for (auto it = boxes.cbegin(); it != boxes.cend(); ++it) {
            q.bindValue(0, ord);
            q.bindValue(1, dat);
            q.bindValue(2, it.key());
            q.bindValue(3, it.value());
            if (!q.exec())
                return false;
        }
        return true;
    }
    // Records 0 .. n−1 with box 0 reading "记录<ord>".
    bool insertNumbered(Mode mode, int n) {
        for (int ord = 0; ord < n; ++ord)
            if (!insert(mode, ord, 46000 + ord, {{0, QStringLiteral("记录%1").arg(ord)}}))
                return false;
        return true;
    }
    bool fill(Mode mode) {
        return HistoryCommands::FillHistoryGrid(grid, *store.db, store.dialogs, mode, font);
    }
    int records(Mode mode, int ord) {
        return store.count(QStringLiteral("SELECT COUNT(*) FROM \"%1\" WHERE Ord = %2")
                               .arg(Catalogue::modeWord(mode))
                               .arg(ord));
    }
    int rowsOf(Mode mode) {
        return store.count(
            QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(Catalogue::modeWord(mode)));
    }
    // Column `col` of every data row, top to bottom.
    QStringList column(int col) const {
        QStringList out;
        for (int r = 1; r < grid.rows(); ++r)
            out.append(grid.text(r, col));
        return out;
    }
};
