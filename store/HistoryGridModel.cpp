#include "HistoryGridModel.h"
#include "StoredColor.h"
#include "Units.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace {

// A cell reads as a number when all of it (blanks around it aside) is one finite decimal number.
bool readsAsNumber(const QString& text, double& value) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    qsizetype i = (t[0] == u'+' || t[0] == u'-') ? 1 : 0;
    if (i >= t.size() || !(t[i].isDigit() || t[i] == u'.') || t[i].unicode() >= 128)
        return false;
    bool ok = false;
    value = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(value);
}

// Measuring every cell of ten thousand records with the shaper is the slow part of a
// fill. Most cells are plain Latin or CJK text, whose shaped width never exceeds the
// sum of its characters' advances, so a cell whose sum cannot beat the widest width
// measured so far needs no shaping at all. Anything else is shaped.
class CharAdvances {
public:
    static constexpr float Unknown = -2.0f;
    static constexpr float Complex = -1.0f;

    explicit CharAdvances(const QFontMetricsF& fm) : m_fm(fm), m_advance(0x10000, Unknown) {}

    // The sum of the advances, or infinity when the text needs shaping to be measured.
    double estimate(const QString& text) {
        double sum = 0;
        for (const QChar ch : text) {
            float& a = m_advance[ch.unicode()];
            if (a == Unknown)
                a = simple(ch) ? static_cast<float>(m_fm.horizontalAdvance(ch)) : Complex;
            if (a == Complex)
                return std::numeric_limits<double>::infinity();
            sum += a;
        }
        return sum;
    }

private:
    static bool simple(QChar ch) {
        const char16_t u = ch.unicode();
        if (u >= 0x20 && u < 0x7F)
            return true;
        if (u < 0xA0 || ch.isSurrogate() || ch.isMark() || ch.category() == QChar::Other_Format ||
            ch.category() == QChar::Separator_Line || ch.category() == QChar::Separator_Paragraph)
            return false;
        switch (ch.script()) {
        case QChar::Script_Common:
        case QChar::Script_Latin:
        case QChar::Script_Greek:
        case QChar::Script_Cyrillic:
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Bopomofo:
            return true;
        default:
            return false;
        }
    }

    const QFontMetricsF& m_fm;
    std::vector<float> m_advance;
};

} // namespace

HistoryGridModel::HistoryGridModel(QObject* parent) : QAbstractTableModel(parent) {
    m_widthTwips.fill(DefaultColWidthTwips);
    m_widthTwips[OrdColumn] = 0;
    m_announceTimer.setInterval(250);
    connect(&m_announceTimer, &QTimer::timeout, this, &HistoryGridModel::announceHeldRows);
}

void HistoryGridModel::holdAppends(bool hold) {
    m_holding = hold;
    if (hold) {
        m_announceTimer.start();
    } else {
        m_announceTimer.stop();
        announceHeldRows();
    }
}

void HistoryGridModel::announceHeldRows() {
    if (m_heldRows == 0)
        return;
    const int first = announcedRows();
    beginInsertRows({}, first, first + m_heldRows - 1);
    m_heldRows = 0;
    endInsertRows();
}

int HistoryGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : announcedRows();
}

int HistoryGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= announcedRows() || !validCol(index.column()))
        return {};
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: {
        const QString* t = findCell(shownRow(index.row()), col);
        return t ? QVariant(*t) : QVariant();
    }
    case Qt::TextAlignmentRole:
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return m_foreColors[col].isValid() ? QVariant(m_foreColors[col]) : QVariant();
    case Qt::BackgroundRole:
        return m_backColors[col].isValid() ? QVariant(m_backColors[col]) : QVariant();
    default:
        return {};
    }
}

QVariant HistoryGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::TextAlignmentRole)
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    // The vertical header stands for the fixed column 1: the sequence numbers.
    if (orientation == Qt::Vertical) {
        if (section < 0 || section >= announcedRows())
            return {};
        if (role == Qt::DisplayRole)
            return text(section + 1, SequenceColumn);
        if (role == Qt::BackgroundRole && m_backColors[SequenceColumn].isValid())
            return m_backColors[SequenceColumn];
        if (role == Qt::ForegroundRole && m_foreColors[SequenceColumn].isValid())
            return m_foreColors[SequenceColumn];
        return {};
    }
    if (role == Qt::DisplayRole && validCol(section))
        return m_header[section];
    return {};
}

Qt::ItemFlags HistoryGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

const QString* HistoryGridModel::findCell(const Row& row, int col) {
    const auto it = std::lower_bound(row.begin(), row.end(), col,
                                     [](const Cell& c, int wanted) { return c.col < wanted; });
    return it != row.end() && it->col == col ? &it->text : nullptr;
}

QString HistoryGridModel::text(int row, int col) const {
    if (!validCol(col))
        return {};
    if (row == 0)
        return m_header[col];
    if (!validDataRow(row))
        return {};
    const QString* t = findCell(shownRow(row - 1), col);
    return t ? *t : QString();
}

int HistoryGridModel::colWidthTwips(int col) const {
    return validCol(col) ? m_widthTwips[col] : 0;
}

std::uint32_t HistoryGridModel::cellBackColor(int row, int col) const {
    if (!validCol(col) || !validDataRow(row) || !m_backColors[col].isValid())
        return 0;
    return StoredColor::fromQColor(m_backColors[col]);
}

int HistoryGridModel::addRow() {
    const int modelRow = static_cast<int>(m_shown.size());
    const auto append = [this] {
        m_shown.push_back(static_cast<int>(m_rows.size()));
        m_rows.emplace_back();
        if (!m_searchTexts.empty())
            m_searchTexts.emplace_back();
    };
    if (m_holding) {
        append();
        ++m_heldRows;
    } else {
        announceHeldRows();
        beginInsertRows({}, modelRow, modelRow);
        append();
        endInsertRows();
    }
    return modelRow + 1;
}

void HistoryGridModel::setText(int row, int col, const QString& text) {
    if (!validCol(col))
        return;
    if (row == 0) {
        m_header[col] = text;
        emit headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    if (!validDataRow(row))
        return;
    Row& r = shownRow(row - 1);
    auto it = std::lower_bound(r.begin(), r.end(), col,
                               [](const Cell& c, int wanted) { return c.col < wanted; });
    const bool present = it != r.end() && it->col == col;
    if (text.isEmpty()) {
        if (present)
            r.erase(it);
    } else if (present) {
        it->text = text;
    } else {
        r.insert(it, Cell{col, text});
    }
    if (!m_searchTexts.empty() && col >= DateColumn)
        m_searchTexts[static_cast<std::size_t>(m_shown[row - 1])] = searchText(r);
    if (row - 1 >= announcedRows())
        return;
    const QModelIndex i = index(row - 1, col);
    emit dataChanged(i, i);
    if (col == SequenceColumn)
        emit headerDataChanged(Qt::Vertical, row - 1, row - 1);
}

void HistoryGridModel::replaceContents(const std::array<QString, ColumnCount>& header,
                                       std::vector<Row> rows) {
    beginResetModel();
    m_header = header;
    m_rows = std::move(rows);
    m_searchTexts.clear();
    m_heldRows = 0;
    applyFilter(false);
    endResetModel();
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void HistoryGridModel::removeGridRows(int first, int count) {
    first = std::max(first, 1);
    const int last = std::min(first + count - 1, rows() - 1);
    if (last < first)
        return;
    announceHeldRows();
    beginRemoveRows({}, first - 1, last - 1);
    // The stored rows behind the shown ones go; the hidden rows between them stay.
    std::vector<char> gone(m_rows.size(), 0);
    for (int k = first - 1; k < last; ++k)
        gone[static_cast<std::size_t>(m_shown[k])] = 1;
    std::vector<int> newIndex(m_rows.size(), -1);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (gone[i])
            continue;
        newIndex[i] = static_cast<int>(kept);
        if (kept != i) {
            m_rows[kept] = std::move(m_rows[i]);
            if (!m_searchTexts.empty())
                m_searchTexts[kept] = std::move(m_searchTexts[i]);
        }
        ++kept;
    }
    m_rows.resize(kept);
    if (!m_searchTexts.empty())
        m_searchTexts.resize(kept);
    m_shown.erase(m_shown.begin() + (first - 1), m_shown.begin() + last);
    for (int& i : m_shown)
        i = newIndex[static_cast<std::size_t>(i)];
    endRemoveRows();
}

void HistoryGridModel::clearRows() {
    beginResetModel();
    m_heldRows = 0;
    m_rows.clear();
    m_shown.clear();
    m_searchTexts.clear();
    endResetModel();
}

QString HistoryGridModel::searchText(const Row& row) {
    qsizetype length = 0;
    for (const Cell& cell : row)
        length += cell.text.size() + 1;
    QString text;
    text.reserve(length);
    for (const Cell& cell : row) {
        if (cell.col < DateColumn)
            continue;
        text += cell.text;
        // A typed text holds no NUL, so a match never spans two cells.
        text += QChar(0);
    }
    return std::move(text).toCaseFolded();
}

void HistoryGridModel::buildSearchTexts() {
    if (!m_searchTexts.empty() || m_rows.empty())
        return;
    m_searchTexts.reserve(m_rows.size());
    for (const Row& row : m_rows)
        m_searchTexts.push_back(searchText(row));
}

void HistoryGridModel::applyFilter(bool narrowing) {
    const QString needle = m_filter.toCaseFolded();
    if (needle.isEmpty()) {
        m_shown.resize(m_rows.size());
        std::iota(m_shown.begin(), m_shown.end(), 0);
        return;
    }
    buildSearchTexts();
    const auto matches = [&](int i) {
        return m_searchTexts[static_cast<std::size_t>(i)].contains(needle);
    };
    if (narrowing) {
        // A longer text only matches rows that the shorter one matched.
        std::erase_if(m_shown, [&](int i) { return !matches(i); });
        return;
    }
    m_shown.clear();
    for (int i = 0; i < static_cast<int>(m_rows.size()); ++i)
        if (matches(i))
            m_shown.push_back(i);
}

void HistoryGridModel::setFilterText(const QString& text) {
    if (text == m_filter)
        return;
    const bool narrowing = !m_filter.isEmpty() && text.contains(m_filter, Qt::CaseInsensitive);
    m_filter = text;
    beginResetModel();
    m_heldRows = 0;
    applyFilter(narrowing);
    endResetModel();
}

std::optional<int> HistoryGridModel::recordNumber(int row) const {
    if (!validDataRow(row))
        return std::nullopt;
    bool ok = false;
    const int ord = text(row, OrdColumn).trimmed().toInt(&ok);
    return ok ? std::optional<int>(ord) : std::nullopt;
}

void HistoryGridModel::sortByColumn(int col, bool ascending) {
    if (col < DateColumn || col >= ColumnCount || m_rows.size() < 2)
        return;
    announceHeldRows();
    enum Group { Number, Text, Empty };
    struct Key {
        Group group = Empty;
        double number = 0;
        std::optional<QCollatorSortKey> text;
    };
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<Key> keys(m_rows.size());
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const QString* t = findCell(m_rows[i], col);
        Key& k = keys[i];
        if (!t || t->isEmpty())
            k.group = Empty;
        else if (readsAsNumber(*t, k.number))
            k.group = Number;
        else {
            k.group = Text;
            k.text = collator.sortKey(*t);
        }
    }
    const auto less = [&keys](std::size_t a, std::size_t b) {
        const Key& x = keys[a];
        const Key& y = keys[b];
        if (x.group != y.group)
            return x.group < y.group;
        if (x.group == Number)
            return x.number < y.number;
        if (x.group == Text)
            return x.text->compare(*y.text) < 0;
        return false;
    };
    std::vector<std::size_t> order(m_rows.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    // Empty cells stay at the bottom either way, so the values come first.
    const auto greater = [&keys, &less](std::size_t a, std::size_t b) {
        const bool emptyA = keys[a].group == Empty;
        const bool emptyB = keys[b].group == Empty;
        if (emptyA || emptyB)
            return !emptyA && emptyB;
        return less(b, a);
    };
    if (ascending)
        std::stable_sort(order.begin(), order.end(), less);
    else
        std::stable_sort(order.begin(), order.end(), greater);

    // Persistent indexes keep their positions: the selection stays on the same row numbers.
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (std::size_t i : order)
        sorted.push_back(std::move(m_rows[i]));
    m_rows = std::move(sorted);
    if (!m_searchTexts.empty()) {
        std::vector<QString> texts;
        texts.reserve(order.size());
        for (std::size_t i : order)
            texts.push_back(std::move(m_searchTexts[i]));
        m_searchTexts = std::move(texts);
    }
    // Hidden rows are sorted with the others, so the shown ones come out in order.
    std::vector<int> position(order.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        position[order[k]] = static_cast<int>(k);
    for (int& i : m_shown)
        i = position[static_cast<std::size_t>(i)];
    std::sort(m_shown.begin(), m_shown.end());
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void HistoryGridModel::setColWidthTwips(int col, int twips) {
    if (!validCol(col) || m_widthTwips[col] == std::max(twips, 0))
        return;
    m_widthTwips[col] = std::max(twips, 0);
    emit colWidthChanged(col);
}

void HistoryGridModel::AdjustColWidth(const QFont& font) {
    const QFontMetricsF fm(font);
    CharAdvances advances(fm);
    std::array<double, ColumnCount> widest{};
    for (int c = 1; c < ColumnCount; ++c)
        if (m_widthTwips[c] != 0)
            widest[c] = fm.horizontalAdvance(m_header[c]);

    bool measureAll = false;
    // Texts repeat down a column (ports, currencies, codes): each is shaped once.
    QHash<QString, double> measured;
    const auto exactWidth = [&](const QString& text) {
        auto it = measured.constFind(text);
        if (it == measured.constEnd())
            it = measured.insert(text, fm.horizontalAdvance(text));
        return *it;
    };
    for (const Row& row : m_rows) {
        for (const Cell& cell : row) {
            if (cell.col < 1 || m_widthTwips[cell.col] == 0)
                continue;
            const double estimate = advances.estimate(cell.text);
            if (estimate <= widest[cell.col])
                continue;
            const double exact = exactWidth(cell.text);
            // A font that widens some text beyond its advances breaks the shortcut.
            if (std::isfinite(estimate) && exact > estimate + 1e-6)
                measureAll = true;
            widest[cell.col] = std::max(widest[cell.col], exact);
        }
        if (measureAll)
            break;
    }
    if (measureAll)
        for (const Row& row : m_rows)
            for (const Cell& cell : row)
                if (cell.col >= 1 && m_widthTwips[cell.col] != 0)
                    widest[cell.col] = std::max(widest[cell.col], exactWidth(cell.text));
    m_lastFitMeasuredAll = measureAll;
    for (int c = 1; c < ColumnCount; ++c)
        if (m_widthTwips[c] != 0)
            m_widthTwips[c] =
                static_cast<int>(std::lround(ScreenTwips::fromPixels(widest[c]) + 100));
    emit colWidthChanged(-1);
}

void HistoryGridModel::SetColColor(int col, const QColor& color) {
    if (!validCol(col))
        return;
    m_foreColors[col] = color;
    if (!m_shown.empty())
        emit dataChanged(index(0, col), index(rowCount() - 1, col), {Qt::ForegroundRole});
}

void HistoryGridModel::SetColBKColor(int col, const QColor& color) {
    if (!validCol(col))
        return;
    m_backColors[col] = color;
    if (!m_shown.empty())
        emit dataChanged(index(0, col), index(rowCount() - 1, col), {Qt::BackgroundRole});
}

QColor HistoryGridModel::colColor(int col) const {
    return validCol(col) ? m_foreColors[col] : QColor();
}

QColor HistoryGridModel::colBackColor(int col) const {
    return validCol(col) ? m_backColors[col] : QColor();
}
