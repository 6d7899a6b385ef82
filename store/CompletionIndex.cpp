#include "CompletionIndex.h"

#include "CodeTables.h"
#include "DataBase.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>

namespace {

// Longer texts do not fit an entry of the server's index and are not offered.
constexpr int LongestOfferedBytes = 2000;

// Multi-line texts show as one line of the list.
QString oneLine(const QString& text) {
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral(" ↵ "));
    shown.replace(u'\n', QStringLiteral(" ↵ "));
    return shown;
}

} // namespace

bool CompletionIndex::readBox(int box, std::vector<Earlier>& texts) {
    QHash<QString, std::size_t> found;
    for (const Mode mode : {Mode::Export, Mode::Import}) {
        // One group a distinct text, read from the index of the box's texts alone.
        const QString sql =
            QStringLiteral("SELECT %2, COUNT(*), MAX(Dat) FROM \"%1\" WHERE Ctl = ? AND Ord >= 0 "
                           "AND %3 <= %4 GROUP BY Con")
                .arg(Catalogue::modeWord(mode), m_db.textColumn(QStringLiteral("Con")),
                     m_db.byteLength(QStringLiteral("Con")))
                .arg(LongestOfferedBytes);
        const bool ok = m_db.withConnection([&](QSqlDatabase&) {
            QSqlQuery* q = m_db.statement(sql);
            if (!q)
                return false;
            q->bindValue(0, box);
            if (!q->exec())
                return false;
            while (q->next()) {
                QString text = DataBase::textOf(q->value(0));
                const int uses = q->value(1).toInt();
                const double last = q->value(2).toDouble();
                const auto at = found.constFind(text);
                if (at == found.constEnd()) {
                    found.insert(text, texts.size());
                    texts.push_back({text, text.toCaseFolded(), uses, last});
                } else {
                    Earlier& e = texts[*at];
                    e.uses += uses;
                    e.last = std::max(e.last, last);
                }
            }
            q->finish();
            return true;
        });
        if (!ok)
            return false;
    }
    std::sort(texts.begin(), texts.end(), [](const Earlier& a, const Earlier& b) {
        return a.uses != b.uses ? a.uses > b.uses : a.last > b.last;
    });
    return true;
}

bool CompletionIndex::prepare(int box) {
    if (box < 0 || box >= BoxCount)
        return false;
    BoxTexts& kept = m_boxes[static_cast<std::size_t>(box)];
    if (kept.read && kept.readAt == m_db.historyChanges())
        return true;
    std::vector<Earlier> texts;
    const bool ok = readBox(box, texts);
    // A failed read is not tried again on every key, only after the next change.
    kept.texts = std::move(texts);
    kept.readAt = m_db.historyChanges();
    kept.read = true;
    return ok;
}

QList<CompletionChoice> CompletionIndex::choices(int box, const QString& typed) {
    QList<CompletionChoice> lines;
    if (typed.isEmpty() || box < 0 || box >= BoxCount)
        return lines;
    prepare(box); // a store that cannot be read offers no earlier texts, codes still
    const QString wanted = typed.toCaseFolded();
    for (const Earlier& e : m_boxes[static_cast<std::size_t>(box)].texts) {
        if (lines.size() == MaxEarlierTexts)
            break;
        if (e.text != typed && e.folded.contains(wanted))
            lines.append({oneLine(e.text), e.text});
    }
    const std::optional<QList<CodeRow>> table = m_codes.table(box);
    if (!table)
        return lines;
    // Codes that begin with the typed text first, then those that hold it in code or name.
    QList<CompletionChoice> starting;
    QList<CompletionChoice> holding;
    for (const CodeRow& row : *table) {
        if (starting.size() == MaxCodes)
            break;
        const QString code = row.code.toCaseFolded();
        const CompletionChoice line{row.code + u' ' + row.name, row.textToPrint()};
        if (code.startsWith(wanted))
            starting.append(line);
        else if (holding.size() < MaxCodes &&
                 (code.contains(wanted) || row.name.toCaseFolded().contains(wanted)))
            holding.append(line);
    }
    lines += (starting + holding).mid(0, MaxCodes);
    return lines;
}
