#pragma once

#include "Catalogue.h"
#include "CompletionPopup.h"

#include <QList>
#include <QString>

#include <array>
#include <vector>

class CodeTables;
class DataBase;

// What a box offers while the clerk types: its distinct earlier texts from both modes'
// history, most used first, then most recent; then the code table's "code name" pairs.
// A box's texts are read with one indexed query the first time it is typed in, and again
// only after the histories changed; each keystroke is then matched in memory.
class CompletionIndex {
public:
    static constexpr int MaxEarlierTexts = 10;
    static constexpr int MaxCodes = 10;

    CompletionIndex(DataBase& db, CodeTables& codes) : m_db(db), m_codes(codes) {}

    // The lines for `typed` in `box`: texts that begin with it or hold it anywhere, Latin
    // letters in either case. Empty when nothing matches or the store cannot be read.
    QList<CompletionChoice> choices(int box, const QString& typed);
    // Reads the box's earlier texts now unless they are current; false when the store failed.
    bool prepare(int box);

private:
    struct Earlier {
        QString text;
        QString folded;
        int uses = 0;
        double last = 0;
    };
    struct BoxTexts {
        std::vector<Earlier> texts;
        quint64 readAt = 0;
        bool read = false;
    };
    bool readBox(int box, std::vector<Earlier>& texts);

    DataBase& m_db;
    CodeTables& m_codes;
    std::array<BoxTexts, BoxCount> m_boxes{};
};
